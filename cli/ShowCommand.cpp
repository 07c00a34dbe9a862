// SPDX-License-Identifier: GPL-3.0-or-later
// qob show: the preset as the editor's panel shows it, or as a table for spreadsheets.
#include "cli/Cli.h"
#include "model/Cp1252.h"
#include "model/ElementNames.h"
#include "vocab/PanelText.h"
#include "vocab/ShortText.h"
#include "vocab/Text.h"

#include <QStringList>

#include <array>

namespace qob::cli {
namespace {

constexpr int kNameColumn = 17;
constexpr int kTypeColumn = 9;
constexpr int kDataColumn = 24;

QString padded(const QString& s, int width) {
    return s.leftJustified(width, QLatin1Char(' '));
}

void showLayer(const Preset& preset, Layer layer) {
    printOut(QString());
    printOut(QLatin1String(layerName(layer)) + QStringLiteral(" layer"));
    for (int e = 0; e < kElementCount; ++e) {
        const PanelText t = panelText(e, preset.Elements[e].record(layer), layer);
        QString line = padded(QString::fromStdString(elementName(e)), kNameColumn) +
                       padded(shownText(t.type), kTypeColumn);
        if (t.isSysEx)
            line += shownText(t.sysex);
        else
            line += padded(shownText(t.data), kDataColumn) + shownText(t.explain);
        printOut(line.trimmed());
    }
}

// RFC 4180: a field with a separator, a quote or a line break goes in quotes, quotes doubled.
// Blanks at either end are quoted too, so that no spreadsheet trims them.
QString csvField(const QString& text) {
    const bool plain = !text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
                       !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')) &&
                       !text.startsWith(QLatin1Char(' ')) && !text.endsWith(QLatin1Char(' '));
    if (plain)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void printCsvRow(const QStringList& fields) {
    QStringList quoted;
    for (const QString& f : fields)
        quoted << csvField(f);
    printOut(quoted.join(QLatin1Char(',')) + QLatin1Char('\r'));
}

QString kindWord(AssignKind kind) {
    switch (kind) {
    case AssignKind::MidiEvent:
        return QStringLiteral("MIDI event");
    case AssignKind::Keyboard:
        return QStringLiteral("PC Key");
    case AssignKind::SysEx:
        return QStringLiteral("SysEx");
    case AssignKind::None:
        break;
    }
    return QStringLiteral("none");
}

void showCsvLayer(const Preset& preset, Layer layer) {
    for (int e = 0; e < kElementCount; ++e) {
        const ElementAssignment& r = preset.Elements[e].record(layer);
        const AssignKind kind = assignKind(r);
        const bool sysEx = kind == AssignKind::SysEx;
        printCsvRow({
            QString::fromStdString(elementName(e)),
            QLatin1String(layerName(layer)),
            kindWord(kind),
            shownText(modeWord(e, r)),
            QString::number(r.Status),
            QString::number(r.Data1),
            QString::number(r.Data2),
            kind == AssignKind::MidiEvent ? QString::number((r.Status & 0x0F) + 1) : QString(),
            shownText(shortEventText(r)),
            // Read from a file, a SysEx record has no label.
            shownText(r.Explain),
            sysEx ? shownText(sysexText(r)) : QString(),
        });
    }
}

} // namespace

int cmdShow(const Invocation& call) {
    Preset preset;
    if (!loadInput(call.files.at(0), preset))
        return kFailed;
    const std::array<Layer, 2> layers{Layer::Daw, Layer::Midi};
    if (call.csv) {
        printCsvRow({"Element", "Layer", "Kind", "Mode", "Status", "Data 1", "Data 2", "Channel",
                     "Event", "Label", "SysEx"});
        for (Layer layer : layers)
            if (!call.layer || *call.layer == layer)
                showCsvLayer(preset, layer);
        return kOk;
    }
    printOut(QStringLiteral("Preset Name  ") + shownText(preset.Name));
    printOut(
        QStringLiteral("Fader Limit  %1, %2").arg(preset.FaderLimit[0]).arg(preset.FaderLimit[1]));
    printOut(
        QStringLiteral("V_Pot Limit  %1, %2").arg(preset.VPotLimit[0]).arg(preset.VPotLimit[1]));
    for (Layer layer : layers)
        if (!call.layer || *call.layer == layer)
            showLayer(preset, layer);
    return kOk;
}

} // namespace qob::cli
