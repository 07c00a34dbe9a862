// SPDX-License-Identifier: GPL-3.0-or-later
// The Element Assign dialog's input rules, in tables: numbers, key texts, SysEx texts, titles and
// mode lists.
#include "model/ElementNames.h"
#include "ui/assign/InputRules.h"

#include <QString>

#include <gtest/gtest.h>

#include <cmath>
#include <variant>
#include <vector>

using namespace qob;

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(InputRules, NumericFieldRuleAndByteRounding) {
    struct Case {
        const char* text;
        int byte; // -1: refused
    };
    const Case cases[] = {
        {" 144", 144},  {" 1 4 4", 144}, {"\t12\n", 12}, {"12abc", 12},  {"&HFF", 255},
        {"&hff", 255},  {"&O17", 15},    {"&O8", 0},     {"&H", 0},      {"&X1", 0},
        {"1e2", 100},   {"1.5E1", 15},   {"1e", 1},      {"1e+", 1},     {"+7", 7},
        {"127.5", 128}, {"128.5", 128},  {"2.5", 2},     {"254.5", 254}, {".5", 0},
        {"-0.4", 0},    {"abc", 0},      {"", 0},        {"--1", 0},     {"1.2.3", 1},
        {"256", -1},    {"-1", -1},      {"255.5", -1},  {"9999", -1},   {"1e999", -1},
        {"1e-999", 0},  {"\u00B2", 0},
    };
    for (const Case& c : cases) {
        const auto byte = byteValue(numericValue(QString::fromUtf8(c.text)));
        EXPECT_EQ(byte ? int(*byte) : -1, c.byte) << '"' << c.text << '"';
    }
    // Beyond double range the size of the number decides, not the exponent's sign.
    const QString zeros(400, u'0');
    EXPECT_EQ(numericValue(QStringLiteral("0.") + zeros + QStringLiteral("1e5")), 0.0);
    EXPECT_EQ(numericValue(QStringLiteral("-0.") + zeros + QStringLiteral("1")), 0.0);
    EXPECT_EQ(numericValue(QStringLiteral("1") + zeros + QStringLiteral("e-10")), HUGE_VAL);
    EXPECT_EQ(numericValue(QStringLiteral("-1") + zeros), -HUGE_VAL);
    EXPECT_EQ(numericValue(u"1e99999999999999999999"), HUGE_VAL);
    EXPECT_EQ(numericValue(u"1e-99999999999999999999"), 0.0);
}

// A reading's value, or -1 when refused.
template <typename T> int valueOr(const Reading<T>& r) {
    const T* v = std::get_if<T>(&r);
    return v ? int(*v) : -1;
}

TEST(InputRules, MidiFieldsReadAsAWholeNumber) {
    struct Case {
        const char* text;
        int status; // -1: refused
        int data;
    };
    const Case cases[] = {
        {" 144", 144, 144},  {"1 4 4", 144, 144},  {"\t176\n", 176, 176}, {"&H90", 144, 144},
        {"&o220", 144, 144}, {"1.44e2", 144, 144}, {"143.6", 144, 144},   {"127.5", 128, 128},
        {"239", 239, 239},   {"+200", 200, 200},   {"1.", -1, 1},         {"60", -1, 60},
        {"127", -1, 127},    {"240", -1, 240},     {"239.5", -1, 240},    {"255", -1, 255},
        {"", -1, 0},         {"  ", -1, 0},        {"-0.4", -1, 0},       {"256", -1, -1},
        {"-1", -1, -1},      {"abc", -1, -1},      {"xy", -1, -1},        {"12abc", -1, -1},
        {"1e", -1, -1},      {"1e+", -1, -1},      {"&H", -1, -1},        {"&O8", -1, -1},
        {".", -1, -1},       {"+", -1, -1},        {"1.2.3", -1, -1},     {"1e999", -1, -1},
        {"\u00B2", -1, -1},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(valueOr(readMidiByte(text, InputField::StatusByte)), c.status) << c.text;
        const Reading<std::uint8_t> data = readMidiByte(text, InputField::Data2);
        EXPECT_EQ(valueOr(data), c.data) << c.text;
        if (const Refusal* r = std::get_if<Refusal>(&data)) {
            EXPECT_EQ(r->field, InputField::Data2);
            EXPECT_TRUE(r->text.startsWith("Data 2: ")) << r->text.toStdString();
            EXPECT_TRUE(r->informative.contains("0 to 255"));
        }
    }
    // What the user reads: the field by its name, the text as typed, what it was read as.
    const auto message = [](const char* text, InputField field) {
        return std::get<Refusal>(readMidiByte(QString::fromLatin1(text), field)).text;
    };
    EXPECT_EQ(message("60", InputField::StatusByte),
              "Status byte: \"60\" is not the status of a channel message.");
    EXPECT_EQ(message("&HF0", InputField::StatusByte),
              "Status byte: \"&HF0\" (read as 240) is not the status of a channel message.");
    EXPECT_EQ(message("", InputField::StatusByte), "Status byte: the field is empty.");
    EXPECT_EQ(message("xy", InputField::Data1), "Data 1: \"xy\" is not a number.");
    EXPECT_EQ(message("300", InputField::Data1), "Data 1: \"300\" lies outside 0 to 255.");
}

