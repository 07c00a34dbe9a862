// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QPrinter;
class QWidget;

namespace qob {

// The system's print dialog for `printer`; true when the user chose to print.
bool askPrinterDialog(QWidget* parent, QPrinter& printer);

} // namespace qob
