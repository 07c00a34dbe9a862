// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/assign/InputRules.h"

#include "vocab/ElementNames.h"
#include "vocab/Text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace qob {
namespace {

constexpr int kLetterOffset = 61; // character code of the letter − code
constexpr int kFunctionKeys = KeyCode::F12 - KeyCode::F1 + 1;

bool isIgnoredBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}

int digitValue(char c, int radix) {
    int d = radix; // no digit
    if (c >= '0' && c <= '9')
        d = c - '0';
    else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
    return d < radix ? d : -1;
}

double radixValue(const std::string& s, std::size_t from, int radix) {
    double value = 0;
    for (std::size_t i = from; i < s.size(); ++i) {
        const int d = digitValue(s[i], radix);
        if (d < 0)
            break;
        value = value * radix + d;
    }
    return value;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The power of ten of the first non-zero digit of a mantissa, exponent not counted: 2 for "123",
// -3 for "0.00123". Only its sign matters, so the exponent is added with saturation.
long leadingPower(const std::string& s, std::size_t from, std::size_t to, long exponent) {
    const std::size_t point = s.find('.', from);
    const std::size_t integerEnd = point < to ? point : to;
    long power = 0;
    for (std::size_t i = from; i < to; ++i) {
        if (s[i] == '.' || s[i] == '0')
            continue;
        power = i < integerEnd ? static_cast<long>(integerEnd - i) - 1
                               : -static_cast<long>(i - integerEnd);
        break;
    }
    return power + exponent;
}

double decimalValue(const std::string& s) {
    const std::size_t n = s.size();
    std::size_t p = 0;
    bool negative = false;
    if (p < n && (s[p] == '+' || s[p] == '-'))
        negative = s[p++] == '-';
    const std::size_t start = p;
    std::size_t digits = 0;
    for (; p < n && isDigit(s[p]); ++p)
        ++digits;
    if (p < n && s[p] == '.')
        for (++p; p < n && isDigit(s[p]); ++p)
            ++digits;
    if (digits == 0)
        return 0;
    const std::size_t mantissaEnd = p;
    std::size_t end = p;
    long exponent = 0;
    if (p < n && (s[p] == 'e' || s[p] == 'E')) {
        std::size_t q = p + 1;
        bool negativeExponent = false;
        if (q < n && (s[q] == '+' || s[q] == '-'))
            negativeExponent = s[q++] == '-';
        const std::size_t exponentDigits = q;
        constexpr long kFarOutOfRange = 1'000'000'000;
        for (; q < n && isDigit(s[q]); ++q)
            exponent = std::min(exponent * 10 + (s[q] - '0'), kFarOutOfRange);
        if (negativeExponent)
            exponent = -exponent;
        if (q > exponentDigits) // "1e" and "1e+" are the number 1 followed by other text
            end = q;
        else
            exponent = 0;
    }
    double value = 0;
    const auto [ptr, ec] = std::from_chars(s.data() + start, s.data() + end, value);
    (void)ptr;
    // Out of range either way: "1e999" and a 400-digit integer are too large, "1e-999" and
    // "0.0001" with 400 zeros too small, whatever the sign of the exponent.
    if (ec == std::errc::result_out_of_range)
        value = leadingPower(s, start, mantissaEnd, exponent) > 0
                    ? std::numeric_limits<double>::infinity()
                    : 0.0;
    return negative ? -value : value;
}

struct KeyText {
    std::uint8_t code;
    const char* text;
};

// The texts that are not single letters, matched with case.
const std::array<KeyText, 23>& exactKeyTexts() {
    static const std::array<KeyText, 23> table = [] {
        std::array<KeyText, 23> t{};
        static const char* const kDigits[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9"};
        static const char* const kFunctions[] = {"<F1>", "<F2>", "<F3>", "<F4>",  "<F5>",  "<F6>",
                                                 "<F7>", "<F8>", "<F9>", "<F10>", "<F11>", "<F12>"};
        std::size_t i = 0;
        for (int d = 0; d < 9; ++d)
            t[i++] = {static_cast<std::uint8_t>(KeyCode::Digit1 + d), kDigits[d]};
        t[i++] = {KeyCode::Digit0, "0"};
        t[i++] = {KeyCode::Space, "<SPACE>"};
        for (int f = 0; f < kFunctionKeys; ++f)
            t[i++] = {static_cast<std::uint8_t>(KeyCode::F1 + f), kFunctions[f]};
        return t;
    }();
    return table;
}

bool onlyBlanks(QStringView text) {
    for (QChar c : text)
        if (c != u' ')
            return false;
    return true;
}

} // namespace

double numericValue(QStringView text) {
    std::string s;
    s.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) {
        if (isIgnoredBlank(c))
            continue;
        // Nothing outside ASCII can continue a number.
        s += c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '\x7F';
    }
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h')
            return radixValue(s, 2, 16);
        if (s[1] == 'O' || s[1] == 'o')
            return radixValue(s, 2, 8);
        return 0;
    }
    return decimalValue(s);
}

