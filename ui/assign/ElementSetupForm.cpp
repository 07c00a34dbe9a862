// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/assign/ElementSetupForm.h"

#include "vocab/ShortText.h"

#include "model/RecordEdits.h"

#include "model/Cp1252.h"
#include "model/ElementNames.h"
#include "ui/assign/AssignLayout.h"
#include "ui/assign/Cp1252Validator.h"
#include "ui/assign/InputRules.h"
#include "ui/assign/PopupComboBox.h"
#include "ui/main/FileActions.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <vector>

namespace qob {
namespace {

constexpr int kPresetSlots = 8;
constexpr std::uint8_t kKeyModifierCtrl = 0x01;
constexpr std::uint8_t kKeyModifierShift = 0x02;
constexpr std::uint8_t kKeyModifierAlt = 0x04;
// Captions of disabled rows, still readable on black.
const QColor kDisabledCaption(128, 128, 128);

QFont assignFont(AssignFont font) {
    QFont f(QString::fromLatin1(kAssignFontFamily));
    switch (font) {
    case AssignFont::Dialog:
        f.setPointSizeF(kAssignDialogPoints);
        f.setBold(true);
        break;
    case AssignFont::Frame:
        f.setPointSizeF(kAssignFramePoints);
        f.setBold(false); // else it inherits the dialog's bold
        break;
    case AssignFont::Data:
        f.setPointSizeF(kAssignDataPoints);
        f.setBold(true);
        break;
    case AssignFont::Field:
        f.setPointSizeF(kAssignFieldPoints);
        f.setBold(false);
        break;
    }
    return f;
}

// Validated input is always Windows-1252; anything else could only come from a text that
// was never typed, and is kept as close as the code page allows.
std::string storedText(const QString& text) {
    if (auto bytes = toCp1252(text))
        return *bytes;
    std::string bytes;
    for (QChar c : text)
        bytes += toCp1252(QString(c)).value_or("?");
    return bytes;
}

} // namespace

ElementSetupForm::ElementSetupForm(Preset& preset, EditorState& state, QWidget* mainWindow)
    // A title bar with a close box only: no minimise or maximise buttons.
    : QWidget(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowCloseButtonHint),
      m_preset(preset), m_state(state), m_mainWindow(mainWindow) {
    setObjectName(QStringLiteral("ElementSetupForm"));
    setWindowTitle(QStringLiteral("Element Assign"));
    // The close box destroys the dialog; OK and Cancel only hide it.
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(assignFont(AssignFont::Dialog));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, palette.color(QPalette::HighlightedText));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, kDisabledCaption);
    setPalette(palette);
    setAutoFillBackground(true);
    setFixedSize(twipsX(kAssignClientWidth), twipsY(kAssignClientHeight));
    m_seams.showMessage = [this](const QString& text, const QString& informative) {
        showMessageBox(this, text, informative);
    };
    buildControls();
}

int ElementSetupForm::twipsX(int twips) const {
    return twipsToPixels(twips, logicalDpiX());
}

int ElementSetupForm::twipsY(int twips) const {
    return twipsToPixels(twips, logicalDpiY());
}

