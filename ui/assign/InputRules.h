// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Preset.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <vector>

// The rules by which the Element Assign dialog turns texts into bytes and bytes into texts.
// Pure functions over Qt Core and the model, so that they can be checked in tables.
namespace qob {

// The value of a typed number: blanks, tabs and line feeds are ignored anywhere, then the longest
// leading decimal number (sign, digits, point, exponent) is read, or a number after "&H" (hex) or
// "&O" (octal). No number gives 0; an exponent beyond double range gives an infinity.
double numericValue(QStringView text);

// Rounded to the nearest integer, halves to the even neighbour; nullopt outside 0..255.
std::optional<std::uint8_t> byteValue(double value);

// Key code for a text typed into txt_Keyboard, or nullopt when no rule applies (the record then
// keeps its code).
std::optional<std::uint8_t> keyCodeFromText(const QString& text);
// The dialog's text for a key code: "A", "1", "<SPACE>", "<F12>"; empty for codes it has no text
// for.
QString keyTextOf(std::uint8_t code);

// The bytes that the text of txt_SysEx writes from position 0 on, end byte included; never more
// than ten.
std::vector<std::uint8_t> sysExBytesFromText(QStringView text);
// "41 10 F7": the stored bytes up to the first F7 (looked for from Data2 on), at most ten.
QString sysExFieldText(const ElementAssignment& record);

// " 144": a number with its sign position.
QString numberFieldText(int value);

// "Element Assign : V Pot  1", "Element Assign : <Transport> REW".
QString assignTitle(int element);

// Which entries the mode list offers for an element.
enum class ModeList { NormalDrawbar, TogglePush, None };
ModeList modeListOf(int element);

} // namespace qob
