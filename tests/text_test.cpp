// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/Cp1252.h"
#include "model/ElementNames.h"
#include "vocab/Text.h"

#include <gtest/gtest.h>

#include <set>

using namespace qob;

namespace {

ElementAssignment event(std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                        std::string explain = {}) {
    ElementAssignment a;
    a.Status = status;
    a.Data1 = data1;
    a.Data2 = data2;
    a.Explain = std::move(explain);
    return a;
}

ElementAssignment sysex(std::uint8_t data1, std::uint8_t data2, std::array<std::uint8_t, 8> tail) {
    ElementAssignment a = event(kStatusSysEx, data1, data2);
    a.SysExTail = tail;
    return a;
}

} // namespace

TEST(NameTables, ControllerNames) {
    const struct {
        int number;
        std::string_view name;
    } cases[] = {
        {0, "Bank Select MSB"}, {3, "MIDI CC"},   {4, "Foot Controll"}, {9, "MIDI CC"},
        {15, "Effect Ctrl 4"},  {16, "MIDI CC"},  {35, "(Undefined)"},  {36, "Foot Control LSB"},
        {41, "MIDI CC"},        {46, "MIDI CC"},  {64, "Damper Pedal"}, {84, "Portamento Ctrl"},
        {85, "MIDI CC"},        {119, "MIDI CC"}, {127, "Polyphonic"},  {128, "MIDI CC"},
        {255, "MIDI CC"},       {-1, "MIDI CC"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ControllerName(c.number), c.name) << "controller " << c.number;

    int named = 0;
    for (int n = 0; n <= 127; ++n)
        named += ControllerName(n) != "MIDI CC";
    EXPECT_EQ(named, 62);
}

TEST(NameTables, ProgramNames) {
    const struct {
        int number;
        std::string_view name;
    } cases[] = {
        {0, "Grand Piano"},
        {26, "Jazz  Guitar"},
        {28, "Mute  Guitar"},
        {66, "Tenor  Sax"},
        {87, "Brass + Lead"},
        {94, "Halo  Syn Pad"},
        {127, "Gun shot"},
        {128, ""},
        {255, ""},
        {-1, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgramName(c.number), c.name) << "program " << c.number;

    // A shifted or shortened table would repeat or blank a name somewhere.
    std::set<std::string_view> names;
    for (int n = 0; n <= 127; ++n) {
        EXPECT_FALSE(ProgramName(n).empty()) << "program " << n;
        names.insert(ProgramName(n));
    }
    EXPECT_EQ(names.size(), 128u);
}

TEST(NameTables, EventTypeNamesIgnoreTheChannel) {
    const struct {
        std::uint8_t status;
        std::string_view name;
    } cases[] = {
        {0x80, "Note Off"},
        {0x8F, "Note Off"},
        {0x93, "Note On"},
        {0xA0, "Poly AfterTouch"},
        {0xAF, "Poly AfterTouch"},
        {0xB0, ""},
        {0xC5, ""},
        {0xD0, "Channel AfterTouch"},
        {0xDF, "Channel AfterTouch"},
        {0xE0, "Pitch Bend"},
        {0xEF, "Pitch Bend"},
        {0x00, ""},
        {0x7F, ""},
        {0xF0, ""},
        {0xFF, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EventTypeName(c.status), c.name) << "status " << int(c.status);
}

TEST(MidiText, DataText) {
    const struct {
        ElementAssignment a;
        std::string text;
    } cases[] = {
        {event(0xB0, 7, 100), " 176, 7, 100"},
        {event(0x93, 60, 127), " 147, 60, 127"},
        {event(0, 0, 0), " 0, 0, 0"},
        {event(0xFF, 255, 255), " 255, 255, 255"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(midiDataText(c.a), c.text);
    EXPECT_EQ(midiDataText(event(0xB0, 7, 100)).size(), 12u);
    EXPECT_EQ(midiDataText(event(0x93, 60, 127)).size(), 13u);
}

TEST(MidiText, ExplainText) {
    using Text = std::optional<std::string>;
    const struct {
        ElementAssignment a;
        Layer layer;
        Text text;
    } cases[] = {
        {event(0x93, 60, 127), Layer::Midi, "Note On"},
        {event(0xB0, 35, 0), Layer::Midi, "(Undefined)"},
        {event(0xB0, 3, 0), Layer::Midi, "MIDI CC"},
        {event(0xBF, 4, 0), Layer::Midi, "Foot Controll"},
        {event(0xB0, 127, 0), Layer::Midi, "Polyphonic"},
        {event(0xB0, 200, 0), Layer::Midi, "MIDI CC"},
        {event(0xC5, 0, 0), Layer::Midi, "Grand Piano"},
        {event(0xC0, 26, 0), Layer::Midi, "Jazz  Guitar"},
        {event(0xC5, 127, 0), Layer::Midi, "Gun shot"},
        {event(0xC5, 128, 0), Layer::Midi, std::nullopt},
        {event(0xEF, 0, 64), Layer::Midi, "Pitch Bend"},
        {event(0x00, 0, 0), Layer::Midi, std::nullopt},
        {event(0xF5, 0, 0), Layer::Midi, std::nullopt},
        // The DAW layer shows the user's own label, never a name from the tables.
        {event(0x90, 60, 100, "Kick"), Layer::Daw, "Kick"},
        {event(0xB0, 7, 0, ""), Layer::Daw, ""},
        {event(0x00, 0, 0, "\xE9t\xE9"), Layer::Daw, "\xE9t\xE9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(midiExplainText(c.a, c.layer), c.text)
            << "status " << int(c.a.Status) << " data1 " << int(c.a.Data1);
}

TEST(PanelTexts, Keystroke) {
    const struct {
        std::uint8_t modifiers;
        std::uint8_t key;
        std::string text;
    } cases[] = {
        {5, 69, "<Ctrl+Alt> <F12>"},
        {7, 44, "<Ctr+Shift+Alt><Space>"},
        {3, 4, "<Ctrl+Shift> A"},
        {0, 66, "<F9>"},
        {1, 67, "<Ctrl> <F10>"},
        {2, 58, "<Shift> <F1>"},
        {4, 29, "<Alt> Z"},
        {6, 30, "<Shift+Alt> 1"},
        {0, 38, "9"},
        {0, 39, "0"},
        {0, 79, "<Right>"},
        {0, 80, "<Left>"},
        {0, 81, "<Down>"},
        {0, 82, "<Up>"},
        {8, 4, "A"},
        {255, 82, "<Up>"},
        // A key the panel cannot name drops the prefix as well.
        {1, 100, ""},
        {0, 0, ""},
        {7, 3, ""},
        {0, 40, ""},
        {0, 57, ""},
        {0, 70, ""},
        {0, 83, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(keystrokeText(c.modifiers, c.key), c.text)
            << "modifiers " << int(c.modifiers) << " key " << int(c.key);
}

TEST(PanelTexts, SysEx) {
    const struct {
        ElementAssignment a;
        std::string text;
    } cases[] = {
        {sysex(0x43, 0x10, {0x4C, 0x00, 0xF7}), "43 10 4C 00 F7"},
        {sysex(0x7E, 0xF7, {0x01, 0x02}), "7E F7"},
        {sysex(0x0A, 0x01, {0xF7}), "0A 01 F7"},
        // Data1 is the first byte after F0 and is never read as the end.
        {sysex(0xF7, 0x10, {0xF7}), "F7 10 F7"},
        {sysex(0x43, 0x10, {0, 0, 0, 1, 2, 3, 4, 0xF7}), "43 10 00 00 00 01 02 03 04 F7"},
        {sysex(0x01, 0x02, {0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A}),
         "01 02 03 04 05 06 07 08 09 0A F7"},
        {sysex(0xFF, 0x80, {0xAB, 0xCD, 0xEF, 0x7F, 0x00, 0x10, 0x20, 0xF7}),
         "FF 80 AB CD EF 7F 00 10 20 F7"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sysexText(c.a), c.text);
}

TEST(PanelTexts, ModeWord) {
    const struct {
        int element;
        std::uint8_t mode;
        std::string word;
    } cases[] = {
        {18, ElementMode::Push, "Push"},
        {18, 0, "Toggle"},
        {55, 0xFF, "Push"},
        {48, ElementMode::Drawbar, "Toggle"},
        {0, ElementMode::Drawbar, "Drawbar"},
        {15, 0, "Normal"},
        {32, 0xFF, "Drawbar"},
        {47, ElementMode::Push, "Normal"},
        {40, ElementMode::Drawbar, "Drawbar"},
        {16, ElementMode::Drawbar, ""},
        {17, ElementMode::Drawbar, ""},
        {26, ElementMode::Push, ""},
        {30, 0, ""},
        {31, 0xFF, ""},
    };
    for (const auto& c : cases) {
        ElementAssignment a;
        a.Mode = c.mode;
        EXPECT_EQ(modeWord(c.element, a), c.word) << "element " << c.element;
    }
}

TEST(PanelTexts, ControlsShownEscaped) {
    const struct {
        std::string bytes;
        const char16_t* shown;
    } cases[] = {
        {std::string("\x00\x1F !~", 5), u"\\x00\\x1F !~"},
        {"\x7F\x80\x81\x9B\x9D\x9F\xA0\xFF", u"\\x7F\u20AC\\x81\u203A\\x9D\u0178\u00A0\u00FF"},
        {"line\r\nbreak\t", u"line\\x0D\\x0Abreak\\x09"},
        // An escape and the same characters typed must not read alike; blanks stay as they are.
        {"\x1B", u"\\x1B"},
        {"\\x1B", u"\\\\x1B"},
        {"a\\b\\", u"a\\\\b\\\\"},
        {"1\xA0st ", u"1\u00A0st "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shownText(c.bytes), QString::fromUtf16(c.shown)) << c.bytes;
    // Unicode text straight from Qt, as in an error message: C1 controls and the backslash too,
    // nothing else.
    EXPECT_EQ(escapeControls(QString::fromUtf16(u"a\u0085b\u009Fc\u00E9\u2028\\")),
              QString::fromUtf16(u"a\\x85b\\x9Fc\u00E9\u2028\\\\"));
    // A message that quotes escaped texts keeps their backslashes.
    EXPECT_EQ(escapeControlsOnly(QStringLiteral("\\x1B\x1B")), QStringLiteral("\\x1B\\x1B"));
}

TEST(ElementNames, NamesAndHeaders) {
    const struct {
        int element;
        std::string name;
        std::string header;
    } cases[] = {
        {0, "V Pot  1", "* : V_Pot  1"},
        {9, "Fader  2", "* : Fader  2"},
        {16, "Fader Master", "* : Fader Master"},
        {17, "Breath Control", "* : Breath Control"},
        {18, "Button  1", "* : Button  1"},
        {26, "Transport: FF", "* : FF"},
        {30, "Transport: STOP", "* : STOP"},
        {31, "Wheel", "* : WHEEL"},
        {32, "V Pot  9", "* : V_Pot  9"},
        {47, "Fader  16", "* : Fader  16"},
        {55, "Button  16", "* : Button  16"},
        {56, "", ""},
        {99, "", ""},
        {-1, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(elementName(c.element), c.name) << "element " << c.element;
        EXPECT_EQ(elementHeader(c.element), c.header) << "element " << c.element;
    }
}

TEST(ElementNames, ModeBitOfEachKind) {
    const std::pair<int, std::uint8_t> cases[] = {
        {0, ElementMode::Drawbar},  {15, ElementMode::Drawbar}, {16, ElementMode::Drawbar},
        {17, ElementMode::Drawbar}, {18, ElementMode::Push},    {25, ElementMode::Push},
        {26, ElementMode::Push},    {30, ElementMode::Push},    {31, 0},
        {32, ElementMode::Drawbar}, {47, ElementMode::Drawbar}, {48, ElementMode::Push},
        {55, ElementMode::Push},
    };
    for (const auto& [element, bit] : cases)
        EXPECT_EQ(modeBitOf(element), bit) << "element " << element;
}

TEST(ElementNames, BankPartners) {
    const struct {
        int bank1;
        int bank2;
    } pairs[] = {{0, 32}, {7, 39}, {8, 40}, {15, 47}, {18, 48}, {25, 55}};
    for (const auto& p : pairs) {
        EXPECT_EQ(bank2Partner(p.bank1), p.bank2);
        EXPECT_EQ(bank1Partner(p.bank2), p.bank1);
    }
    for (int single : {16, 17, 26, 27, 28, 29, 30, 31}) {
        EXPECT_EQ(bank2Partner(single), single);
        EXPECT_EQ(bank1Partner(single), single);
    }
    // Every partner is the same kind of element and leads back.
    for (int e = 0; e < kElementCount; ++e) {
        const int partner = e < 32 ? bank2Partner(e) : bank1Partner(e);
        EXPECT_EQ(isButton(partner), isButton(e)) << e;
        EXPECT_EQ(isVPotOrFader(partner), isVPotOrFader(e)) << e;
        EXPECT_EQ(e < 32 ? bank1Partner(partner) : bank2Partner(partner), e) << e;
        EXPECT_EQ(elementName(partner).substr(0, 5), elementName(e).substr(0, 5)) << e;
    }
}
