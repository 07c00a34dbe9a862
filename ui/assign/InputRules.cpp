// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/assign/InputRules.h"

#include "model/ElementNames.h"
#include "vocab/Text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

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

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// How far the numeric field rule reads into a text whose blanks are gone.
struct NumberScan {
    double value = 0;
    std::size_t end = 0; // one past the last character read
    bool digits = false;
};

NumberScan radixScan(const std::string& s, std::size_t from, int radix) {
    NumberScan scan{0, from, false};
    for (; scan.end < s.size(); ++scan.end) {
        const int d = digitValue(s[scan.end], radix);
        if (d < 0)
            break;
        scan.value = scan.value * radix + d;
        scan.digits = true;
    }
    return scan;
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

NumberScan decimalScan(const std::string& s) {
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
        return {};
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
    return {negative ? -value : value, end, true};
}

NumberScan scanNumber(const std::string& s) {
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h')
            return radixScan(s, 2, 16);
        if (s[1] == 'O' || s[1] == 'o')
            return radixScan(s, 2, 8);
        return {};
    }
    return decimalScan(s);
}

// The text without the blanks that the rule ignores; nothing outside ASCII can continue a number.
std::string compacted(QStringView text) {
    std::string s;
    s.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) {
        if (isIgnoredBlank(c))
            continue;
        s += c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '\x7F';
    }
    return s;
}

// A typed text inside a message, cut short if long.
QString quoted(QStringView text) {
    constexpr qsizetype kLongest = 24;
    const QString t = text.trimmed().toString();
    if (t.size() <= kLongest)
        return u'"' + t + u'"';
    return u'"' + t.first(kLongest) + QStringLiteral("...\"");
}

struct KeyText {
    std::uint8_t code;
    const char* text;
};

// The texts that are not single letters, as the dialog shows them.
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

// Keys the surface cannot send. Their names begin with a letter, and the letter rule would
// otherwise store that letter in their place.
constexpr std::array<const char*, 16> kUnsendableKeys{
    "ENTER",  "RETURN", "ESC",  "ESCAPE", "TAB",    "BACKSPACE", "DELETE", "DEL",
    "INSERT", "INS",    "HOME", "END",    "PAGEUP", "PAGEDOWN",  "PGUP",   "PGDN",
};

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// "<Page Up>" -> "PAGEUP": blanks and one pair of angle brackets gone, ASCII letters upper case.
QString normalisedKeyName(const QString& text, bool& bracketed) {
    QStringView t = QStringView(text);
    bracketed = t.size() >= 2 && t.front() == u'<' && t.back() == u'>';
    if (bracketed)
        t = t.sliced(1, t.size() - 2);
    QString name;
    for (QChar c : t) {
        if (isBlank(c))
            continue;
        name += c >= u'a' && c <= u'z' ? QChar(c.unicode() - u'a' + u'A') : c;
    }
    return name;
}

// Unknown names may still be words that the letter rule reads; NoKey names are not.
enum class Named { Key, Unsendable, NoKey, Unknown };

// Every key the panel names ("A", "1", "<Space>", "<F12>", "<Up>"), under the name that a
// typed text is reduced to; these are the keys the surface can send.
const std::vector<std::pair<QString, std::uint8_t>>& panelKeyNames() {
    static const std::vector<std::pair<QString, std::uint8_t>> names = [] {
        std::vector<std::pair<QString, std::uint8_t>> all;
        for (int code = 0; code <= 0xFF; ++code) {
            const std::string panel = keyName(code);
            bool bracketed = false;
            if (!panel.empty())
                all.emplace_back(normalisedKeyName(QString::fromStdString(panel), bracketed),
                                 static_cast<std::uint8_t>(code));
        }
        return all;
    }();
    return names;
}

Named namedKey(const QString& name, std::uint8_t& code) {
    for (const auto& [panelName, panelCode] : panelKeyNames())
        if (name == panelName) {
            code = panelCode;
            return Named::Key;
        }
    for (const char* unsendable : kUnsendableKeys)
        if (name == QLatin1String(unsendable))
            return Named::Unsendable;
    // F1..F12 are named above; F13 and above exist on some keyboards, not on the surface.
    if (name.size() >= 2 && name.front() == u'F') {
        const QStringView digits = QStringView(name).sliced(1);
        if (std::all_of(digits.begin(), digits.end(),
                        [](QChar c) { return c >= u'0' && c <= u'9'; }))
            return digits.front() == u'0' ? Named::NoKey : Named::Unsendable; // "F0", "F05"
    }
    return Named::Unknown;
}

