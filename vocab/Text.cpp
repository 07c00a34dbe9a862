// SPDX-License-Identifier: GPL-3.0-or-later
#include "vocab/Text.h"

#include <array>

namespace qob {
namespace {

constexpr int kMidiDataMax = 127;

// Controller numbers without a name of their own read "MIDI CC".
constexpr std::string_view kUnnamedController = "MIDI CC";

struct ControllerEntry {
    int number;
    std::string_view name;
};
constexpr std::array<ControllerEntry, 62> kControllers{{
    {0, "Bank Select MSB"},
    {1, "Modulation"},
    {2, "Breath Control"},
    {4, "Foot Controll"},
    {5, "Portamento Time"},
    {6, "Data Entry"},
    {7, "Volume"},
    {8, "Balance"},
    {10, "Pan"},
    {11, "Expression"},
    {12, "Effect Ctrl 1"},
    {13, "Effect Ctrl 2"},
    {14, "Effect Ctrl 3"},
    {15, "Effect Ctrl 4"},
    {32, "Bank Select LSB"},
    {33, "Modulation LSB"},
    {34, "Breath Ctrl LSB"},
    {35, "(Undefined)"},
    {36, "Foot Control LSB"},
    {37, "Ptmento Time LSB"},
    {38, "Data Entry LSB"},
    {39, "Channel Vol LSB"},
    {40, "Balance LSB"},
    {42, "Pan LSB"},
    {43, "Expression LSB"},
    {44, "Effect Ctrl1 LSB"},
    {45, "Effect Ctrl2 LSB"},
    {64, "Damper Pedal"},
    {65, "PortamentoOnOff"},
    {66, "Sostenuto"},
    {67, "Soft Pedal"},
    {68, "Legato Footsw"},
    {69, "Hold 2 Pedal"},
    {70, "Sound Variation"},
    {71, "Timbre"},
    {72, "Release Time"},
    {73, "Attack Time"},
    {74, "Brightness"},
    {75, "Decay Time"},
    {76, "Vibrato Rate"},
    {77, "Vibrato Depth"},
    {78, "Vibrato Delay"},
    {84, "Portamento Ctrl"},
    {91, "Reverb Depth"},
    {92, "Tremolo Depth"},
    {93, "Chorus Depth"},
    {94, "Detune Depth"},
    {95, "Phaser Depth"},
    {96, "Data Entry +1"},
    {97, "Data Entry -1"},
    {98, "NRPN LSB"},
    {99, "NRPN MSB"},
    {100, "RPN LSB"},
    {101, "RPN MSB"},
    {120, "All Sound Off"},
    {121, "All Control Off"},
    {122, "Local Control"},
    {123, "All Notes Off"},
    {124, "Omni Off"},
    {125, "Omni On"},
    {126, "Monophonic"},
    {127, "Polyphonic"},
}};

// General MIDI programs 0..127 in the panel's short forms; the doubled blanks are intended.
constexpr std::array<std::string_view, 128> kPrograms{{
    "Grand Piano",
    "Bright Piano",
    "Elec G. Piano",
    "HonkyTonkPiano",
    "Elec Piano 1",
    "Elec Piano 2",
    "Harpsichord",
    "Clavinet",
    "Celesta",
    "Glockenspiel",
    "Music box",
    "Vibraphone",
    "Marimba",
    "Xylophone",
    "Tubular Bells",
    "Dulcimer",
    "Drawbar Organ",
    "Percuss Organ",
    "Rock Organ",
    "Church Organ",
    "Reed Organ",
    "Accordion",
    "Harmonica",
    "Tango Accordion",
    "Nylon Guitar",
    "Steel Guitar",
    "Jazz  Guitar",
    "Clean Guitar",
    "Mute  Guitar",
    "OverdriveGuitar",
    "DistortedGuitar",
    "Guitar Harmonic",
    "Acoustic Bass",
    "Fingered Bass",
    "Picked Bass",
    "Fretless Bass",
    "Slap Bass 1",
    "Slap Bass 2",
    "Synth Bass 1",
    "Synth Bass 2",
    "Violin",
    "Viola",
    "Cello",
    "Contrabass",
    "Tremolo String",
    "PizzicatoString",
    "Orchestra Harp",
    "Timpani",
    "Ensemble Str 1",
    "Ensemble Str 2",
    "Synth String 1",
    "Synth String 2",
    "Choir Aahs",
    "Voice Oohs",
    "Synth Choir",
    "Orchestral Hit",
    "Trumpet",
    "Trombone",
    "Tuba",
    "Muted Trumpet",
    "French Horn",
    "Brass Section",
    "Synth Brass 1",
    "Synth Brass 2",
    "Soprano Sax",
    "Alto Sax",
    "Tenor  Sax",
    "Baritone Sax",
    "Oboe",
    "English Horn",
    "Bassoon",
    "Clarinet",
    "Piccolo",
    "Flute",
    "Recorder",
    "Pan Flute",
    "Bottle Blow",
    "Shakuhachi",
    "Whistle",
    "Ocarina",
    "SquareWaveLead",
    "Sawtooth Lead",
    "Calliope Lead",
    "Chiff Lead",
    "Charang Lead",
    "Voice Lead",
    "Fifth Saw Lead",
    "Brass + Lead",
    "NewAge Syn Pad",
    "Warm Syn Pad",
    "PolySynth Pad",
    "Choir Syn Pad",
    "Bowed Syn Pad",
    "Metal Syn Pad",
    "Halo  Syn Pad",
    "Sweep Syn Pad",
    "SFX Rain",
    "SFX SoundTrack",
    "SFX Crystal",
    "SFX Atmosphere",
    "SFX Brightness",
    "SFX Goblins",
    "SFX Echoes",
    "SFX Sci Fi",
    "Sitar",
    "Banjo",
    "Shamisen",
    "Koto",
    "Kalimba",
    "Bag pipe",
    "Fiddle",
    "Shanai",
    "TinkleBell",
    "Agogo",
    "Steel Drums",
    "WoodBlock",
    "Taiko Drum",
    "Melodic Tom",
    "Synth Drum",
    "Reverse Cymbal",
    "Gt. Fret Noise",
    "Breath Noise",
    "Seashore",
    "Bird Tweet",
    "Telephone Ring",
    "Helicopter",
    "Applause",
    "Gun shot",
}};

// Event types by the high nibble of the status byte; 0xB and 0xC are named by Data1 instead.
constexpr std::uint8_t kNoteOff = 0x8;
constexpr std::uint8_t kNoteOn = 0x9;
constexpr std::uint8_t kPolyAfterTouch = 0xA;
constexpr std::uint8_t kControlChange = 0xB;
constexpr std::uint8_t kProgramChange = 0xC;
constexpr std::uint8_t kChannelAfterTouch = 0xD;
constexpr std::uint8_t kPitchBend = 0xE;

constexpr std::uint8_t eventType(std::uint8_t status) {
    return status >> 4;
}

// Modifier prefixes for Data1 = 1..7 (bit 1 Ctrl, 2 Shift, 4 Alt). The last one has no
// trailing blank and reads "Ctr"; the panel shows it so.
constexpr std::array<std::string_view, 8> kModifierPrefixes{{
    "",
    "<Ctrl> ",
    "<Shift> ",
    "<Ctrl+Shift> ",
    "<Alt> ",
    "<Ctrl+Alt> ",
    "<Shift+Alt> ",
    "<Ctr+Shift+Alt>",
}};

struct NamedKey {
    int code;
    std::string_view name;
};
constexpr std::array<NamedKey, 5> kNamedKeys{{
    {KeyCode::Space, "<Space>"},
    {KeyCode::Right, "<Right>"},
    {KeyCode::Left, "<Left>"},
    {KeyCode::Down, "<Down>"},
    {KeyCode::Up, "<Up>"},
}};

} // namespace

std::string keyName(int key) {
    if (key >= KeyCode::F1 && key <= KeyCode::F12)
        return "<F" + std::to_string(key - KeyCode::F1 + 1) + ">";
    if (key >= KeyCode::A && key <= KeyCode::Z)
        return std::string(1, static_cast<char>('A' + key - KeyCode::A));
    if (key >= KeyCode::Digit1 && key <= KeyCode::Digit9)
        return std::string(1, static_cast<char>('1' + key - KeyCode::Digit1));
    if (key == KeyCode::Digit0)
        return "0";
    for (const auto& named : kNamedKeys)
        if (named.code == key)
            return std::string(named.name);
    return {};
}

std::string_view EventTypeName(std::uint8_t status) {
    switch (eventType(status)) {
    case kNoteOff:
        return "Note Off";
    case kNoteOn:
        return "Note On";
    case kPolyAfterTouch:
        return "Poly AfterTouch";
    case kChannelAfterTouch:
        return "Channel AfterTouch";
    case kPitchBend:
        return "Pitch Bend";
    default:
        return {};
    }
}

std::string_view ControllerName(int number) {
    for (const auto& entry : kControllers)
        if (entry.number == number)
            return entry.name;
    return kUnnamedController;
}

std::string_view ProgramName(int number) {
    if (number < 0 || number > kMidiDataMax)
        return {};
    return kPrograms[static_cast<std::size_t>(number)];
}

std::string keystrokeText(std::uint8_t modifiers, std::uint8_t key) {
    std::string name = keyName(key);
    if (name.empty())
        return {};
    std::string_view prefix =
        modifiers < kModifierPrefixes.size() ? kModifierPrefixes[modifiers] : std::string_view{};
    return std::string(prefix) + name;
}

std::string sysexText(const ElementAssignment& a) {
    // Data1 is never taken for the end mark.
    std::string text = hexByte(a.Data1);
    for (int position = 1; position < kSysExPositions; ++position) {
        const std::uint8_t b = sysExByte(a, position);
        // Appended piece by piece: " " + hexByte(b) inserts at the front of a temporary, which
        // GCC 12 at -O3 misreads as an overlapping copy (-Wrestrict).
        text += ' ';
        text += hexByte(b);
        if (b == kSysExEnd)
            return text;
    }
    // Ten bytes fill the record and leave no room for the end mark; show it anyway.
    text += ' ';
    text += hexByte(kSysExEnd);
    return text;
}

std::string midiDataText(const ElementAssignment& a) {
    return numberText(a.Status) + "," + numberText(a.Data1) + "," + numberText(a.Data2);
}

std::optional<std::string> midiExplainText(const ElementAssignment& a, Layer layer) {
    if (layer == Layer::Daw)
        return a.Explain;
    std::string_view name;
    switch (eventType(a.Status)) {
    case kControlChange:
        name = ControllerName(a.Data1);
        break;
    case kProgramChange:
        name = ProgramName(a.Data1);
        break;
    default:
        name = EventTypeName(a.Status);
        break;
    }
    if (name.empty())
        return std::nullopt;
    return std::string(name);
}

std::string modeWord(int element, const ElementAssignment& a) {
    if (isButton(element))
        return (a.Mode & ElementMode::Push) ? "Push" : "Toggle";
    if (isVPotOrFader(element))
        return (a.Mode & ElementMode::Drawbar) ? "Drawbar" : "Normal";
    return {};
}

} // namespace qob
