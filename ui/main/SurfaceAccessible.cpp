// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/SurfaceAccessible.h"

#include "model/Cp1252.h"
#include "model/ElementNames.h"
#include "ui/assign/ElementSetupForm.h"
#include "ui/main/EditActions.h"
#include "ui/main/SurfaceFocus.h"
#include "ui/main/frmMain.h"
#include "vocab/PanelText.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QStringList>

#include <array>

namespace qob {
namespace {

bool isElement(int code) {
    return code >= 0 && code < kElementCount;
}

bool isLit(const EditorState& state, int code) {
    return (code == AREA_SHIFT && state.ChannelShift) ||
           (code == AREA_LAYER && state.ActiveLayer == Layer::Midi);
}

// One region of the bank shown. Made once with the surface's interface and registered, so a
// screen reader's paths and indexes stay valid while the window lives.
class RegionAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    RegionAccessible(SurfaceFocus* surface, int slot) : m_surface(surface), m_slot(slot) {}

    bool isValid() const override { return !m_surface.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return m_surface ? m_surface->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(m_surface.data());
    }
    QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface* /*child*/) const override { return -1; }
    QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override { return nullptr; }

    QString text(QAccessible::Text t) const override {
        if (!m_surface)
            return {};
        switch (t) {
        case QAccessible::Name:
            return slotName(*m_surface, m_slot);
        case QAccessible::Description:
            return slotDescription(*m_surface, m_slot);
        default:
            return {};
        }
    }
    void setText(QAccessible::Text /*t*/, const QString& /*text*/) override {}

    // The inside of the region: its edges belong to no region.
    QRect rect() const override {
        if (!m_surface)
            return {};
        const Region& r = slotRegion(m_slot);
        const QRect local(r.left + 1, r.top + 1, r.right - r.left - 1, r.bottom - r.top - 1);
        return {m_surface->mapToGlobal(local.topLeft()), local.size()};
    }

    QAccessible::Role role() const override {
        switch (slotRegion(m_slot).kind) {
        case RegionKind::VPot:
        case RegionKind::Wheel:
            return QAccessible::Dial;
        case RegionKind::Fader:
        case RegionKind::FaderMaster:
        case RegionKind::BreathControl:
            return QAccessible::Slider;
        case RegionKind::Button:
        case RegionKind::TransportKey:
        case RegionKind::AreaButton:
            break;
        }
        return QAccessible::Button;
    }

    QAccessible::State state() const override {
        QAccessible::State s;
        if (!m_surface) {
            s.invalid = true;
            return s;
        }
        s.focusable = true;
        s.focused = m_surface->hasFocus() && m_surface->current() == m_slot;
        const int code = slotRegion(m_slot).code(m_surface->state().ChannelShift);
        if (code == AREA_SHIFT || code == AREA_LAYER) {
            s.checkable = true;
            s.checked = isLit(m_surface->state(), code);
        }
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                 : nullptr;
    }

    QStringList actionNames() const override { return {pressAction(), setFocusAction()}; }
    QStringList keyBindingsForAction(const QString& action) const override {
        return action == pressAction() ? QStringList{QStringLiteral("Return")} : QStringList{};
    }
    // Never waits here: a press may open a file dialog, and the caller waits for the answer.
    void doAction(const QString& action) override {
        if (!m_surface)
            return;
        SurfaceFocus* surface = m_surface.data();
        const int slot = m_slot;
        if (action == pressAction())
            QMetaObject::invokeMethod(
                surface, [surface, slot] { surface->press(slot); }, Qt::QueuedConnection);
        else if (action == setFocusAction()) {
            surface->setFocus(Qt::OtherFocusReason);
            surface->setCurrent(slot);
        }
    }

private:
    QPointer<SurfaceFocus> m_surface;
    int m_slot;
};

