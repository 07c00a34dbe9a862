// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/Cp1252.h"

#include "model/NumberText.h"

#include <array>

namespace qob {
namespace {

// 0x80..0x9F; the five undefined bytes stand for the C1 control of the same number.
constexpr std::array<char16_t, 32> kHighControls{
    u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
    u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178',
};

std::optional<char> byteFor(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == c)
            return static_cast<char>(0x80 + i);
    return std::nullopt;
}

bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

QString escaped(const QString& text, bool backslash) {
    QString shown;
    shown.reserve(text.size());
    for (QChar c : text) {
        if (isControl(c.unicode()))
            shown += QStringLiteral("\\x") +
                     QString::fromStdString(hexByte(static_cast<std::uint8_t>(c.unicode())));
        else if (backslash && c == u'\\')
            shown += QStringLiteral("\\\\");
        else
            shown += c;
    }
    return shown;
}

} // namespace

QString fromCp1252(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        text.append(u >= 0x80 && u <= 0x9F ? QChar(kHighControls[u - 0x80]) : QChar(u));
    }
    return text;
}

std::optional<std::string> toCp1252(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) {
        const auto b = byteFor(c.unicode());
        if (!b)
            return std::nullopt;
        bytes.push_back(*b);
    }
    return bytes;
}

QString escapeControls(const QString& text) {
    return escaped(text, true);
}

QString escapeControlsOnly(const QString& text) {
    return escaped(text, false);
}

QString shownText(std::string_view cp1252) {
    return escapeControls(fromCp1252(cp1252));
}

} // namespace qob
