// SPDX-License-Identifier: GPL-3.0-or-later
// The transfer through a real MIDI service: a JACK server with the dummy driver (started by
// scripts/with-jack.sh), a receiver of our own, the `qob` tool and the editor's window.
#include "device/DeviceDump.h"
#include "device/DumpTransfer.h"
#include "device/RtMidiPort.h"
#include "model/PresetFile.h"
#include "tests/support/JackReceiver.h"
#include "tests/support/JackServer.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WindowDriver.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <optional>

#include <signal.h>

#include <unistd.h>

using namespace qob;
using namespace qob::test;
using namespace std::chrono_literals;

namespace {

constexpr int kProcessTimeout = 20000; // ms; a send takes about 2 s
constexpr auto kArrival = 10s;
using Messages = std::vector<std::vector<std::uint8_t>>;

// A receiver on `server`, or on the server the test runs under when there is none.
::testing::AssertionResult startReceiver(std::unique_ptr<JackReceiver>& receiver,
                                         const OwnServer* server = nullptr) {
    if (server && !server->ready())
        return ::testing::AssertionFailure() << "the test's own JACK server did not start";
    std::optional<ServerEnv> env;
    if (server)
        env.emplace(server->name());
    receiver = std::make_unique<JackReceiver>(uniqueName("receiver").toStdString());
    if (!receiver->ok())
        return ::testing::AssertionFailure() << receiver->error();
    return ::testing::AssertionSuccess();
}

Outcome qob(const QStringList& args,
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    return run(QStringLiteral(QOB_CLI), args, env, kProcessTimeout);
}

// `qob` running beside the test; finish() collects what it said.
void startQob(QProcess& process, const QStringList& args,
              const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QOB_CLI), args);
}

// What `qob syx` writes for the file and slot, cut into its messages.
Messages syxMessages(const QString& file, int slot) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out.syx"));
    EXPECT_EQ(qob({"syx", file, "-o", out, "--slot", QString::number(slot)}).status, 0);
    const std::string bytes = bytesOf(out);
    Messages messages;
    for (std::size_t at = 0; at + kDumpBlockBytes <= bytes.size(); at += kDumpBlockBytes)
        messages.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                              bytes.begin() + static_cast<std::ptrdiff_t>(at + kDumpBlockBytes));
    return messages;
}

// A synchronous server waits for a late client instead of dropping its cycle, so what it reports
// as a missed cycle there was late, not lost. The sender cannot tell and says it may have lost a
// block; the copies it sent can still be checked.
bool waitsForLateClients(const OwnServer* server) {
    if (server)
        return server->synchronous();
    return !underPipeWire() && !qEnvironmentVariableIsEmpty("QOB_JACK_SYNC");
}

// Runs `send`, which returns an empty text on success, else what went wrong. A send must have
// left exactly `expected` as the last messages the receiver got: a sender that saw the server
// miss a cycle sends the whole dump again, and the surface keeps the newest copy. A send that
// said the server missed a cycle in every try is made again where that may have lost data; on
// a server that waits for late clients its last copy is checked all the same.
template <typename Send>
::testing::AssertionResult deliversExactly(const JackReceiver& receiver, const Messages& expected,
                                           bool lossless, Send send) {
    constexpr int kAttempts = 3;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        const std::size_t before = receiver.messages().size();
        const std::string error = send();
        const bool cyclesMissed = error.find("missed a cycle in each") != std::string::npos;
        if (cyclesMissed && !lossless) {
            std::fprintf(stderr, "attempt %d: the server missed a cycle in every try; again\n",
                         attempt);
            continue;
        }
        if (!error.empty() && !cyclesMissed)
            return ::testing::AssertionFailure() << error;
        // The sender is done; what is still coming leaves within a cycle or two.
        receiver.waitFor(before + expected.size(), 2s);
        QThread::msleep(100);
        const Messages all = receiver.messages();
        if (all.size() < before + expected.size())
            return ::testing::AssertionFailure()
                   << all.size() - before << " messages arrived, not " << expected.size();
        const Messages last(all.end() - static_cast<std::ptrdiff_t>(expected.size()), all.end());
        if (last == expected)
            return ::testing::AssertionSuccess();
        std::size_t d = 0;
        while (last[d] == expected[d])
            ++d;
        return ::testing::AssertionFailure()
               << "the last " << expected.size()
               << " messages are not the dump (first difference at message " << d + 1 << " of "
               << all.size() - before << " received)";
    }
    return ::testing::AssertionFailure() << "the server missed a cycle in every try, every time";
}

class JackTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("JACK_DEFAULT_SERVER") && !underPipeWire())
            GTEST_SKIP() << "needs the JACK server of scripts/with-jack.sh or with-pipewire.sh";
    }
};

// Checks the last 192 events: every gap on the receiver's frame clock at least the pause
// (rate / 100 frames), and the usual one exactly that.
::testing::AssertionResult spacedByThePause(const JackReceiver& receiver) {
    const auto events = receiver.events();
    if (events.size() < static_cast<std::size_t>(kDumpBlocks))
        return ::testing::AssertionFailure() << "only " << events.size() << " events";
    const std::uint32_t pause = receiver.sampleRate() / 100;
    const auto first = events.end() - kDumpBlocks;
    std::vector<std::uint32_t> gaps;
    for (auto e = first + 1; e != events.end(); ++e)
        gaps.push_back(e->frame - (e - 1)->frame);
    for (std::size_t i = 0; i < gaps.size(); ++i)
        if (gaps[i] < pause)
            return ::testing::AssertionFailure()
                   << "blocks " << i + 1 << " and " << i + 2 << " are " << gaps[i]
                   << " frames apart, less than the pause of " << pause;
    std::vector<std::uint32_t> sorted = gaps;
    std::sort(sorted.begin(), sorted.end());
    if (sorted[sorted.size() / 2] != pause)
        return ::testing::AssertionFailure() << "the median gap is " << sorted[sorted.size() / 2]
                                             << " frames, not the pause of " << pause;
    return ::testing::AssertionSuccess() << "longest gap " << sorted.back() << " frames";
}

// What `qob send` must deliver, and how: exactly the bytes of `qob syx` for the same file and
// slot, at least the pause apart on the server's own clock, whatever its period.
TEST_F(JackTest, DeliveryIsExactAndSpacedOnTheFrameClockAtEveryPeriod) {
    const Messages expected = syxMessages(kDefault, 5);
    const auto sendTo = [&](const JackReceiver& receiver, const QProcessEnvironment& env,
                            bool lossless) {
        return deliversExactly(receiver, expected, lossless, [&] {
            const Outcome sent = qob({"send", kDefault, "--port",
                                      QString::fromStdString(receiver.portName()), "--slot", "5"},
                                     env);
            return sent.status == 0 ? std::string() : "qob send: " + sent.err.toStdString();
        });
    };
    // Under PipeWire only the session's own period.
    const std::vector<int> periods =
        underPipeWire() ? std::vector<int>{0} : std::vector<int>{64, 128, 1024, 2048};
    for (const int period : periods) {
        SCOPED_TRACE(period ? "period " + std::to_string(period) : "the session's period");
        const std::unique_ptr<OwnServer> server = transferServer(period);
        std::unique_ptr<JackReceiver> receiver;
        ASSERT_TRUE(startReceiver(receiver, server.get()));
        ASSERT_TRUE(sendTo(*receiver, envOf(server.get()), waitsForLateClients(server.get())));
        EXPECT_TRUE(spacedByThePause(*receiver));
    }
}

// A loaded machine stops a process now and then: the blocks after the stall come later, never
// closer together. On a synchronous server, so that the server waits for the stopped sender
// rather than reading its port half-way (which no sender can make up for).
TEST_F(JackTest, ASenderStoppedMidTransferNeverSendsCloserThanThePause) {
    const std::unique_ptr<OwnServer> server = transferServer(128);
    std::unique_ptr<JackReceiver> receiver;
    ASSERT_TRUE(startReceiver(receiver, server.get()));
    EXPECT_TRUE(deliversExactly(
        *receiver, syxMessages(kDefault, 1), waitsForLateClients(server.get()), [&] {
            const std::size_t before = receiver->messages().size();
            QProcess send;
            startQob(send,
                     {"send", kDefault, "--port", QString::fromStdString(receiver->portName())},
                     envOf(server.get()));
            if (!receiver->waitFor(before + 60, kArrival))
                return std::string("the transfer did not start");
            ::kill(static_cast<pid_t>(send.processId()), SIGSTOP);
            QThread::msleep(80);
            ::kill(static_cast<pid_t>(send.processId()), SIGCONT);
            const Outcome sent = finish(send, kProcessTimeout);
            return sent.status == 0 ? std::string() : "qob send: " + sent.err.toStdString();
        }));
    EXPECT_TRUE(spacedByThePause(*receiver));
}

