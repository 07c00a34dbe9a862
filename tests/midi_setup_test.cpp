// SPDX-License-Identifier: GPL-3.0-or-later
// The MIDI Device Setup dialog and SEND on a recording MIDI service, on the offscreen platform.
#include "device/DeviceDump.h"
#include "model/PresetFile.h"
#include "tests/support/FakeMidi.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WindowDriver.h"
#include "ui/midisetup/DumpSender.h"
#include "ui/midisetup/MidiSetupLayout.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <condition_variable>
#include <mutex>

#include <gtest/gtest.h>

using namespace qob;
using namespace qob::test;

namespace {

constexpr int kSlowTest = 10000; // ms; far above the 1.92 s a transfer takes

// Where a call on another thread waits until the test releases it; bounded, so that a fault
// which never releases fails the test rather than hanging it.
class Gate {
public:
    void hold() {
        const std::lock_guard lock(m_mutex);
        m_held = true;
    }
    void release() {
        {
            const std::lock_guard lock(m_mutex);
            m_held = false;
        }
        m_released.notify_all();
    }
    bool holding() {
        const std::lock_guard lock(m_mutex);
        return m_waiting > 0;
    }
    void pass() {
        std::unique_lock lock(m_mutex);
        ++m_waiting;
        m_released.wait_for(lock, std::chrono::milliseconds(kSlowTest), [this] { return !m_held; });
        --m_waiting;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_held = false;
    int m_waiting = 0;
};

// Holds listing and opening on the service's thread until released, as a stopped JACK server
// holds its callers.
class HeldService : public FakeService, public Gate {
public:
    PortListing listPorts() override {
        pass();
        return FakeService::listPorts();
    }
    OpenResult open(int device) override {
        pass();
        return FakeService::open(device);
    }
};

// Holds `port`'s transfer before block `block` (1-based) until released, so that the test sees
// a send that is surely still running.
std::shared_ptr<Gate> holdSendAt(RecordingPort& port, int block) {
    auto gate = std::make_shared<Gate>();
    gate->hold();
    const TransferClock steady = TransferClock::steady();
    port.clock = {steady.now, [gate, steady, block, pauses = 0](TransferTime t) mutable {
                      steady.sleepUntil(t);
                      if (++pauses == block - 1)
                          gate->pass();
                  }};
    return gate;
}

class MidiSetupTest : public ::testing::Test, public WindowDriver {
protected:
    std::shared_ptr<FakeService> service = std::make_shared<FakeService>();
    int serviceAsked = 0;

    void SetUp() override {
        service->names = {"Surface In", "Other Synth"};
        open([this] {
            ++serviceAsked;
            return service;
        });
        ASSERT_TRUE(loadPresetFile(kDefault, preset).ok);
    }

    std::vector<std::uint8_t> expectedBytes(int slot) const {
        std::vector<std::uint8_t> bytes;
        for (const DumpBlock& b : makeDumpBlocks(*BuildDeviceDump(preset).image, slot))
            bytes.insert(bytes.end(), b.begin(), b.end());
        return bytes;
    }
    static std::vector<std::uint8_t> received(const RecordingPort& port) {
        std::vector<std::uint8_t> bytes;
        for (const auto& m : port.sent())
            bytes.insert(bytes.end(), m.bytes.begin(), m.bytes.end());
        return bytes;
    }
    // A service that holds its callers until released, in place of the fixture's.
    std::shared_ptr<HeldService> openHeld() {
        auto held = std::make_shared<HeldService>();
        held->names = service->names;
        open([held] { return held; });
        return held;
    }
    bool sending() const {
        const auto* sender = window->findChild<DumpSender*>();
        return sender && sender->isRunning();
    }
};

TEST_F(MidiSetupTest, DialogLayoutFollowsTheTwipsAtTheScreensDpi) {
    showPorts();
    MIDISetupForm* form = dialog();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->isModal());
    EXPECT_EQ(form->windowTitle(), "MIDI Device Setup");
    EXPECT_TRUE(form->windowIcon().availableSizes().contains(QSize(32, 32)));

