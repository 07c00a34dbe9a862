// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real `qob` binary and checks exit status, output files and messages.
#include "device/DeviceDump.h"
#include "model/PresetFile.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace qob::test;

using CliTest = ScratchFolder;

TEST_F(CliTest, CopyReproducesTheWritersBytesAndConvertsTheImage) {
    const Outcome copy = runQob({"copy", kDefault, "-o", path("out.qob")});
    ASSERT_EQ(copy.status, 0) << copy.err.toStdString();
    EXPECT_EQ(bytesOf(path("out.qob")), bytesOf(kDefault));

    ASSERT_EQ(runQob({"check", path("out.qob")}).status, 0);

    ASSERT_EQ(runQob({"image", kDefault, "-o", path("out.bin")}).status, 0);
    const std::string image = bytesOf(path("out.bin"));
    ASSERT_EQ(image.size(), std::size_t{qob::kDumpBytes});

    ASSERT_EQ(runQob({"syx", kDefault, "-o", path("out.syx"), "--slot", "3"}).status, 0);
    const std::string syx = bytesOf(path("out.syx"));
    ASSERT_EQ(syx.size(), std::size_t{qob::kDumpBlocks * qob::kDumpBlockBytes});
    for (int b = 0; b < qob::kDumpBlocks; ++b) {
        EXPECT_EQ(static_cast<unsigned char>(syx[b * 20]), 0xF0);
        EXPECT_EQ(syx[b * 20 + 7], 2) << "slot 3 is sent as 2";
        EXPECT_EQ(static_cast<unsigned char>(syx[b * 20 + 19]), 0xF7);
    }
}

TEST_F(CliTest, SyxReadsBackAsSysExMessagesWithMido) {
    if (!QFile::exists(QStringLiteral("/usr/bin/python3")))
        GTEST_SKIP() << "no Debian python3";
    ASSERT_EQ(runQob({"syx", kDefault, "-o", path("out.syx")}).status, 0);
    const Outcome py = run(QStringLiteral("/usr/bin/python3"),
                           {"-c",
                            "import sys, mido\n"
                            "msgs = mido.read_syx_file(sys.argv[1])\n"
                            "assert all(m.type == 'sysex' and len(m.bin()) == 20 for m in msgs)\n"
                            "print(len(msgs))\n",
                            path("out.syx")});
    ASSERT_EQ(py.status, 0) << py.err.toStdString();
    EXPECT_EQ(py.out.trimmed(), "192");
}

TEST_F(CliTest, ShowPrintsThePanelTextsOfBothLayers) {
    qob::Preset p;
    p.Name = "Show Me";
    p.Elements[9].Daw = {0x10, 0xB0, 7, 100, "Vol 2", {}};
    p.Elements[30].Midi = {0, 0xF0, 0x7F, 0x7F, "", {0x06, 0x01, 0xF7, 0, 0, 0, 0, 0}};
    p.Elements[20].Midi = {0, 0xFF, 5, 69, "Quit", {}};
    writeBytes(path("p.qob"), qob::writePreset(p));

    const Outcome all = runQob({"show", path("p.qob")});
    ASSERT_EQ(all.status, 0) << all.err.toStdString();
    EXPECT_TRUE(all.out.contains("Show Me"));
    EXPECT_TRUE(all.out.contains(QRegularExpression("Fader  2 +Drawbar +176, 7, 100 +Vol 2")))
        << all.out.toStdString();
    EXPECT_TRUE(all.out.contains("7F 7F 06 01 F7"));
    EXPECT_TRUE(
        all.out.contains(QRegularExpression("Button  3 +PC Key +<Ctrl\\+Alt> <F12> +Quit")));

    const Outcome daw = runQob({"show", path("p.qob"), "--layer", "daw"});
    EXPECT_TRUE(daw.out.contains("DAW layer"));
    EXPECT_FALSE(daw.out.contains("MIDI layer"));
}

TEST_F(CliTest, BadInputFailsWithTheFixedTextAndWritesNothing) {
    QByteArray bytes = QByteArray::fromStdString(bytesOf(kDefault));
    bytes.replace("** : MIDI", "** : MIDX");
    writeBytes(path("bad.qob"), bytes.toStdString());
    writeBytes(path("keep.qob"), "precious");

    for (const char* cmd : {"copy", "image", "syx"}) {
        const Outcome r = runQob({cmd, path("bad.qob"), "-o", path("keep.qob")});
        EXPECT_EQ(r.status, 1) << cmd;
        EXPECT_TRUE(r.err.startsWith("Invalid QOB-TANDRIX Preset File!")) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("line ")) << "the detail says where";
        EXPECT_EQ(bytesOf(path("keep.qob")), "precious");
        EXPECT_EQ(runQob({cmd, path("bad.qob"), "-o", path("new.out")}).status, 1);
        EXPECT_FALSE(QFile::exists(path("new.out")));
    }
    EXPECT_EQ(runQob({"check", path("missing.qob")}).status, 1);
}

