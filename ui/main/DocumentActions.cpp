// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/DocumentActions.h"

#include "device/DumpImport.h"
#include "model/Cp1252.h"
#include "model/PresetFile.h"
#include "ui/main/PresetDocument.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>

namespace qob {
namespace {

const char* const kSaveFailedText = "Couldn't save QOB-TANDRIX Preset File!";
const char* const kPresetSuffix = "qob";
const char* const kDumpSuffix = "syx";

// A preset name as a file name: no folder separators, no leading dot, never empty.
QString fileNameFor(const QString& presetName) {
    QString name = presetName.trimmed();
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.replace(QChar(0), QLatin1Char('_'));
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    if (name.isEmpty())
        name = QStringLiteral("Untitled");
    return name + QLatin1Char('.') + QLatin1String(kPresetSuffix);
}

// "[*]" in a title is Qt's place for the modified mark; a file name may hold it literally.
QString titleSafe(QString name) {
    return name.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

} // namespace

QString DocumentActions::windowTitle() const {
    return (m_document.isModified() ? QStringLiteral("*") : QString()) +
           titleSafe(m_document.displayName()) + QStringLiteral(" \u2014 ") +
           QLatin1String(kProgramTitle);
}

DocumentActions::DocumentActions(Preset& preset, PresetDocument& document, MainWindowSeams& seams,
                                 std::function<void()> redraw, QObject* parent)
    : QObject(parent), m_preset(preset), m_document(document), m_seams(seams),
      m_redraw(std::move(redraw)) {
    m_dropKinds.push_back({QString::fromLatin1(kPresetSuffix), [this](const QString& path) {
                               if (okToLoseChanges())
                                   openPresetPath(path);
                           }});
    m_dropKinds.push_back({QString::fromLatin1(kDumpSuffix), [this](const QString& path) {
                               if (okToLoseChanges())
                                   importDumpPath(path);
                           }});
}

void DocumentActions::openDefault(const QString& programFolder) {
    m_defaultPath = defaultPresetPath(programFolder);
    loadPreset(m_defaultPath);
    // Whatever the load left is where editing starts from, with no file to save back to.
    m_document.loaded(QString());
}

bool DocumentActions::isDefaultPreset(const QString& path) const {
    if (m_defaultPath.isEmpty())
        return false;
    const QFileInfo file(path), defaultFile(m_defaultPath);
    if (file.exists() && defaultFile.exists())
        return file.canonicalFilePath() == defaultFile.canonicalFilePath();
    return file.absoluteFilePath() == defaultFile.absoluteFilePath();
}

bool DocumentActions::loadPreset(const QString& path) {
    const FileResult result = loadPresetFile(path, m_preset);
    if (!result.ok)
        m_seams.showMessage(QString::fromLatin1(kInvalidPresetText),
                            QString::fromStdString(result.detail));
    return result.ok;
}

void DocumentActions::openPresetPath(const QString& path) {
    // A failed load changes nothing, so the edits and their history stay too.
    if (loadPreset(path))
        m_document.loaded(isDefaultPreset(path) ? QString() : QFileInfo(path).absoluteFilePath());
    m_redraw();
}

void DocumentActions::importDumpPath(const QString& path) {
    const DumpImport result = importDumpFile(path);
    if (!result.preset) {
        // Like a bad .qob file: nothing changes.
        m_seams.showMessage(QStringLiteral("No preset could be read from this dump."),
                            QString::fromStdString(result.error));
        return;
    }
    m_preset = *result.preset;
    m_document.imported();
    m_redraw();
    if (result.notes.empty())
        return;
    QStringList notes;
    for (const std::string& note : result.notes)
        notes << QString::fromStdString(note);
    m_seams.showMessage(
        QStringLiteral("The preset was read from %1. A dump does not carry everything a preset "
                       "file does:")
            .arg(QFileInfo(path).fileName()),
        notes.join(QLatin1Char('\n')));
}

QString DocumentActions::documentsFolder() const {
    // A proposal in a folder that does not exist would leave the dialog to pick any folder.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

void DocumentActions::openPresetFile() {
    if (!okToLoseChanges())
        return;
    const QString current = m_document.currentFile();
    const QString start = current.isEmpty() ? documentsFolder() : QFileInfo(current).absolutePath();
    const QString path =
        m_seams.askFileName(QStringLiteral("Open"), qtFileFilter(kPresetFileFilter), false, start);
    if (path.isEmpty())
        return;
    openPresetPath(path);
}

bool DocumentActions::writePresetTo(const QString& path) {
    const FileResult result = qob::savePresetFile(path, m_preset);
    if (!result.ok) {
        m_seams.showMessage(QString::fromLatin1(kSaveFailedText),
                            QString::fromStdString(result.detail));
        return false;
    }
    m_document.saved(isDefaultPreset(path) ? QString() : QFileInfo(path).absoluteFilePath());
    return true;
}

bool DocumentActions::savePresetFile() {
    const QString current = m_document.currentFile();
    if (current.isEmpty())
        return savePresetFileAs();
    return writePresetTo(current);
}

bool DocumentActions::savePresetFileAs() {
    const QString current = m_document.currentFile();
    const QString start =
        !current.isEmpty()
            ? current
            : QDir(documentsFolder()).filePath(fileNameFor(fromCp1252(m_preset.Name)));
    const QString path = m_seams.askFileName(QStringLiteral("Save As"),
                                             qtFileFilter(kPresetFileFilter), true, start);
    if (path.isEmpty())
        return false;
    return writePresetTo(path);
}

bool DocumentActions::okToLoseChanges() {
    if (!m_document.isModified())
        return true;
    switch (m_seams.askSaveChanges(m_document.displayName())) {
    case SaveAnswer::Save:
        return savePresetFile();
    case SaveAnswer::Discard:
        return true;
    case SaveAnswer::Cancel:
        break;
    }
    return false;
}

void DocumentActions::openDroppedFiles(const QList<QUrl>& urls) {
    QStringList suffixes;
    for (const DropKind& kind : m_dropKinds)
        suffixes << QStringLiteral(".") + kind.suffix;
    const QString kinds = suffixes.join(QStringLiteral(" or "));
    if (urls.size() != 1) {
        m_seams.showMessage(QStringLiteral("Drop one file at a time."),
                            QStringLiteral("%1 files were dropped; one %2 file opens.")
                                .arg(urls.size())
                                .arg(kinds));
        return;
    }
    const QUrl& url = urls.first();
    const QString path = url.toLocalFile();
    for (const DropKind& kind : m_dropKinds) {
        if (!path.isEmpty() &&
            QFileInfo(path).suffix().compare(kind.suffix, Qt::CaseInsensitive) == 0) {
            kind.open(path);
            return;
        }
    }
    m_seams.showMessage(QStringLiteral("Only a %1 file can be dropped here.").arg(kinds),
                        path.isEmpty() ? url.toDisplayString() : path);
}

} // namespace qob
