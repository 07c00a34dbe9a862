// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/FileActions.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace qob {

QString defaultPresetPath(const QString& folder) {
    const QString name = QString::fromLatin1(kDefaultPresetName);
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString qtFileFilter(std::string_view filter) {
    const QString text = QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size()));
    const qsizetype bar = text.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return text;
    const QString description = text.left(bar);
    const QString pattern = text.mid(bar + 1);
    // Qt reads the pattern from the parentheses: a description that shows it already is enough.
    if (description.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')')))
        return description;
    return description + QStringLiteral(" (") + pattern + QLatin1Char(')');
}

void showMessageBox(QWidget* parent, const QString& text, const QString& informative) {
    QMessageBox box(parent);
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(QString::fromLatin1(kProgramTitle));
    box.setText(text);
    box.setInformativeText(informative);
    // Messages quote what the user typed, which must not be read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

QString askFileNameDialog(QWidget* parent, const QString& title, const QString& filter, bool save,
                          const QString& start) {
    if (save)
        return QFileDialog::getSaveFileName(parent, title, start, filter);
    return QFileDialog::getOpenFileName(parent, title, start, filter);
}

SaveAnswer askSaveChangesDialog(QWidget* parent, const QString& fileName) {
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(QString::fromLatin1(kProgramTitle));
    box.setTextFormat(Qt::PlainText);
    box.setText(QStringLiteral("Save changes to \"%1\"?").arg(fileName));
    box.setInformativeText(QStringLiteral("Your changes are lost if you don't save them."));
    box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    // The same words on every desktop.
    box.button(QMessageBox::Save)->setText(QStringLiteral("Save"));
    box.button(QMessageBox::Discard)->setText(QStringLiteral("Discard"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("Cancel"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    if (box.clickedButton() == box.button(QMessageBox::Save))
        return SaveAnswer::Save;
    if (box.clickedButton() == box.button(QMessageBox::Discard))
        return SaveAnswer::Discard;
    return SaveAnswer::Cancel;
}

} // namespace qob