TEST_F(CliTest, UnencodableLimitIsRefused) {
    qob::Preset p;
    p.FaderLimit[1] = -256;
    writeBytes(path("limit.qob"), qob::writePreset(p));
    EXPECT_EQ(runQob({"check", path("limit.qob")}).status, 0);
    const Outcome r = runQob({"syx", path("limit.qob"), "-o", path("limit.syx")});
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
        {"syx", kDefault, "-o", "x.syx", "--slot", "3", "--slot", "5"},
        {"copy", kDefault, "-o", "a.qob", "-o", "b.qob"},
        {"copy", kDefault, "-o", "a.qob", "--output", "a.qob"},
        {"show", kDefault, "--csv", "--csv"},
        {"show", kDefault, "--layer", "daw", "--layer", "daw"},
        {"show", kDefault, "--slot", "1"},
        {"check", kDefault, "--csv"},
        {"diff", kDefault},
        {"diff", kDefault, kDefault, "-o", "x.txt"},
        {"import", "x.syx"},
        {"import", "x.syx", "-o", "x.qob", "--slot", "9"},
        {"import", "x.syx", "-o", "x.qob", "--layer", "midi"},
        {"monitor", kDefault, kDefault},
        {"monitor", "--count", "0"},
        {"monitor", "--seconds", "soon"},
        {"monitor", "--slot", "2"},
        {"show", kDefault, "--json"},
        {"monitor", QStringLiteral(QOB_SOURCE_DIR "/tests/fuzz")}, // no preset
    };
    for (const QStringList& args : bad)
        EXPECT_EQ(runQob(args).status, 2) << args.join(' ').toStdString();
    EXPECT_EQ(runQob({"--help"}).status, 0);
    EXPECT_TRUE(runQob({"--version"}).out.startsWith("qob "));
}

// With no locale set, names still go through as UTF-8, in every command that takes one.
TEST_F(CliTest, PathsWithBlanksNonAsciiAndQuotesWorkInEveryCommand) {
    const QProcessEnvironment env = withoutLocale();
    const QStringList names = {"with blanks.qob", "Pr\u00E4set \u00FC.qob",
                               "\u30D7\u30EA\u30BB\u30C3\u30C8.qob", "it's \"q\".qob", "-dash.qob"};
    const QString folder = dir.filePath(QString::fromUtf8("f\u00F6 'x' \"y\""));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const QString& name : names) {
        const QString in = folder + '/' + name;
        SCOPED_TRACE(in.toStdString());
        ASSERT_TRUE(QFile::copy(kDefault, in));
        EXPECT_EQ(runQob({"check", in}, env).status, 0);
        const Outcome show = runQob({"show", in, "--layer", "midi"}, env);
        EXPECT_EQ(show.status, 0) << show.err.toStdString();
        EXPECT_TRUE(show.out.contains("MIDI layer"));
        struct Output {
            const char* command;
            const char* suffix;
            qsizetype size;
        };
        for (const Output& o : {Output{"copy", " copy.qob", qsizetype(bytesOf(kDefault).size())},
                                Output{"image", " image.bin", qob::kDumpBytes},
                                Output{"syx", " blocks.syx", qob::kDumpBlocks * 20}}) {
            const QString out = in + o.suffix;
            const Outcome r = runQob({o.command, in, "-o", out}, env);
            EXPECT_EQ(r.status, 0) << o.command << ": " << r.err.toStdString();
            EXPECT_EQ(QFileInfo(out).size(), o.size) << o.command;
        }
        // send reads its file before it looks for a port.
        const QString missing = in + ".missing";
        const Outcome send = runQob({"send", missing, "--port", "1"}, env);
        EXPECT_EQ(send.status, 1);
        EXPECT_TRUE(send.err.contains(missing + ": No such file or directory"))
            << send.err.toStdString();
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), names.size() * 4)
        << "no temporary file left behind";

    // Bytes that are not UTF-8 cannot name a file through Qt: a clear refusal, no crash.
    const Outcome sh =
        run("/bin/sh", {"-c", "exec \"$0\" check \"$(printf 'bad\\377.qob')\"", QOB_CLI});
    EXPECT_EQ(sh.status, 2);
    EXPECT_TRUE(sh.err.contains("argument 2 is not valid UTF-8"));
}

