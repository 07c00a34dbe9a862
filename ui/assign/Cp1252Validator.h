// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QValidator>

namespace qob {

// Admits only texts that the preset file can hold: Windows-1252 characters, no double quote (the
// file's text delimiter).
class Cp1252Validator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

} // namespace qob
