// SPDX-License-Identifier: GPL-3.0-or-later
// The surface by keyboard and in the accessibility tree, on the offscreen platform.
#include "model/PresetFile.h"
#include "tests/support/FakeMidi.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WindowDriver.h"
#include "ui/assign/ElementSetupForm.h"
#include "ui/main/PresetDocument.h"
#include "ui/main/SurfaceAccessible.h"
#include "ui/main/SurfaceFocus.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

using namespace qob;

namespace {

int slotNamed(std::string_view label) {
    for (std::size_t s = 0; s < kSurfaceSlots; ++s)
        if (slotRegion(static_cast<int>(s)).label == label)
            return static_cast<int>(s);
    return kNoSlot;
}

TEST(NeighbourTable, ReachesEveryRegionAndGoesBackWhereTheLayoutIsAGrid) {
    const NeighbourTable& next = neighbourTable();
    std::set<int> reached{0};
    std::vector<int> todo{0};
    while (!todo.empty()) {
        const int from = todo.back();
        todo.pop_back();
        for (const int to : next[static_cast<std::size_t>(from)])
            if (to != kNoSlot && reached.insert(to).second)
                todo.push_back(to);
    }
    EXPECT_EQ(reached.size(), kSurfaceSlots);

    const auto step = [&](int from, Direction d) {
        return next[static_cast<std::size_t>(from)][static_cast<std::size_t>(d)];
    };
    // Rows: the V-Pots, Faders and Buttons (slots 0-7, 8-15, 17-24), transport and painted keys.
    std::vector<std::vector<int>> rows{{}, {}, {}, {26, 27, 28, 29, 30}, {33, 34, 35, 36, 37}};
    for (int i = 0; i < 8; ++i)
        for (const int r : {0, 1, 2})
            rows[static_cast<std::size_t>(r)].push_back(i + (r == 2 ? 17 : 8 * r));
    for (const auto& row : rows)
        for (std::size_t i = 0; i + 1 < row.size(); ++i) {
            EXPECT_EQ(step(row[i], Direction::Right), row[i + 1]);
            EXPECT_EQ(step(row[i + 1], Direction::Left), row[i]);
        }
    for (int i = 0; i < 8; ++i)
        for (const auto& [upper, lower] :
             {std::pair{rows[0][i], rows[1][i]}, {rows[1][i], rows[2][i]}}) {
            EXPECT_EQ(step(upper, Direction::Down), lower) << i;
            EXPECT_EQ(step(lower, Direction::Up), upper) << i;
        }
    EXPECT_EQ(step(0, Direction::Left), kNoSlot); // the edge stays put
}

// Counts what the window hands to the dialogs and the MIDI link.
class CountingWindow : public frmMain {
public:
    using frmMain::frmMain;
    int elementForms = 0, midiForms = 0, sends = 0;
    void showElementSetupForm() override { ++elementForms; }
    void showMidiSetupForm() override { ++midiForms; }
    void SendDeviceDump() override { ++sends; }
};

struct Outcome {
    Preset preset;
    EditorState state;
    test::DialogAnswers answers;
    std::unique_ptr<CountingWindow> w;

    Outcome(bool lit) {
        w = std::make_unique<CountingWindow>(preset, state);
        answers.answerDialogs(*w);
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        if (lit) { // SHIFT and MIDI on: their lit pictures lie over the keys
            w->surface().press(slotNamed("SHIFT"));
            w->surface().press(slotNamed("MIDI"));
        }
    }
    auto seen() const {
        return std::tuple(state.CurrentElement, state.DialogOpen, state.ChannelShift,
                          state.ActiveLayer, w->elementForms, w->midiForms, w->sends,
                          answers.messages, answers.asked, answers.ends);
    }
};

TEST(SurfaceKeys, EnterAndSpaceDoWhatALeftClickDoesOnEveryRegion) {
    for (const bool lit : {false, true})
        for (std::size_t s = 0; s < kSurfaceSlots; ++s) {
            const Region& r = slotRegion(static_cast<int>(s));
            if (lit && r.bank1Code != AREA_SHIFT && r.bank1Code != AREA_LAYER)
                continue;
            SCOPED_TRACE(std::string(r.label) + (lit ? ", lit" : ""));
            Outcome clicked(lit), entered(lit);
            test::clickAt(clicked.w->windowHandle(), {r.centreX(), r.centreY()});
            entered.w->surface().setCurrent(static_cast<int>(s));
            QTest::keyClick(&entered.w->surface(), s % 2 ? Qt::Key_Return : Qt::Key_Space);
            EXPECT_EQ(entered.seen(), clicked.seen());
        }
}

// What the tree tells assistive technology about the surface: event type and child.
std::vector<std::pair<QAccessible::Event, int>> events;
const QObject* watched = nullptr;
void record(QAccessibleEvent* e) {
    if (e->object() == watched)
        events.emplace_back(e->type(), e->child());
}

class SurfaceTest : public ::testing::Test, public test::WindowDriver {
protected:
    void SetUp() override {
        ASSERT_TRUE(loadPresetFile(test::kDefault, preset).ok);
        open([] { return std::make_shared<test::FakeService>(); });
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([this] { return surface().hasFocus(); }));
    }
    SurfaceFocus& surface() { return window->surface(); }
    void key(Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); }
};

