// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/Cp1252.h"
#include "model/PresetFile.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <string>
#include <vector>

#if defined(__unix__)
#include <sys/resource.h>
#endif

using namespace qob;
using namespace qob::test;

namespace {

constexpr std::string_view kCrLf = "\r\n";

std::vector<std::string> splitLines(const std::string& file) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (auto end = file.find(kCrLf); end != std::string::npos; end = file.find(kCrLf, start)) {
        lines.push_back(file.substr(start, end - start));
        start = end + kCrLf.size();
    }
    if (start < file.size())
        lines.push_back(file.substr(start));
    return lines;
}

std::string joinLines(const std::vector<std::string>& lines, std::size_t count = SIZE_MAX) {
    std::string out;
    for (std::size_t i = 0; i < lines.size() && i < count; ++i)
        out += lines[i] + std::string(kCrLf);
    return out;
}

ElementAssignment event(std::uint8_t mode, std::uint8_t status, std::uint8_t d1, std::uint8_t d2,
                        std::string explain) {
    ElementAssignment a;
    a.Mode = mode;
    a.Status = status;
    a.Data1 = d1;
    a.Data2 = d2;
    a.Explain = std::move(explain);
    return a;
}

ElementAssignment sysex(std::uint8_t mode, std::uint8_t d1, std::uint8_t d2,
                        std::array<std::uint8_t, 8> tail) {
    ElementAssignment a;
    a.Mode = mode;
    a.Status = kStatusSysEx;
    a.Data1 = d1;
    a.Data2 = d2;
    a.SysExTail = tail;
    return a;
}

// The record of V-Pot 1 as the format's own example has it.
void setExample(Preset& p) {
    p.Elements[0].Daw = event(0, 176, 7, 0, "Volume");
    p.Elements[0].Midi = sysex(ElementMode::Push, 0x43, 0x10, {0x4C, 0, 0, 1, 2, 3, 0xF7, 0});
}

// Every record kind, the extremes of every field, and texts that need care.
Preset samplePreset() {
    Preset p;
    p.Name = "Sample, one";
    p.FaderLimit = {-32768, 32767};
    p.VPotLimit = {-1, 300};
    setExample(p);
    for (int k = 1; k < kElementCount; ++k) {
        const auto b = static_cast<std::uint8_t>(k);
        p.Elements[k].Daw = event(k % 2 ? 0 : ElementMode::Drawbar, 0x80 + k % 0x70, b, 255 - b,
                                  std::string("D").append(std::to_string(k)));
        switch (k % 4) {
        case 0:
            p.Elements[k].Midi = event(ElementMode::Push, kStatusKeyboard, 3, 44, "Key");
            break;
        case 1:
            p.Elements[k].Midi = sysex(0, 0x7F, 0x7F, {6, b, 0xF7, 0, 0, 0, 0, 255});
            break;
        case 2:
            p.Elements[k].Midi = event(0, 0, 0, 0, ""); // an empty slot
            break;
        default:
            p.Elements[k].Midi = event(255, 0xF5, 255, 255, " a,b ");
        }
    }
    return p;
}

std::string replaceLine(const std::string& file, int line, const std::string& text) {
    auto lines = splitLines(file);
    lines.at(static_cast<std::size_t>(line - 1)) = text;
    return joinLines(lines);
}

} // namespace

TEST(PresetFileWriter, MatchesHandWrittenBytes) {
    Preset p;
    p.Name = "My Mix";
    p.FaderLimit = {0, 127};
    p.VPotLimit = {-5, 32767};
    setExample(p);
    const std::string file = writePreset(p);

    const std::string head = "\"* : QOB-TANDRIX V1.0\"\r\n"
                             "\"* : Preset Name\"\r\n"
                             "\"My Mix\"\r\n"
                             "\"* : Fader Limit\"\r\n"
                             "0,127\r\n"
                             "\"* : V_Pot Limit\"\r\n"
                             "-5,32767\r\n"
                             "\"* : V_Pot  1\"\r\n"
                             "\"** : DAW\"\r\n"
                             "0\r\n"
                             "176,7,0\r\n"
                             "\"Volume\"\r\n"
                             "\"** : MIDI\"\r\n"
                             "128\r\n"
                             "240,67,16\r\n"
                             "76,0,0,1,2,3,247,0\r\n"
                             "\"* : V_Pot  2\"\r\n"
                             "\"** : DAW\"\r\n"
                             "0\r\n"
                             "0,0,0\r\n"
                             "\"\"\r\n";
    EXPECT_EQ(file.substr(0, head.size()), head);

    const auto lines = splitLines(file);
    ASSERT_EQ(lines.size(), 511u);
    EXPECT_EQ(file.size(), joinLines(lines).size()) << "every line ends with CR LF";
    EXPECT_EQ(file.find('\n'), file.find(kCrLf) + 1) << "no bare LF";
    EXPECT_EQ(lines[7 + 16 * 9], "\"* : Fader Master\"");
    EXPECT_EQ(lines[7 + 31 * 9], "\"* : WHEEL\"");
    EXPECT_EQ(lines[502], "\"* : Button  16\"");
    EXPECT_EQ(lines[510], "\"\"");
}