TEST_F(JackTest, QobSendDeliversTheSyxBytesThroughANamedPortAndThroughItsOwnPort) {
    std::unique_ptr<JackReceiver> receiver;
    ASSERT_TRUE(startReceiver(receiver));
    const QString target = QString::fromStdString(receiver->portName());

    const Outcome ports = qob({"ports", "--api", "jack"});
    ASSERT_EQ(ports.status, 0) << ports.err.toStdString();
    const QStringList lines = ports.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines[0], "0: MIDI Mapper");
    const QString entry = lines.filter(": " + target).value(0);
    ASSERT_FALSE(entry.isEmpty()) << ports.out.toStdString();
    const QString index = entry.section(':', 0, 0);

    struct Case {
        QString port;
        int slot;
    };
    for (const Case& c : {Case{index, 3}, Case{target, 8}}) {
        SCOPED_TRACE(c.port.toStdString());
        EXPECT_TRUE(deliversExactly(
            *receiver, syxMessages(kDefault, c.slot), waitsForLateClients(nullptr), [&] {
                const Outcome sent =
                    qob({"send", kDefault, "--port", c.port, "--slot", QString::number(c.slot)});
                if (sent.status != 0 || !sent.out.contains(target))
                    return "qob send: " + sent.err.toStdString();
                return std::string();
            }));
    }

    // Port 0 is a port of our own: qob waits until someone connects it.
    EXPECT_TRUE(
        deliversExactly(*receiver, syxMessages(kDefault, 2), waitsForLateClients(nullptr), [&] {
            QProcess send;
            startQob(send, {"send", kDefault, "--port", "0", "--slot", "2"});
            std::vector<std::string> own;
            for (int i = 0; i < 1000 && own.empty(); ++i, QThread::msleep(10))
                own = receiver->outputsNamed(kVirtualPortName);
            if (own.size() != 1 || !receiver->connectFrom(own[0]))
                return std::string("our own port did not show or would not connect");
            const Outcome sent = finish(send, kProcessTimeout);
            if (sent.status != 0 || !sent.err.contains("waiting"))
                return "qob send: " + sent.err.toStdString();
            return std::string();
        }));
}