TEST_F(SurfaceTest, FocusFollowsThePointerKeepsThePartnerAndComesBackAfterEachDialog) {
    hover(test::centreOf(12)); // Fader 5
    EXPECT_EQ(surface().current(), slotOf(12, false));
    key(Qt::Key_Down);
    EXPECT_EQ(state.CurrentElement, 22); // Button 5, on the panel as hovering shows it
    click(AREA_SHIFT);
    EXPECT_EQ(state.CurrentElement, 52);
    EXPECT_EQ(surface().current(), slotOf(52, true));

    for (const Qt::Key close : {Qt::Key_Escape, Qt::Key_Return}) {
        key(Qt::Key_Return);
        auto* form = window->findChild<ElementSetupForm*>();
        ASSERT_TRUE(form && form->isVisible());
        QTest::keyClick(&surface(), Qt::Key_Left); // ignored under the open dialog
        EXPECT_EQ(surface().current(), slotOf(52, true));
        QTest::keyClick(form, close);
        EXPECT_TRUE(QTest::qWaitFor([this] { return surface().hasFocus(); })) << close;
        EXPECT_EQ(surface().current(), slotOf(52, true));
    }

    surface().setCurrent(slotNamed("MIDI DEVICE"));
    for (const Qt::Key close : {Qt::Key_Escape, Qt::Key_Return}) {
        key(Qt::Key_Return);
        ASSERT_TRUE(midiSettled());
        QTest::keyClick(dialog(), close);
        ASSERT_TRUE(midiSettled());
        EXPECT_FALSE(dialog()->isVisible());
        EXPECT_EQ(state.MidiPortChosen, close == Qt::Key_Return) << "Esc opens nothing";
        EXPECT_TRUE(QTest::qWaitFor([this] { return surface().hasFocus(); }));
    }
}

TEST_F(SurfaceTest, TheTreeNamesAndDescribesEveryRegion) {
    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(&surface());
    ASSERT_EQ(tree->childCount(), static_cast<int>(kSurfaceSlots));
    const std::tuple<int, QAccessible::Role, const char*, const char*> cases[] = {
        {0, QAccessible::Dial, "V Pot  1", "DAW layer: Normal, 176, 10, 64, Pan 1"},
        {10, QAccessible::Slider, "Fader  3", "DAW layer: Normal, 178, 7, 100, Vol 3"},
        {16, QAccessible::Slider, "Fader Master", nullptr},
        {25, QAccessible::Slider, "Breath Control", nullptr},
        {28, QAccessible::Button, "Transport: STOP", nullptr},
        {31, QAccessible::Dial, "Wheel", nullptr},
        {37, QAccessible::Button, "MIDI DEVICE", "Choose the MIDI output port"},
    };
    for (const auto& [slot, role, name, description] : cases) {
        QAccessibleInterface* child = tree->child(slot);
        EXPECT_EQ(child, tree->child(slot)) << "made once";
        EXPECT_EQ(child->role(), role);
        EXPECT_EQ(child->text(QAccessible::Name), QString::fromLatin1(name));
        if (description) {
            EXPECT_EQ(child->text(QAccessible::Description), QString::fromLatin1(description));
        }
        const Region& r = slotRegion(slot);
        const QPoint centre = surface().mapToGlobal(QPoint(r.centreX(), r.centreY()));
        EXPECT_TRUE(child->rect().contains(centre));
        EXPECT_EQ(tree->childAt(centre.x(), centre.y()), child);
        EXPECT_EQ(tree->indexOfChild(child), slot);
    }
    key(Qt::Key_Right);
    EXPECT_TRUE(tree->child(1)->state().focused);
    EXPECT_FALSE(tree->child(0)->state().focused);
    surface().press(slotNamed("SHIFT"));
    EXPECT_EQ(tree->child(0)->text(QAccessible::Name), QStringLiteral("V Pot  9"));
    EXPECT_TRUE(tree->child(slotNamed("SHIFT"))->state().checked);
}

// Only where the platform has an accessibility bridge, which the offscreen one lacks:
// scripts/screen-reader-check.sh runs it on its X server and accessibility bus.
TEST_F(SurfaceTest, TheTreeAnnouncesFocusBankLayerAndAssignmentChanges) {
    watched = &surface();
    QAccessible::installUpdateHandler(&record);
    // The bridge comes up once it has found the accessibility bus.
    if (QGuiApplication::platformName() == QLatin1String("offscreen") ||
        !QTest::qWaitFor(&QAccessible::isActive, 5000)) {
        QAccessible::installUpdateHandler(nullptr);
        GTEST_SKIP() << "no accessibility on this platform";
    }
    const auto count = [](QAccessible::Event type, int child = -1) {
        return std::count_if(events.begin(), events.end(), [=](auto& e) {
            return e.first == type && (child < 0 || e.second == child);
        });
    };
    key(Qt::Key_Right);
    EXPECT_EQ(count(QAccessible::Focus, 1), 1);
    surface().press(slotNamed("SHIFT"));
    EXPECT_EQ(count(QAccessible::NameChanged), 24);
    EXPECT_EQ(count(QAccessible::StateChanged, slotNamed("SHIFT")), 1);
    events.clear();
    surface().press(slotNamed("MIDI"));
    EXPECT_EQ(count(QAccessible::DescriptionChanged), 32);
    events.clear();
    preset.Elements[33].Midi.Data2 = 5; // V-Pot 2's partner, through the document as OK does
    window->document().commit(QStringLiteral("test"));
    EXPECT_EQ(count(QAccessible::DescriptionChanged), 1);
    EXPECT_EQ(count(QAccessible::DescriptionChanged, 1), 1);
    QAccessible::installUpdateHandler(nullptr);
}

} // namespace