TEST(PresetFileWriter, QuoteInTextIsWrittenAsApostrophe) {
    Preset p;
    p.Name = "say \"hi\"";
    p.Elements[3].Daw.Explain = "\"";
    const std::string file = writePreset(p);
    const auto lines = splitLines(file);
    EXPECT_EQ(lines[2], "\"say 'hi'\"");
    EXPECT_EQ(lines[7 + 3 * 9 + 4], "\"'\"");
    const auto back = readPreset(file);
    ASSERT_TRUE(back.preset) << failureText(back);
    EXPECT_EQ(back.preset->Name, "say 'hi'");
    EXPECT_EQ(back.preset->Elements[3].Daw.Explain, "'");
}

TEST(PresetFileRoundTrip, EveryRecordKindSurvivesSaveAndLoad) {
    const Preset p = samplePreset();
    const auto back = readPreset(writePreset(p));
    ASSERT_TRUE(back.preset) << failureText(back);
    EXPECT_EQ(*back.preset, p);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("sample");
    ASSERT_TRUE(savePresetFile(path, p).ok);
    EXPECT_EQ(bytesOf(path), writePreset(p));
    Preset loaded;
    loaded.PresetIndex = 5;
    const FileResult r = loadPresetFile(path, loaded);
    ASSERT_TRUE(r.ok) << r.detail;
    EXPECT_EQ(loaded.PresetIndex, 5);
    loaded.PresetIndex = p.PresetIndex;
    EXPECT_EQ(loaded, p);
}

TEST(PresetFileRoundTrip, FieldsTheFileDoesNotCarryKeepTheBaseValues) {
    Preset base;
    base.PresetIndex = 7;
    base.Elements[0].Midi.Explain = "kept";           // becomes a SysEx record
    base.Elements[0].Daw.SysExTail = {9, 9, 9, 9, 9}; // stays a MIDI event
    Preset p;
    setExample(p);
    const auto back = readPreset(writePreset(p), base);
    ASSERT_TRUE(back.preset) << failureText(back);
    EXPECT_EQ(back.preset->PresetIndex, 7);
    EXPECT_EQ(back.preset->Elements[0].Midi.Explain, "kept");
    EXPECT_EQ(back.preset->Elements[0].Midi.SysExTail, p.Elements[0].Midi.SysExTail);
    EXPECT_EQ(back.preset->Elements[0].Daw.SysExTail, base.Elements[0].Daw.SysExTail);
    EXPECT_EQ(back.preset->Elements[0].Daw.Explain, "Volume");
}

TEST(PresetFileRoundTrip, EveryByteButQuoteSurvivesInTexts) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        if (b != '"')
            all += static_cast<char>(b);
    Preset p;
    p.Name = all;
    p.Elements[17].Midi.Explain = all;
    p.Elements[55].Midi.Explain = std::string(all.rbegin(), all.rend());
    const auto back = readPreset(writePreset(p));
    ASSERT_TRUE(back.preset) << failureText(back);
    EXPECT_EQ(*back.preset, p);
}

