// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/assign/Cp1252Validator.h"

#include "model/Cp1252.h"

namespace qob {

QValidator::State Cp1252Validator::validate(QString& input, int& /*pos*/) const {
    if (input.contains(u'"') || !toCp1252(input))
        return Invalid;
    return Acceptable;
}

} // namespace qob
