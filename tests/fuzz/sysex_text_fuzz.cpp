// SPDX-License-Identifier: GPL-3.0-or-later
// The SysEx field: what a text stores, and that opening the dialog and pressing OK keeps the
// stored string. The first ten input bytes are the record's previous bytes, the rest the text.
#include "FuzzText.h"
#include "ui/assign/InputRules.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

using namespace qob;

namespace {

using Bytes = std::vector<std::uint8_t>;

void store(ElementAssignment& record, const Bytes& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i)
        sysExByte(record, static_cast<int>(i)) = bytes[i];
}

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

void checkRead(const Bytes& bytes, const QString& text) {
    if (bytes.size() < 2 || bytes.size() > std::size_t(kSysExPositions))
        fuzz::fail("one to ten bytes and an end byte where there is room", text);
    if (bytes.size() < std::size_t(kSysExPositions) && bytes.back() != kSysExEnd)
        fuzz::fail("ends with F7 when shorter than ten", text);
    for (std::size_t i = 0; i + 2 < bytes.size(); ++i)
        if (bytes[i] == kSysExEnd)
            fuzz::fail("reading stops at the first F7", text);
}

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// The field's text: upper-case pairs with one blank between them.
Bytes pairsOf(const QString& shown) {
    if (shown.size() % 3 != 2)
        fuzz::fail("the field shows upper-case pairs with one blank between them", shown);
    Bytes bytes;
    for (qsizetype i = 0; i < shown.size(); i += 3) {
        const int high = hexDigit(shown[i]);
        const int low = hexDigit(shown[i + 1]);
        if (high < 0 || low < 0 || (i + 2 < shown.size() && shown[i + 2] != u' '))
            fuzz::fail("the field shows upper-case pairs with one blank between them", shown);
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return bytes;
}

void checkShown(const ElementAssignment& record) {
    const QString shown = sysExFieldText(record);
    const Bytes pairs = pairsOf(shown);
    if (pairs.empty() || pairs.size() > std::size_t(kSysExPositions))
        fuzz::fail("the field shows one to ten bytes", shown);
    for (std::size_t i = 0; i < pairs.size(); ++i)
        if (pairs[i] != sysExByte(record, static_cast<int>(i)))
            fuzz::fail("the field shows the stored bytes in order", shown);
    // A string that starts with F7 ends there, whatever the field shows after it.
    if (pairs.front() == kSysExEnd)
        return;
    // Shorter than ten, the shown bytes end with their F7 and OK adds one more.
    Bytes want = pairs;
    if (want.size() < std::size_t(kSysExPositions))
        want.push_back(kSysExEnd);
    if (sysExBytesFromText(shown) != want)
        fuzz::fail("the shown text reads back to the shown bytes", shown);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ElementAssignment before;
    before.Status = kStatusSysEx;
    const std::size_t previous = std::min<std::size_t>(size, kSysExPositions);
    for (std::size_t i = 0; i < previous; ++i)
        sysExByte(before, static_cast<int>(i)) = data[i];
    const QString text = fuzz::textOf(data + previous, size - previous);

    const Bytes bytes = sysExBytesFromText(text);
    checkRead(bytes, text);

    // Blanks around the text change nothing.
    if (sysExBytesFromText(QStringLiteral("  ") + text + QStringLiteral("   ")) != bytes)
        fuzz::fail("blanks around the text change nothing", text);

    // With hex digits only, pairs are read with or without a blank between them.
    QString digits;
    QString spaced;
    for (QChar c : text) {
        const QChar digit = QLatin1Char("0123456789ABCDEF"[c.unicode() % 16]);
        if (digits.size() % 2 == 0 && !digits.isEmpty())
            spaced += u' ';
        digits += digit;
        spaced += digit;
    }
    const Bytes fromDigits = sysExBytesFromText(digits);
    if (sysExBytesFromText(spaced) != fromDigits)
        fuzz::fail("pairs read the same with or without blanks between them", digits);
    Bytes pairs;
    for (qsizetype i = 0; pairs.size() < std::size_t(kSysExPositions); i += 2) {
        pairs.push_back(static_cast<std::uint8_t>(digits.mid(i, 2).toUInt(nullptr, 16)));
        if (i + 2 >= digits.size() || pairs.back() == kSysExEnd)
            break;
    }
    if (pairs.size() < std::size_t(kSysExPositions))
        pairs.push_back(kSysExEnd);
    if (fromDigits != pairs)
        fuzz::fail("hex digits are read two by two", digits);

    checkShown(before);

    // OK stores the bytes; opening the dialog again and pressing OK keeps the stored string and
    // the field's text.
    ElementAssignment stored = before;
    store(stored, bytes);
    checkShown(stored);
    const QString shown = sysExFieldText(stored);
    ElementAssignment again = stored;
    store(again, sysExBytesFromText(shown));
    if (storedString(again) != storedString(stored) || sysExFieldText(again) != shown)
        fuzz::fail("reopening and OK keep the stored string", shown);
    return 0;
}