class SurfaceAccessible : public QAccessibleWidget {
public:
    explicit SurfaceAccessible(SurfaceFocus* surface)
        : QAccessibleWidget(surface, QAccessible::Pane), m_surface(surface) {
        for (std::size_t i = 0; i < kSurfaceSlots; ++i) {
            m_children[i] = new RegionAccessible(surface, static_cast<int>(i));
            m_ids[i] = QAccessible::registerAccessibleInterface(m_children[i]);
        }
        remember();
    }
    ~SurfaceAccessible() override {
        for (const QAccessible::Id id : m_ids)
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return static_cast<int>(kSurfaceSlots); }
    QAccessibleInterface* child(int index) const override {
        return index >= 0 && index < childCount() ? m_children[static_cast<std::size_t>(index)]
                                                  : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (std::size_t i = 0; i < kSurfaceSlots; ++i)
            if (m_children[i] == child)
                return static_cast<int>(i);
        return -1;
    }
    // The window's own hit test, so the Wheel is a disc here too.
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPointF p = m_surface->mapFromGlobal(QPointF(x, y));
        const bool shift = m_surface->state().ChannelShift;
        const int code = locateRegion(static_cast<float>(p.x()), static_cast<float>(p.y()), shift);
        const int slot = slotOf(code, shift);
        return slot == kNoSlot ? nullptr : child(slot);
    }
    QAccessibleInterface* focusChild() const override {
        return m_surface->hasFocus() ? child(m_surface->current()) : nullptr;
    }

    void announceChanges() {
        const std::array<Shown, kSurfaceSlots> before = m_shown;
        remember();
        for (std::size_t i = 0; i < kSurfaceSlots; ++i) {
            const auto send = [this, i](QAccessible::Event type) {
                QAccessibleEvent event(m_surface, type);
                event.setChild(static_cast<int>(i));
                QAccessible::updateAccessibility(&event);
            };
            if (m_shown[i].name != before[i].name)
                send(QAccessible::NameChanged);
            if (m_shown[i].description != before[i].description)
                send(QAccessible::DescriptionChanged);
            if (m_shown[i].checked != before[i].checked) {
                QAccessible::State changed;
                changed.checked = true;
                QAccessibleStateChangeEvent event(m_surface, changed);
                event.setChild(static_cast<int>(i));
                QAccessible::updateAccessibility(&event);
            }
        }
    }

private:
    struct Shown {
        QString name;
        QString description;
        bool checked = false;
    };
    void remember() {
        for (std::size_t i = 0; i < kSurfaceSlots; ++i) {
            const int slot = static_cast<int>(i);
            m_shown[i] = {
                slotName(*m_surface, slot), slotDescription(*m_surface, slot),
                isLit(m_surface->state(), slotRegion(slot).code(m_surface->state().ChannelShift))};
        }
    }

    SurfaceFocus* m_surface;
    std::array<RegionAccessible*, kSurfaceSlots> m_children{};
    std::array<QAccessible::Id, kSurfaceSlots> m_ids{};
    std::array<Shown, kSurfaceSlots> m_shown{};
};

QAccessibleInterface* surfaceFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(SurfaceFocus::staticMetaObject.className()))
        if (auto* surface = qobject_cast<SurfaceFocus*>(object))
            return new SurfaceAccessible(surface);
    // Top-level windows made from plain widgets, which Qt would call client areas.
    if (className == QLatin1String(frmMain::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    if (className == QLatin1String(ElementSetupForm::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Dialog);
    // The panel's dividing lines are drawing, not controls: a screen reader passes over them.
    if (className == QLatin1String("QFrame") && object->property(kPanelLineProperty).toBool())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Separator);
    return nullptr;
}

} // namespace

void installSurfaceAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&surfaceFactory);
        return true;
    }();
    (void)installed;
}

QString slotName(const SurfaceFocus& surface, int slot) {
    const Region& r = slotRegion(slot);
    const int code = r.code(surface.state().ChannelShift);
    if (isElement(code))
        return QString::fromStdString(elementName(code));
    return QString::fromLatin1(r.label.data(), static_cast<qsizetype>(r.label.size()));
}

QString slotDescription(const SurfaceFocus& surface, int slot) {
    const EditorState& state = surface.state();
    const int code = slotRegion(slot).code(state.ChannelShift);
    if (!isElement(code))
        return paintedKeyHelp(code);
    const Layer layer = state.ActiveLayer;
    const PanelText shown = panelText(code, surface.preset().Elements[code].record(layer), layer);
    QStringList parts;
    for (const std::string& part : {shown.type, shown.isSysEx ? shown.sysex : shown.data,
                                    shown.isSysEx ? std::string() : shown.explain})
        if (!part.empty())
            parts << fromCp1252(part).trimmed(); // the number text's sign blank reads as a pause
    const std::string_view layerWord = layerName(layer);
    return QString::fromLatin1(layerWord.data(), static_cast<qsizetype>(layerWord.size())) +
           QStringLiteral(" layer: ") + parts.join(QStringLiteral(", "));
}

void announceSurfaceFocus(SurfaceFocus* surface, int slot) {
    QAccessibleEvent event(surface, QAccessible::Focus);
    event.setChild(slot);
    QAccessible::updateAccessibility(&event);
}

void announceSurfaceChanges(SurfaceFocus* surface) {
    if (auto* tree =
            dynamic_cast<SurfaceAccessible*>(QAccessible::queryAccessibleInterface(surface)))
        tree->announceChanges();
}

} // namespace qob