    const auto px = [](int twips, int dpi) { return qRound(twips * dpi / 1440.0); };
    const int dx = form->logicalDpiX(), dy = form->logicalDpiY();
    EXPECT_EQ(form->size(), QSize(px(3825, dx), px(3960, dy)));
    struct Control {
        const char* name;
        TwipsRect rect;
        double points;
        bool bold;
    };
    for (const Control& c : {Control{"Label2", {840, 240, 1920, 285}, 12, true},
                             Control{"Combo_MIDI_OUT", {240, 840, 3255, 345}, 9, false},
                             Control{"cmdOK", {2640, 1920, 855, 375}, 10.5, true},
                             Control{"LabelIn", {840, 2640, 1920, 285}, 12, true},
                             Control{"Combo_MIDI_IN", {240, 3180, 3255, 345}, 9, false}}) {
        SCOPED_TRACE(c.name);
        const auto* w = form->findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), QRect(px(c.rect.left, dx), px(c.rect.top, dy),
                                       px(c.rect.width, dx), px(c.rect.height, dy)));
        EXPECT_EQ(w->font().family(), "Times New Roman");
        EXPECT_DOUBLE_EQ(w->font().pointSizeF(), c.points);
        EXPECT_EQ(w->font().bold(), c.bold);
    }
    const auto* label = form->findChild<QLabel*>("Label2");
    EXPECT_EQ(label->text(), "MIDI OUT Device");
    const QPalette scheme = QApplication::palette();
    EXPECT_EQ(label->palette().color(QPalette::WindowText),
              scheme.color(QPalette::HighlightedText));
    EXPECT_EQ(label->palette().color(QPalette::Window), scheme.color(QPalette::ButtonText));
    EXPECT_EQ(form->palette().color(QPalette::Window), scheme.color(QPalette::WindowText));
    EXPECT_EQ(okButton()->text(), "OK");
    EXPECT_FALSE(portList()->isEditable());
    EXPECT_EQ(portList()->nextInFocusChain(), okButton());
}

TEST_F(MidiSetupTest, ListIsFilledAtEveryShowingAndOkOpensTheChosenName) {
    showPorts();
    EXPECT_EQ(listed(), QStringList({"MIDI Mapper", "Surface In", "Other Synth"}));
    EXPECT_EQ(portList()->currentIndex(), 0);

    showPorts(); // again: listed afresh, not appended
    EXPECT_EQ(listed().size(), 3);
    EXPECT_EQ(service->listings, 2);

    choosePort(2);
    EXPECT_EQ(service->openedNames, std::vector<std::string>({"Other Synth"}));
    EXPECT_TRUE(state.MidiPortChosen);
    EXPECT_EQ(state.MidiResult, 0);
    ASSERT_TRUE(state.MidiOutHandle);
    EXPECT_EQ(state.MidiOutHandle->name(), "Other Synth");
    EXPECT_FALSE(dialog()->isVisible());

    // A port plugged in before the chosen one shows, and the selection follows the name.
    service->names = {"Surface In", "Late Port", "Other Synth"};
    showPorts();
    EXPECT_EQ(listed(), QStringList({"MIDI Mapper", "Surface In", "Late Port", "Other Synth"}));
    EXPECT_EQ(portList()->currentText(), "Other Synth");

    // The list was read, then a port before the chosen one vanished: OK still opens the name,
    // never whatever took its number.
    const auto first = service->lastPort;
    service->names = {"Late Port", "Other Synth"};
    pressOK();
    EXPECT_TRUE(first->closed());
    EXPECT_EQ(state.MidiOutHandle->name(), "Other Synth");

    // A name that has gone: rc = 2, and the name in the detail.
    showPorts();
    portList()->setCurrentIndex(portList()->findText("Late Port"));
    service->names = {"Other Synth"};
    pressOK();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], "Couldn't open midi out, rc = 2");
    EXPECT_TRUE(messages[1].contains("Late Port")) << messages[1].toStdString();
    EXPECT_FALSE(state.MidiOutHandle);

    // A vanished selection falls back to the mapper; the mapper opens our own port.
    messages.clear();
    showPorts();
    EXPECT_EQ(listed(), QStringList({"MIDI Mapper", "Other Synth"}));
    EXPECT_EQ(portList()->currentIndex(), 0);
    pressOK();
    EXPECT_EQ(state.MidiOutHandle->name(), kVirtualPortName);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(MidiSetupTest, OkReportsAFailedOpenWithItsReturnCode) {
    struct Case {
        const char* what;
        int openCode;
        bool emptyList;
        int device;
        int rc;
    };
    for (const Case& c : {Case{"empty selection", kMidiOk, true, -2, kMidiBadDevice},
                          Case{"port in use", kMidiInUse, false, -1, kMidiInUse},
                          Case{"no service", kMidiNoService, false, -1, kMidiNoService}}) {
        SCOPED_TRACE(c.what);
        state = EditorState{};
        messages.clear();
        service->opened.clear();
        service->openCode = c.openCode;
        open([this] { return service; });
        showPorts();
        if (c.emptyList)
            portList()->clear();
        pressOK();
        EXPECT_EQ(service->opened, std::vector<int>({c.device}));
        ASSERT_EQ(messages.size(), 2);
        EXPECT_EQ(messages[0], QStringLiteral("Couldn't open midi out, rc = %1").arg(c.rc));
        EXPECT_FALSE(messages[1].isEmpty()) << "the backend's words";
        EXPECT_EQ(state.MidiResult, c.rc);
        EXPECT_TRUE(state.MidiPortChosen);
        EXPECT_FALSE(state.MidiOutHandle);

        // SEND now says there is no open port, not that none was chosen.
        messages.clear();
        click(AREA_SEND);
        ASSERT_EQ(messages.size(), 2);
        EXPECT_EQ(messages[0], "No MIDI port is open ! Please Click <MIDI DEVICE>");
        EXPECT_FALSE(sending());
    }
}

