// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/ControlIndex.h"

#include "model/ElementNames.h"

#include <algorithm>
#include <string_view>

namespace qob {

namespace {

constexpr std::uint8_t kNoteOff = 0x8;
constexpr std::uint8_t kNoteOn = 0x9;
constexpr std::uint8_t kProgramChange = 0xC;
constexpr std::uint8_t kChannelAfterTouch = 0xD;
constexpr std::uint8_t kPitchBend = 0xE;

// A key sends both Note On and Note Off, so the two share one entry. Channel AfterTouch and
// Pitch Bend carry no note or controller: their first data byte is a value, not part of the key.
std::uint32_t eventKey(std::uint8_t status, std::uint8_t data1) {
    std::uint8_t kind = status >> 4;
    if (kind == kNoteOff)
        kind = kNoteOn;
    if (kind == kChannelAfterTouch || kind == kPitchBend)
        data1 = 0;
    return (std::uint32_t{kind} << 12) | (std::uint32_t{status & 0x0Fu} << 8) | data1;
}

std::size_t eventLength(std::uint8_t status) {
    const std::uint8_t kind = status >> 4;
    return kind == kProgramChange || kind == kChannelAfterTouch ? 2 : 3;
}

// The bytes after F0: up to the first end mark after Data1, which is always data; ten bytes
// without one leave no room for it, and the device adds it.
std::string sysexKey(const ElementAssignment& a) {
    std::string key(1, static_cast<char>(a.Data1));
    for (int position = 1; position < kSysExPositions; ++position) {
        const std::uint8_t b = sysExByte(a, position);
        key += static_cast<char>(b);
        if (b == kSysExEnd)
            return key;
    }
    key += static_cast<char>(kSysExEnd);
    return key;
}

} // namespace

ControlIndex::ControlIndex(const Preset& preset) {
    for (const Layer layer : {Layer::Daw, Layer::Midi}) {
        for (int element = 0; element < kElementCount; ++element) {
            const ElementAssignment& a = preset.Elements[element].record(layer);
            const ControlMatch control{element, layer};
            switch (assignKind(a)) {
            case AssignKind::MidiEvent:
                m_events[eventKey(a.Status, a.Data1)].push_back(control);
                break;
            case AssignKind::SysEx:
                m_sysex[sysexKey(a)].push_back(control);
                break;
            case AssignKind::Keyboard:
                m_keystrokes.push_back(control);
                break;
            case AssignKind::None:
                break;
            }
        }
    }
}

std::vector<ControlMatch> ControlIndex::match(std::span<const std::uint8_t> message) const {
    if (message.empty())
        return {};
    const std::uint8_t status = message[0];
    if (status == kStatusSysEx) {
        if (message.size() < 2 || message.back() != kSysExEnd)
            return {};
        const std::string_view body(reinterpret_cast<const char*>(message.data()) + 1,
                                    message.size() - 1);
        const auto found = m_sysex.find(body);
        return found == m_sysex.end() ? std::vector<ControlMatch>{} : found->second;
    }
    if (status < 0x80 || status > 0xEF || message.size() != eventLength(status))
        return {};
    for (const std::uint8_t data : message.subspan(1))
        if (data >= 0x80)
            return {};
    const auto found = m_events.find(eventKey(status, message[1]));
    return found == m_events.end() ? std::vector<ControlMatch>{} : found->second;
}

ControlMatch shownMatch(const std::vector<ControlMatch>& matches, Layer shownLayer,
                        bool channelShift) {
    const auto shown = std::find_if(matches.begin(), matches.end(), [&](const ControlMatch& m) {
        return m.layer == shownLayer && shownInBank(m.element, channelShift);
    });
    return shown != matches.end() ? *shown : matches.front();
}

} // namespace qob