// The letter rule: a text from "A" up to "Z" in character-code order, once upper case, names the
// key of its first letter: "Apple" is A, while "ZOO" lies beyond "Z".
std::optional<std::uint8_t> letterRule(const QString& text) {
    QString upper;
    upper.reserve(text.size());
    for (QChar c : text)
        upper += c.toUpper(); // character by character: no letter grows into two
    if (upper >= u"A" && upper <= u"Z")
        return static_cast<std::uint8_t>(upper.front().unicode() - kLetterOffset);
    return std::nullopt;
}

bool isHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

} // namespace

double numericValue(QStringView text) {
    return scanNumber(compacted(text)).value;
}

std::optional<double> wholeNumberValue(QStringView text) {
    const std::string s = compacted(text);
    if (s.empty())
        return 0.0;
    const NumberScan scan = scanNumber(s);
    if (!scan.digits || scan.end != s.size())
        return std::nullopt;
    return scan.value;
}

std::optional<std::uint8_t> byteValue(double value) {
    double rounded = std::round(value); // halves away from zero ...
    if (std::fabs(value - std::trunc(value)) == 0.5)
        rounded = 2.0 * std::round(value / 2.0); // ... except that halves go to the even one
    if (!(rounded >= 0.0 && rounded <= 255.0))
        return std::nullopt;
    return static_cast<std::uint8_t>(rounded);
}

QString fieldName(InputField field) {
    switch (field) {
    case InputField::StatusByte:
        return QStringLiteral("Status byte");
    case InputField::Data1:
        return QStringLiteral("Data 1");
    case InputField::Data2:
        return QStringLiteral("Data 2");
    case InputField::Key:
        return QStringLiteral("Key");
    case InputField::SysEx:
        break;
    }
    return QStringLiteral("SysEx string");
}

Reading<std::uint8_t> readMidiByte(QStringView text, InputField field) {
    const bool status = field == InputField::StatusByte;
    const QString name = fieldName(field);
    const auto refuse = [&](const QString& what) {
        QString accepts;
        if (status)
            accepts = QStringLiteral(
                "The Status byte (the first MIDI number) takes a number from 128 to 239: the "
                "message type plus the channel minus 1. The types are 128 Note Off, 144 Note On, "
                "160 Poly AfterTouch, 176 Control Change, 192 Program Change, 208 Channel "
                "AfterTouch and 224 Pitch Bend.");
        else
            accepts = QStringLiteral("%1 (the %2 MIDI number) takes a number from 0 to 255, in "
                                     "decimal or as &H followed by hex digits. An empty field "
                                     "counts as 0.")
                          .arg(name, field == InputField::Data1 ? QStringLiteral("second")
                                                                : QStringLiteral("third"));
        return Refusal{field, name + QStringLiteral(": ") + what, accepts};
    };
    const std::optional<double> value = wholeNumberValue(text);
    if (!value)
        return refuse(quoted(text) + QStringLiteral(" is not a number."));
    if (status && text.trimmed().isEmpty())
        return refuse(QStringLiteral("the field is empty."));
    const std::optional<std::uint8_t> byte = byteValue(*value);
    // "&H90" or "143.6": say what the text was read as.
    const QString number = byte ? QString::number(*byte) : QString::number(*value, 'g', 6);
    QString read = quoted(text);
    if (number != text.trimmed())
        read += QStringLiteral(" (read as %1)").arg(number);
    if (!byte)
        return refuse(read + QStringLiteral(" lies outside 0 to 255."));
    if (status && (*byte < 0x80 || *byte > 0xEF))
        return refuse(read + QStringLiteral(" is not the status of a channel message."));
    return *byte;
}

Reading<std::uint8_t> readKeyText(const QString& text, std::optional<std::uint8_t> keptCode) {
    const QString t = text.trimmed();
    const auto refuse = [&](const QString& what) {
        return Refusal{InputField::Key, QStringLiteral("Key: ") + what,
                       QStringLiteral("The Key field takes a letter A to Z, a digit 0 to 9, Space, "
                                      "F1 to F12 or an arrow key (Left, Right, Up, Down), with or "
                                      "without angle brackets and in any case. Ctrl, Shift and "
                                      "Alt are the check boxes.")};
    };
    if (t.isEmpty()) {
        if (keptCode)
            return *keptCode;
        return refuse(QStringLiteral("no key is given."));
    }
    bool bracketed = false;
    std::uint8_t code = 0;
    const Named named = namedKey(normalisedKeyName(t, bracketed), code);
    if (named == Named::Key)
        return code;
    if (named == Named::Unsendable)
        return refuse(QStringLiteral("the surface cannot send %1.").arg(quoted(t)));
    if (named == Named::Unknown && !bracketed)
        if (const auto letter = letterRule(t))
            return *letter;
    return refuse(quoted(t) + QStringLiteral(" is not a key the surface can send."));
}

QString keyTextOf(std::uint8_t code) {
    if (code >= KeyCode::A && code <= KeyCode::Z)
        return QString(QChar(code + kLetterOffset));
    for (const KeyText& key : exactKeyTexts())
        if (key.code == code)
            return QLatin1String(key.text);
    return {};
}

