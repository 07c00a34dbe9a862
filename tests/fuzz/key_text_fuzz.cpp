// SPDX-License-Identifier: GPL-3.0-or-later
// The key field: an accepted text stores a key the surface can send, the one it names or the
// letter it starts with; a refused text stores nothing; case, blanks around the text and angle
// brackets change nothing; every key text the dialog shows reads back to its code. The first
// input byte also makes the record that OK stores into.
#include "FuzzText.h"
#include "ui/assign/InputRules.h"

#include <cstddef>
#include <cstdint>

using namespace qob;

namespace {

bool isAscii(const QString& text) {
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

bool sendable(int code) {
    return (code >= KeyCode::A && code <= KeyCode::Digit0) || code == KeyCode::Space ||
           (code >= KeyCode::F1 && code <= KeyCode::F12) ||
           (code >= KeyCode::Right && code <= KeyCode::Up);
}

// "<Page Up>" as "PAGEUP".
QString normalName(const QString& text) {
    QString t = text.trimmed();
    if (t.size() >= 2 && t.front() == u'<' && t.back() == u'>')
        t = t.mid(1, t.size() - 2);
    QString name;
    for (QChar c : t)
        if (c != u' ' && c != u'\t')
            name += c >= u'a' && c <= u'z' ? c.toUpper() : c;
    return name;
}

// The names a code is typed by, besides its letter.
bool namesCode(const QString& name, int code) {
    static const char* const kArrows[] = {"RIGHT", "LEFT", "DOWN", "UP"};
    if (code >= KeyCode::Right && code <= KeyCode::Up)
        return name == QLatin1String(kArrows[code - KeyCode::Right]);
    if (code == KeyCode::Space)
        return name == u"SPACE";
    return name == normalName(keyTextOf(static_cast<std::uint8_t>(code)));
}

std::optional<int> codeOf(const Reading<std::uint8_t>& reading) {
    if (const std::uint8_t* code = std::get_if<std::uint8_t>(&reading))
        return *code;
    return std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = fuzz::textOf(data, size);
    const std::uint8_t seed = size > 0 ? data[0] : 0;
    ElementAssignment before{0x80,    (seed & 2) ? kStatusKeyboard : std::uint8_t(0x90),
                             0x55,    seed,
                             "Label", {1, 2, 3, 4, 5, 6, 7, 8}};
    const std::uint8_t modifiers = seed & 7;

    ElementAssignment record = before;
    const std::optional<Refusal> refusal = storeKeystroke(record, modifiers, text);
    if (refusal) {
        if (record != before)
            fuzz::fail("a refused text stores nothing", text);
        if (refusal->field != InputField::Key || !refusal->text.startsWith(u"Key: "))
            fuzz::fail("a refusal names the Key field", text);
    } else {
        ElementAssignment want = before;
        want.Status = kStatusKeyboard;
        want.Data1 = modifiers;
        want.Data2 = record.Data2;
        if (record != want)
            fuzz::fail("an accepted text stores the keystroke and nothing else", text);
        const int code = record.Data2;
        const QString trimmed = text.trimmed();
        if (trimmed.isEmpty()) {
            if (before.Status != kStatusKeyboard || code != before.Data2)
                fuzz::fail("an empty text keeps a keystroke's code, and only a keystroke's", text);
        } else {
            if (!sendable(code))
                fuzz::fail("an accepted text names a key the surface can send", text);
            const QChar first = trimmed.front().toUpper();
            const bool asLetter = first >= u'A' && first <= u'Z' && code == first.unicode() - 61;
            if (!asLetter && !namesCode(normalName(text), code))
                fuzz::fail("a text is read as the key it names or as its first letter", text);
        }
    }

    const std::optional<int> code = codeOf(readKeyText(text, std::nullopt));
    if (code !=
        codeOf(readKeyText(QStringLiteral(" \t") + text + QStringLiteral("  "), std::nullopt)))
        fuzz::fail("blanks around the text change nothing", text);
    if (isAscii(text) && codeOf(readKeyText(text.toUpper(), std::nullopt)) !=
                             codeOf(readKeyText(text.toLower(), std::nullopt)))
        fuzz::fail("upper and lower case read the same", text);
    if (const auto bracketed = codeOf(readKeyText(u'<' + text.trimmed() + u'>', std::nullopt));
        bracketed && bracketed != code)
        fuzz::fail("a name in angle brackets reads as the name without them", text);

    // What the dialog shows for a stored code is read back as that code by OK.
    const QString shown = keyTextOf(seed);
    if (!shown.isEmpty() && codeOf(readKeyText(shown, std::nullopt)) != seed)
        fuzz::fail("a shown key text reads back as its code", shown);
    return 0;
}