void ElementSetupForm::buildControls() {
    std::vector<std::pair<int, QWidget*>> focusOrder;
    std::vector<QWidget*> frames;
    for (const AssignControl& c : kAssignControls) {
        const QString caption = QString::fromLatin1(c.caption);
        QWidget* w = nullptr;
        switch (c.kind) {
        case AssignControlKind::Option:
            w = new QRadioButton(caption, this);
            break;
        case AssignControlKind::Check:
            w = new QCheckBox(caption, this);
            break;
        case AssignControlKind::Text: {
            auto* edit = new QLineEdit(this);
            if (c.maxLength > 0)
                edit->setMaxLength(c.maxLength);
            w = edit;
            break;
        }
        case AssignControlKind::List: {
            auto* list = new PopupComboBox(this);
            // A click must give it the focus on every style: that is what picks the MIDI row.
            list->setFocusPolicy(Qt::StrongFocus);
            w = list;
            break;
        }
        case AssignControlKind::Frame: {
            // A drawn box only: the fields inside its rectangle are the dialog's own children.
            auto* frame = new QGroupBox(caption, this);
            frame->setFocusPolicy(Qt::NoFocus);
            frames.push_back(frame);
            w = frame;
            break;
        }
        case AssignControlKind::Button:
            w = new QPushButton(caption, this);
            break;
        case AssignControlKind::Label:
            w = new QLabel(caption, this);
            break;
        }
        w->setObjectName(QString::fromLatin1(c.name));
        w->setGeometry(twipsX(c.left), twipsY(c.top), twipsX(c.width), twipsY(c.height));
        if (c.font != AssignFont::Dialog)
            w->setFont(assignFont(c.font));
        if (w->focusPolicy() != Qt::NoFocus)
            focusOrder.emplace_back(c.tab, w);
    }
    for (QWidget* frame : frames)
        frame->lower();
    std::sort(focusOrder.begin(), focusOrder.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < focusOrder.size(); ++i)
        QWidget::setTabOrder(focusOrder[i - 1].second, focusOrder[i].second);

    const auto child = [this]<typename T>(T*& member, const char* name) {
        member = findChild<T*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
        Q_ASSERT(member);
    };
    child(m_optKeyboard, "OptKeyboard");
    child(m_optMidi, "OptMIDI");
    child(m_optSysEx, "OptSysEx");
    child(m_checkCtrl, "Check_Ctrl");
    child(m_checkShift, "Check_Shift");
    child(m_checkAlt, "Check_Alt");
    child(m_txtKeyboard, "txt_Keyboard");
    child(m_txtSysEx, "txt_SysEx");
    child(m_txtData1, "txt_Data_1");
    child(m_txtData2, "txt_Data_2");
    child(m_txtData3, "txt_Data_3");
    child(m_txtExplain, "txt_Explain");
    child(m_txtPresetName, "txt_Preset_Name");
    child(m_combo1, "Combo1");
    child(m_combo2, "Combo2");
    child(m_cmdOK, "cmdOK");
    child(m_cmdCancel, "cmdCancel");

    for (QLineEdit* edit : {m_txtExplain, m_txtPresetName})
        edit->setValidator(new Cp1252Validator(edit));

    m_focusHandlers = {
        {m_txtData1, &ElementSetupForm::txt_Data_1_GotFocus},
        {m_txtData2, &ElementSetupForm::txt_Data_2_GotFocus},
        {m_txtData3, &ElementSetupForm::txt_Data_3_GotFocus},
        {m_txtKeyboard, &ElementSetupForm::txt_Keyboard_GotFocus},
        {m_txtSysEx, &ElementSetupForm::txt_SysEx_GotFocus},
        {m_checkCtrl, &ElementSetupForm::Check_Ctrl_GotFocus},
        {m_checkShift, &ElementSetupForm::Check_Shift_GotFocus},
        {m_checkAlt, &ElementSetupForm::Check_Alt_GotFocus},
        {m_combo1, &ElementSetupForm::Combo1_GotFocus},
    };
    for (const FocusHandler& h : m_focusHandlers)
        h.field->installEventFilter(this);
    // A change by wheel, key, paste or click picks the row as the focus does: the wheel turns a
    // list without focusing it, and a field that already has the focus gets none.
    for (QLineEdit* edit : {m_txtData1, m_txtData2, m_txtData3})
        connect(edit, &QLineEdit::textEdited, this, [this] { setKind(m_optMidi); });
    connect(m_combo1, &QComboBox::activated, this, [this] { setKind(m_optMidi); });
    connect(m_txtKeyboard, &QLineEdit::textEdited, this, [this] { setKind(m_optKeyboard); });
    for (QCheckBox* check : {m_checkCtrl, m_checkShift, m_checkAlt})
        connect(check, &QCheckBox::clicked, this, [this] { setKind(m_optKeyboard); });
    connect(m_txtSysEx, &QLineEdit::textEdited, this, [this] { setKind(m_optSysEx); });

    // The fields have no captions of their own; messages call them by these names.
    const std::pair<QLineEdit*, InputField> named[] = {
        {m_txtData1, InputField::StatusByte}, {m_txtData2, InputField::Data1},
        {m_txtData3, InputField::Data2},      {m_txtKeyboard, InputField::Key},
        {m_txtSysEx, InputField::SysEx},
    };
    for (const auto& [edit, field] : named) {
        edit->setToolTip(fieldName(field));
        edit->setAccessibleName(fieldName(field));
    }
    // The others sit in a frame or beside a label that is no parent of theirs: a screen reader
    // reads them by these.
    const auto caption = [this](const char* name) {
        return findChild<QWidget*>(QString::fromLatin1(name))
            ->property("title")
            .toString()
            .trimmed();
    };
    m_txtExplain->setAccessibleName(caption("Frame4"));
    m_txtPresetName->setAccessibleName(caption("Frame5"));
    m_combo1->setAccessibleName(QStringLiteral("Mode"));
    findChild<QLabel*>(QStringLiteral("Label1"))->setBuddy(m_combo2);
    connect(m_combo1, &PopupComboBox::popupAboutToShow, this, &ElementSetupForm::Combo1_GotFocus);
    connect(m_cmdOK, &QPushButton::clicked, this, &ElementSetupForm::cmdOK_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &ElementSetupForm::cmdCancel_Click);
    // Enter on a focused button presses that button; anywhere else it is OK (keyPressEvent).
    m_cmdOK->setAutoDefault(true);
    m_cmdCancel->setAutoDefault(true);
    m_cmdOK->setDefault(true);
}

