// SPDX-License-Identifier: GPL-3.0-or-later
// `qob show --csv`, `qob diff`, `qob import`, and what every command does with an output that
// cannot be written, texts that hold control characters and an output that is its input.
#include "device/DeviceDump.h"
#include "model/PresetFile.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPresets.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace qob::test;

// Runs qob through the shell, for redirections and limits the test itself must not take on.
Outcome qobInShell(const QString& script, const QStringList& args) {
    return run(QStringLiteral("/bin/sh"),
               QStringList{"-c", script + QStringLiteral(" \"$0\" \"$@\""), QOB_CLI} + args);
}

class CliCommandsTest : public ScratchFolder {
protected:
    QString presetFile(const char* name, const qob::Preset& p) const {
        writeBytes(path(name), qob::writePreset(p));
        return path(name);
    }
};

TEST_F(CliCommandsTest, CsvReadsBackWithPythonAsShowsContent) {
    if (!QFile::exists(QStringLiteral("/usr/bin/python3")))
        GTEST_SKIP() << "no Debian python3";
    qob::Preset p = defaultPreset();
    // A file cannot hold a double quote; a comma and blanks at the ends need quoting too.
    p.Elements[0].Daw.Explain = "a,'b' c";
    p.Elements[1].Daw.Explain = " lead ";
    p.Elements[2].Daw.Explain = "\x1B[2J\x07\x7F\x9D";
    p.Elements[3].Daw.Explain = "caf\xE9 \x80";
    p.Elements[4].Daw.Explain = "line\r\nbreak";
    const QString file = presetFile("p.qob", p);

    const Outcome csv = runQob({"show", file, "--csv"});
    ASSERT_EQ(csv.status, 0) << csv.err.toStdString();
    EXPECT_EQ(csv.out.count("\r\n"), 1 + 2 * qob::kElementCount) << "RFC 4180 line ends";
    writeBytes(path("p.csv"), csv.out.toStdString());
    const Outcome py = run(QStringLiteral("/usr/bin/python3"),
                           {"-c",
                            "import csv, json, sys\n"
                            "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                            "    print(json.dumps(list(csv.reader(f, strict=True))))\n",
                            path("p.csv")});
    ASSERT_EQ(py.status, 0) << py.err.toStdString();
    const QJsonArray rows = QJsonDocument::fromJson(py.out.toUtf8()).array();
    ASSERT_EQ(rows.size(), 1 + 2 * qob::kElementCount);
    EXPECT_EQ(rows[0].toVariant().toStringList(),
              QStringList({"Element", "Layer", "Kind", "Mode", "Status", "Data 1", "Data 2",
                           "Channel", "Event", "Label", "SysEx"}));

    // Every row says what show's line for the same element says.
    const QStringList shown = runQob({"show", file}).out.split('\n');
    qsizetype line = shown.indexOf("DAW layer");
    ASSERT_GT(line, 0);
    for (qsizetype r = 1; r < rows.size(); ++r) {
        const QStringList row = rows[r].toVariant().toStringList();
        ASSERT_EQ(row.size(), 11);
        if (row[1] == "MIDI" && shown[line + 1].isEmpty())
            line = shown.indexOf("MIDI layer");
        const QString text = shown[++line];
        SCOPED_TRACE(text.toStdString());
        EXPECT_TRUE(text.startsWith(row[0] + ' ')) << row.join('|').toStdString();
        if (row[2] == "SysEx") {
            EXPECT_TRUE(text.endsWith("SysEx    " + row[10]));
            EXPECT_TRUE(row[9].isEmpty());
            continue;
        }
        EXPECT_TRUE(row[10].isEmpty());
        if (row[2] != "PC Key") {
            EXPECT_TRUE(text.contains(row[3] + QString(9 - row[3].size(), ' ') + ' ' + row[4] +
                                      ", " + row[5] + ", " + row[6]));
        }
        if (row[1] == "DAW" || row[2] == "PC Key") {
            EXPECT_TRUE(text.endsWith(row[9].trimmed()));
        }
    }

    const auto label = [&](int r) { return rows[r].toVariant().toStringList().at(9); };
    EXPECT_EQ(label(1), "a,'b' c");
    EXPECT_EQ(label(2), " lead ");
    EXPECT_EQ(label(3), "\\x1B[2J\\x07\\x7F\\x9D");
    EXPECT_EQ(label(4), QString::fromUtf8("caf\u00E9 \u20AC"));
    EXPECT_EQ(label(5), "line\\x0D\\x0Abreak");
    EXPECT_EQ(rows[1].toVariant().toStringList().mid(1, 9),
              QStringList({"DAW", "MIDI event", "Normal", "176", "10", "64", "1", "CC 10 ch 1",
                           "a,'b' c"}));

    const Outcome midi = runQob({"show", file, "--csv", "--layer", "midi"});
    EXPECT_EQ(midi.out.count("\r\n"), 1 + qob::kElementCount);
    EXPECT_FALSE(midi.out.contains(",DAW,"));
}

