// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/frmMain.h"

#include "device/MidiInPort.h"
#include "device/RtMidiPort.h"
#include "model/Cp1252.h"
#include "model/ElementNames.h"
#include "model/PresetFile.h"
#include "model/RecordEdits.h"
#include "ui/assign/ElementSetupForm.h"
#include "ui/main/DocumentActions.h"
#include "ui/main/EditActions.h"
#include "ui/main/ElementMap.h"
#include "ui/main/FileActions.h"
#include "ui/main/LitPicture.h"
#include "ui/main/LocateRing.h"
#include "ui/main/PanelLabel.h"
#include "ui/main/PanelLayout.h"
#include "ui/main/PresetDocument.h"
#include "ui/main/SheetPrinting.h"
#include "ui/main/Skin.h"
#include "ui/main/SkinCache.h"
#include "ui/main/SurfaceAccessible.h"
#include "ui/main/SurfaceFocus.h"
#include "ui/midisetup/MIDISetupForm.h"
#include "ui/midisetup/MidiLink.h"
#include "vocab/Text.h"

#include <QAction>
#include <QBitmap>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <algorithm>

namespace qob {

namespace {

int buttonCode(Qt::MouseButtons buttons) {
    int code = 0;
    if (buttons & Qt::LeftButton)
        code |= frmMain::kLeftButton;
    if (buttons & Qt::RightButton)
        code |= frmMain::kRightButton;
    if (buttons & Qt::MiddleButton)
        code |= frmMain::kMiddleButton;
    return code;
}

int shiftCode(Qt::KeyboardModifiers modifiers) {
    return ((modifiers & Qt::ShiftModifier) ? 1 : 0) | ((modifiers & Qt::ControlModifier) ? 2 : 0) |
           ((modifiers & Qt::AltModifier) ? 4 : 0);
}

bool isElement(int code) {
    return code >= 0 && code < kElementCount;
}

} // namespace

frmMain::frmMain(Preset& preset, EditorState& state, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      m_document(std::make_unique<PresetDocument>(preset)), m_preset(preset), m_state(state) {
    setUp();
}

void frmMain::setUp() {
    // Before any widget of the window is asked for its interface: Qt keeps the first it made.
    installSurfaceAccessibility();
    m_statusTimer = new QTimer(this);
    m_statusTimer->setSingleShot(true);
    m_statusTimer->setInterval(kStatusShownMs);
    connect(m_statusTimer, &QTimer::timeout, this, &frmMain::Display_Current_Element);
    m_seams.showMessage = [this](const QString& text, const QString& informative) {
        showMessageBox(this, text, informative);
    };
    m_seams.askFileName = [this](const QString& title, const QString& filter, bool save,
                                 const QString& start) {
        return askFileNameDialog(this, title, filter, save, start);
    };
    m_seams.askSaveChanges = [this](const QString& fileName) {
        return askSaveChangesDialog(this, fileName);
    };
    m_seams.endProgram = [] { QCoreApplication::exit(0); };
    m_seams.midiService = [] { return makeRtMidiService(); };
    m_seams.midiInService = [] { return makeMidiInService(); };
    m_link = new MidiLink(m_preset, m_state, this);
    MidiLinkSeams& link = m_link->seams();
    link.showMessage = [this](const QString& text, const QString& informative) {
        m_seams.showMessage(text, informative);
    };
    link.showStatus = [this](const QString& text, bool forAWhile) { showStatus(text, forAWhile); };
    link.statusShown = [this] { return m_statusShown; };
    link.midiService = [this] { return m_seams.midiService(); };
    link.midiInService = [this] { return m_seams.midiInService(); };
    m_ring = new LocateRing(this);
    link.learn = [this](std::span<const std::uint8_t> message) {
        if (m_elementSetupForm && m_elementSetupForm->isVisible())
            m_elementSetupForm->learn(message);
    };
    link.showControl = [this](int element, Layer layer) { showControl(element, layer); };
    link.closePort = [this] { closeMidiPort(); };
    m_seams.askPrinter = [this](QPrinter& printer) { return askPrinterDialog(this, printer); };
    m_documentActions = new DocumentActions(
        m_preset, *m_document, m_seams, [this] { Display_Current_Element(); }, this);
    setUpWindow();
    buildPanel();
    // Last, so that its focus ring lies over the panel and the lit pictures.
    m_surface = new SurfaceFocus(*this, m_preset, m_state);
    m_surface->setFocus();
    m_editActions = new EditActions(m_preset, m_state, *m_document, m_seams, this);
    m_editActions->seams().showStatus = [this](const QString& text) { showStatus(text); };
    m_editActions->seams().redraw = [this] { Display_Current_Element(); };
    m_editActions->installKeys(*this);
    connect(m_document.get(), &PresetDocument::statusChanged, this, &frmMain::updateTitle);
    connect(m_document.get(), &PresetDocument::changed, this, &frmMain::Display_Current_Element);
    // Without a file the title shows the preset's name, which any change may have changed.
    connect(m_document.get(), &PresetDocument::changed, this, &frmMain::updateTitle);
    updateTitle();
}

frmMain::~frmMain() = default;

void frmMain::setUpWindow() {
    setObjectName(QStringLiteral("frmMain"));
    setAcceptDrops(true);
    setWindowIcon(appIcon());
    setFixedSize(kWindowWidth, kWindowHeight);
    // Form_MouseMove runs on hover, not only while a button is held.
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);

    // The skin is the costliest part of start-up: it comes from the cache folder once rendered.
    m_skinRatio = devicePixelRatioF();
    const QImage skin = cachedSkin(m_skinRatio);
    m_skin = QPixmap::fromImage(skin);
    m_skin.setDevicePixelRatio(m_skinRatio);
    m_skin1x = (m_skinRatio == 1.0 ? skin : cachedSkin(1.0)).convertToFormat(QImage::Format_RGB32);
    setMask(QBitmap::fromImage(m_skin1x.createMaskFromColor(kKeyColour.rgb(), Qt::MaskInColor)));

    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}

void frmMain::buildPanel() {
    QFont large(QString::fromLatin1(kPanelFontFamily));
    large.setBold(true);
    large.setPointSizeF(kPanelLargePoints);
    QFont small = large;
    small.setPointSizeF(kPanelSmallPoints);

    for (const PanelLabelLayout& layout : kPanelLabels) {
        auto* label = new PanelLabel(this);
        label->setObjectName(QString::fromLatin1(layout.name));
        label->setGeometry(layout.rect);
        label->setFont(layout.large ? large : small);
        label->setAutoFillBackground(true);
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, kDisplayFieldColour);
        palette.setColor(QPalette::WindowText, QColor(layout.colour));
        label->setPalette(palette);
        // Names and labels come from files: never let them be read as markup.
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setIndent(kPanelTextIndent);
        label->setText(QString::fromLatin1(layout.designText));
    }
    const auto label = [this](const char* name) {
        return findChild<PanelLabel*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
    };
    m_elementName = label("Label_Element_Name");
    m_type = label("Label_Type");
    m_data = label("Label_Data");
    m_explain = label("Label_Explain");
    m_sysEx = label("Label_SysEx");
    m_dawMidi = label("Label_DAW_MIDI");
    m_presetName = label("Label_Preset_Name");
    m_index = label("Label_Index");