// Enter and Esc reach the dialog only when no control took them: an open list keeps its own
// Esc (it closes the list) and Enter (it picks the entry), so a second Esc is needed to cancel.
void ElementSetupForm::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & ~(Qt::KeypadModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Escape:
        cmdCancel_Click();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        cmdOK_Click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

bool ElementSetupForm::eventFilter(QObject* watched, QEvent* event) {
    // Qt hands a disabled widget's mouse events to its filters too: a greyed field picks nothing.
    if (const auto* widget = qobject_cast<QWidget*>(watched); widget && !widget->isEnabled())
        return QWidget::eventFilter(watched, event);
    // A click picks the row too when the field already has the focus and gets no focus event.
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::MouseButtonPress)
        for (const FocusHandler& h : m_focusHandlers)
            if (h.field == watched)
                (this->*h.handler)();
    return QWidget::eventFilter(watched, event);
}

void ElementSetupForm::setKind(QRadioButton* on) {
    on->setChecked(true); // the three are one exclusive group
    // The group is one stop for Tab, at the kind that is on.
    for (QRadioButton* kind : {m_optKeyboard, m_optMidi, m_optSysEx})
        kind->setFocusPolicy(kind == on ? Qt::StrongFocus : Qt::ClickFocus);
}

void ElementSetupForm::turnOff(QRadioButton* button) {
    // An exclusive group never lets its checked button go by itself.
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(true);
}

void ElementSetupForm::showExplain(const std::string& explain) {
    m_shownExplain = explain;
    m_txtExplain->setText(fromCp1252(explain));
}