// Presets that differ in one field each, and the line diff gives for it.
TEST_F(CliCommandsTest, DiffNamesEachDifferenceInThePanelsWords) {
    qob::Preset a;
    a.Name = "Live";
    a.FaderLimit = {0, 127};
    a.VPotLimit = {0, 127};
    a.Elements[10].Daw = {0, 0xB0, 7, 100, "Volume 3", {}};
    a.Elements[0].Midi = {0, 0xB0, 74, 64, "Cutoff", {}};
    a.Elements[18].Midi = {0x80, 0xFF, 1, 22, "Save", {}};
    a.Elements[19].Midi = {0, 0xF0, 0x7F, 0x7F, "", {0x06, 0x02, 0xF7, 0, 0, 0, 0, 0}};
    a.Elements[31].Midi = {0, 0xE0, 0, 64, "", {}};
    a.Elements[1].Daw = {0, 0xB0, 10, 64, "Pan\x1B", {}};
    const QString fileA = presetFile("a.qob", a);

    struct Case {
        const char* what;
        std::function<void(qob::Preset&)> change;
        QString lines;
    };
    const std::vector<Case> cases{
        {"nothing", [](qob::Preset&) {}, ""},
        {"a status", [](qob::Preset& p) { p.Elements[10].Daw.Status = 0xB1; },
         "Fader  3  DAW  176, 7, 100 Volume 3  ->  177, 7, 100 Volume 3\n"},
        {"data 2 and the label",
         [](qob::Preset& p) {
             p.Elements[10].Daw.Data2 = 90;
             p.Elements[10].Daw.Explain = "Vol";
         },
         "Fader  3  DAW  176, 7, 100 Volume 3  ->  176, 7, 90 Vol\n"},
        {"a mode word", [](qob::Preset& p) { p.Elements[10].Daw.Mode = 0x10; },
         "Fader  3  DAW  Normal 176, 7, 100 Volume 3  ->  Drawbar 176, 7, 100 Volume 3\n"},
        {"a mode bit the panel does not show", [](qob::Preset& p) { p.Elements[31].Midi.Mode = 1; },
         "Wheel  MIDI  224, 0, 64 Pitch Bend  ->  224, 0, 64 Pitch Bend  (mode 0 -> 1)\n"},
        {"a MIDI-layer label, which the panel does not show",
         [](qob::Preset& p) { p.Elements[0].Midi.Explain = "Cut"; },
         "V Pot  1  MIDI  176, 74, 64 Brightness  ->  176, 74, 64 Brightness  (label \"Cutoff\" -> "
         "\"Cut\")\n"},
        {"a keystroke", [](qob::Preset& p) { p.Elements[18].Midi.Data1 = 3; },
         "Button  1  MIDI  PC Key <Ctrl> S Save  ->  PC Key <Ctrl+Shift> S Save\n"},
        {"a keystroke's mode", [](qob::Preset& p) { p.Elements[18].Midi.Mode = 0; },
         "Button  1  MIDI  PC Key <Ctrl> S Save  ->  PC Key <Ctrl> S Save  (mode 128 -> 0)\n"},
        {"a SysEx byte", [](qob::Preset& p) { p.Elements[19].Midi.SysExTail[1] = 0x03; },
         "Button  2  MIDI  SysEx 7F 7F 06 02 F7  ->  SysEx 7F 7F 06 03 F7\n"},
        {"a SysEx byte after its end",
         [](qob::Preset& p) { p.Elements[19].Midi.SysExTail[5] = 0x01; },
         "Button  2  MIDI  SysEx 7F 7F 06 02 F7  ->  SysEx 7F 7F 06 02 F7  (SysEx tail 06 02 F7 "
         "00 00 00 00 00 -> 06 02 F7 00 00 01 00 00)\n"},
        {"another kind",
         [](qob::Preset& p) { p.Elements[18].Midi = {0x80, 0x90, 36, 127, "Kick", {}}; },
         "Button  1  MIDI  PC Key <Ctrl> S Save  ->  144, 36, 127 Note On\n"},
        {"the name", [](qob::Preset& p) { p.Name = "Live \x1B]0;x\x07"; },
         "Preset Name  \"Live\"  ->  \"Live \\x1B]0;x\\x07\"\n"},
        // What would print alike: an escape and the same characters typed, a blank at the end,
        // a no-break space.
        {"a label typed as its escape",
         [](qob::Preset& p) { p.Elements[1].Daw.Explain = "Pan\\x1B"; },
         "V Pot  2  DAW  176, 10, 64 Pan\\x1B  ->  176, 10, 64 Pan\\\\x1B\n"},
        {"a blank after a label", [](qob::Preset& p) { p.Elements[10].Daw.Explain = "Volume 3 "; },
         "Fader  3  DAW  176, 7, 100 Volume 3  ->  176, 7, 100 \"Volume 3 \"\n"},
        {"a no-break space in a label",
         [](qob::Preset& p) { p.Elements[10].Daw.Explain = std::string("Volume\xA0") + "3"; },
         "Fader  3  DAW  176, 7, 100 Volume 3  ->  176, 7, 100 Volume\\xA03\n"},
        {"the limits",
         [](qob::Preset& p) {
             p.FaderLimit[1] = 100;
             p.VPotLimit[0] = -1;
         },
         "Fader Limit  0, 127  ->  0, 100\nV_Pot Limit  0, 127  ->  -1, 127\n"},
        {"two layers and the name, in order",
         [](qob::Preset& p) {
             p.Name = "Other";
             p.Elements[31].Midi.Data2 = 0;
             p.Elements[10].Daw.Data1 = 11;
         },
         "Fader  3  DAW  176, 7, 100 Volume 3  ->  176, 11, 100 Volume 3\n"
         "Wheel  MIDI  224, 0, 64 Pitch Bend  ->  224, 0, 0 Pitch Bend\n"
         "Preset Name  \"Live\"  ->  \"Other\"\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        qob::Preset b = a;
        c.change(b);
        const Outcome r = runQob({"diff", fileA, presetFile("b.qob", b)});
        EXPECT_EQ(r.status, c.lines.isEmpty() ? 0 : 1) << r.err.toStdString();
        EXPECT_EQ(r.out, c.lines);
        EXPECT_EQ(r.err, "");
    }

    // The same preset laid out otherwise: LF line ends, blanks before numbers, a record on one
    // line, junk after the last element.
    QByteArray relaid = QByteArray::fromStdString(qob::writePreset(a));
    relaid.replace("\r\n", "\n");
    relaid.replace("\n176,7,100\n", "\n  176,\t7, 100\n");
    relaid.replace("\"** : DAW\"\n0\n", "\"** : DAW\",0,");
    relaid += "trailing words";
    writeBytes(path("relaid.qob"), relaid.toStdString());
    const Outcome same = runQob({"diff", fileA, path("relaid.qob")});
    EXPECT_EQ(same.status, 0) << same.out.toStdString() << same.err.toStdString();
    EXPECT_EQ(same.out, "");

    writeBytes(path("bad.qob"), "\"* : QOB-TANDRIX V1.0\"\r\n");
    for (const QStringList& args : {QStringList{"diff", fileA, path("missing.qob")},
                                    QStringList{"diff", path("bad.qob"), fileA}}) {
        const Outcome r = runQob(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("Invalid QOB-TANDRIX Preset File!"));
    }
}

TEST_F(CliCommandsTest, ImportReadsBackWhatSyxWrote) {
    for (int slot = 1; slot <= 8; ++slot) {
        SCOPED_TRACE(slot);
        const QString n = QString::number(slot);
        ASSERT_EQ(runQob({"syx", kDefault, "-o", path("a.syx"), "--slot", n}).status, 0);
        const Outcome in = runQob({"import", path("a.syx"), "-o", path("a.qob")});
        ASSERT_EQ(in.status, 0) << in.err.toStdString();
        EXPECT_TRUE(in.err.contains("qob: note: the image carries no labels for MIDI-layer SysEx"));
        EXPECT_EQ(in.err.contains("give --slot " + n + " to 'syx'"), slot != 1);
        ASSERT_EQ(runQob({"syx", path("a.qob"), "-o", path("b.syx"), "--slot", n}).status, 0);
        EXPECT_EQ(bytesOf(path("b.syx")), bytesOf(path("a.syx")));
        EXPECT_EQ(bytesOf(path("a.qob")), bytesOf(kDefault));
    }

    // Two transfers in one file: refused, unless --slot picks one.
    ASSERT_EQ(runQob({"syx", kDefault, "-o", path("s2.syx"), "--slot", "2"}).status, 0);
    ASSERT_EQ(runQob({"syx", kDefault, "-o", path("s5.syx"), "--slot", "5"}).status, 0);
    writeBytes(path("both.syx"), bytesOf(path("s2.syx")) + bytesOf(path("s5.syx")));
    const Outcome several = runQob({"import", path("both.syx"), "-o", path("both.qob")});
    EXPECT_EQ(several.status, 1);
    EXPECT_EQ(several.err, "qob: cannot import " + path("both.syx") +
                               ": the file holds blocks for slots 2 and 5; pick one slot with "
                               "--slot N\n");
    EXPECT_FALSE(QFile::exists(path("both.qob")));
    EXPECT_EQ(runQob({"import", path("both.syx"), "-o", path("both.qob"), "--slot", "5"}).status,
              0);
    EXPECT_EQ(bytesOf(path("both.qob")), bytesOf(kDefault));

    // A refused import writes nothing and leaves an existing output alone.
    std::string cut = bytesOf(path("s2.syx"));
    cut.erase(40 * 20, 20);
    writeBytes(path("cut.syx"), cut);
    writeBytes(path("keep.qob"), "precious");
    const Outcome missing = runQob({"import", path("cut.syx"), "-o", path("keep.qob")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains("missing: block address 40")) << missing.err.toStdString();
    EXPECT_EQ(bytesOf(path("keep.qob")), "precious");

    struct Refusal {
        QString input;
        QString err;
    };
    QDir().mkdir(path("folder.syx"));
    for (const Refusal& r : {Refusal{path("none.syx"), path("none.syx") + ": No such file"},
                             Refusal{path("folder.syx"), path("folder.syx") + ": is a folder"},
                             Refusal{"/dev/zero", "/dev/zero: is not a regular file"},
                             Refusal{kDefault, kDefault + ": no dump blocks"}}) {
        const Outcome o = runQob({"import", r.input, "-o", path("x.qob")});
        EXPECT_EQ(o.status, 1);
        EXPECT_TRUE(o.err.startsWith("qob: cannot import " + r.err)) << o.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(path("x.qob")));
}

// A full disk, a file size limit: the command fails and says so, whatever it writes.
TEST_F(CliCommandsTest, OutputThatCannotBeWrittenFails) {
    ASSERT_EQ(runQob({"syx", kDefault, "-o", path("in.syx")}).status, 0);
    qob::Preset other = defaultPreset();
    for (qob::ElementSlot& slot : other.Elements)
        slot.Daw.Explain = "Other";
    const QString changed = presetFile("other.qob", other);
    struct Case {
        QStringList args;
        int status;
        bool longerThan512 = true;
    };
    const std::vector<Case> toStdout{
        {{"show", kDefault}, 1}, {{"show", kDefault, "--csv"}, 1}, {{"diff", kDefault, changed}, 2},
        {{"--help"}, 1},         {{"--version"}, 1, false},
    };
    for (const Case& c : toStdout) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Outcome full = qobInShell("exec >/dev/full; exec", c.args);
        EXPECT_EQ(full.status, c.status);
        EXPECT_TRUE(full.err.contains("qob: cannot write the standard output: No space left on "
                                      "device"))
            << full.err.toStdString();
        if (!c.longerThan512)
            continue;
        // 512 bytes allowed: less than the command prints.
        const Outcome limited =
            qobInShell("ulimit -f 1; exec >\"" + path("limited.txt") + "\"; exec", c.args);
        EXPECT_EQ(limited.status, c.status);
        EXPECT_TRUE(limited.err.contains("File too large")) << limited.err.toStdString();
    }

    const std::vector<QStringList> toFile{
        {"copy", kDefault, "-o", path("out")},
        {"image", kDefault, "-o", path("out")},
        {"syx", kDefault, "-o", path("out")},
        {"import", path("in.syx"), "-o", path("out")},
    };
    for (const QStringList& args : toFile) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const Outcome r = qobInShell("ulimit -f 1; exec", args);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains("qob: cannot write " + path("out") + ": "))
            << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(path("out")));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3) << "no temporary file left";
}