    // Created after the labels so that they lie on top (Line_M crosses Label_Explain's edge).
    for (const PanelLineLayout& layout : kPanelLines) {
        auto* line = new QFrame(this);
        line->setObjectName(QString::fromLatin1(layout.name));
        line->setGeometry(layout.rect());
        line->setAutoFillBackground(true);
        QPalette palette = line->palette();
        palette.setColor(QPalette::Window, Qt::white);
        line->setPalette(palette);
        line->setAttribute(Qt::WA_TransparentForMouseEvents);
        line->setProperty(kPanelLineProperty, true);
        if (QLatin1String(layout.name) == QLatin1String("Line_M"))
            m_lineM = line;
    }

    const auto picture = [this](const char* name, const QRect& rect, const char* spoken) {
        auto* pic = new LitPicture(this);
        pic->setObjectName(QString::fromLatin1(name));
        pic->setAccessibleName(QString::fromLatin1(spoken));
        pic->setGeometry(rect);
        pic->hide();
        return pic;
    };
    m_picChannelShift = picture("Pic_Channel_Shift", kChannelShiftPicture, "SHIFT is on");
    m_picSelect = picture("Pic_Select", kSelectPicture, "MIDI layer is on");
    connect(m_picChannelShift, &LitPicture::clicked, this, &frmMain::Pic_Channel_Shift_Click);
    connect(m_picSelect, &LitPicture::clicked, this, &frmMain::Pic_Select_Click);
}