// Folders, FIFOs and devices fail at once with the reason; huge files are answered from their
// start; outputs never replace anything but a regular file.
TEST_F(CliTest, SpecialAndHugeFilesAreAnsweredAtOnce) {
    const QString fifo = path("fifo.qob");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0666), 0);
    const QString folder = path("folder.qob");
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString validThenJunk = path("valid then junk.qob");
    const QString zeros = path("zeros.qob");
    for (const auto& [file, start] :
         {std::pair{validThenJunk, bytesOf(kDefault)}, std::pair{zeros, std::string()}}) {
        writeBytes(file, start);
        ASSERT_TRUE(QFile::resize(file, 100LL * 1024 * 1024)); // sparse
    }
    struct Case {
        QStringList args;
        int status;
        QString err;
    };
    const std::vector<Case> cases = {
        {{"check", folder}, 1, folder + ": is a folder"},
        {{"check", fifo}, 1, fifo + ": is not a regular file"},
        {{"show", "/dev/zero"}, 1, "/dev/zero: is not a regular file"},
        {{"syx", "/dev/urandom", "-o", path("u.syx")}, 1, "/dev/urandom: is not a regular file"},
        {{"check", validThenJunk}, 0, ""},
        {{"check", zeros}, 1, zeros + ": line 1: expected the title"},
        {{"copy", kDefault, "-o", folder}, 1, "qob: cannot write " + folder + ": is a folder"},
        {{"image", kDefault, "-o", fifo},
         1,
         "qob: cannot write " + fifo + ": is not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Outcome r = runQob(c.args);
        EXPECT_EQ(r.status, c.status) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
    }
    EXPECT_TRUE(QFileInfo(folder).isDir() && QDir(folder).isEmpty());
    EXPECT_FALSE(QFileInfo(fifo).isFile());
    EXPECT_FALSE(QFile::exists(path("u.syx")));
}

// Root passes every permission check, so these run as nobody (through setpriv) when we are root.
TEST_F(CliTest, PermissionsAreRespected) {
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    // A copy nobody may run, wherever the build tree is.
    const QString cli = path("qob");
    ASSERT_TRUE(QFile::copy(QOB_CLI, cli));
    const QString readOnly = path("read only.qob");
    const QString unreadable = path("unreadable.qob");
    const QString locked = path("locked");
    for (const QString& file : {readOnly, unreadable})
        ASSERT_TRUE(QFile::copy(kDefault, file));
    ASSERT_TRUE(QDir().mkdir(locked));
    ::chmod(QFile::encodeName(readOnly).constData(), 0444);
    ::chmod(QFile::encodeName(unreadable).constData(), 0000);
    ::chmod(QFile::encodeName(locked).constData(), 0555);

    const auto asNobody = [&](const QStringList& args) {
        if (::geteuid() != 0)
            return run(cli, args);
        return run(QStringLiteral("/usr/bin/setpriv"),
                   QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", cli} + args);
    };
    ASSERT_EQ(asNobody({"check", kDefault}).status, 0) << "the unprivileged run works at all";
    struct Case {
        QStringList args;
        QString err;
    };
    const std::vector<Case> cases = {
        {{"check", unreadable}, unreadable + ": Permission denied"},
        {{"copy", kDefault, "-o", readOnly}, readOnly + ": is read-only"},
        {{"syx", kDefault, "-o", locked + "/new.syx"}, locked + "/new.syx: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Outcome r = asNobody(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
    }
    EXPECT_EQ(bytesOf(readOnly), bytesOf(kDefault));
    EXPECT_TRUE(QDir(locked).isEmpty()) << "no temporary file left behind";
    ::chmod(QFile::encodeName(locked).constData(), 0755);
}

// An output keeps its permissions, owner, group and other names; a link to it stays a link; a
// read-only output is refused, for root too.
TEST_F(CliTest, CopyKeepsWhatTheOutputHad) {
    const bool root = ::geteuid() == 0;
    const uid_t owner = root ? 1234 : ::geteuid();
    const gid_t group = root ? 4321 : ::getegid();
    const QString out = path("out.qob");
    const QString otherName = path("other name.qob");
    const QString link = path("link.qob");
    const QString readOnly = path("read only.qob");
    ASSERT_NO_FATAL_FAILURE({
        makeFile(out, "old", 0640, owner, group);
        makeFile(readOnly, "old", 0444);
        addName(out, otherName);
        addSymlink("out.qob", link);
    });

    const Outcome copy = runQob({"copy", kDefault, "-o", link});
    ASSERT_EQ(copy.status, 0) << copy.err.toStdString();
    expectShape(out, {0640, owner, group, 2});
    EXPECT_EQ(bytesOf(otherName), bytesOf(kDefault));
    EXPECT_TRUE(QFileInfo(link).isSymLink());

    const Outcome refused = runQob({"copy", kDefault, "-o", readOnly});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains(readOnly + ": is read-only")) << refused.err.toStdString();
    EXPECT_EQ(bytesOf(readOnly), "old");
    EXPECT_EQ(entriesOf(dir.path()),
              QStringList({"link.qob", "other name.qob", "out.qob", "read only.qob"}))
        << "no temporary file left behind";
}

} // namespace