TEST(InputRules, KeyTextsBothWays) {
    struct Case {
        const char* text;
        int code; // -1: refused
    };
    const Case cases[] = {
        {"a", 4},          {"Apple", 4},    {"yes", 28},       {"Z", 29},
        {"z", 29},         {"ZOO", -1},     {" A", 4},         {"Enterprise", 8},
        {"1", 30},         {"9", 38},       {"0", 39},         {"<1>", 30},
        {"12", -1},        {"<F12>", 69},   {"<f12>", 69},     {"F5", 62},
        {"f12", 69},       {"<F1>", 58},    {"F10", 67},       {"F13", -1},
        {"<F24>", -1},     {"F0", -1},      {"F05", -1},       {"<SPACE>", 44},
        {"<space>", 44},   {"Space", 44},   {"<Space>", 44},   {"SPACE", 44},
        {"Right", 79},     {"<Left>", 80},  {"Down", 81},      {"up", 82},
        {"<UP>", 82},      {"Enter", -1},   {"<Return>", -1},  {"Esc", -1},
        {"escape", -1},    {"Tab", -1},     {"Backspace", -1}, {"DELETE", -1},
        {"Insert", -1},    {"Home", -1},    {"End", -1},       {"PageUp", -1},
        {"Page Down", -1}, {"<Apple>", -1}, {"<>", -1},        {"<", -1},
        {"@", -1},         {"[", -1},       {"\u00DF", -1},    {"\u00E9t\u00E9", -1},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(valueOr(readKeyText(text, 80)), c.code) << '"' << c.text << '"';
        if (c.code < 0) {
            const Refusal r = std::get<Refusal>(readKeyText(text, std::nullopt));
            EXPECT_EQ(r.field, InputField::Key);
            EXPECT_TRUE(r.text.startsWith("Key: ")) << r.text.toStdString();
            // Says what can be sent.
            EXPECT_TRUE(r.informative.contains("F1 to F12") && r.informative.contains("Space"));
        }
    }
    // An empty field keeps a keystroke's code, but names no key for any other record.
    EXPECT_EQ(valueOr(readKeyText("", 80)), 80);
    EXPECT_EQ(valueOr(readKeyText("  ", 80)), 80);
    EXPECT_EQ(std::get<Refusal>(readKeyText("", std::nullopt)).text, "Key: no key is given.");
    EXPECT_EQ(std::get<Refusal>(readKeyText("Enter", std::nullopt)).text,
              "Key: the surface cannot send \"Enter\".");

    int named = 0;
    for (int code = 0; code < 256; ++code) {
        const QString text = keyTextOf(static_cast<std::uint8_t>(code));
        if (text.isEmpty())
            continue;
        ++named;
        EXPECT_EQ(valueOr(readKeyText(text, std::nullopt)), code) << text.toStdString();
    }
    EXPECT_EQ(named, 26 + 10 + 1 + 12);
    EXPECT_EQ(keyTextOf(44), "<SPACE>");
    EXPECT_EQ(keyTextOf(79), "");
}

TEST(InputRules, StoringARefusedTextChangesNothing) {
    const ElementAssignment event{0x80, 0x90, 60, 100, "ev", {1, 2, 3, 4, 5, 6, 7, 8}};
    const ElementAssignment key{0x80, 0xFF, 0x01, 80, "key", {1, 2, 3, 4, 5, 6, 7, 8}};

    ElementAssignment r = event;
    EXPECT_TRUE(storeKeystroke(r, 0x02, ""));
    EXPECT_TRUE(storeSysEx(r, u"41 80"));
    EXPECT_TRUE(storeMidiEvent(r, {"144", "60", "xy"}));
    EXPECT_EQ(r, event);

    r = key;
    EXPECT_FALSE(storeKeystroke(r, 0x06, ""));
    EXPECT_EQ(r, (ElementAssignment{0x80, 0xFF, 0x06, 80, "key", {1, 2, 3, 4, 5, 6, 7, 8}}));
    r = event;
    EXPECT_FALSE(storeSysEx(r, u"41 10"));
    EXPECT_EQ(r, (ElementAssignment{0x80, 0xF0, 0x41, 0x10, "ev", {0xF7, 2, 3, 4, 5, 6, 7, 8}}));
    r = key;
    EXPECT_FALSE(storeMidiEvent(r, {"&HB0", " 7", ""}));
    EXPECT_EQ(r, (ElementAssignment{0x80, 0xB0, 7, 0, "key", {1, 2, 3, 4, 5, 6, 7, 8}}));
    const auto refused = storeMidiEvent(r, {"176", "300", "xy"});
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->field, InputField::Data1); // the first field at fault
}