TEST_F(MidiSetupTest, SendRunsBesideTheWindowAndShowsProgressThenTheOutcome) {
    preset.PresetIndex = 3;
    choosePort(1);
    const auto port = service->lastPort;
    const auto progress = [this] {
        const QString row = panelRow2(); // "Sending 57/192"
        return row.startsWith("Sending ") && row.endsWith("/192") ? row.mid(8).chopped(4).toInt()
                                                                  : -1;
    };
    const auto gate = holdSendAt(*port, 21);
    click(AREA_SEND);
    EXPECT_GE(progress(), 0) << panelRow2().toStdString();
    EXPECT_TRUE(sending());
    // The window answers while the blocks go out: progress shows, other buttons work, a
    // second SEND does nothing.
    QTRY_VERIFY_WITH_TIMEOUT(gate->holding(), kSlowTest);
    QTRY_VERIFY_WITH_TIMEOUT(progress() > 10 && progress() < 192, kSlowTest);
    click(AREA_SEND);
    click(AREA_SAVE_AS);
    EXPECT_EQ(asked, QStringList({"Save As"}));
    preset.PresetIndex = 5; // the image and slot were taken at the press
    EXPECT_TRUE(sending());
    gate->release();
    QTRY_COMPARE_WITH_TIMEOUT(panelRow2(), QString("Sent to slot 3"), kSlowTest);
    EXPECT_FALSE(sending());
    EXPECT_EQ(port->sent().size(), 192u);
    preset.PresetIndex = 3;
    EXPECT_EQ(received(*port), expectedBytes(3));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_FALSE(port->closed()) << "the port stays open for the next send";

    // Pointing at the current element gives the row back to its assignment at once, and a
    // while after the outcome the row returns by itself.
    hover(centreOf(state.CurrentElement));
    EXPECT_EQ(panelRow2(), "");

    // A server that missed a cycle: the whole dump again, and the row says so; in every try:
    // not sent, and a message that the slot may be damaged.
    port->missCycles = 1;
    click(AREA_SEND);
    QTRY_COMPARE_WITH_TIMEOUT(
        panelRow2(), QString("Sent to slot 3 (second try: the server missed a cycle)"), kSlowTest);
    EXPECT_EQ(port->sent().size(), 3 * 192u);
    QTRY_COMPARE_WITH_TIMEOUT(panelRow2(), QString(), 6000);
    port->missCycles = 3;
    click(AREA_SEND);
    QTRY_COMPARE_WITH_TIMEOUT(
        panelRow2(), QString("Not sent: the server missed a cycle in each of 3 tries"), kSlowTest);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].contains("Slot 3 of the surface may hold a damaged preset"));
}

