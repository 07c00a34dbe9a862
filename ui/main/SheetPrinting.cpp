// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/SheetPrinting.h"

#include "ui/main/frmMain.h"
#include "ui/picture/PresetSheet.h"
#include "vocab/Cp1252.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>

namespace qob {

bool askPrinterDialog(QWidget* parent, QPrinter& printer) {
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

void frmMain::printSheet() {
    QPrinter printer(QPrinter::HighResolution);
    // The sheet is laid out for A4 landscape; another paper the user picks gets it scaled.
    printer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
    printer.setFullPage(true);
    printer.setDocName(QStringLiteral("Preset sheet ") + fromCp1252(m_preset.Name));
    if (!m_seams.askPrinter(printer))
        return;
    if (!paintSheetPages(printer, m_preset, {Layer::Daw, Layer::Midi}, QString()))
        m_seams.showMessage(QStringLiteral("Couldn't print the preset sheet!"),
                            printer.outputFileName().isEmpty() ? printer.printerName()
                                                               : printer.outputFileName());
}

} // namespace qob