TEST(PresetFileReader, FailuresSayWhereAndWhat) {
    const std::string good = writePreset(samplePreset());
    // Element 0 takes lines 8..16: header, DAW marker, Mode, Status line, Explain, MIDI marker...
    struct Case {
        int line;
        std::string text;
        std::string detail;
        int at = 0; // where the failure shows when items shift to a later line
    };
    const std::vector<Case> cases = {
        {1, "\"* : QOB-TANDRI\"", "expected an item starting with \"* : QOB-TANDRIX\""},
        {1, "* : qob-tandrix V1.0", "\"* : qob-tandrix V1.0\""},
        {2, "\"* : Preset name\"",
         "expected \"* : Preset Name\", found the text \"* : Preset name\""},
        {4, "\"* : Fader Limits\"", "expected \"* : Fader Limit\""},
        {5, "0,32768", "expected a number -32768..32767 for FaderLimit[1], found \"32768\""},
        {6, "\"* : V_Pot Limit \"", "expected \"* : V_Pot Limit\""},
        {7, "-32769,0", "for VPotLimit[0], found \"-32769\""},
        {8, "\"*: V_Pot  1\"", "header of element 0 (V Pot  1) starting with \"* : \""},
        {9, "\"** : MIDI\"",
         "expected \"** : DAW\" to open the DAW record of element 0 (V Pot  1), "
         "found the text \"** : MIDI\""},
        {13, "\"** : DAW\"", "expected \"** : MIDI\" to open the MIDI record of element 0"},
        {10, "256",
         "expected a number 0..255 for Mode of the DAW record of element 0 (V Pot  1), "
         "found \"256\""},
        {10, "-1", "found \"-1\""},
        {10, "+5", "found \"+5\""},
        {10, "1.5", "found \"1.5\""},
        {10, "0x10", "found \"0x10\""},
        {10, "12a", "found \"12a\""},
        {10, "1 2", "found \"1 2\""},
        {10, "- 5", "found \"- 5\""},
        {10, "", "found an empty item"},
        {10, "\"12\"", "found the text \"12\""},
        {14, "128,", "for Status of the MIDI record of element 0 (V Pot  1), found an empty item"},
        {15, "240,67,x", "Data2 of the MIDI record of element 0"},
        // Status 240 while the last line is still a text.
        {11, "240,7,0",
         "expected a number 0..255 for SysExTail[0] of the DAW record of element 0 "
         "(V Pot  1) (Status 240), found the text \"Volume\"",
         12},
        // A SysEx line one number short takes the next header as its eighth number.
        {16, "76,0,0,1,2,3,247", "SysExTail[7] of the MIDI record of element 0", 17},
        {7 + 55 * 9 + 3, "x", "Mode of the DAW record of element 55 (Button  16)"},
        {511, "\"unclosed", "not closed before the file ends"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line) + " = " + c.text);
        const ReadResult r = readPreset(replaceLine(good, c.line, c.text));
        EXPECT_FALSE(r.preset);
        EXPECT_EQ(r.line, c.at ? c.at : c.line);
        EXPECT_NE(r.detail.find(c.detail), std::string::npos) << r.detail;
    }
}

TEST(PresetFileReader, NumberRangesAndSpacing) {
    const std::string good = writePreset(samplePreset());
    struct Case {
        int line;
        std::string text;
        bool loads;
    };
    const std::vector<Case> cases = {
        {10, "255", true},
        {10, "0", true},
        {10, " \t7 \t", true},
        {10, "007", true},
        {10, "-0", true},
        {10, "99999999999999999999", false},
        {5, "-32768,32767", true},
        {5, "-32769,32767", false},
        {5, "-32768,32768", false},
        {7, " -1 , 0 ", true},
        {7, "\t32767\t,\t-32768", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line) + " = " + c.text);
        const ReadResult r = readPreset(replaceLine(good, c.line, c.text));
        EXPECT_EQ(r.preset.has_value(), c.loads) << failureText(r);
    }
    const auto r = readPreset(replaceLine(good, 5, "-32768,32767"));
    ASSERT_TRUE(r.preset);
    EXPECT_EQ(r.preset->FaderLimit[0], -32768);
    EXPECT_EQ(r.preset->FaderLimit[1], 32767);
}

TEST(PresetFileReader, ShortFilesFailAndChangeNothing) {
    Preset before = samplePreset();
    before.PresetIndex = 4;
    Preset other;
    other.Name = "Other";
    other.Elements[20].Midi = event(0, 0x90, 60, 127, "New");
    const auto lines = splitLines(writePreset(other));

    // Ends after element 20's last line.
    const std::string afterElement20 = joinLines(lines, 7 + 21 * 9);
    ReadResult r = readPreset(afterElement20, before);
    EXPECT_FALSE(r.preset);
    EXPECT_EQ(r.line, 7 + 21 * 9);
    EXPECT_EQ(r.detail, "file ends before the header of element 21 (Button  4)");

    // Ends inside element 20, right before its MIDI record, without a final line end.
    std::string inside = joinLines(lines, 7 + 20 * 9 + 5);
    inside.resize(inside.size() - 2);
    r = readPreset(inside, before);
    EXPECT_EQ(r.line, 7 + 20 * 9 + 5);
    EXPECT_EQ(r.detail, "file ends before the MIDI record of element 20 (Button  3)");

    EXPECT_EQ(readPreset("").detail, "file ends before the title \"* : QOB-TANDRIX\"");
    EXPECT_EQ(readPreset(" \t").line, 1);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("short.qob");
    writeBytes(path, afterElement20);
    Preset target = before;
    const FileResult fr = loadPresetFile(path, target);
    EXPECT_FALSE(fr.ok);
    EXPECT_EQ(fr.detail, path.toStdString() + ": line 196: file ends before the header of "
                                              "element 21 (Button  4)");
    EXPECT_EQ(target, before);

    const QString missing = dir.filePath("missing.qob");
    const FileResult mr = loadPresetFile(missing, target);
    EXPECT_FALSE(mr.ok);
    EXPECT_EQ(mr.detail.rfind(missing.toStdString() + ": ", 0), 0u) << mr.detail;
    EXPECT_GT(mr.detail.size(), missing.size() + 2) << "the OS reason follows the path";
    EXPECT_EQ(target, before);

    EXPECT_FALSE(loadPresetFile(dir.path(), target).ok) << "a folder is no preset";
    EXPECT_EQ(target, before);
}