void ElementSetupForm::Form_Update() {
    m_element = m_state.CurrentElement;
    m_layer = m_state.ActiveLayer;
    const ElementSlot& slot = m_preset.Elements[m_element];
    const ElementAssignment& record = slot.record(m_layer);

    placeAtMainCorner();
    // A window manager may add its frame only after the first show; place the dialog again then.
    m_placeWhenFramed = frameGeometry().size() == size();

    m_shownName = m_preset.Name;
    m_txtPresetName->setText(fromCp1252(m_preset.Name));

    if (m_combo2->count() == 0)
        for (int i = 1; i <= kPresetSlots; ++i)
            m_combo2->addItem(QString::number(i));
    const int index = m_preset.PresetIndex;
    // Always one entry selected: OK must never store the index 0.
    m_combo2->setCurrentIndex(index >= 1 && index <= kPresetSlots ? index - 1 : 0);

    const bool keyRows = takesKeystrokeOrSysEx(m_element, m_layer);
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_optKeyboard, m_checkCtrl, m_checkShift, m_checkAlt,
                                         m_txtKeyboard, m_optSysEx, m_txtSysEx})
        w->setEnabled(keyRows);
    if (keyRows) {
        for (QCheckBox* check : {m_checkCtrl, m_checkShift, m_checkAlt})
            check->setChecked(false);
        m_txtKeyboard->clear();
        m_txtSysEx->clear();
    }

    turnOff(m_optMidi);
    for (QLineEdit* edit : {m_txtData1, m_txtData2, m_txtData3})
        edit->clear();
    showExplain({});
    m_combo1->clear();
    m_combo1->setEnabled(false);

    const bool midiLayer = m_layer == Layer::Midi;
    switch (modeListOf(m_element)) {
    case ModeList::NormalDrawbar:
        m_combo1->addItems({QStringLiteral("Normal"), QStringLiteral("Drawbar")});
        m_combo1->setCurrentIndex((record.Mode & ElementMode::Drawbar) ? 1 : 0);
        m_combo1->setEnabled(true);
        break;
    case ModeList::TogglePush:
        m_combo1->addItems({QStringLiteral("Toggle"), QStringLiteral("Push")});
        m_combo1->setCurrentIndex((record.Mode & ElementMode::Push) ? 1 : 0);
        m_combo1->setEnabled(true);
        break;
    case ModeList::None:
        break;
    }

    setWindowTitle(assignTitle(m_element));

    m_keepShownBytes = false;
    QWidget* focus = nullptr;
    if (midiLayer && record.Status == kStatusKeyboard) {
        m_checkCtrl->setChecked(record.Data1 & kKeyModifierCtrl);
        m_checkShift->setChecked(record.Data1 & kKeyModifierShift);
        m_checkAlt->setChecked(record.Data1 & kKeyModifierAlt);
        m_txtKeyboard->setText(keyTextOf(record.Data2));
        showExplain(record.Explain);
        setKind(m_optKeyboard);
        focus = m_optKeyboard;
    } else if (midiLayer && record.Status == kStatusSysEx) {
        m_txtSysEx->setText(sysExFieldText(record));
        setKind(m_optSysEx);
        focus = m_optSysEx;
    } else {
        m_txtData1->setText(numberFieldText(record.Status));
        m_txtData2->setText(numberFieldText(record.Data1));
        m_txtData3->setText(numberFieldText(record.Data2));
        showExplain(record.Explain);
        setKind(m_optMidi);
        focus = m_optMidi;
    }
    if (!focus->isEnabled()) {
        m_keepShownBytes = true;
        focus = m_txtExplain; // runs no kind handler
    }
    focus->setFocus(Qt::OtherFocusReason);
}

std::uint8_t ElementSetupForm::modifierBits() const {
    std::uint8_t bits = 0;
    if (m_checkCtrl->isChecked())
        bits |= kKeyModifierCtrl;
    if (m_checkShift->isChecked())
        bits |= kKeyModifierShift;
    if (m_checkAlt->isChecked())
        bits |= kKeyModifierAlt;
    return bits;
}

std::string ElementSetupForm::explainToStore() const {
    return m_txtExplain->isModified() ? storedText(m_txtExplain->text()) : m_shownExplain;
}

std::string ElementSetupForm::nameToStore() const {
    return m_txtPresetName->isModified() ? storedText(m_txtPresetName->text()) : m_shownName;
}

QLineEdit* ElementSetupForm::fieldOf(InputField field) const {
    switch (field) {
    case InputField::StatusByte:
        return m_txtData1;
    case InputField::Data1:
        return m_txtData2;
    case InputField::Data2:
        return m_txtData3;
    case InputField::Key:
        return m_txtKeyboard;
    case InputField::SysEx:
        break;
    }
    return m_txtSysEx;
}

void ElementSetupForm::refuse(const Refusal& refusal) {
    m_seams.showMessage(refusal.text, refusal.informative);
    // The message box may hand the activation to the main window when it closes.
    activateWindow();
    QLineEdit* field = fieldOf(refusal.field);
    field->setFocus(Qt::OtherFocusReason);
    const qsizetype size = field->text().size();
    const qsizetype from = std::min(refusal.from, size);
    const qsizetype length =
        refusal.length < 0 ? size - from : std::min(refusal.length, size - from);
    field->setSelection(static_cast<int>(from), static_cast<int>(length));
}

