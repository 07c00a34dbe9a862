// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Preset.h"

#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

// The rules by which the Element Assign dialog turns texts into bytes and bytes into texts.
// Pure functions over Qt Core and the model, so that they can be checked in tables.
namespace qob {

// Which field a refusal is about; each has the name the user sees in messages and tooltips.
enum class InputField { StatusByte, Data1, Data2, Key, SysEx };
QString fieldName(InputField field);

// Why OK cannot use what a field holds, in the user's words: what is wrong, naming the field, and
// what the field accepts. `from` and `length` mark the part of the field's text at fault.
struct Refusal {
    InputField field;
    QString text;
    QString informative;
    qsizetype from = 0;
    qsizetype length = -1; // to the end
};

template <typename T> using Reading = std::variant<T, Refusal>;

// The value of a typed number: blanks, tabs and line feeds are ignored anywhere, then the longest
// leading decimal number (sign, digits, point, exponent) is read, or a number after "&H" (hex) or
// "&O" (octal). No number gives 0; an exponent beyond double range gives an infinity.
double numericValue(QStringView text);
// The same reading when the number is all the text holds besides blanks; an empty text is 0.
// nullopt when the reading would stop early or find no digit ("xy", "12abc", "1e", "&H").
std::optional<double> wholeNumberValue(QStringView text);

// Rounded to the nearest integer, halves to the even neighbour; nullopt outside 0..255.
std::optional<std::uint8_t> byteValue(double value);

// A field of the MIDI row: the status byte of a channel message (128..239) or a data byte
// (0..255, empty is 0).
Reading<std::uint8_t> readMidiByte(QStringView text, InputField field);

// The key code a text in txt_Keyboard names: a letter, a digit, Space, F1..F12 or an arrow key,
// with or without angle brackets and in any case; otherwise the first letter of a word. An empty
// text gives `keptCode`, the record's code when it already is a keystroke.
Reading<std::uint8_t> readKeyText(const QString& text, std::optional<std::uint8_t> keptCode);
// The dialog's text for a key code: "A", "1", "<SPACE>", "<F12>"; empty for codes it has no text
// for.
QString keyTextOf(std::uint8_t code);

// The bytes that the text of txt_SysEx writes from position 0 on, end byte included: hex pairs
// with or without blanks, data bytes 00..7F, F7 only last, at most ten.
Reading<std::vector<std::uint8_t>> readSysExText(QStringView text);

// What OK writes into a record for each kind; a refusal leaves the record as it was.
std::optional<Refusal> storeKeystroke(ElementAssignment& record, std::uint8_t modifiers,
                                      const QString& keyText);
std::optional<Refusal> storeSysEx(ElementAssignment& record, QStringView text);
// Status, Data1 and Data2 from the three fields; mode and explain text are the dialog's.
std::optional<Refusal> storeMidiEvent(ElementAssignment& record,
                                      const std::array<QString, 3>& fields);

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
