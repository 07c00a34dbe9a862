// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/Twips.h"

#include <array>

// The controls of the Element Assign dialog, in twips of its client area (1/1440 inch).
namespace qob {

inline constexpr int kAssignClientWidth = 7770; // twips
inline constexpr int kAssignClientHeight = 6495;

inline constexpr const char* kAssignFontFamily = "Times New Roman";
inline constexpr double kAssignDialogPoints = 10.5; // bold; every control without its own font
inline constexpr double kAssignFramePoints = 9.0;
inline constexpr double kAssignDataPoints = 14.25; // bold, the three MIDI numbers
inline constexpr double kAssignFieldPoints = 10.5; // regular, the longer text fields

enum class AssignControlKind { Option, Check, Text, List, Frame, Button, Label };
enum class AssignFont { Dialog, Frame, Data, Field };

struct AssignControl {
    const char* name;
    AssignControlKind kind;
    const char* caption;
    int left;
    int top;
    int width;
    int height;
    int tab;       // focus order; frames and the label take no focus
    int maxLength; // 0: no limit
    AssignFont font;
};

namespace assign_layout {
using K = AssignControlKind;
using F = AssignFont;
inline constexpr std::array<AssignControl, 23> kControls{{
    {"OptKeyboard", K::Option, "Keyboard", 240, 480, 1215, 495, 0, 0, F::Dialog},
    {"txt_Keyboard", K::Text, "", 5280, 540, 1815, 375, 1, 0, F::Dialog},
    {"Check_Alt", K::Check, "Alt", 4200, 480, 735, 495, 2, 0, F::Dialog},
    {"Check_Shift", K::Check, "Shift", 3000, 480, 855, 495, 3, 0, F::Dialog},
    {"Check_Ctrl", K::Check, "Ctrl", 1920, 480, 735, 495, 4, 0, F::Dialog},
    {"Frame1", K::Frame, " Event ", 1680, 240, 5655, 855, 5, 0, F::Frame},
    {"txt_Data_3", K::Text, "", 4320, 2880, 855, 405, 6, 4, F::Data},
    {"txt_Data_2", K::Text, "", 3120, 2880, 855, 405, 7, 4, F::Data},
    {"txt_Data_1", K::Text, "", 1920, 2880, 855, 405, 8, 4, F::Data},
    {"OptMIDI", K::Option, "MIDI", 240, 2760, 1215, 495, 9, 0, F::Dialog},
    {"Frame2", K::Frame, " Event ", 1680, 2520, 5655, 975, 10, 0, F::Frame},
    {"OptSysEx", K::Option, "SysEx", 240, 1680, 1215, 495, 11, 0, F::Dialog},
    {"Frame3", K::Frame, " Event ", 1680, 1320, 5655, 975, 12, 0, F::Frame},
    {"cmdOK", K::Button, "OK", 6045, 5760, 975, 375, 13, 0, F::Dialog},
    {"Combo1", K::List, "", 5880, 2880, 1215, 375, 14, 0, F::Dialog},
    {"Frame4", K::Frame, " Keyboard / MIDI Explain ", 1680, 3840, 3615, 975, 15, 0, F::Frame},
    {"txt_SysEx", K::Text, "", 1920, 1680, 5175, 375, 16, 30, F::Field},
    {"txt_Explain", K::Text, "", 1920, 4200, 3135, 375, 17, 8, F::Field},
    {"Frame5", K::Frame, " Preset Name ", 1680, 5160, 3615, 975, 18, 0, F::Frame},
    {"txt_Preset_Name", K::Text, "", 1920, 5520, 3135, 375, 19, 11, F::Field},
    {"Combo2", K::List, "", 6165, 4200, 735, 375, 20, 0, F::Dialog},
    {"Label1", K::Label, "Preset Index", 5880, 3840, 1170, 255, 21, 0, F::Dialog},
    {"cmdCancel", K::Button, "Cancel", 6045, 5160, 975, 375, 22, 0, F::Dialog},
}};
} // namespace assign_layout
inline constexpr const auto& kAssignControls = assign_layout::kControls;

} // namespace qob
