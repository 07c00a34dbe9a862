// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace qob {

// A number with its sign position: " 1", " 16", "-3".
std::string numberText(int n);

// "0A", "F7": a byte as two upper-case hexadecimal digits.
std::string hexByte(std::uint8_t b);

} // namespace qob
