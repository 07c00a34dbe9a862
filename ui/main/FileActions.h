// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <string_view>

class QWidget;

namespace qob {

inline constexpr const char* kDefaultPresetName = "Default.QOB";

// The default preset next to the program, with exactly one separator before the name, also when
// the folder is a root such as "/".
QString defaultPresetPath(const QString& folder);

// "Description|pattern" becomes Qt's "Description (pattern)", or the description alone where it
// ends with "(pattern)" already.
QString qtFileFilter(std::string_view filter);

// The platform's dialogs behind the main window's seams.
void showMessageBox(QWidget* parent, const QString& text, const QString& informative);
QString askFileNameDialog(QWidget* parent, const QString& title, const QString& filter, bool save);

} // namespace qob