TEST_F(JackTest, QobSendFailsWithAMessageAndNeverHangs) {
    // No port with that number.
    Outcome r = qob({"send", kDefault, "--port", "99", "--api", "jack"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("Couldn't open midi out, rc = 2")) << r.err.toStdString();

    // Our own port, and nobody connects it.
    r = qob({"send", kDefault, "--port", "0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("nothing was connected")) << r.err.toStdString();

    // No server under that name.
    QProcessEnvironment none = QProcessEnvironment::systemEnvironment();
    none.insert(QStringLiteral("JACK_DEFAULT_SERVER"), uniqueName("nobody"));
    r = qob({"send", kDefault, "--port", "0", "--api", "jack"}, none);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("Couldn't open midi out, rc = 6")) << r.err.toStdString();
    r = qob({"ports", "--api", "jack"}, none);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "0: MIDI Mapper\n");

    // The server dies in the middle of the transfer.
    OwnServer server;
    std::unique_ptr<JackReceiver> receiver;
    ASSERT_TRUE(startReceiver(receiver, &server));
    QProcess send;
    startQob(send, {"send", kDefault, "--port", QString::fromStdString(receiver->portName())},
             server.env());
    ASSERT_TRUE(receiver->waitFor(20, kArrival));
    server.kill();
    r = finish(send, kProcessTimeout);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(
        QRegularExpression("Sending stopped at block \\d+ of 192: the JACK server has stopped\\.")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("now holds a partial preset")) << r.err.toStdString();
    EXPECT_LT(receiver->messages().size(), 192u);
    receiver.reset();
}

// The connection to the target is watched while the blocks go out: when it goes, the send
// stops and says at which block, never "sent".
TEST_F(JackTest, QobSendStopsWhenTheTargetIsDisconnectedOrGone) {
    for (const bool portGoes : {false, true}) {
        SCOPED_TRACE(portGoes ? "the target's client ends" : "the connection is removed");
        std::unique_ptr<JackReceiver> receiver;
        ASSERT_TRUE(startReceiver(receiver));
        const QString target = QString::fromStdString(receiver->portName());
        QProcess send;
        startQob(send, {"send", kDefault, "--port", target, "--slot", "6"});
        ASSERT_TRUE(receiver->waitFor(40, kArrival));
        if (portGoes) {
            receiver.reset();
        } else {
            const auto own = receiver->outputsNamed(kVirtualPortName);
            ASSERT_EQ(own.size(), 1u);
            ASSERT_TRUE(receiver->disconnectFrom(own[0]));
        }
        const Outcome r = finish(send, kProcessTimeout);
        EXPECT_EQ(r.status, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(
            QRegularExpression("Sending stopped at block \\d+ of 192: the connection to " +
                               QRegularExpression::escape(target) + " was lost\\.")))
            << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("Slot 6 of the surface now holds a partial preset"));
        EXPECT_FALSE(r.out.contains("sent 192")) << r.out.toStdString();
        if (receiver) {
            EXPECT_LT(receiver->messages().size(), 192u);
        }
    }
}

// A send that cannot start hands nothing over, also after a complete send on the same port:
// the surface's slot was not touched, so nothing may call it partial.
TEST_F(JackTest, ASendThatCannotStartAfterACompleteOneHandsNothingOver) {
    struct Case {
        const char* how;
        std::function<void(OwnServer&, MidiOutPort&)> breakPort;
        std::string error;
    };
    const Case cases[] = {
        {"the port is closed",
         [](OwnServer&, MidiOutPort& port) { EXPECT_TRUE(port.close().ok()); },
         "the port is closed"},
        {"the server stops",
         [](OwnServer& server, MidiOutPort& port) {
             server.kill();
             EXPECT_TRUE(QTest::qWaitFor(
                 [&] { return port.serviceStatus().code == kMidiNoService; }, kProcessTimeout));
         },
         "the JACK server has stopped"},
    };
    Preset preset;
    ASSERT_TRUE(loadPresetFile(kDefault, preset).ok);
    const DumpBlocks blocks = makeDumpBlocks(*BuildDeviceDump(preset).image, 2);
    const std::atomic<bool> cancel{false};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        OwnServer server;
        std::unique_ptr<JackReceiver> receiver;
        ASSERT_TRUE(startReceiver(receiver, &server));
        OpenResult opened;
        {
            const ServerEnv env(server.name());
            opened = makeRtMidiService(MidiApiChoice::Jack)->openNamed(receiver->portName());
        }
        ASSERT_TRUE(opened.status.ok()) << opened.status.detail;
        const TransferOutcome first = transferDump(blocks, *opened.port, cancel);
        ASSERT_TRUE(first.sent()) << first.error;
        EXPECT_EQ(first.handedOver, kDumpBlocks);

        c.breakPort(server, *opened.port);
        const TransferOutcome second = transferDump(blocks, *opened.port, cancel);
        EXPECT_EQ(second.kind, TransferOutcome::Kind::Failed);
        EXPECT_EQ(second.error, c.error);
        EXPECT_EQ(second.handedOver, 0);
        EXPECT_EQ(second.failedBlock, 0);
        EXPECT_EQ(sendStoppedText(second), "Sending stopped at block 1 of 192: " + c.error + ".");
        opened.port.reset();
        receiver.reset();
    }
}

