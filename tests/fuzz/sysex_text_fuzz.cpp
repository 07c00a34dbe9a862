// SPDX-License-Identifier: GPL-3.0-or-later
// The SysEx field: an accepted text stores exactly the hex pairs it holds and nothing else, a
// refused text stores nothing and marks the first byte at fault, and opening the dialog and
// pressing OK keeps a stored string. The first ten input bytes are the record's previous bytes,
// the rest the text.
#include "FuzzText.h"
#include "ui/assign/InputRules.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

using namespace qob;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The string a record holds: up to its first F7, or all ten positions.
Bytes storedString(const ElementAssignment& record) {
    Bytes bytes;
    for (int position = 0; position < kSysExPositions; ++position) {
        bytes.push_back(sysExByte(record, position));
        if (bytes.back() == kSysExEnd)
            break;
    }
    return bytes;
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

// The bytes a text of hex digits and blanks holds: each run of digits in pairs from its start,
// a last odd digit a byte of its own. nullopt for any other character.
std::optional<Bytes> pairsOf(const QString& text) {
    Bytes bytes;
    int high = -1;
    for (QChar c : text) {
        if (isBlank(c)) {
            if (high >= 0)
                bytes.push_back(static_cast<std::uint8_t>(high));
            high = -1;
            continue;
        }
        const int digit = hexDigit(c);
        if (digit < 0)
            return std::nullopt;
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high * 16 + digit));
            high = -1;
        }
    }
    if (high >= 0)
        bytes.push_back(static_cast<std::uint8_t>(high));
    return bytes;
}

// What a text the field takes must hold: at most ten bytes, data bytes 00..7F, F7 only last and
// not first.
bool usable(const Bytes& bytes) {
    if (bytes.size() > std::size_t(kSysExPositions))
        return false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const bool last = i + 1 == bytes.size();
        if (bytes[i] > 0x7F && !(bytes[i] == kSysExEnd && last && i > 0))
            return false;
    }
    return true;
}

void checkStored(const ElementAssignment& before, const ElementAssignment& record,
                 const Bytes& read, const QString& text) {
    Bytes want = read.empty() ? Bytes{0x00} : read;
    if (want.size() < std::size_t(kSysExPositions))
        want.push_back(kSysExEnd);
    ElementAssignment expected = before;
    expected.Status = kStatusSysEx;
    for (std::size_t i = 0; i < want.size(); ++i)
        sysExByte(expected, static_cast<int>(i)) = want[i];
    if (record != expected)
        fuzz::fail("an accepted text stores the bytes it holds and nothing else", text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ElementAssignment before{0x80, kStatusSysEx, 0, 0, "Label", {}};
    const std::size_t previous = std::min<std::size_t>(size, kSysExPositions);
    for (std::size_t i = 0; i < previous; ++i)
        sysExByte(before, static_cast<int>(i)) = data[i];
    const QString text = fuzz::textOf(data + previous, size - previous);

    const std::optional<Bytes> pairs = pairsOf(text);
    ElementAssignment record = before;
    const std::optional<Refusal> refusal = storeSysEx(record, text);
    if (!refusal) {
        if (!pairs || !usable(*pairs))
            fuzz::fail("only hex pairs 00..7F, F7 only last, at most ten, are taken", text);
        checkStored(before, record, *pairs, text);

        // Opening the dialog again and pressing OK keeps the stored string and the field's text.
        const QString shown = sysExFieldText(record);
        ElementAssignment again = record;
        if (storeSysEx(again, shown))
            fuzz::fail("the text shown for a stored string is taken again", shown);
        if (storedString(again) != storedString(record) || sysExFieldText(again) != shown)
            fuzz::fail("reopening and OK keep the stored string", shown);
    } else {
        if (pairs && usable(*pairs))
            fuzz::fail("hex pairs 00..7F, F7 only last, at most ten, are taken", text);
        if (record != before)
            fuzz::fail("a refused text stores nothing", text);
        const qsizetype from = refusal->from;
        if (refusal->field != InputField::SysEx || from < 0 || from >= text.size() ||
            isBlank(text[from]) || refusal->length == 0 ||
            (refusal->length > 0 && from + refusal->length > text.size()))
            fuzz::fail("a refusal marks a byte of the text", text);
        // Everything before the byte at fault is taken.
        ElementAssignment prefix = before;
        if (storeSysEx(prefix, QStringView(text).first(from)))
            fuzz::fail("the text before the marked byte is taken", text);
    }

    // Blanks around the text and between pairs change nothing.
    ElementAssignment padded = before;
    const bool paddedTaken =
        !storeSysEx(padded, QStringLiteral("  ") + text + QStringLiteral("\t "));
    if (paddedTaken != !refusal || padded != record)
        fuzz::fail("blanks around the text change nothing", text);
    if (pairs) {
        QString spaced;
        for (std::uint8_t byte : *pairs)
            spaced += QString::asprintf("%02x ", byte);
        ElementAssignment fromSpaced = before;
        const bool spacedTaken = !storeSysEx(fromSpaced, spaced);
        if (spacedTaken != !refusal || fromSpaced != record)
            fuzz::fail("pairs read the same with or without blanks between them", text);
    }
    return 0;
}
