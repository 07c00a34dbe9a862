// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real `qob` binary and checks exit status, output files and messages.
#include "device/DeviceDump.h"
#include "model/PresetFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

Outcome qob(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(QOB_CLI), args);
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

const QString kDefault = QStringLiteral(QOB_SOURCE_DIR "/resources/Default.QOB");

class CliTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
};

TEST_F(CliTest, CopyReproducesTheWritersBytesAndConvertsTheImage) {
    const Outcome copy = qob({"copy", kDefault, "-o", path("out.qob")});
    ASSERT_EQ(copy.status, 0) << copy.err.toStdString();
    EXPECT_EQ(readAll(path("out.qob")), readAll(kDefault));

    ASSERT_EQ(qob({"check", path("out.qob")}).status, 0);

    ASSERT_EQ(qob({"image", kDefault, "-o", path("out.bin")}).status, 0);
    const QByteArray image = readAll(path("out.bin"));
    ASSERT_EQ(image.size(), qob::kDumpBytes);

    ASSERT_EQ(qob({"syx", kDefault, "-o", path("out.syx"), "--slot", "3"}).status, 0);
    const QByteArray syx = readAll(path("out.syx"));
    ASSERT_EQ(syx.size(), qob::kDumpBlocks * qob::kDumpBlockBytes);
    for (int b = 0; b < qob::kDumpBlocks; ++b) {
        EXPECT_EQ(static_cast<unsigned char>(syx[b * 20]), 0xF0);
        EXPECT_EQ(syx[b * 20 + 7], 2) << "slot 3 is sent as 2";
        EXPECT_EQ(static_cast<unsigned char>(syx[b * 20 + 19]), 0xF7);
    }
}

TEST_F(CliTest, SyxReadsBackAsSysExMessagesWithMido) {
    if (!QFile::exists(QStringLiteral("/usr/bin/python3")))
        GTEST_SKIP() << "no Debian python3";
    ASSERT_EQ(qob({"syx", kDefault, "-o", path("out.syx")}).status, 0);
    QProcess py;
    py.start(QStringLiteral("/usr/bin/python3"),
             {"-c",
              "import sys, mido\n"
              "msgs = mido.read_syx_file(sys.argv[1])\n"
              "assert all(m.type == 'sysex' and len(m.bin()) == 20 for m in msgs)\n"
              "print(len(msgs))\n",
              path("out.syx")});
    ASSERT_TRUE(py.waitForFinished(30000));
    ASSERT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
    EXPECT_EQ(py.readAllStandardOutput().trimmed(), "192");
}

TEST_F(CliTest, ShowPrintsThePanelTextsOfBothLayers) {
    qob::Preset p;
    p.Name = "Show Me";
    p.Elements[9].Daw = {0x10, 0xB0, 7, 100, "Vol 2", {}};
    p.Elements[30].Midi = {0, 0xF0, 0x7F, 0x7F, "", {0x06, 0x01, 0xF7, 0, 0, 0, 0, 0}};
    p.Elements[20].Midi = {0, 0xFF, 5, 69, "Quit", {}};
    writeAll(path("p.qob"), QByteArray::fromStdString(qob::writePreset(p)));

    const Outcome all = qob({"show", path("p.qob")});
    ASSERT_EQ(all.status, 0) << all.err.toStdString();
    EXPECT_TRUE(all.out.contains("Show Me"));
    EXPECT_TRUE(all.out.contains(QRegularExpression("Fader  2 +Drawbar +176, 7, 100 +Vol 2")))
        << all.out.toStdString();
    EXPECT_TRUE(all.out.contains("7F 7F 06 01 F7"));
    EXPECT_TRUE(
        all.out.contains(QRegularExpression("Button  3 +PC Key +<Ctrl\\+Alt> <F12> +Quit")));

    const Outcome daw = qob({"show", path("p.qob"), "--layer", "daw"});
    EXPECT_TRUE(daw.out.contains("DAW layer"));
    EXPECT_FALSE(daw.out.contains("MIDI layer"));
}

TEST_F(CliTest, BadInputFailsWithTheFixedTextAndWritesNothing) {
    QByteArray bytes = readAll(kDefault);
    bytes.replace("** : MIDI", "** : MIDX");
    writeAll(path("bad.qob"), bytes);
    writeAll(path("keep.qob"), "precious");

    for (const char* cmd : {"copy", "image", "syx"}) {
        const Outcome r = qob({cmd, path("bad.qob"), "-o", path("keep.qob")});
        EXPECT_EQ(r.status, 1) << cmd;
        EXPECT_TRUE(r.err.startsWith("Invalid QOB-TANDRIX Preset File!")) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("line ")) << "the detail says where";
        EXPECT_EQ(readAll(path("keep.qob")), "precious");
        EXPECT_EQ(qob({cmd, path("bad.qob"), "-o", path("new.out")}).status, 1);
        EXPECT_FALSE(QFile::exists(path("new.out")));
    }
    EXPECT_EQ(qob({"check", path("missing.qob")}).status, 1);
}

TEST_F(CliTest, UnencodableLimitIsRefused) {
    qob::Preset p;
    p.FaderLimit[1] = -256;
    writeAll(path("limit.qob"), QByteArray::fromStdString(qob::writePreset(p)));
    EXPECT_EQ(qob({"check", path("limit.qob")}).status, 0);
    const Outcome r = qob({"syx", path("limit.qob"), "-o", path("limit.syx")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("-256")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("limit.syx")));
}

TEST_F(CliTest, UsageErrorsExitTwo) {
    const QList<QStringList> bad{
        {},
        {"frobnicate", kDefault},
        {"check"},
        {"check", kDefault, kDefault},
        {"copy", kDefault},
        {"syx", kDefault, "-o", "x.syx", "--slot", "9"},
        {"syx", kDefault, "-o", "x.syx", "--slot", "0"},
        {"syx", kDefault, "-o", "x.syx", "--slot", "two"},
        {"show", kDefault, "--layer", "both"},
        {"check", kDefault, "--bogus"},
        {"ports", kDefault},
        {"ports", "--slot", "2"},
        {"ports", "--api", "oss"},
        {"send", kDefault},
        {"send", kDefault, "--port", "1", "--slot", "9"},
        {"send", kDefault, "--port", "1", "--api", "winmm"},
        {"send", "--port", "1"},
        {"check", kDefault, "--port", "1"},
        {"syx", kDefault, "-o", "x.syx", "--api", "jack"},
    };
    for (const QStringList& args : bad)
        EXPECT_EQ(qob(args).status, 2) << args.join(' ').toStdString();
    EXPECT_EQ(qob({"--help"}).status, 0);
    EXPECT_TRUE(qob({"--version"}).out.startsWith("qob "));
}

} // namespace