// A stopped server answers nothing: listing and sending give up after about 5 s, and Ctrl-C or
// SIGTERM end them at once; the server resumes unharmed.
TEST_F(JackTest, AStoppedServerNeverHangsQob) {
    OwnServer server;
    ASSERT_TRUE(server.ready());
    server.pause();
    const Outcome ports = qob({"ports", "--api", "jack"}, server.env());
    EXPECT_EQ(ports.status, 1);
    EXPECT_TRUE(ports.err.contains("does not answer")) << ports.err.toStdString();

    struct Case {
        QStringList args;
        const char* said;
        int status;
    };
    const Case cases[] = {
        {{"send", kDefault, "--port", "0", "--api", "jack"}, "interrupted", 1},
        {{"monitor", "--api", "jack"}, "interrupted", 1},
    };
    for (const Case& c : cases)
        for (const int signal : {SIGINT, SIGTERM}) {
            SCOPED_TRACE(c.args.join(' ').toStdString() +
                         (signal == SIGINT ? " Ctrl-C" : " SIGTERM"));
            QProcess qobProcess;
            startQob(qobProcess, c.args, server.env());
            ASSERT_TRUE(qobProcess.waitForStarted());
            QThread::msleep(500);
            ::kill(static_cast<pid_t>(qobProcess.processId()), signal);
            const Outcome o = finish(qobProcess, kProcessTimeout);
            EXPECT_EQ(o.status, c.status) << "the signal was not answered";
            EXPECT_TRUE(o.err.contains(c.said)) << o.err.toStdString();
        }
    // Listening when the server stops: the close, which would wait for it, is not waited for.
    server.resume();
    QProcess monitor;
    monitor.setReadChannel(QProcess::StandardError); // where it says it is listening
    startQob(monitor, {"monitor", "--api", "jack"}, server.env());
    ASSERT_TRUE(monitor.waitForReadyRead(kProcessTimeout)) << "it did not start listening";
    server.pause();
    ::kill(static_cast<pid_t>(monitor.processId()), SIGTERM);
    EXPECT_TRUE(monitor.waitForFinished(3000)) << "the close held qob monitor up";
    EXPECT_TRUE(QString::fromUtf8(monitor.readAllStandardError()).contains("0 messages"));
    server.resume();
}