TEST_F(CliCommandsTest, ControlCharactersAreShownEscaped) {
    qob::Preset p = defaultPreset();
    p.Name = "\x1B]0;owned\x07\x1B[2J";
    p.Elements[18].Daw.Explain = "\x9B"
                                 "31m\x7F";
    p.Elements[19].Daw.Explain = "\\x1B\\";
    const QString file = presetFile("p.qob", p);
    const Outcome show = runQob({"show", file});
    ASSERT_EQ(show.status, 0);
    EXPECT_TRUE(show.out.contains("Preset Name  \\x1B]0;owned\\x07\\x1B[2J\n"));
    EXPECT_TRUE(show.out.contains("\\\\x1B\\\\\n")) << "typed, not an escape";
    EXPECT_TRUE(show.out.contains(QString::fromUtf8("\u203A31m\\x7F")))
        << "0x9B is a printable character in Windows-1252";
    p.Elements[18].Daw.Explain = "\x81\x8D\x8F\x90\x9D";
    const Outcome c1 = runQob({"show", presetFile("c1.qob", p), "--layer", "daw", "--csv"});
    EXPECT_TRUE(c1.out.contains("\\x81\\x8D\\x8F\\x90\\x9D")) << "the code page's gaps are C1";
    for (const QString& text : {show.out, c1.out})
        for (QChar ch : text)
            EXPECT_FALSE((ch.unicode() < 0x20 && ch != '\n' && ch != '\r') ||
                         (ch.unicode() >= 0x7F && ch.unicode() <= 0x9F))
                << "raw control U+" << std::hex << int(ch.unicode());

    // Messages too: a file name, and the text a failed load quotes.
    const QString named = path("esc\x1B[2J.qob");
    const Outcome missing = runQob({"check", named});
    EXPECT_TRUE(missing.err.contains("esc\\x1B[2J.qob")) << missing.err.toStdString();
    EXPECT_FALSE(missing.err.contains(QChar(0x1B)));
    writeBytes(path("odd.qob"), "\x1B\\x");
    const Outcome odd = runQob({"check", path("odd.qob")});
    EXPECT_TRUE(odd.err.contains("found \"\\x1B\\\\x\""))
        << "escaped once" << odd.err.toStdString();
}