void frmMain::startUp(const QString& programFolder) {
    m_state.ChannelShift = false;
    m_state.ActiveLayer = Layer::Daw;
    m_state.MidiPortChosen = false;
    m_state.DialogOpen = false;
    m_preset.PresetIndex = 1;
    m_state.CurrentElement = 0;
    m_picChannelShift->hide();
    m_picSelect->hide();
    m_documentActions->openDefault(programFolder);
    updateTitle();
    Display_Current_Element();
}

void frmMain::exitProgram() {
    if (!m_documentActions->okToLoseChanges())
        return;
    Form_Unload();
    m_ended = true;
    m_seams.endProgram();
}

void frmMain::updateTitle() {
    setWindowTitle(m_documentActions->windowTitle());
}

void frmMain::dragEnterEvent(QDragEnterEvent* event) {
    // Files only, and not under the open Element Assign dialog, whose OK would store into the
    // preset that the drop replaced.
    if (event->mimeData()->hasUrls() && !m_state.DialogOpen)
        event->acceptProposedAction();
}

void frmMain::dropEvent(QDropEvent* event) {
    if (m_state.DialogOpen || !event->mimeData()->hasUrls())
        return;
    event->acceptProposedAction();
    const QList<QUrl> urls = event->mimeData()->urls();
    // The drag source waits for the drop to end: ask the question after it has.
    QMetaObject::invokeMethod(
        this, [this, urls] { m_documentActions->openDroppedFiles(urls); }, Qt::QueuedConnection);
}

void frmMain::Locate_Element(float X, float Y) {
    m_state.HoverElement = locateRegion(X, Y, m_state.ChannelShift);
}

void frmMain::Form_MouseDown(int Button, int /*Shift*/, float X, float Y) {
    if (m_state.DialogOpen || Button != kLeftButton)
        return;
    Locate_Element(X, Y);
    const int hover = m_state.HoverElement;
    if (hover == NO_ELEMENT) {
        startWindowDrag();
        return;
    }
    switch (hover) {
    case AREA_EXIT:
        exitProgram();
        return;
    case AREA_SHIFT:
        m_state.ChannelShift = true;
        m_picChannelShift->show();
        m_state.CurrentElement = static_cast<std::int16_t>(bank2Partner(m_state.CurrentElement));
        Display_Current_Element();
        return;
    case AREA_LAYER:
        m_state.ActiveLayer = Layer::Midi;
        m_picSelect->show();
        Display_Current_Element();
        return;
    case AREA_OPEN:
        m_documentActions->openPresetFile();
        return;
    case AREA_SAVE_AS:
        m_documentActions->savePresetFileAs();
        return;
    case AREA_MIDI_DEVICE:
        showMidiSetupForm();
        return;
    case AREA_SEND:
        // While a first port is still opening, SEND says so rather than that none was chosen.
        if (!m_state.MidiPortChosen && !m_link->busy())
            m_seams.showMessage(QStringLiteral("No MIDI Device ! Please Click <MIDI DEVICE>"),
                                QString());
        else
            SendDeviceDump();
        return;
    default:
        break;
    }
    if (isElement(hover)) {
        m_state.CurrentElement = static_cast<std::int16_t>(hover);
        m_state.DialogOpen = true;
        showElementSetupForm();
        Display_Current_Element();
    }
}

void frmMain::Form_MouseMove(int /*Button*/, int /*Shift*/, float X, float Y) {
    if (m_state.PanelRefreshPending)
        Display_Current_Element();
    if (m_state.DialogOpen)
        return;
    Locate_Element(X, Y);
    // A note on the status row gives way to the assignment of whatever element is pointed at.
    if (isElement(m_state.HoverElement) &&
        (m_state.HoverElement != m_state.CurrentElement || m_statusShown)) {
        m_state.CurrentElement = m_state.HoverElement;
        Display_Current_Element();
    }
}