// A client that stalls once on an asynchronous server loses the blocks of the cycles it
// missed; the sender hears of the missed cycle and sends the whole dump again. Stalled in every
// try, the sender must not claim success.
TEST_F(JackTest, ALateReceiverNeverLeavesADamagedCopyBehindASuccess) {
    if (underPipeWire())
        GTEST_SKIP() << "needs an asynchronous jackd of the test's own";
    const Messages expected = syxMessages(kDefault, 3);
    struct Case {
        std::vector<std::size_t> stallAt; // message counts at which the receiver stalls
        int status;
        const char* said;
    };
    const Case cases[] = {
        {{60}, 0, "(second try: the server missed a cycle)"},
        {{60, 252, 444}, 1, "Slot 3 of the surface may hold a damaged preset: send it again."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        // A long period: without realtime scheduling a short one misses cycles by itself.
        OwnServer server(1024, OwnServer::Mode::Asynchronous);
        std::unique_ptr<JackReceiver> receiver;
        ASSERT_TRUE(startReceiver(receiver, &server));
        receiver->stallAt(c.stallAt, 40ms);
        const Outcome sent = qob({"send", kDefault, "--port",
                                  QString::fromStdString(receiver->portName()), "--slot", "3"},
                                 server.env());
        EXPECT_EQ(sent.status, c.status) << sent.err.toStdString();
        EXPECT_TRUE((sent.out + sent.err).contains(c.said))
            << sent.out.toStdString() << sent.err.toStdString();
        EXPECT_GT(receiver->xruns(), 0);
        if (sent.status == 0) {
            const Messages all = receiver->messages();
            ASSERT_GE(all.size(), expected.size());
            EXPECT_EQ(Messages(all.end() - kDumpBlocks, all.end()), expected);
        }
    }
}

class JackWindowTest : public JackTest, public WindowDriver {
protected:
    void openWindow() {
        open([] { return makeRtMidiService(MidiApiChoice::Jack); });
        ASSERT_TRUE(loadPresetFile(kDefault, preset).ok);
    }
    int entryOf(const std::string& name) const {
        return portList()->findText(QString::fromStdString(name));
    }
};

TEST_F(JackWindowTest, SendThroughTheDialogDeliversTheSyxBytes) {
    std::unique_ptr<JackReceiver> receiver;
    ASSERT_TRUE(startReceiver(receiver));
    openWindow();
    preset.PresetIndex = 4;
    showPorts();
    EXPECT_EQ(listed().value(0), "MIDI Mapper");
    const int entry = entryOf(receiver->portName());
    ASSERT_GT(entry, 0) << listed().join(", ").toStdString();
    choosePort(entry);
    EXPECT_EQ(state.MidiResult, 0);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" / ").toStdString();

    const auto sendAndWait = [this] {
        click(AREA_SEND);
        if (!QTest::qWaitFor([this] { return !panelRow2().startsWith("Sending"); },
                             kProcessTimeout) ||
            !panelRow2().startsWith("Sent to slot 4")) {
            // Said once on the row and once in a message, which the check below counts.
            if (panelRow2().contains("missed a cycle in each"))
                messages.clear();
            return "the panel shows '" + panelRow2().toStdString() + "'";
        }
        return std::string();
    };
    EXPECT_TRUE(deliversExactly(*receiver, syxMessages(kDefault, 4), waitsForLateClients(nullptr),
                                sendAndWait));

    // MIDI Mapper: our own port. Unconnected, SEND refuses; connected, it delivers.
    choosePort(0);
    EXPECT_EQ(state.MidiResult, 0);
    click(AREA_SEND);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].contains("connected to nothing")) << messages[0].toStdString();
    const auto own = receiver->outputsNamed(kVirtualPortName);
    ASSERT_EQ(own.size(), 1u);
    ASSERT_TRUE(receiver->connectFrom(own[0]));
    messages.clear();
    EXPECT_TRUE(deliversExactly(*receiver, syxMessages(kDefault, 4), waitsForLateClients(nullptr),
                                sendAndWait));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" / ").toStdString();

    click(AREA_EXIT);
    EXPECT_EQ(state.MidiResult, 0);
    EXPECT_EQ(ends, 1);
}

TEST_F(JackWindowTest, FailuresEndWithAMessage) {
    // An empty selection names device -2.
    openWindow();
    showPorts();
    portList()->clear();
    pressOK();
    EXPECT_EQ(messages.value(0), "Couldn't open midi out, rc = 2");
    messages.clear();
    click(AREA_SEND);
    EXPECT_EQ(messages.value(0), "No MIDI port is open ! Please Click <MIDI DEVICE>");

    // No server: the list holds only the mapper, and opening it says so.
    {
        const ServerEnv env(uniqueName("nobody"));
        state = EditorState{};
        messages.clear();
        openWindow();
        showPorts();
        EXPECT_EQ(listed(), QStringList({"MIDI Mapper"}));
        choosePort(0);
        EXPECT_EQ(messages.value(0), "Couldn't open midi out, rc = 6");
    }

    // The server dies during a send.
    OwnServer server;
    std::unique_ptr<JackReceiver> receiver;
    ASSERT_TRUE(startReceiver(receiver, &server));
    {
        const ServerEnv env(server.name());
        state = EditorState{};
        messages.clear();
        openWindow();
        showPorts();
        choosePort(entryOf(receiver->portName()));
        ASSERT_TRUE(state.MidiOutHandle) << messages.join(" / ").toStdString();
    }
    click(AREA_SEND);
    ASSERT_TRUE(receiver->waitFor(20, kArrival));
    server.kill();
    QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 2, kProcessTimeout);
    EXPECT_TRUE(messages[0].startsWith("Sending stopped at block")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].endsWith(": the JACK server has stopped."))
        << messages[0].toStdString();
    EXPECT_EQ(messages[1], "Slot 1 of the surface now holds a partial preset: send it again.");
    click(AREA_EXIT); // closes the orphaned port without hanging
    EXPECT_EQ(ends, 1);
    EXPECT_NE(state.MidiResult, 0);
    receiver.reset();
}

} // namespace
