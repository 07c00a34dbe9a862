// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/NumberText.h"

#include <string_view>

namespace qob {

std::string numberText(int n) {
    // Appended, not prepended: GCC 12 at -O3 misreads an insert at the front of the number's
    // string as an overlapping copy (-Wrestrict).
    std::string text(n < 0 ? 0 : 1, ' ');
    text += std::to_string(n);
    return text;
}

std::string hexByte(std::uint8_t b) {
    constexpr std::string_view kDigits = "0123456789ABCDEF";
    return {kDigits[b >> 4], kDigits[b & 0x0F]};
}

} // namespace qob
