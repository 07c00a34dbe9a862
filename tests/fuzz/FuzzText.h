// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Fuzz input as the text of a field. The first byte picks the decoding: even gives UTF-8 (what
// a pasted or loaded text goes through, malformed sequences included), odd gives raw UTF-16 code
// units (lone surrogates and every code unit a field can hold).
namespace qob::fuzz {

inline QString textOf(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return {};
    const char* rest = reinterpret_cast<const char*>(data + 1);
    const std::size_t restSize = size - 1;
    if ((data[0] & 1) == 0)
        return QString::fromUtf8(rest, static_cast<qsizetype>(restSize));
    QString text;
    text.reserve(static_cast<qsizetype>(restSize / 2));
    for (std::size_t i = 0; i + 1 < restSize; i += 2)
        text += QChar(static_cast<char16_t>(data[1 + i] | data[2 + i] << 8));
    return text;
}

// Escaped so that a finding's text can be read in the log.
inline void printText(const char* what, const QString& text) {
    std::fprintf(stderr, "%s: \"", what);
    for (QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            std::fputc(static_cast<char>(c.unicode()), stderr);
        else
            std::fprintf(stderr, "\\u%04X", static_cast<unsigned>(c.unicode()));
    }
    std::fprintf(stderr, "\"\n");
}

[[noreturn]] inline void fail(const char* property) {
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}

[[noreturn]] inline void fail(const char* property, const QString& text) {
    std::fprintf(stderr, "property broken: %s\n", property);
    printText("text", text);
    std::abort();
}

} // namespace qob::fuzz
