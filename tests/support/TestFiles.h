// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

// Readable QStrings in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace qob::test {

// The preset the project ships, a known-good file for every test that needs one.
inline const QString kDefault = QStringLiteral(QOB_SOURCE_DIR "/resources/Default.QOB");

inline void writeBytes(const QString& path, const std::string& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(bytes.data(), static_cast<qint64>(bytes.size())),
              static_cast<qint64>(bytes.size()));
}

// A file that cannot be opened fails the test and reads as a text no file holds here.
inline std::string bytesOf(const QString& path) {
    QFile f(path);
    const bool opened = f.open(QIODevice::ReadOnly);
    EXPECT_TRUE(opened) << path.toStdString();
    return opened ? f.readAll().toStdString() : std::string("<unreadable>");
}

inline QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

inline struct stat statOf(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::stat(encoded(path).constData(), &info), 0) << path.toStdString();
    return info;
}

// Every name in `folder`, hidden ones and dangling links too: what a save may leave behind.
inline QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                  QDir::System);
}

// A file holding `bytes` with `mode`, and with `uid` and `gid` where given (root only may give a
// file away). The owner is set first, as a change of owner clears the set-id bits.
inline void makeFile(const QString& path, const std::string& bytes, mode_t mode,
                     uid_t uid = static_cast<uid_t>(-1), gid_t gid = static_cast<gid_t>(-1)) {
    writeBytes(path, bytes);
    ASSERT_EQ(::chown(encoded(path).constData(), uid, gid), 0) << path.toStdString();
    ASSERT_EQ(::chmod(encoded(path).constData(), mode), 0) << path.toStdString();
}

// Another name for the file at `path` (a hard link).
inline void addName(const QString& path, const QString& name) {
    ASSERT_EQ(::link(encoded(path).constData(), encoded(name).constData()), 0)
        << name.toStdString();
}

inline void addSymlink(const QString& target, const QString& name) {
    ASSERT_EQ(::symlink(encoded(target).constData(), encoded(name).constData()), 0)
        << name.toStdString();
}

// What a save must keep of a file; `links` 0 leaves the count of names unchecked.
struct FileShape {
    mode_t mode;
    uid_t uid;
    gid_t gid;
    nlink_t links = 0;
};

inline void expectShape(const QString& path, const FileShape& want) {
    const struct stat info = statOf(path);
    EXPECT_EQ(info.st_mode & 07777, want.mode) << path.toStdString();
    EXPECT_EQ(info.st_uid, want.uid) << path.toStdString();
    EXPECT_EQ(info.st_gid, want.gid) << path.toStdString();
    if (want.links != 0) {
        EXPECT_EQ(info.st_nlink, want.links) << path.toStdString();
    }
}

// What a finished program said; `status` is -1 when it crashed or did not end in time.
struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

inline Outcome finish(QProcess& p, int timeoutMs = 30000) {
    const bool done = p.waitForFinished(timeoutMs);
    if (!done)
        p.kill();
    return {done && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

inline Outcome run(const QString& program, const QStringList& args,
                   const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                   int timeoutMs = 30000) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    return finish(p, timeoutMs);
}

// The test's environment with no locale set: names must still go through as UTF-8.
inline QProcessEnvironment withoutLocale() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LANG"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    return env;
}

// As on a server: no display of any kind and no platform asked for.
inline QProcessEnvironment withoutDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    return env;
}

#ifdef QOB_CLI
inline Outcome runQob(const QStringList& args,
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                      int timeoutMs = 30000) {
    return run(QStringLiteral(QOB_CLI), args, env, timeoutMs);
}
#endif

// A fresh folder for each test's files, removed with it.
class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()) << dir.errorString().toStdString(); }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
};

} // namespace qob::test
