// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace qob {

inline constexpr int kElementCount = 56;

// Derived from Status alone; never stored.
enum class AssignKind { None, MidiEvent, Keyboard, SysEx };

namespace ElementMode {
inline constexpr std::uint8_t Push = 0x80;    // keys: Push when set, Toggle when clear
inline constexpr std::uint8_t Drawbar = 0x10; // continuous controls: Drawbar or Normal
} // namespace ElementMode

inline constexpr std::uint8_t kStatusKeyboard = 0xFF;
inline constexpr std::uint8_t kStatusSysEx = 0xF0;
inline constexpr std::uint8_t kSysExEnd = 0xF7;

enum class Layer : bool { Daw = false, Midi = true };

// Keystrokes store the key as a usage ID of the keyboard page of the USB HID tables.
namespace KeyCode {
inline constexpr std::uint8_t A = 4;
inline constexpr std::uint8_t Z = 29;
inline constexpr std::uint8_t Digit1 = 30;
inline constexpr std::uint8_t Digit9 = 38;
inline constexpr std::uint8_t Digit0 = 39;
inline constexpr std::uint8_t Space = 44;
inline constexpr std::uint8_t F1 = 58;
inline constexpr std::uint8_t F12 = 69;
inline constexpr std::uint8_t Right = 79;
inline constexpr std::uint8_t Left = 80;
inline constexpr std::uint8_t Down = 81;
inline constexpr std::uint8_t Up = 82;
} // namespace KeyCode

// A SysEx string after its F0: Data1, Data2, then the eight tail bytes.
inline constexpr int kSysExPositions = 10;

// Text fields (Name, Explain) hold Windows-1252 bytes exactly as read from a file, so that any
// byte 0x00..0xFF survives a load and a save unchanged.
struct ElementAssignment {
    std::uint8_t Mode = 0;
    std::uint8_t Status = 0;
    std::uint8_t Data1 = 0;
    std::uint8_t Data2 = 0;
    std::string Explain;
    std::array<std::uint8_t, 8> SysExTail{};

    bool operator==(const ElementAssignment&) const = default;
};

AssignKind assignKind(const ElementAssignment& a);

// Byte `position` (0..9) of the SysEx string the record holds.
std::uint8_t& sysExByte(ElementAssignment& a, int position);
std::uint8_t sysExByte(const ElementAssignment& a, int position);

struct ElementSlot {
    ElementAssignment Daw;
    ElementAssignment Midi;

    ElementAssignment& record(Layer layer) { return layer == Layer::Midi ? Midi : Daw; }
    const ElementAssignment& record(Layer layer) const { return layer == Layer::Midi ? Midi : Daw; }
    bool operator==(const ElementSlot&) const = default;
};

// The 56 slots; every access checks the index so that an area code (56..62) or NO_ELEMENT (99)
// can never reach a slot.
class ElementArray {
public:
    ElementSlot& operator[](int i) { return m_slots.at(checked(i)); }
    const ElementSlot& operator[](int i) const { return m_slots.at(checked(i)); }
    static constexpr int size() { return kElementCount; }
    auto begin() { return m_slots.begin(); }
    auto end() { return m_slots.end(); }
    auto begin() const { return m_slots.begin(); }
    auto end() const { return m_slots.end(); }
    bool operator==(const ElementArray&) const = default;

private:
    static std::size_t checked(int i) {
        if (i < 0 || i >= kElementCount)
            throw std::out_of_range("element index " + std::to_string(i) + " outside 0..55");
        return static_cast<std::size_t>(i);
    }
    std::array<ElementSlot, kElementCount> m_slots{};
};

struct Preset {
    std::string Name;
    std::array<std::int16_t, 2> FaderLimit{};
    std::array<std::int16_t, 2> VPotLimit{};
    ElementArray Elements;
    // Not part of the file: 1 at start, kept across Open and Save As.
    std::int16_t PresetIndex = 1;

    bool operator==(const Preset&) const = default;
};

class MidiOutPort; // device/MidiOutPort.h

inline constexpr std::int16_t NO_ELEMENT = 99;

// The editor's state values; never saved.
struct EditorState {
    std::int16_t CurrentElement = 0;
    std::int16_t HoverElement = 0;
    Layer ActiveLayer = Layer::Daw;
    bool ChannelShift = false;
    bool DialogOpen = false;
    bool PanelRefreshPending = false;
    bool MidiPortChosen = false;
    std::shared_ptr<MidiOutPort> MidiOutHandle; // empty: no port open
    std::int32_t MidiResult = 0;
};

} // namespace qob