TEST_F(CliCommandsTest, OutputOnTheInputIsRefused) {
    const QString in = path("live.qob");
    ASSERT_TRUE(QFile::copy(kDefault, in));
    ASSERT_EQ(runQob({"syx", in, "-o", path("live.syx")}).status, 0);
    ASSERT_TRUE(QFile::link(in, path("link.qob")));
    ASSERT_TRUE(QFile::link(in, path("link.pdf")));
    ASSERT_NO_FATAL_FAILURE(addName(in, path("hard.qob")));
    const std::vector<QStringList> refused{
        {"image", in, "-o", in},
        {"syx", in, "-o", path("link.qob")},
        {"image", path("link.qob"), "-o", path("hard.qob")},
        {"import", path("live.syx"), "-o", path("live.syx")},
        {"sheet", in, "-o", path("link.pdf")},
    };
    for (const QStringList& args : refused) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const Outcome r = runQob(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains("are the same file; nothing written")) << r.err.toStdString();
    }
    EXPECT_EQ(bytesOf(in), bytesOf(kDefault));
    EXPECT_EQ(bytesOf(path("live.syx")).size(), std::size_t{qob::kDumpBlocks * 20});
    // copy reads its input whole first, so rewriting a file in place is what it is for.
    EXPECT_EQ(runQob({"copy", in, "-o", in}).status, 0);
    EXPECT_EQ(bytesOf(in), bytesOf(kDefault));
}

} // namespace
