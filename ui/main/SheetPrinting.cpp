// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/SheetPrinting.h"

#include "model/Cp1252.h"
#include "ui/main/DocumentActions.h"
#include "ui/picture/PresetSheet.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>

namespace qob {

bool askPrinterDialog(QWidget* parent, QPrinter& printer) {
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

void DocumentActions::printSheet() {
    QPrinter printer(QPrinter::HighResolution);
    // The sheet is laid out for A4 landscape; another paper the user picks gets it scaled.
    printer.setPageLayout(sheetPageLayout());
    printer.setFullPage(true);
    printer.setDocName(QStringLiteral("Preset sheet ") + fromCp1252(m_preset.Name));
    if (!m_seams.askPrinter(printer))
        return;
    const std::vector<Layer> layers{Layer::Daw, Layer::Midi};
    const QString file = printer.outputFileName();
    if (printer.outputFormat() == QPrinter::PdfFormat && !file.isEmpty()) {
        // Printed to a file: written as `qob sheet` writes one, so a failure keeps the old file.
        const SheetWriteResult written = writeSheetFile(file, SheetFormat::Pdf, m_preset, layers,
                                                        QString(), printer.pageLayout());
        if (!written.ok)
            m_seams.showMessage(QStringLiteral("Couldn't print the preset sheet!"), written.error);
        return;
    }
    if (!paintSheetPages(printer, m_preset, layers, QString()))
        m_seams.showMessage(QStringLiteral("Couldn't print the preset sheet!"),
                            printer.printerName());
}

} // namespace qob
