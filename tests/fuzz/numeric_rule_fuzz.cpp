// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog's numeric field rule and its byte rounding, checked against the C library's own
// number reading and against what the dialog shows in its number fields; the MIDI row's fields,
// which take a text only when the rule reads all of it, and store nothing when they refuse it.
#include "FuzzText.h"
#include "ui/assign/InputRules.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

using namespace qob;

namespace {

bool isDecimalChar(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
}

// Exact for the digits a double holds without rounding; nullopt beyond them.
std::optional<double> radixReference(const std::string& s, int radix, std::size_t maxDigits) {
    std::string digits;
    for (std::size_t i = 2; i < s.size(); ++i) {
        const char c = s[i];
        const bool isDigit =
            radix == 16 ? std::isxdigit(static_cast<unsigned char>(c)) != 0 : c >= '0' && c <= '7';
        if (!isDigit)
            break;
        digits += c;
    }
    if (digits.size() > maxDigits)
        return std::nullopt;
    return digits.empty() ? 0.0 : static_cast<double>(std::stoull(digits, nullptr, radix));
}

// What the rule should give, read by strtod from the same characters once blanks are gone. The
// fuzzer never sets a locale, so strtod reads the C locale's decimal point.
std::optional<double> reference(const QString& text) {
    std::string s;
    for (QChar c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n')
            continue;
        s += c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '\x7F';
    }
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h')
            return radixReference(s, 16, 13);
        if (s[1] == 'O' || s[1] == 'o')
            return radixReference(s, 8, 17);
        return 0.0;
    }
    // Only number characters go to strtod: it would take "inf", "nan" and "0x" too.
    std::size_t n = 0;
    while (n < s.size() && isDecimalChar(s[n]))
        ++n;
    const std::string number = s.substr(0, n);
    return std::strtod(number.c_str(), nullptr);
}

bool sameValue(double got, double want) {
    if (got == want)
        return true;
    // Below the smallest normal double the C library keeps subnormals and the rule may give 0;
    // both round to the byte 0.
    return std::fabs(got) < 1e-300 && std::fabs(want) < 1e-300;
}

void checkByte(double value, const QString& text) {
    const std::optional<std::uint8_t> byte = byteValue(value);
    const bool inRange = value >= -0.5 && value < 255.5;
    if (byte.has_value() != inRange)
        fuzz::fail("a byte exactly for values from -0.5 up to but not including 255.5", text);
    if (!byte)
        return;
    const double distance = std::fabs(double(*byte) - value);
    if (distance > 0.5)
        fuzz::fail("the byte is the nearest integer", text);
    if (distance == 0.5 && *byte % 2 != 0)
        fuzz::fail("halves go to the even neighbour", text);
}

// A MIDI field takes the text only when the rule reads all of it, and stores exactly the byte
// that the rule and the rounding give; a refused text leaves the record as it was.
void checkMidiFields(const QString& text, double value) {
    const std::optional<double> whole = wholeNumberValue(text);
    if (whole && !(*whole == value))
        fuzz::fail("a whole field reads the number the rule reads", text);
    if (whole && wholeNumberValue(text + u'x'))
        fuzz::fail("text after the number makes the field refused", text);
    const std::optional<std::uint8_t> byte = whole ? byteValue(*whole) : std::nullopt;
    const ElementAssignment before{0x10, 0xB0, 7, 100, "Vol", {1, 2, 3, 4, 5, 6, 7, 8}};
    constexpr InputField kFields[] = {InputField::StatusByte, InputField::Data1, InputField::Data2};
    for (std::size_t i = 0; i < 3; ++i) {
        const bool inRange = byte && (i > 0 || (*byte >= 0x80 && *byte <= 0xEF));
        std::array<QString, 3> fields{QStringLiteral("144"), QStringLiteral("1"),
                                      QStringLiteral("2")};
        fields[i] = text;
        ElementAssignment record = before;
        const std::optional<Refusal> refusal = storeMidiEvent(record, fields);
        if (refusal) {
            if (inRange)
                fuzz::fail("a whole number in range is taken", text);
            if (record != before)
                fuzz::fail("a refused text stores nothing", text);
            if (refusal->field != kFields[i] ||
                !refusal->text.startsWith(fieldName(kFields[i]) + u':'))
                fuzz::fail("a refusal names the field", text);
            continue;
        }
        if (!inRange)
            fuzz::fail("only a whole number in range is taken", text);
        std::array<std::uint8_t, 3> want{144, 1, 2};
        want[i] = *byte;
        const ElementAssignment stored{before.Mode, want[0],        want[1],
                                       want[2],     before.Explain, before.SysExTail};
        if (record != stored)
            fuzz::fail("an accepted text stores the byte it reads as and nothing else", text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = fuzz::textOf(data, size);
    const double value = numericValue(text);
    if (std::isnan(value))
        fuzz::fail("never NaN", text);
    if (const std::optional<double> want = reference(text); want && !sameValue(value, *want)) {
        std::fprintf(stderr, "rule %.17g, C library %.17g\n", value, *want);
        fuzz::fail("the rule reads the number the C library reads", text);
    }
    checkByte(value, text);

    // Blanks between the characters change nothing.
    QString spread;
    for (QChar c : text) {
        spread += c;
        spread += u' ';
    }
    if (const double again = numericValue(spread); !(again == value))
        fuzz::fail("blanks between the characters change nothing", text);

    checkMidiFields(text, value);
    if (wholeNumberValue(spread) != wholeNumberValue(text))
        fuzz::fail("blanks between the characters change nothing for a whole field", text);

    // Any bit pattern as a value, NaN and infinities included.
    if (size >= sizeof(double)) {
        double raw;
        std::memcpy(&raw, data + size - sizeof(double), sizeof raw);
        checkByte(raw, text);
    }

    // The number fields show numberFieldText(n); reading that text back gives n again.
    if (size >= sizeof(std::int32_t)) {
        std::int32_t n;
        std::memcpy(&n, data + size - sizeof n, sizeof n);
        const QString shown = numberFieldText(n);
        if (numericValue(shown) != double(n))
            fuzz::fail("a shown number reads back as itself", shown);
        const std::optional<std::uint8_t> byte = byteValue(double(n));
        if ((n >= 0 && n <= 255) != byte.has_value() || (byte && *byte != n))
            fuzz::fail("whole numbers 0..255 are their own byte", shown);
    }
    return 0;
}
