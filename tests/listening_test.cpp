// SPDX-License-Identifier: GPL-3.0-or-later
// Listening in the editor, with a MIDI input the test feeds: the input list, locate and learn.
#include "device/MidiInPort.h"
#include "tests/support/FakeMidi.h"
#include "tests/support/WindowDriver.h"
#include "ui/assign/ElementSetupForm.h"
#include "ui/main/LitPicture.h"
#include "ui/main/LocateRing.h"
#include "ui/midisetup/MidiListener.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace qob;
using namespace qob::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

class ListeningTest : public ::testing::Test, public WindowDriver {
protected:
    void SetUp() override {
        preset.Elements[2].Daw = {0, 0xB0, 7, 0, {}, {}};      // Fader 3
        preset.Elements[34].Daw = {0, 0xB0, 8, 0, {}, {}};     // Fader 11, bank 2
        preset.Elements[18].Midi = {0, 0x90, 36, 127, {}, {}}; // Button 1, MIDI layer
        preset.Elements[16].Midi = {0, 0xB1, 7, 0, {}, {}};    // Master, MIDI layer...
        preset.Elements[16].Daw = {0, 0xB1, 7, 0, {}, {}};     // ...and DAW
        window = std::make_unique<frmMain>(preset, state);
        answerDialogs(*window);
        window->seams().midiService = [this] { return output; };
        window->seams().midiInService = [this] { return input; };
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    QComboBox* inputList() const {
        return dialog()->findChild<QComboBox*>(QStringLiteral("Combo_MIDI_IN"));
    }
    MidiListener* listener() const { return window->findChild<MidiListener*>(); }
    // Chooses input entry `entry` in MIDI Device Setup and presses OK.
    void listenTo(int entry) {
        showPorts();
        inputList()->setCurrentIndex(entry);
        pressOK();
    }
    // One frame of the listener.
    void hear(const Bytes& bytes) {
        input->last->push(bytes);
        QSignalSpy heard(listener(), &MidiListener::heard);
        ASSERT_TRUE(heard.wait(1000));
    }
    bool lit(const char* name) const {
        return window->findChild<LitPicture*>(QString::fromLatin1(name))->isVisible();
    }

    std::shared_ptr<FakeService> output = std::make_shared<FakeService>();
    std::shared_ptr<FakeInputService> input = std::make_shared<FakeInputService>();
};

} // namespace

TEST_F(ListeningTest, TheInputListStartsAtNoneAndOkListensToTheChosenName) {
    showPorts();
    QStringList entries;
    for (int i = 0; i < inputList()->count(); ++i)
        entries << inputList()->itemText(i);
    EXPECT_EQ(entries, (QStringList{"None", kOwnInputName, "Surface:out"}));
    EXPECT_EQ(inputList()->currentIndex(), 0);
    pressOK();
    EXPECT_TRUE(input->opened.empty());
    EXPECT_FALSE(listener()->listening());

    for (const int entry : {2, 1}) {
        listenTo(entry);
        EXPECT_EQ(input->opened.back(), entries[entry].toStdString());
        EXPECT_TRUE(listener()->listening());
    }
    const std::weak_ptr<FakeInput> last = std::exchange(input->last, nullptr);
    listenTo(0);
    EXPECT_FALSE(listener()->listening());
    EXPECT_TRUE(last.expired()) << "the input listened to before is closed";
}

// The control is shown in the layer and bank shown where it matches there, else where it
// first matches, with its keys lit as a click would light them; a message no control sends
// says so on the status row.
TEST_F(ListeningTest, LocateShowsTheControlThatSendsTheMessage) {
    listenTo(2);
    const struct {
        Bytes message;
        int element;
        Layer layer;
        bool shift;
    } heard[] = {
        {{0xB0, 7, 1}, 2, Layer::Daw, false},
        {{0xB0, 8, 1}, 34, Layer::Daw, true},    // to bank 2
        {{0x80, 36, 0}, 18, Layer::Midi, false}, // to the MIDI layer and bank 1
        {{0xB1, 7, 5}, 16, Layer::Midi, false},  // matches in the layer shown: stays there
    };
    for (const auto& h : heard) {
        SCOPED_TRACE(h.element);
        hear(h.message);
        EXPECT_EQ(state.CurrentElement, h.element);
        EXPECT_EQ(state.ActiveLayer, h.layer);
        EXPECT_EQ(state.ChannelShift, h.shift);
        EXPECT_EQ(lit("Pic_Select"), h.layer == Layer::Midi);
        EXPECT_EQ(lit("Pic_Channel_Shift"), h.shift);
        const LocateRing* ring = window->findChild<LocateRing*>();
        EXPECT_TRUE(ring->visible());
        EXPECT_TRUE(ring->region().contains(centreOf(h.element, h.shift)));
    }
    hear({0xC3, 9});
    EXPECT_EQ(panelRow2(), "Heard Prog 9 ch 4: not in this preset");

    // A burst: one update for the frame, showing where it ended.
    QSignalSpy heardSpy(listener(), &MidiListener::heard);
    for (int i = 0; i < 1000; ++i)
        input->last->push({0xB0, static_cast<std::uint8_t>(i == 999 ? 7 : 8), 0});
    ASSERT_TRUE(heardSpy.wait(1000));
    QTest::qWait(3 * MidiListener::kFrameMs);
    EXPECT_EQ(heardSpy.count(), 1);
    EXPECT_EQ(state.CurrentElement, 2);

    input->last->end("the source went away");
    QTest::qWait(3 * MidiListener::kFrameMs);
    EXPECT_FALSE(listener()->listening());
    EXPECT_EQ(panelRow2(), "Listening ended: the source went away");
}

// While Element Assign is open, a heard message fills its rows instead; Cancel stores nothing.
TEST_F(ListeningTest, LearnFillsTheDialogsRowsAndCancelStoresNothing) {
    listenTo(2);
    click(AREA_LAYER);
    click(18); // Button 1, MIDI layer: every row enabled
    auto* form = window->findChild<ElementSetupForm*>();
    ASSERT_TRUE(form && form->isVisible());
    const auto field = [form](const char* name) {
        return form->findChild<QLineEdit*>(QString::fromLatin1(name))->text().trimmed();
    };
    const auto kindOn = [form](const char* name) {
        return form->findChild<QRadioButton*>(QString::fromLatin1(name))->isChecked();
    };
    const Preset before = preset;
    hear({0xB2, 74, 3});
    EXPECT_EQ(QStringList({field("txt_Data_1"), field("txt_Data_2"), field("txt_Data_3")}),
              (QStringList{"178", "74", "3"}));
    EXPECT_TRUE(kindOn("OptMIDI"));
    hear({0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7});
    EXPECT_EQ(field("txt_SysEx"), "7E 7F 09 01");
    EXPECT_TRUE(kindOn("OptSysEx"));
    hear({0xF0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0xF7}); // too long for the row
    EXPECT_EQ(field("txt_SysEx"), "7E 7F 09 01");
    EXPECT_EQ(state.CurrentElement, 18) << "no locate while the dialog is open";
    form->cmdCancel_Click();
    EXPECT_EQ(preset, before);
}
