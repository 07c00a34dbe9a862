// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/midisetup/MIDISetupForm.h"

#include "device/DumpTransfer.h"
#include "device/MidiOutPort.h"
#include "ui/midisetup/MidiCalls.h"
#include "ui/midisetup/MidiSetupLayout.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

namespace qob {

namespace {

QFont dialogFont(double points, bool bold) {
    QFont font(QString::fromLatin1(kMidiSetupFontFamily));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// A five-pin MIDI socket, drawn rather than shipped: the dialog's own 32 x 32 icon.
QIcon midiSocketIcon() {
    QPixmap pixmap(kMidiSetupIconSize, kMidiSetupIconSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.setBrush(QColor(90, 90, 110));
    p.drawEllipse(QRectF(2, 2, 28, 28));
    p.setBrush(QColor(20, 20, 20));
    p.drawEllipse(QRectF(7, 7, 18, 18));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(235, 235, 235));
    for (const QPointF& pin :
         {QPointF(10, 16), QPointF(22, 16), QPointF(12, 11.5), QPointF(20, 11.5), QPointF(16, 9.5)})
        p.drawEllipse(pin, 1.8, 1.8);
    p.fillRect(QRectF(14.5, 22, 3, 3), QColor(235, 235, 235));
    return QIcon(pixmap);
}

} // namespace

MIDISetupForm::MIDISetupForm(EditorState& state, std::shared_ptr<MidiOutService> service,
                             MidiCalls& calls, QWidget* parent)
    // A title bar with a close box only, like the Element Assign dialog.
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_state(state), m_service(std::move(service)), m_calls(calls) {
    setObjectName(QStringLiteral("MIDISetupForm"));
    setWindowTitle(QStringLiteral("MIDI Device Setup"));
    setWindowIcon(midiSocketIcon());
    setModal(false);

    m_label2 = new QLabel(QStringLiteral("MIDI OUT Device"), this);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_comboMidiOut = new QComboBox(this);
    m_comboMidiOut->setObjectName(QStringLiteral("Combo_MIDI_OUT"));
    m_label2->setBuddy(m_comboMidiOut); // the list's name for a screen reader
    // Only a listed entry gives a device number.
    m_comboMidiOut->setEditable(false);
    m_cmdOK = new QPushButton(QStringLiteral("OK"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    layOut();

    m_seams.closePort = [] {};
    m_seams.showMessage = [](const QString&, const QString&) {};
    connect(m_cmdOK, &QPushButton::clicked, this, &MIDISetupForm::cmdOK_Click);
}

void MIDISetupForm::layOut() {
    const int dpiX = logicalDpiX();
    const int dpiY = logicalDpiY();
    const auto place = [&](QWidget* w, const TwipsRect& r) {
        w->setGeometry(twipsToPixels(r.left, dpiX), twipsToPixels(r.top, dpiY),
                       twipsToPixels(r.width, dpiX), twipsToPixels(r.height, dpiY));
    };
    setFixedSize(twipsToPixels(kMidiSetupClient.width, dpiX),
                 twipsToPixels(kMidiSetupClient.height, dpiY));

    // The dark background is the scheme's colour for window text.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::WindowText));
    setPalette(palette);
    setAutoFillBackground(true);

    place(m_label2, kLabel2Rect);
    m_label2->setFont(dialogFont(kLabel2Points, true));
    m_label2->setAutoFillBackground(true);
    QPalette labelPalette = m_label2->palette();
    const QPalette scheme = QGuiApplication::palette();
    labelPalette.setColor(QPalette::Window, scheme.color(QPalette::ButtonText));
    labelPalette.setColor(QPalette::WindowText, scheme.color(QPalette::HighlightedText));
    m_label2->setPalette(labelPalette);

    place(m_comboMidiOut, kComboMidiOutRect);
    m_comboMidiOut->setFont(dialogFont(kComboPoints, false));
    // The dialog's dark window colour must not reach the list itself.
    m_comboMidiOut->setPalette(scheme);

    place(m_cmdOK, kCmdOKRect);
    m_cmdOK->setFont(dialogFont(kCmdOKPoints, true));
    m_cmdOK->setPalette(scheme);

    // Tab order: the list, then the label (which takes no focus), then OK.
    m_label2->setFocusPolicy(Qt::NoFocus);
    setTabOrder(m_comboMidiOut, m_cmdOK);
    m_comboMidiOut->setFocus();
}

void MIDISetupForm::setBusy(bool busy) {
    m_busy = busy;
    // A stale list must not be picked from, nor OK pressed twice.
    m_comboMidiOut->setEnabled(!busy);
    m_cmdOK->setEnabled(!busy);
}

void MIDISetupForm::Form_Update() {
    // Listed afresh at every showing, so a port plugged in since shows and a vanished one goes;
    // the selection follows its name, not its place in the list.
    if (!m_listingPending)
        m_keptName = m_comboMidiOut->currentText();
    m_comboMidiOut->clear();
    m_comboMidiOut->addItem(QString::fromLatin1(kMidiMapperName), kMidiMapperDevice);
    setBusy(true);
    m_listingPending = true;
    const int listing = ++m_listing;
    m_calls.run(
        this, [service = m_service] { return service->listPorts(); },
        [this, listing](const PortListing& ports) {
            if (listing != m_listing)
                return; // a newer listing is on its way
            m_listingPending = false;
            for (std::size_t k = 0; k < ports.names.size(); ++k)
                m_comboMidiOut->addItem(QString::fromStdString(ports.names[k]),
                                        static_cast<int>(k));
            m_comboMidiOut->setCurrentIndex(std::max(0, m_comboMidiOut->findText(m_keptName)));
            setBusy(false);
            m_comboMidiOut->setFocus();
        });
}

void MIDISetupForm::cmdOK_Click() {
    if (m_busy)
        return;
    m_seams.closePort();
    const int j = m_comboMidiOut->currentIndex();
    // The entry is opened by its name: the service's numbering may have changed since the list
    // was filled. No selection gives device -2, a number that names no port.
    const std::string name = j > 0 ? m_comboMidiOut->itemText(j).toStdString() : std::string();
    setBusy(true);
    m_calls.run(
        this,
        [service = m_service, j, name] {
            return j < 0    ? service->open(j - 1)
                   : j == 0 ? service->open(kMidiMapperDevice)
                            : service->openNamed(name);
        },
        [this](const OpenResult& opened) {
            m_state.MidiResult = opened.status.code;
            m_state.MidiOutHandle = opened.port;
            setBusy(false);
            if (opened.status.code != kMidiOk)
                m_seams.showMessage(QString::fromStdString(openFailureText(opened.status.code)),
                                    QString::fromStdString(opened.status.detail));
            m_state.MidiPortChosen = true;
            hide();
        });
}

} // namespace qob
