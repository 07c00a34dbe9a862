// SPDX-License-Identifier: GPL-3.0-or-later
// The key text rule: an accepted text names a key whose own text reads back to the same code,
// a refused text matches no rule, and every key text reads back to its code.
#include "FuzzText.h"
#include "ui/assign/InputRules.h"

#include <cstddef>
#include <cstdint>

using namespace qob;

namespace {

bool isAsciiLetter(QChar c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = fuzz::textOf(data, size);
    const std::optional<std::uint8_t> code = keyCodeFromText(text);
    const QChar firstUpper = text.isEmpty() ? QChar() : text.front().toUpper();
    // The letter rule: A..Y followed by anything, or exactly "Z" in either case.
    const bool letterRule =
        (firstUpper >= u'A' && firstUpper < u'Z') || (firstUpper == u'Z' && text.size() == 1);
    if (code) {
        const QString name = keyTextOf(*code);
        if (name.isEmpty())
            fuzz::fail("an accepted text gives a code that has a text", text);
        if (keyCodeFromText(name) != code)
            fuzz::fail("the code's own text reads back to the code", text);
        const bool asLetter = letterRule && name == QString(firstUpper);
        if (!asLetter && name != text)
            fuzz::fail("accepted as a letter by its first character or as an exact text", text);
    } else if (letterRule) {
        fuzz::fail("a text the letter rule takes is not refused", text);
    }

    // The letter rule ignores case.
    if (!text.isEmpty() && isAsciiLetter(text.front()) &&
        keyCodeFromText(text.toUpper()) != keyCodeFromText(text.toLower()))
        fuzz::fail("upper and lower case give the same letter key", text);

    // What the dialog shows for a stored code is read back as that code by OK.
    if (size > 0) {
        const QString shown = keyTextOf(data[0]);
        if (!shown.isEmpty() && keyCodeFromText(shown) != data[0])
            fuzz::fail("a shown key text reads back as its code", shown);
    }
    return 0;
}