// An open, close or reconnect in progress is let finish first (the service bounds each), so
// the port it opens is closed again rather than left behind.
void frmMain::Form_Unload() {
    m_link->beginShutdown();
    if (m_state.MidiPortChosen)
        closeMidiPort();
    m_link->waitUntilIdle();
}

void frmMain::Pic_Channel_Shift_Click() {
    m_state.ChannelShift = false;
    m_picChannelShift->hide();
    m_state.CurrentElement = static_cast<std::int16_t>(bank1Partner(m_state.CurrentElement));
    Display_Current_Element();
}

void frmMain::Pic_Select_Click() {
    m_state.ActiveLayer = Layer::Daw;
    m_picSelect->hide();
    Display_Current_Element();
}

const ElementAssignment& frmMain::shownRecord() const {
    return m_preset.Elements[m_state.CurrentElement].record(m_state.ActiveLayer);
}

void frmMain::Display_Element_Name() {
    const std::string name = elementName(m_state.CurrentElement);
    if (!name.empty())
        m_elementName->setText(fromCp1252(name));
}

void frmMain::Display_Current_Element() {
    m_statusShown = false;
    m_statusTimer->stop();
    m_dawMidi->setText(QString::fromLatin1(layerName(m_state.ActiveLayer)));
    m_presetName->setText(fromCp1252(m_preset.Name));
    m_index->setText(QStringLiteral("Index : ") + fromCp1252(numberText(m_preset.PresetIndex)));
    Display_Element_Name();
    m_lineM->setVisible(true);
    m_sysEx->setVisible(false);
    m_type->clear();
    m_data->clear();
    m_data->setVisible(true);
    m_explain->clear();
    m_explain->setVisible(true);
    Display_Current_Type();
    const ElementAssignment& record = shownRecord();
    if (record.Status == kStatusSysEx) {
        m_sysEx->setText(fromCp1252(sysexText(record)));
    } else if (record.Status == kStatusKeyboard) {
        m_data->setText(fromCp1252(keystrokeText(record.Data1, record.Data2)));
        m_explain->setText(fromCp1252(record.Explain));
    } else {
        Display_MIDI_Event();
    }
    m_state.PanelRefreshPending = false;
    if (m_surface)
        m_surface->panelShown();
}

void frmMain::Display_Current_Type() {
    const ElementAssignment& record = shownRecord();
    if (record.Status == kStatusKeyboard) {
        m_type->setText(QStringLiteral("PC Key"));
        return;
    }
    if (record.Status == kStatusSysEx) {
        m_lineM->setVisible(false);
        m_type->setText(QStringLiteral("SysEx"));
        m_sysEx->clear();
        m_sysEx->setVisible(true);
        m_data->setVisible(false);
        m_explain->setVisible(false);
        return;
    }
    m_type->setText(fromCp1252(modeWord(m_state.CurrentElement, record)));
}

void frmMain::Display_MIDI_Event() {
    const ElementAssignment& record = shownRecord();
    m_data->setText(fromCp1252(midiDataText(record)));
    if (const auto explain = midiExplainText(record, m_state.ActiveLayer))
        m_explain->setText(fromCp1252(*explain));
}

// Creates the dialog on first use, then shows it in front, filled afresh. Its messages go through
// the main window's seam, wherever that points by then.
template <typename Form, typename Create>
void frmMain::bringUp(QPointer<Form>& form, Create create) {
    if (!form) {
        form = create();
        form->seams().showMessage = [this](const QString& text, const QString& informative) {
            m_seams.showMessage(text, informative);
        };
    }
    form->show();
    form->raise();
    form->activateWindow();
    form->Form_Update();
}

void frmMain::showElementSetupForm() {
    bringUp(m_elementSetupForm, [this] {
        auto* form = new ElementSetupForm(m_preset, m_state, this);
        m_surface->watch(form);
        form->seams().stored = [this] {
            if (!m_document->commit(QStringLiteral("Assign ") +
                                    QString::fromStdString(elementName(m_state.CurrentElement))))
                Display_Current_Element();
        };
        return form;
    });
}

