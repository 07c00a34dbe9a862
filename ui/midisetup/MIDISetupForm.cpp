// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/midisetup/MIDISetupForm.h"

#include "device/DumpTransfer.h"
#include "device/MidiInPort.h"
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
                             MidiCalls& calls, QWidget* parent,
                             std::shared_ptr<MidiInService> input)
    // A title bar with a close box only, like the Element Assign dialog.
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_state(state), m_service(std::move(service)), m_input(std::move(input)), m_calls(calls) {
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
    m_labelIn = new QLabel(QStringLiteral("MIDI IN Device"), this);
    m_labelIn->setObjectName(QStringLiteral("LabelIn"));
    m_comboMidiIn = new QComboBox(this);
    m_comboMidiIn->setObjectName(QStringLiteral("Combo_MIDI_IN"));
    m_comboMidiIn->setEditable(false);
    m_labelIn->setBuddy(m_comboMidiIn);
    m_comboMidiIn->addItem(QString::fromLatin1(kNoInputName));
    m_keptInName = QString::fromLatin1(kNoInputName);
    layOut();

    m_seams.closePort = [] {};
    m_seams.showMessage = [](const QString&, const QString&) {};
    m_seams.listen = [](std::shared_ptr<MidiInPort>) { return std::shared_ptr<MidiInPort>(); };
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

    const QPalette scheme = QGuiApplication::palette();
    for (const auto& [label, rect] :
         {std::pair{m_label2, kLabel2Rect}, {m_labelIn, kLabelInRect}}) {
        place(label, rect);
        label->setFont(dialogFont(kLabel2Points, true));
        label->setAutoFillBackground(true);
        QPalette labelPalette = label->palette();
        labelPalette.setColor(QPalette::Window, scheme.color(QPalette::ButtonText));
        labelPalette.setColor(QPalette::WindowText, scheme.color(QPalette::HighlightedText));
        label->setPalette(labelPalette);
        label->setFocusPolicy(Qt::NoFocus);
    }
    for (const auto& [combo, rect] :
         {std::pair{m_comboMidiOut, kComboMidiOutRect}, {m_comboMidiIn, kComboMidiInRect}}) {
        place(combo, rect);
        combo->setFont(dialogFont(kComboPoints, false));
        // The dialog's dark window colour must not reach the list itself.
        combo->setPalette(scheme);
    }

    place(m_cmdOK, kCmdOKRect);
    m_cmdOK->setFont(dialogFont(kCmdOKPoints, true));
    m_cmdOK->setPalette(scheme);

    // Tab order: the list, then the label (which takes no focus), then OK; the input list last.
    setTabOrder(m_comboMidiOut, m_cmdOK);
    setTabOrder(m_cmdOK, m_comboMidiIn);
    m_comboMidiOut->setFocus();
}

void MIDISetupForm::setBusy(bool busy) {
    m_busy = busy;
    // A stale list must not be picked from, nor OK pressed twice.
    m_comboMidiOut->setEnabled(!busy);
    m_comboMidiIn->setEnabled(!busy);
    m_cmdOK->setEnabled(!busy);
}

void MIDISetupForm::Form_Update() {
    // Listed afresh at every showing, so a port plugged in since shows and a vanished one goes;
    // the selection follows its name, not its place in the list.
    if (!m_listingPending) {
        m_keptName = m_comboMidiOut->currentText();
        m_keptInName = m_comboMidiIn->currentText();
    }
    m_comboMidiOut->clear();
    m_comboMidiOut->addItem(QString::fromLatin1(kMidiMapperName), kMidiMapperDevice);
    m_comboMidiIn->clear();
    m_comboMidiIn->addItem(QString::fromLatin1(kNoInputName));
    if (m_input)
        m_comboMidiIn->addItem(QString::fromLatin1(kOwnInputName));
    setBusy(true);
    m_listingPending = true;
    const int listing = ++m_listing;
    m_calls.run(
        this,
        [service = m_service, input = m_input] {
            return std::pair{service->listPorts(), input ? input->listSources() : PortListing{}};
        },
        [this, listing](const std::pair<PortListing, PortListing>& lists) {
            if (listing != m_listing)
                return; // a newer listing is on its way
            m_listingPending = false;
            const auto& [ports, sources] = lists;
            for (std::size_t k = 0; k < ports.names.size(); ++k)
                m_comboMidiOut->addItem(QString::fromStdString(ports.names[k]),
                                        static_cast<int>(k));
            for (const std::string& name : sources.names)
                m_comboMidiIn->addItem(QString::fromStdString(name));
            m_comboMidiOut->setCurrentIndex(std::max(0, m_comboMidiOut->findText(m_keptName)));
            m_comboMidiIn->setCurrentIndex(std::max(0, m_comboMidiIn->findText(m_keptInName)));
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
    const std::string inName =
        m_comboMidiIn->currentIndex() > 0 ? m_comboMidiIn->currentText().toStdString() : "";
    // Listening stops at once; the old input closes on the queue, where a close may wait.
    std::shared_ptr<MidiInPort> listened = m_seams.listen(nullptr);
    setBusy(true);
    m_calls.run(
        this,
        [service = m_service, input = m_input, j, name, inName,
         listened = std::move(listened)]() mutable {
            listened.reset();
            OpenResult out = j < 0    ? service->open(j - 1)
                             : j == 0 ? service->open(kMidiMapperDevice)
                                      : service->openNamed(name);
            InputOpenResult in;
            if (input && !inName.empty())
                in = input->openNamed(inName);
            return std::pair{std::move(out), std::move(in)};
        },
        [this, inName](const std::pair<OpenResult, InputOpenResult>& opened) {
            const auto& [out, in] = opened;
            m_state.MidiResult = out.status.code;
            m_state.MidiOutHandle = out.port;
            setBusy(false);
            if (out.status.code != kMidiOk)
                m_seams.showMessage(QString::fromStdString(openFailureText(out.status.code)),
                                    QString::fromStdString(out.status.detail));
            m_state.MidiPortChosen = true;
            if (!inName.empty() && !in.status.ok())
                m_seams.showMessage(
                    QStringLiteral("Couldn't listen to %1").arg(QString::fromStdString(inName)),
                    QString::fromStdString(in.status.detail));
            m_seams.listen(in.port);
            hide();
        });
}

} // namespace qob
