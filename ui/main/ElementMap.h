// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// The element map of the surface picture: one table of regions that feeds both the drawing of
// the skin and the hit test, in pixels of the 986 x 565 skin picture.
namespace qob {

inline constexpr int kSkinWidth = 986;
inline constexpr int kSkinHeight = 565;
inline constexpr int kWindowWidth = 978;
inline constexpr int kWindowHeight = 560;

enum AreaCode : std::int16_t {
    AREA_EXIT = 56,
    AREA_LAYER = 57,
    AREA_OPEN = 58,
    AREA_SAVE_AS = 59,
    AREA_SEND = 60,
    AREA_MIDI_DEVICE = 61,
    AREA_SHIFT = 62,
};

enum class RegionKind {
    VPot,
    Fader,
    FaderMaster,
    Button,
    BreathControl,
    TransportKey,
    Wheel,
    AreaButton,
};

// A rectangle holds a point when left < x < right and top < y < bottom (all strict). The Wheel
// is a disc inside its rectangle: centre and radius follow from it.
struct Region {
    RegionKind kind;
    std::int16_t bank1Code; // code while ChannelShift is false
    std::int16_t bank2Code; // code while ChannelShift is true
    int left;
    int right;
    int top;
    int bottom;
    std::string_view label; // what the skin prints on or under it

    constexpr std::int16_t code(bool channelShift) const {
        return channelShift ? bank2Code : bank1Code;
    }
    // The middle of the rectangle, the Wheel's centre too: where the keyboard presses and
    // where its neighbours are measured from.
    constexpr int centreX() const { return (left + right) / 2; }
    constexpr int centreY() const { return (top + bottom) / 2; }
};

inline constexpr int kWheelCentreX = 778;
inline constexpr int kWheelCentreY = 314;
inline constexpr int kWheelRadius = 66;

namespace detail {
inline constexpr int kRowPitch = 60;
inline constexpr int kRegionCount = 3 * 8 + 14 + 1;

constexpr std::array<Region, kRegionCount> makeRegions() {
    std::array<Region, kRegionCount> r{};
    std::size_t n = 0;
    constexpr std::string_view kNumbers[8] = {"1", "2", "3", "4", "5", "6", "7", "8"};
    // Each channel strip is a V-Pot, a fader and a button, the first strip's here; every further
    // strip lies one pitch to the right, with codes one higher.
    constexpr Region kFirstStrip[] = {
        {RegionKind::VPot, 0, 32, 68, 109, 98, 139, {}},
        {RegionKind::Fader, 8, 40, 72, 102, 176, 380, {}},
        {RegionKind::Button, 18, 48, 64, 110, 422, 450, {}},
    };
    for (int i = 0; i < 8; ++i) {
        const int dx = kRowPitch * i;
        for (Region strip : kFirstStrip) {
            strip.bank1Code = static_cast<std::int16_t>(strip.bank1Code + i);
            strip.bank2Code = static_cast<std::int16_t>(strip.bank2Code + i);
            strip.left += dx;
            strip.right += dx;
            strip.label = kNumbers[i];
            r[n++] = strip;
        }
    }
    const Region singles[] = {
        {RegionKind::FaderMaster, 16, 16, 552, 582, 176, 380, "MASTER"},
        {RegionKind::AreaButton, AREA_SHIFT, AREA_SHIFT, 550, 596, 103, 131, "SHIFT"},
        {RegionKind::AreaButton, AREA_EXIT, AREA_EXIT, 632, 678, 338, 366, "EXIT"},
        {RegionKind::AreaButton, AREA_LAYER, AREA_LAYER, 632, 678, 200, 224, "MIDI"},
        {RegionKind::AreaButton, AREA_SAVE_AS, AREA_SAVE_AS, 694, 740, 200, 224, "SAVE AS"},
        {RegionKind::AreaButton, AREA_OPEN, AREA_OPEN, 756, 786, 200, 224, "OPEN"},
        {RegionKind::AreaButton, AREA_SEND, AREA_SEND, 818, 864, 200, 224, "SEND"},
        {RegionKind::AreaButton, AREA_MIDI_DEVICE, AREA_MIDI_DEVICE, 880, 926, 200, 224,
         "MIDI DEVICE"},
        {RegionKind::BreathControl, 17, 17, 552, 580, 420, 448, "BREATH"},
        {RegionKind::TransportKey, 29, 29, 636, 676, 410, 450, "REW"},
        {RegionKind::TransportKey, 26, 26, 696, 736, 410, 450, "FF"},
        {RegionKind::TransportKey, 30, 30, 756, 796, 410, 450, "STOP"},
        {RegionKind::TransportKey, 27, 27, 816, 856, 410, 450, "PLAY"},
        {RegionKind::TransportKey, 28, 28, 876, 916, 410, 450, "REC"},
    };
    for (const Region& s : singles)
        r[n++] = s;
    r[n++] = {RegionKind::Wheel,
              31,
              31,
              kWheelCentreX - kWheelRadius,
              kWheelCentreX + kWheelRadius,
              kWheelCentreY - kWheelRadius,
              kWheelCentreY + kWheelRadius,
              "WHEEL"};
    return r;
}
} // namespace detail

inline constexpr std::array<Region, detail::kRegionCount> kRegions = detail::makeRegions();

// The code under (x, y): an element 0..55, an area 56..62 or NO_ELEMENT (99).
std::int16_t locateRegion(float x, float y, bool channelShift);

} // namespace qob