TEST(PresetFileReader, LenientForms) {
    const Preset p = samplePreset();
    const std::string good = writePreset(p);
    auto lines = splitLines(good);

    std::string lfOnly;
    for (const auto& l : lines)
        lfOnly += l + "\n";

    std::string noFinalLineEnd = good.substr(0, good.size() - 2);

    auto oneLine = lines;
    oneLine[8] = "\"** : DAW\",0,176,7,0,\"Volume\"";
    oneLine.erase(oneLine.begin() + 9, oneLine.begin() + 12);

    auto headers = lines;
    for (int k = 0; k < kElementCount; ++k)
        headers[static_cast<std::size_t>(7 + 9 * k)] = k % 2 ? "\"* : \"" : "* : anything";

    auto spaced = lines;
    spaced[1] = " \t\"* : Preset Name\"";
    spaced[2] = "\t\"Sample, one\"  trailing bytes are dropped";
    spaced[10] = "176 , 7,\t0";

    const std::vector<std::pair<std::string, std::string>> cases = {
        {"LF line ends", lfOnly},
        {"no final line end", noFinalLineEnd},
        {"another version", replaceLine(good, 1, "\"* : QOB-TANDRIX V2.7 beta\"")},
        {"bare title", replaceLine(good, 1, "* : QOB-TANDRIX")},
        {"one record on one line", joinLines(oneLine)},
        {"headers only \"* : \"", joinLines(headers)},
        {"blanks, tabs and bytes after a quote", joinLines(spaced)},
        {"anything after element 55", good + "\"more\",1,2\r\ngarbage\"\r\n"},
    };
    for (const auto& [what, file] : cases) {
        SCOPED_TRACE(what);
        const ReadResult r = readPreset(file);
        ASSERT_TRUE(r.preset) << failureText(r);
        EXPECT_EQ(*r.preset, p);
    }

    // An unquoted text runs to the comma or line end; what follows a comma is the next item.
    const auto r = readPreset(replaceLine(good, 3, "  plain name"));
    ASSERT_TRUE(r.preset) << failureText(r);
    EXPECT_EQ(r.preset->Name, "plain name");
    EXPECT_FALSE(readPreset(replaceLine(good, 3, "plain, name")).preset);
}

TEST(PresetFileReader, FailureTextNamesTheLine) {
    const ReadResult r = readPreset(replaceLine(writePreset(Preset{}), 9, "\"** : MIDI\""));
    EXPECT_EQ(failureText(r), "line 9: expected \"** : DAW\" to open the DAW record of element 0 "
                              "(V Pot  1), found the text \"** : MIDI\"");
    // A multi-line text item moves the line count on.
    Preset p;
    p.Name = "two\r\nlines";
    const ReadResult shifted = readPreset(replaceLine(writePreset(p), 6, "x"));
    EXPECT_EQ(shifted.line, 6);
    EXPECT_NE(shifted.detail.find("found \"x\""), std::string::npos) << shifted.detail;
    // Control and high bytes are shown readably, and a backslash so that neither reads as the
    // other.
    const ReadResult odd = readPreset(std::string("\x01\xE9\\x", 4));
    EXPECT_NE(odd.detail.find("found \"\\x01\xC3\xA9\\\\x\""), std::string::npos) << odd.detail;
}

// One fixture with the saves of preset_file_io_test.cpp, which share the suite.
using PresetFileSave = ScratchFolder;

