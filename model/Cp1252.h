// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace qob {

// Windows-1252 <-> Unicode. The five bytes the code page leaves undefined map to the C1
// controls U+0081, U+008D, U+008F, U+0090, U+009D, so every byte round-trips.
QString fromCp1252(std::string_view bytes);
// nullopt when a character has no Windows-1252 byte.
std::optional<std::string> toCp1252(const QString& text);

// Control characters (C0, DEL, C1) as \xNN, so that a text can neither steer a terminal nor
// print as boxes, and a backslash as \\, so that an escape and the same characters typed never
// read alike.
QString escapeControls(const QString& text);
// Controls only, backslashes as they are: for a message that quotes texts already escaped.
QString escapeControlsOnly(const QString& text);
// A preset's text (Windows-1252 bytes) as it is shown to the user: Unicode, escaped as above.
QString shownText(std::string_view cp1252);

} // namespace qob
