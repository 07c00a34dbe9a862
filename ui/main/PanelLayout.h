// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QRgb>

// Where the information panel and the two lit pictures sit on the skin, in skin pixels. The
// labels are filled with the display field's colour (Skin.h) so that they blend with it.
namespace qob {

inline constexpr QRgb kPanelTextColour = qRgb(255, 255, 255);
inline constexpr QRgb kElementNameColour = qRgb(255, 128, 128);

inline constexpr const char* kPanelFontFamily = "Times New Roman";
inline constexpr double kPanelLargePoints = 12.0;
inline constexpr double kPanelSmallPoints = 10.5;
// Keeps texts clear of the field edge and of the lines left of them.
inline constexpr int kPanelTextIndent = 3;

struct PanelLabelLayout {
    const char* name;
    QRect rect;
    bool large; // 12 pt, else 10.5 pt
    QRgb colour;
    const char* designText; // shown until the first redraw
};

inline constexpr PanelLabelLayout kPanelLabels[] = {
    {"Label_Element_Name", {648, 88, 185, 20}, true, kElementNameColour, "V Pot 1"},
    {"Label_Type", {842, 88, 73, 20}, false, kPanelTextColour, "PC Key"},
    {"Label_Data", {642, 112, 134, 20}, true, kPanelTextColour, "123, 123, 123"},
    {"Label_Explain", {776, 112, 137, 20}, true, kPanelTextColour, "Explain"},
    // Spans Label_Data and Label_Explain; shown only for a SysEx record.
    {"Label_SysEx", {642, 112, 273, 20}, true, kPanelTextColour, "SysEx"},
    {"Label_DAW_MIDI", {642, 134, 72, 20}, false, kPanelTextColour, "MIDI"},
    {"Label_Preset_Name", {722, 134, 115, 20}, false, kPanelTextColour, "QOB_Preset"},
    {"Label_Index", {842, 134, 73, 20}, false, kPanelTextColour, "Index 1"},
};

// Lines run between two end points, both drawn.
struct PanelLineLayout {
    const char* name;
    int x1;
    int y1;
    int x2;
    int y2;
    constexpr QRect rect() const { return {x1, y1, x2 - x1 + 1, y2 - y1 + 1}; }
};

inline constexpr PanelLineLayout kPanelLines[] = {
    {"Line1", 641, 109, 914, 109},  {"Line2", 641, 132, 914, 132}, {"Line4", 840, 86, 840, 109},
    {"Line_M", 776, 109, 776, 132}, {"Line3", 720, 132, 720, 154}, {"Line5", 840, 132, 840, 154},
};

// Both lit pictures show the same 41 x 24 picture over their skin buttons.
inline constexpr QRect kChannelShiftPicture{550, 105, 41, 24};
inline constexpr QRect kSelectPicture{633, 200, 41, 24};

} // namespace qob