// Stopping half-way would leave the surface's slot with half of one preset and half of
// another: a new port and EXIT wait for the send to finish.
TEST_F(MidiSetupTest, ExitAndANewPortLetTheSendFinishFirst) {
    // Held at block 21, then let go from inside the wait: what was true at that moment, and
    // whether the window's thread slept in its event loop meanwhile rather than spinning.
    struct AtRelease {
        bool sending = false;
        bool portClosed = true;
        int sleeps = 0;
    };
    const auto releaseWhileWaiting = [this](RecordingPort& port, const std::shared_ptr<Gate>& gate,
                                            AtRelease& seen) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return gate->holding(); }, kSlowTest));
        EXPECT_EQ(port.sent().size(), 20u);
        auto* dispatcher = QAbstractEventDispatcher::instance();
        auto counting = std::make_shared<QMetaObject::Connection>(QObject::connect(
            dispatcher, &QAbstractEventDispatcher::aboutToBlock, [&seen] { ++seen.sleeps; }));
        QTimer::singleShot(100, [this, &port, gate, &seen, counting] {
            QObject::disconnect(*counting);
            seen.sending = sending();
            seen.portClosed = port.closed();
            gate->release();
        });
        seen.sleeps = 0;
    };

    choosePort(1);
    auto port = service->lastPort;
    AtRelease seen;
    auto gate = holdSendAt(*port, 21);
    click(AREA_SEND);
    showPorts();
    portList()->setCurrentIndex(2);
    releaseWhileWaiting(*port, gate, seen);
    pressOK();
    EXPECT_TRUE(seen.sending);
    EXPECT_FALSE(seen.portClosed);
    EXPECT_GT(seen.sleeps, 0) << "the wait kept the thread busy";
    EXPECT_TRUE(port->closed());
    EXPECT_EQ(port->sent().size(), 192u);
    EXPECT_EQ(panelRow2(), "Sent to slot 1");

    port = service->lastPort;
    seen = {};
    gate = holdSendAt(*port, 21);
    click(AREA_SEND);
    releaseWhileWaiting(*port, gate, seen);
    click(AREA_EXIT);
    EXPECT_TRUE(seen.sending);
    EXPECT_FALSE(seen.portClosed);
    EXPECT_GT(seen.sleeps, 0) << "the wait kept the thread busy";
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(port->closed());
    EXPECT_EQ(state.MidiResult, 0);
    EXPECT_FALSE(sending());
    EXPECT_EQ(port->sent().size(), 192u);
}

TEST_F(MidiSetupTest, TheStatusRowAndTheMessagesTellWhatHappened) {
    choosePort(1);
    auto port = service->lastPort;
    click(AREA_SEND);
    QTRY_COMPARE_WITH_TIMEOUT(panelRow2(), QString("Sent to slot 1"), kSlowTest);

    // Each refusal replaces the earlier "Sent to slot 1".
    preset.FaderLimit[0] = -300;
    click(AREA_SEND);
    EXPECT_EQ(messages, QStringList({"Fader Limit value 1 is -300: outside -255..32767",
                                     "Nothing was sent."}));
    EXPECT_EQ(panelRow2(), "Not sent: the preset cannot be sent");
    EXPECT_FALSE(sending());
    preset.FaderLimit[0] = 0;

    messages.clear();
    port->connections = 0; // a port of our own that nobody connected
    click(AREA_SEND);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], "MIDI port Surface In is connected to nothing.");
    EXPECT_EQ(panelRow2(), "Not sent: no connection");
    EXPECT_EQ(port->sent().size(), 192u) << "nothing more went out";
    port->connections.reset();

    messages.clear();
    port->failAt = 192 + 57;
    click(AREA_SEND);
    QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 2, kSlowTest);
    EXPECT_EQ(messages[0], "Sending stopped at block 58 of 192: the recorder was told to fail.");
    EXPECT_EQ(messages[1], "Slot 1 of the surface now holds a partial preset: send it again.");
    EXPECT_EQ(panelRow2(), "Not sent: failed at block 58/192");
    EXPECT_FALSE(sending());

    // The server went away. While the port's name is not listed again, SEND says so with the
    // no-service code; once it is back, SEND opens it again by name and sends.
    messages.clear();
    port->service = {kMidiNoService, "the JACK server has stopped"};
    const auto names = service->names;
    service->names.clear();
    click(AREA_SEND);
    ASSERT_TRUE(midiSettled());
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], "Couldn't open midi out, rc = 6");
    EXPECT_TRUE(messages[1].startsWith("the JACK server has stopped")) << messages[1].toStdString();
    EXPECT_EQ(panelRow2(), "Not sent: no MIDI service");

    messages.clear();
    service->names = names;
    click(AREA_SEND);
    QTRY_COMPARE_WITH_TIMEOUT(panelRow2(), QString("Sent to slot 1"), kSlowTest);
    EXPECT_NE(service->lastPort, port);
    EXPECT_EQ(state.MidiOutHandle, service->lastPort);
    EXPECT_EQ(service->lastPort->sent().size(), 192u);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" / ").toStdString();
    EXPECT_EQ(serviceAsked, 1) << "the dialog and both reconnects share one service";
}