TEST_F(PresetFileSave, FailureLeavesExistingFileAlone) {
    const Preset p = samplePreset();

    const QString underMissing = dir.filePath("no-such-folder/x.qob");
    FileResult r = savePresetFile(underMissing, p);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.detail.rfind(underMissing.toStdString() + ": ", 0), 0u) << r.detail;
    EXPECT_FALSE(QFile::exists(underMissing));

    const QString plainFile = dir.filePath("plain");
    writeBytes(plainFile, "not a folder");
    r = savePresetFile(plainFile + "/x.qob", p);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(bytesOf(plainFile), "not a folder");

    const QString existing = dir.filePath("existing.qob");
    ASSERT_TRUE(savePresetFile(existing, Preset{}).ok);
    const std::string before = bytesOf(existing);
#if defined(__unix__)
    // A file size limit makes the write fail the way a full disk does, even for root.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    r = savePresetFile(existing, p);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.detail.rfind(existing.toStdString() + ": ", 0), 0u) << r.detail;
    EXPECT_GT(r.detail.size(), existing.size() + 2) << "the OS reason follows the path";
    EXPECT_EQ(bytesOf(existing), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2)
        << "no temporary file is left behind";
#endif
    ASSERT_TRUE(savePresetFile(existing, p).ok) << "replacing works";
    EXPECT_EQ(bytesOf(existing), writePreset(p));
}

TEST(Cp1252, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const QString text = fromCp1252(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(toCp1252(text), all);

    EXPECT_EQ(text[0x80], QChar(0x20AC));
    EXPECT_EQ(text[0x81], QChar(0x0081));
    EXPECT_EQ(text[0x8A], QChar(0x0160));
    EXPECT_EQ(text[0x9D], QChar(0x009D));
    EXPECT_EQ(text[0x9F], QChar(0x0178));
    EXPECT_EQ(text[0xA0], QChar(0x00A0));
    EXPECT_EQ(text[0xE9], QChar(0x00E9));
    EXPECT_EQ(toCp1252(QString::fromUtf8("\xE2\x80\x9C"
                                         "Caf\xC3\xA9"
                                         "\xE2\x80\x9D")),
              std::string("\x93"
                          "Caf\xE9"
                          "\x94"));
    EXPECT_EQ(toCp1252(QString(QChar(0x0080))), std::nullopt) << "0x80 is the euro sign";
    EXPECT_EQ(toCp1252(QString(QChar(0x0100))), std::nullopt);
    EXPECT_EQ(toCp1252(QString::fromUtf8("\xF0\x9F\x8E\xB9")), std::nullopt);
}

TEST(DefaultPreset, LoadsAndIsTheWritersOwnOutput) {
    const QString path = QStringLiteral(QOB_SOURCE_DIR "/resources/Default.QOB");
    Preset p;
    const FileResult r = loadPresetFile(path, p);
    ASSERT_TRUE(r.ok) << r.detail;
    EXPECT_EQ(bytesOf(path), writePreset(p));
    EXPECT_FALSE(p.Name.empty());
    EXPECT_LE(p.Name.size(), 11u);

    bool keystroke = false, sysexSeen = false, drawbar = false, push = false, toggle = false;
    for (int k = 0; k < kElementCount; ++k) {
        for (const ElementAssignment* a : {&p.Elements[k].Daw, &p.Elements[k].Midi}) {
            EXPECT_NE(assignKind(*a), AssignKind::None) << "element " << k;
            if (a->Status != kStatusSysEx) {
                EXPECT_FALSE(a->Explain.empty()) << "element " << k;
                EXPECT_LE(a->Explain.size(), 8u) << "element " << k;
            }
            keystroke |= assignKind(*a) == AssignKind::Keyboard;
            sysexSeen |= assignKind(*a) == AssignKind::SysEx;
            drawbar |= a->Mode == ElementMode::Drawbar;
            push |= a->Mode == ElementMode::Push;
            toggle |= a->Mode == 0 && k >= 18 && k <= 30;
        }
        EXPECT_EQ(assignKind(p.Elements[k].Daw), AssignKind::MidiEvent) << "element " << k;
    }
    EXPECT_TRUE(keystroke && sysexSeen && drawbar && push && toggle);
    // Pan on the V-Pots and volume on the faders, one MIDI channel each.
    EXPECT_EQ(p.Elements[0].Daw, event(0, 0xB0, 10, 64, "Pan 1"));
    EXPECT_EQ(p.Elements[47].Daw, event(0, 0xBF, 7, 100, "Vol 16"));
    EXPECT_EQ(p.Elements[31].Midi.Status, 0xE0) << "the Wheel bends pitch";
    EXPECT_EQ(p.Elements[17].Midi.Status, 0xD0) << "breath as channel aftertouch";
}