void frmMain::showMidiSetupForm() {
    bringUp(m_midiSetupForm, [this] {
        MIDISetupForm* form = m_link->createSetupForm();
        m_surface->watch(form);
        return form;
    });
}

void frmMain::SendDeviceDump() {
    m_link->send();
}

void frmMain::closeMidiPort() {
    m_link->closePort();
}

void frmMain::showStatus(const QString& text, bool forAWhile) {
    m_statusShown = true;
    if (forAWhile)
        m_statusTimer->start();
    else
        m_statusTimer->stop();
    m_lineM->setVisible(false);
    m_data->setVisible(false);
    m_explain->setVisible(false);
    m_sysEx->setText(text);
    m_sysEx->setVisible(true);
}

bool frmMain::isKeyColoured(QPointF pos) const {
    const int x = static_cast<int>(pos.x());
    const int y = static_cast<int>(pos.y());
    if (pos.x() < 0 || pos.y() < 0 || !m_skin1x.valid(x, y))
        return true; // off the picture: nothing is there
    return m_skin1x.pixel(x, y) == kKeyColour.rgb();
}

QImage frmMain::screenshot() {
    // Once grab()'s own pixmap is gone the image is the pixels' only owner, so they are changed
    // where they lie: a fresh copy of the whole window costs more than the rest of this.
    QImage image = grab().toImage();
    image.convertTo(QImage::Format_RGB32); // no work when it already is
    // Opaque pixels read the same as ARGB32; only the key becomes transparent.
    image.reinterpretAsFormat(QImage::Format_ARGB32);
    // grab() paints through the mask; do what the window system does with the key.
    const QRgb key = kKeyColour.rgb();
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            if (line[x] == key)
                line[x] = qRgba(0, 0, 0, 0);
    }
    return image;
}

void frmMain::paintEvent(QPaintEvent* /*event*/) {
    const qreal ratio = devicePixelRatioF();
    if (m_skinRatio != ratio) { // moved to a screen with another pixel ratio
        m_skin = QPixmap::fromImage(cachedSkin(ratio));
        m_skin.setDevicePixelRatio(ratio);
        m_skinRatio = ratio;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_skin);
    m_ring->paint(painter);
}

void frmMain::showControl(int element, Layer layer) {
    m_state.ActiveLayer = layer;
    m_picSelect->setVisible(layer == Layer::Midi);
    if (!shownInBank(element, m_state.ChannelShift)) {
        m_state.ChannelShift = !m_state.ChannelShift;
        m_picChannelShift->setVisible(m_state.ChannelShift);
    }
    m_state.CurrentElement = static_cast<std::int16_t>(element);
    Display_Current_Element();
    m_ring->mark(element, m_state.ChannelShift);
}

void frmMain::startWindowDrag() {
    if (QWindow* window = windowHandle(); window && window->startSystemMove())
        return;
    m_dragging = true;
    m_dragPointerStart = m_pressGlobal;
    m_dragWindowStart = pos();
}

void frmMain::mousePressEvent(QMouseEvent* event) {
    if (isKeyColoured(event->position()))
        return;
    m_pressGlobal = event->globalPosition();
    Form_MouseDown(buttonCode(event->button()), shiftCode(event->modifiers()),
                   static_cast<float>(event->position().x()),
                   static_cast<float>(event->position().y()));
}

void frmMain::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging) {
        if (event->buttons() & Qt::LeftButton) {
            const QPointF delta = event->globalPosition() - m_dragPointerStart;
            move(m_dragWindowStart + delta.toPoint());
            return;
        }
        m_dragging = false; // the release went elsewhere
    }
    if (isKeyColoured(event->position()))
        return;
    Form_MouseMove(buttonCode(event->buttons()), shiftCode(event->modifiers()),
                   static_cast<float>(event->position().x()),
                   static_cast<float>(event->position().y()));
}

void frmMain::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (!m_ended) {
        if (!m_documentActions->okToLoseChanges()) {
            event->ignore();
            return;
        }
        Form_Unload();
    }
    m_ended = true;
    event->accept();
}

} // namespace qob