// The window's thread never waits on the service: while a listing or an open is held, the
// window keeps answering, the dialog offers nothing stale, SEND says why it does nothing, and
// the outcome is applied once it comes.
TEST_F(MidiSetupTest, AHeldServiceLeavesTheWindowAnswering) {
    const auto held = openHeld();
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(10);

    held->hold();
    click(AREA_MIDI_DEVICE);
    QTRY_VERIFY(held->holding());
    QTRY_VERIFY(ticks > 3);
    EXPECT_EQ(listed(), QStringList({"MIDI Mapper"}));
    EXPECT_FALSE(portList()->isEnabled());
    EXPECT_FALSE(okButton()->isEnabled());
    click(AREA_SAVE_AS);
    EXPECT_EQ(asked, QStringList({"Save As"}));
    held->release();
    QTRY_COMPARE(listed(), QStringList({"MIDI Mapper", "Surface In", "Other Synth"}));
    EXPECT_TRUE(portList()->isEnabled());
    EXPECT_TRUE(okButton()->isEnabled());

    portList()->setCurrentIndex(1);
    held->hold();
    QTest::mouseClick(okButton(), Qt::LeftButton);
    QTRY_VERIFY(held->holding());
    EXPECT_TRUE(dialog()->isVisible()) << "hidden only once the outcome is in";
    EXPECT_FALSE(state.MidiOutHandle);
    click(AREA_SEND);
    EXPECT_EQ(panelRow2(), "Not sent: the MIDI port is busy, press SEND again in a moment");
    EXPECT_TRUE(messages.isEmpty());
    ticks = 0;
    QTRY_VERIFY(ticks > 3);
    held->release();
    QTRY_VERIFY(!dialog()->isVisible());
    ASSERT_TRUE(state.MidiOutHandle);
    EXPECT_EQ(state.MidiOutHandle->name(), "Surface In");
    EXPECT_EQ(state.MidiResult, 0);
    EXPECT_TRUE(state.MidiPortChosen);

    click(AREA_SEND);
    QTRY_COMPARE_WITH_TIMEOUT(panelRow2(), QString("Sent to slot 1"), kSlowTest);
}

// EXIT while an open is held waits for it, closes the port it opened, then ends.
TEST_F(MidiSetupTest, ExitDuringAHeldOpenWaitsForItThenEnds) {
    const auto held = openHeld();
    showPorts();
    portList()->setCurrentIndex(2);
    held->hold();
    QTest::mouseClick(okButton(), Qt::LeftButton);
    QTRY_VERIFY(held->holding());

    int endsAtRelease = -1;
    QTimer::singleShot(50, [&] {
        endsAtRelease = ends;
        held->release();
    });
    click(AREA_EXIT);
    EXPECT_EQ(endsAtRelease, 0) << "EXIT waited for the open";
    EXPECT_EQ(ends, 1);
    ASSERT_TRUE(held->lastPort);
    EXPECT_EQ(held->lastPort->name(), "Other Synth");
    EXPECT_TRUE(held->lastPort->closed());
    EXPECT_FALSE(state.MidiOutHandle);
    EXPECT_EQ(state.MidiResult, 0);
}

} // namespace