std::optional<std::uint8_t> byteValue(double value) {
    double rounded = std::round(value); // halves away from zero ...
    if (std::fabs(value - std::trunc(value)) == 0.5)
        rounded = 2.0 * std::round(value / 2.0); // ... except that halves go to the even one
    if (!(rounded >= 0.0 && rounded <= 255.0))
        return std::nullopt;
    return static_cast<std::uint8_t>(rounded);
}

std::optional<std::uint8_t> keyCodeFromText(const QString& text) {
    QString upper;
    upper.reserve(text.size());
    for (QChar c : text)
        upper += c.toUpper(); // character by character: no letter grows into two
    if (upper >= u"A" && upper <= u"Z")
        return static_cast<std::uint8_t>(upper.front().unicode() - kLetterOffset);
    for (const KeyText& key : exactKeyTexts())
        if (text == QLatin1String(key.text))
            return key.code;
    return std::nullopt;
}

QString keyTextOf(std::uint8_t code) {
    if (code >= KeyCode::A && code <= KeyCode::Z)
        return QString(QChar(code + kLetterOffset));
    for (const KeyText& key : exactKeyTexts())
        if (key.code == code)
            return QLatin1String(key.text);
    return {};
}

std::vector<std::uint8_t> sysExBytesFromText(QStringView text) {
    std::vector<std::uint8_t> bytes;
    QStringView rest = text;
    while (static_cast<int>(bytes.size()) < kSysExPositions) {
        while (!rest.isEmpty() && rest.front() == u' ')
            rest = rest.sliced(1);
        const QStringView pair = rest.first(std::min<qsizetype>(2, rest.size()));
        const double value = numericValue(QStringLiteral("&H") + pair.toString());
        bytes.push_back(static_cast<std::uint8_t>(value)); // two hex digits: 0..255
        rest = rest.sliced(pair.size());
        // Blanks after the last byte end the text: they must not read as a further 00.
        if (onlyBlanks(rest) || bytes.back() == kSysExEnd)
            break;
    }
    if (static_cast<int>(bytes.size()) < kSysExPositions)
        bytes.push_back(kSysExEnd);
    return bytes;
}

QString sysExFieldText(const ElementAssignment& record) {
    QString text;
    for (int position = 0; position < kSysExPositions; ++position) {
        const std::uint8_t byte = sysExByte(record, position);
        if (position > 0)
            text += u' ';
        text += QString::fromStdString(hexByte(byte));
        // Data1 is always followed by Data2, even when it is F7.
        if (position > 0 && byte == kSysExEnd)
            break;
    }
    return text;
}

QString numberFieldText(int value) {
    return QString::fromStdString(numberText(value));
}

QString assignTitle(int element) {
    static const char* const kTransport[] = {"FF", "PLAY", "REC", "REW", "STOP"};
    constexpr int kFirstTransport = 26;
    QString name;
    if (element >= kFirstTransport && element < kFirstTransport + 5)
        name =
            QStringLiteral("<Transport> ") + QLatin1String(kTransport[element - kFirstTransport]);
    else
        name = QString::fromStdString(elementName(element));
    if (name.isEmpty())
        return QStringLiteral("Element Assign");
    return QStringLiteral("Element Assign : ") + name;
}

ModeList modeListOf(int element) {
    if ((element >= 0 && element <= 17) || (element >= 32 && element <= 39))
        return ModeList::NormalDrawbar;
    if (isButton(element))
        return ModeList::TogglePush;
    return ModeList::None;
}

} // namespace qob