TEST(InputRules, SysExTextToBytesAndBack) {
    struct Case {
        const char* text;
        Bytes bytes; // empty: refused
        int from = 0, length = 0;
        const char* message = nullptr;
    };
    const Case cases[] = {
        {"41 10 42", {0x41, 0x10, 0x42, 0xF7}},
        {"", {0x00, 0xF7}},
        {"   ", {0x00, 0xF7}},
        {"41 F7", {0x41, 0xF7, 0xF7}},
        {"7f", {0x7F, 0xF7}},
        {"A 7", {0x0A, 0x07, 0xF7}},
        {"4110", {0x41, 0x10, 0xF7}},
        {"411", {0x41, 0x01, 0xF7}},
        {" 4\t1 ", {0x04, 0x01, 0xF7}},
        {"01 02 03 04 05 06 07 08 09", {1, 2, 3, 4, 5, 6, 7, 8, 9, 0xF7}},
        {"01 02 03 04 05 06 07 08 09 0A", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"010203040506070809F7", {1, 2, 3, 4, 5, 6, 7, 8, 9, 0xF7}},
        {"41 1G 4l F0 90", {}, 3, 2, "SysEx string: \"1G\" in byte 2 is not a hex byte."},
        {"41 80", {}, 3, 2, "SysEx string: byte 2 is 80, outside 00 to 7F."},
        {"41 F0", {}, 3, 2},
        {"F0 41 F7",
         {},
         0,
         2,
         "SysEx string: leave out the start byte F0; it is sent before the string by itself."},
        {"41 F7 42",
         {},
         3,
         2,
         "SysEx string: F7 in byte 2 ends the string, but more bytes follow it."},
        {"01 02 03 04 05 06 07 08 09 0A 0B",
         {},
         30,
         -1,
         "SysEx string: a string holds at most ten bytes; byte 11 is one too many."},
        {"zz", {}, 0, 2},
        {"f7", {}, 0, 2},
        {"41,10", {}, 2, 2},
        {"4 &H1", {}, 2, 2},
        {"\u0661\u0662", {}, 0, 2},
    };
    for (const Case& c : cases) {
        const Reading<Bytes> read = readSysExText(QString::fromUtf8(c.text));
        if (!c.bytes.empty()) {
            EXPECT_EQ(std::get<Bytes>(read), c.bytes) << c.text;
            continue;
        }
        const Refusal* r = std::get_if<Refusal>(&read);
        ASSERT_TRUE(r) << c.text;
        EXPECT_EQ(r->field, InputField::SysEx);
        EXPECT_EQ(r->from, c.from) << c.text;
        EXPECT_EQ(r->length, c.length) << c.text;
        if (c.message) {
            EXPECT_EQ(r->text, c.message);
        }
    }

    struct Shown {
        ElementAssignment record;
        const char* text;
    };
    const Shown shown[] = {
        {{0, 0xF0, 0x41, 0x10, "", {0xF7, 0x55}}, "41 10 F7"},
        {{0, 0xF0, 0x0A, 0xF7, "", {0x55}}, "0A F7"},
        {{0, 0xF0, 0xF7, 0x10, "", {0xF7}}, "F7 10 F7"},
        {{0, 0xF0, 1, 2, "", {3, 4, 5, 6, 7, 8, 9, 0xAB}}, "01 02 03 04 05 06 07 08 09 AB"},
    };
    for (const Shown& s : shown)
        EXPECT_EQ(sysExFieldText(s.record), s.text);
}

TEST(InputRules, TitlesAndModeLists) {
    const std::pair<int, const char*> titles[] = {
        {0, "Element Assign : V Pot  1"},         {39, "Element Assign : V Pot  16"},
        {8, "Element Assign : Fader  1"},         {40, "Element Assign : Fader  9"},
        {47, "Element Assign : Fader  16"},       {18, "Element Assign : Button  1"},
        {55, "Element Assign : Button  16"},      {16, "Element Assign : Fader Master"},
        {17, "Element Assign : Breath Control"},  {26, "Element Assign : <Transport> FF"},
        {29, "Element Assign : <Transport> REW"}, {30, "Element Assign : <Transport> STOP"},
        {31, "Element Assign : Wheel"},
    };
    for (const auto& [element, title] : titles)
        EXPECT_EQ(assignTitle(element), title);
    for (int e = 0; e < kElementCount; ++e) {
        const ModeList expected = (e <= 17 || (e >= 32 && e <= 39))   ? ModeList::NormalDrawbar
                                  : ((e >= 18 && e <= 25) || e >= 48) ? ModeList::TogglePush
                                                                      : ModeList::None;
        EXPECT_EQ(modeListOf(e), expected) << e;
    }
}

} // namespace