void ElementSetupForm::cmdOK_Click() {
    // Stored into a copy first: a refusal leaves the preset as it was, name and index included.
    // Always into the layer the dialog was filled for, and a keystroke or SysEx string only
    // where the element takes one, however the kind button came to be on.
    ElementSlot slot = m_preset.Elements[m_element];
    ElementAssignment& record = slot.record(m_layer);
    const bool keyRows = takesKeystrokeOrSysEx(m_element, m_layer);
    std::optional<Refusal> refusal;
    if (m_optMidi->isChecked()) {
        refusal =
            storeMidiEvent(record, {m_txtData1->text(), m_txtData2->text(), m_txtData3->text()});
        // "Push" or "Drawbar" is the second entry. Where the dialog shows no list (transport
        // keys, Wheel, Faders 9-16) the stored mode stays: nothing here could set it back.
        const bool secondEntry = m_combo1->currentIndex() == 1;
        switch (modeListOf(m_element)) {
        case ModeList::TogglePush:
            record.Mode = secondEntry ? ElementMode::Push : 0;
            break;
        case ModeList::NormalDrawbar:
            record.Mode = secondEntry ? ElementMode::Drawbar : 0;
            break;
        case ModeList::None:
            break;
        }
        record.Explain = explainToStore();
    } else if (m_keepShownBytes) {
        record.Explain = explainToStore();
    } else if (m_optKeyboard->isChecked() && keyRows) {
        refusal = storeKeystroke(record, modifierBits(), m_txtKeyboard->text());
        record.Explain = explainToStore();
    } else if (m_optSysEx->isChecked() && keyRows) {
        refusal = storeSysEx(record, m_txtSysEx->text());
    }
    if (refusal) {
        refuse(*refusal);
        return; // the dialog stays open
    }

    m_preset.Name = nameToStore();
    m_preset.PresetIndex = static_cast<std::int16_t>(m_combo2->currentIndex() + 1);
    m_preset.Elements[m_element] = slot;

    m_state.PanelRefreshPending = true;
    m_state.DialogOpen = false;
    hide();
    if (m_seams.stored)
        m_seams.stored();
}

void ElementSetupForm::cmdCancel_Click() {
    m_state.DialogOpen = false;
    hide();
}

void ElementSetupForm::Form_Unload() {
    m_state.DialogOpen = false;
}

void ElementSetupForm::placeAtMainCorner() {
    if (!m_mainWindow)
        return;
    const QRect main = m_mainWindow->frameGeometry();
    const QSize own = frameGeometry().size();
    move(main.x() + main.width() - own.width(), main.y() + main.height() - own.height());
}

void ElementSetupForm::placeAgainIfFramed() {
    if (m_placeWhenFramed && frameGeometry().size() != size()) {
        m_placeWhenFramed = false;
        placeAtMainCorner();
    }
}

// No event tells of the frame itself; it is known soon after the window manager maps the window,
// which activates, moves or repaints it.
bool ElementSetupForm::event(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::WindowActivate || type == QEvent::Move || type == QEvent::Paint)
        placeAgainIfFramed();
    return QWidget::event(event);
}

void ElementSetupForm::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept(); // WA_DeleteOnClose destroys the instance
}

bool ElementSetupForm::learn(std::span<const std::uint8_t> message) {
    if (message.size() < 2)
        return false;
    const std::uint8_t status = message[0];
    if (status >= 0x80 && status < kStatusSysEx) {
        m_txtData1->setText(numberFieldText(status));
        m_txtData2->setText(numberFieldText(message[1]));
        m_txtData3->setText(numberFieldText(message.size() > 2 ? message[2] : 0));
        setKind(m_optMidi);
        return true;
    }
    if (status != kStatusSysEx || !m_txtSysEx->isEnabled())
        return false;
    std::span<const std::uint8_t> body = message.subspan(1);
    if (!body.empty() && body.back() == kSysExEnd)
        body = body.first(body.size() - 1);
    if (body.empty() || body.size() > kSysExPositions)
        return false;
    m_txtSysEx->setText(QString::fromStdString(hexBytes(body)));
    setKind(m_optSysEx);
    return true;
}

void ElementSetupForm::txt_Data_1_GotFocus() {
    setKind(m_optMidi);
}
void ElementSetupForm::txt_Data_2_GotFocus() {
    setKind(m_optMidi);
}
void ElementSetupForm::txt_Data_3_GotFocus() {
    setKind(m_optMidi);
}
void ElementSetupForm::txt_Keyboard_GotFocus() {
    setKind(m_optKeyboard);
}
void ElementSetupForm::txt_SysEx_GotFocus() {
    setKind(m_optSysEx);
}
void ElementSetupForm::Check_Ctrl_GotFocus() {
    setKind(m_optKeyboard);
}
void ElementSetupForm::Check_Shift_GotFocus() {
    setKind(m_optKeyboard);
}
void ElementSetupForm::Check_Alt_GotFocus() {
    setKind(m_optKeyboard);
}
void ElementSetupForm::Combo1_GotFocus() {
    setKind(m_optMidi);
}

} // namespace qob
