// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <string_view>

class QWidget;

namespace qob {

inline constexpr const char* kDefaultPresetName = "Default.QOB";
// The program's name in window titles and on its message boxes.
inline constexpr const char* kProgramTitle = "QOB-TANDRIX Editor";

// The default preset next to the program, with exactly one separator before the name, also when
// the folder is a root such as "/".
QString defaultPresetPath(const QString& folder);

// "Description|pattern" becomes Qt's "Description (pattern)", or the description alone where it
// ends with "(pattern)" already.
QString qtFileFilter(std::string_view filter);

enum class SaveAnswer { Save, Discard, Cancel };

// The platform's dialogs behind the main window's seams.
void showMessageBox(QWidget* parent, const QString& text, const QString& informative);
// `start` is the folder, or the folder and file name, the dialog opens with.
QString askFileNameDialog(QWidget* parent, const QString& title, const QString& filter, bool save,
                          const QString& start);
// "Save changes to "NAME"?" with Save, Discard and Cancel; Esc and the close box cancel.
SaveAnswer askSaveChangesDialog(QWidget* parent, const QString& fileName);

} // namespace qob
