// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/Twips.h"

// The MIDI Device Setup dialog in twips (1/1440 inch); pixels follow the screen's logical DPI.
namespace qob {

// The input list lies below the output controls, which keep their places: the dialog is taller.
inline constexpr TwipsRect kMidiSetupClient{0, 0, 3825, 3960};
inline constexpr TwipsRect kLabel2Rect{840, 240, 1920, 285};
inline constexpr TwipsRect kComboMidiOutRect{240, 840, 3255, 345};
inline constexpr TwipsRect kCmdOKRect{2640, 1920, 855, 375};
inline constexpr TwipsRect kLabelInRect{840, 2640, 1920, 285};
inline constexpr TwipsRect kComboMidiInRect{240, 3180, 3255, 345};

inline constexpr const char* kMidiSetupFontFamily = "Times New Roman";
inline constexpr double kLabel2Points = 12.0;
inline constexpr double kComboPoints = 9.0;
inline constexpr double kCmdOKPoints = 10.5;

inline constexpr int kMidiSetupIconSize = 32;

} // namespace qob
