// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

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
