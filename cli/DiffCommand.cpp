// SPDX-License-Identifier: GPL-3.0-or-later
// qob diff: what differs between two presets, one line per record, in the panel's words.
#include "cli/Cli.h"
#include "model/Cp1252.h"
#include "model/ElementNames.h"
#include "vocab/PanelText.h"
#include "vocab/Text.h"

#include <functional>
#include <vector>

namespace qob::cli {
namespace {

// Two texts side by side must not read alike unless they are alike, so what prints as a blank
// or as nothing shows: a no-break space as \xA0, a soft hyphen as \xAD.
QString diffText(std::string_view cp1252) {
    return shownText(cp1252)
        .replace(QChar(0xA0), QStringLiteral("\\xA0"))
        .replace(QChar(0xAD), QStringLiteral("\\xAD"));
}

// Blanks at the ends of a label would vanish among the words around it. A file cannot hold a
// double quote, so the quotes cannot be the label's own.
QString edgesShown(const QString& text) {
    if (text.startsWith(QLatin1Char(' ')) || text.endsWith(QLatin1Char(' ')))
        return QLatin1Char('"') + text + QLatin1Char('"');
    return text;
}

// The record as the panel words it: the kind or, when the two sides differ in it, the mode;
// then what it sends and the label or event name the panel shows beside it.
QString recordWords(int element, const ElementAssignment& r, Layer layer, bool withMode) {
    const PanelText t = panelText(element, r, layer);
    const AssignKind kind = assignKind(r);
    const bool typeIsMode = kind != AssignKind::Keyboard && kind != AssignKind::SysEx;
    QStringList words;
    if (withMode || !typeIsMode)
        words << shownText(t.type);
    words << shownText(t.data).trimmed() << edgesShown(diffText(t.explain)) << shownText(t.sysex);
    words.removeAll(QString());
    return words.join(QLatin1Char(' '));
}

QString hexBytes(const std::array<std::uint8_t, 8>& bytes) {
    QStringList out;
    for (std::uint8_t b : bytes)
        out << QString::fromStdString(hexByte(b));
    return out.join(QLatin1Char(' '));
}

// A field of a record: how it reads and how it is copied from the other side.
struct Field {
    const char* name;
    std::function<QString(const ElementAssignment&)> text;
    std::function<void(ElementAssignment&, const ElementAssignment&)> copy;
};

const std::vector<Field>& fields() {
    static const std::vector<Field> all{
        {"mode", [](const auto& r) { return QString::number(r.Mode); },
         [](auto& to, const auto& from) { to.Mode = from.Mode; }},
        {"status", [](const auto& r) { return QString::number(r.Status); },
         [](auto& to, const auto& from) { to.Status = from.Status; }},
        {"data 1", [](const auto& r) { return QString::number(r.Data1); },
         [](auto& to, const auto& from) { to.Data1 = from.Data1; }},
        {"data 2", [](const auto& r) { return QString::number(r.Data2); },
         [](auto& to, const auto& from) { to.Data2 = from.Data2; }},
        {"label", [](const auto& r) { return '"' + diffText(r.Explain) + '"'; },
         [](auto& to, const auto& from) { to.Explain = from.Explain; }},
        {"SysEx tail", [](const auto& r) { return hexBytes(r.SysExTail); },
         [](auto& to, const auto& from) { to.SysExTail = from.SysExTail; }},
    };
    return all;
}

QString recordLine(int element, Layer layer, const ElementAssignment& a,
                   const ElementAssignment& b) {
    const bool withMode = modeWord(element, a) != modeWord(element, b);
    const QString wordsA = recordWords(element, a, layer, withMode);
    const QString wordsB = recordWords(element, b, layer, withMode);
    // A field whose change alters neither side's words would go unseen: name it.
    QStringList hidden;
    for (const Field& f : fields()) {
        if (f.text(a) == f.text(b))
            continue;
        ElementAssignment a2 = a;
        ElementAssignment b2 = b;
        f.copy(a2, b);
        f.copy(b2, a);
        if (recordWords(element, a2, layer, withMode) == wordsA &&
            recordWords(element, b2, layer, withMode) == wordsB)
            hidden
                << QStringLiteral("%1 %2 -> %3").arg(QLatin1String(f.name), f.text(a), f.text(b));
    }
    QString line = QString::fromStdString(elementName(element)) + QStringLiteral("  ") +
                   QLatin1String(layerName(layer)) + QStringLiteral("  ") + wordsA +
                   QStringLiteral("  ->  ") + wordsB;
    if (!hidden.isEmpty())
        line += QStringLiteral("  (") + hidden.join(QStringLiteral(", ")) + QLatin1Char(')');
    return line;
}

QString limitText(const std::array<std::int16_t, 2>& limit) {
    return QStringLiteral("%1, %2").arg(limit[0]).arg(limit[1]);
}

} // namespace

int cmdDiff(const Invocation& call) {
    Preset a;
    Preset b;
    // Trouble is 2, as diff(1) has it: 1 means the presets differ.
    if (!loadInput(call.files.at(0), a) || !loadInput(call.files.at(1), b))
        return kUsage;

    // Read from a file, a SysEx record has no label and any other record no SysEx tail, so
    // records compare whole.
    QStringList lines;
    for (Layer layer : {Layer::Daw, Layer::Midi})
        for (int e = 0; e < kElementCount; ++e) {
            const ElementAssignment& ra = a.Elements[e].record(layer);
            const ElementAssignment& rb = b.Elements[e].record(layer);
            if (ra != rb)
                lines << recordLine(e, layer, ra, rb);
        }
    if (a.Name != b.Name)
        lines << QStringLiteral("Preset Name  \"%1\"  ->  \"%2\"")
                     .arg(diffText(a.Name), diffText(b.Name));
    if (a.FaderLimit != b.FaderLimit)
        lines << QStringLiteral("Fader Limit  ") + limitText(a.FaderLimit) +
                     QStringLiteral("  ->  ") + limitText(b.FaderLimit);
    if (a.VPotLimit != b.VPotLimit)
        lines << QStringLiteral("V_Pot Limit  ") + limitText(a.VPotLimit) +
                     QStringLiteral("  ->  ") + limitText(b.VPotLimit);
    if (a.PresetIndex != b.PresetIndex)
        lines << QStringLiteral("Index  %1  ->  %2").arg(a.PresetIndex).arg(b.PresetIndex);

    for (const QString& line : lines)
        printOut(line);
    return lines.isEmpty() ? kOk : kFailed;
}

} // namespace qob::cli