Reading<std::vector<std::uint8_t>> readSysExText(QStringView text) {
    const auto refuse = [](const QString& what, qsizetype from, qsizetype length) {
        return Refusal{InputField::SysEx, QStringLiteral("SysEx string: ") + what,
                       QStringLiteral("The SysEx string takes the bytes after F0 as pairs of hex "
                                      "digits from 00 to 7F, with or without blanks between "
                                      "them, at most ten. F7 may only come last; a shorter "
                                      "string gets F7 added at its end."),
                       from, length};
    };
    std::vector<std::uint8_t> bytes;
    qsizetype i = 0;
    while (true) {
        while (i < text.size() && isBlank(text[i]))
            ++i;
        if (i == text.size())
            break;
        // Two characters make a byte, or one before a blank or the end ("A 7" is 0A 07).
        const qsizetype length = i + 1 < text.size() && !isBlank(text[i + 1]) ? 2 : 1;
        const QStringView pair = text.sliced(i, length);
        const int number = static_cast<int>(bytes.size()) + 1;
        if (number > kSysExPositions)
            return refuse(QStringLiteral("a string holds at most ten bytes; byte %1 is one too "
                                         "many.")
                              .arg(number),
                          i, -1);
        if (!std::all_of(pair.begin(), pair.end(), isHexDigit))
            return refuse(
                QStringLiteral("%1 in byte %2 is not a hex byte.").arg(quoted(pair)).arg(number), i,
                length);
        const auto byte = static_cast<std::uint8_t>(pair.toUInt(nullptr, 16));
        const QString hex = QString::fromStdString(hexByte(byte));
        if (byte == kSysExEnd && number == 1) {
            // The dialog shows Data1 and Data2 even then, and "F7 F7" would not read back.
            return refuse(QStringLiteral("F7 in byte 1 would end the string before any data "
                                         "byte."),
                          i, length);
        } else if (byte == kSysExEnd) {
            qsizetype next = i + length;
            while (next < text.size() && isBlank(text[next]))
                ++next;
            if (next < text.size())
                return refuse(QStringLiteral("F7 in byte %1 ends the string, but more bytes "
                                             "follow it.")
                                  .arg(number),
                              i, length);
        } else if (byte == kStatusSysEx && number == 1) {
            return refuse(QStringLiteral("leave out the start byte F0; it is sent before the "
                                         "string by itself."),
                          i, length);
        } else if (byte > 0x7F) {
            return refuse(QStringLiteral("byte %1 is %2, outside 00 to 7F.").arg(number).arg(hex),
                          i, length);
        }
        bytes.push_back(byte);
        i += length;
    }
    if (bytes.empty())
        bytes.push_back(0x00); // an empty string still holds its first position
    if (static_cast<int>(bytes.size()) < kSysExPositions)
        bytes.push_back(kSysExEnd);
    return bytes;
}

std::optional<Refusal> storeKeystroke(ElementAssignment& record, std::uint8_t modifiers,
                                      const QString& keyText) {
    const std::optional<std::uint8_t> kept =
        record.Status == kStatusKeyboard ? std::optional(record.Data2) : std::nullopt;
    const Reading<std::uint8_t> code = readKeyText(keyText, kept);
    if (const Refusal* refusal = std::get_if<Refusal>(&code))
        return *refusal;
    record.Status = kStatusKeyboard;
    record.Data1 = modifiers;
    record.Data2 = std::get<std::uint8_t>(code);
    return std::nullopt;
}

std::optional<Refusal> storeSysEx(ElementAssignment& record, QStringView text) {
    const Reading<std::vector<std::uint8_t>> bytes = readSysExText(text);
    if (const Refusal* refusal = std::get_if<Refusal>(&bytes))
        return *refusal;
    record.Status = kStatusSysEx;
    const auto& read = std::get<std::vector<std::uint8_t>>(bytes);
    for (std::size_t i = 0; i < read.size(); ++i)
        sysExByte(record, static_cast<int>(i)) = read[i];
    return std::nullopt;
}

std::optional<Refusal> storeMidiEvent(ElementAssignment& record,
                                      const std::array<QString, 3>& fields) {
    constexpr std::array<InputField, 3> kFields{InputField::StatusByte, InputField::Data1,
                                                InputField::Data2};
    std::array<std::uint8_t, 3> bytes{};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const Reading<std::uint8_t> byte = readMidiByte(fields[i], kFields[i]);
        if (const Refusal* refusal = std::get_if<Refusal>(&byte))
            return *refusal;
        bytes[i] = std::get<std::uint8_t>(byte);
    }
    record.Status = bytes[0];
    record.Data1 = bytes[1];
    record.Data2 = bytes[2];
    return std::nullopt;
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
