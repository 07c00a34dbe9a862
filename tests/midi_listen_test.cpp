// SPDX-License-Identifier: GPL-3.0-or-later
// Listening through a real MIDI service: a sender of the test's own writes messages at chosen
// frames and `qob monitor` tells what it heard, when, and which controls send it.
#include "model/ElementNames.h"
#include "model/PresetFile.h"
#include "tests/support/JackReceiver.h"
#include "tests/support/JackSender.h"
#include "tests/support/JackServer.h"
#include "tests/support/TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using namespace qob;
using namespace qob::test;
using namespace std::chrono_literals;

namespace {

constexpr int kProcessTimeout = 30000;

struct Listening {
    std::unique_ptr<OwnServer> server; // none under PipeWire: the session's own
    std::optional<JackSender> sender;
    QProcess monitor;

    // `qob monitor ARGS --port <the sender>`, connected before this returns.
    ::testing::AssertionResult start(QStringList args, int period = 128) {
        server = transferServer(period);
        if (server && !server->ready())
            return ::testing::AssertionFailure() << "the test's own JACK server did not start";
        {
            std::optional<ServerEnv> env;
            if (server)
                env.emplace(server->name());
            sender.emplace(uniqueName("sender").toStdString());
        }
        if (!sender->ok())
            return ::testing::AssertionFailure() << sender->error();
        args << "--port" << QString::fromStdString(sender->portName()) << "--api"
             << "jack";
        monitor.setProcessEnvironment(envOf(server.get()));
        monitor.start(QStringLiteral(QOB_CLI), QStringList{"monitor"} + args);
        for (int i = 0; i < 500 && sender->connections() == 0; ++i)
            QThread::msleep(10);
        if (sender->connections() == 0)
            return ::testing::AssertionFailure()
                   << "qob monitor did not connect: "
                   << QString::fromUtf8(monitor.readAllStandardError()).toStdString();
        return ::testing::AssertionSuccess();
    }
};

std::vector<QJsonObject> jsonLines(const QString& out) {
    std::vector<QJsonObject> lines;
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts))
        lines.push_back(QJsonDocument::fromJson(line.toUtf8()).object());
    return lines;
}

class JackListenTest : public ::testing::Test {};

// Each message is printed with the frame it came at, realtime bytes between them are counted
// and left out, a SysEx written in two pieces is one message, and the controls come DAW first.
TEST_F(JackListenTest, DeliveryIsExactToTheFrameWithTheControlsThatSendIt) {
    Preset p;
    p.Name = "Listen";
    p.Elements[2].Daw = {0, 0xB0, 7, 0, {}, {}};
    p.Elements[18].Midi = {0, 0x90, 36, 127, {}, {}};
    p.Elements[40].Daw = {0, 0x80, 36, 0, {}, {}};
    p.Elements[7].Midi = {0, 0xF0, 0x7E, 0x7F, {}, {0x09, 0x01, 0xF7}};
    p.Elements[6].Daw = {0, 0xE0, 0, 64, {}, {}};
    p.Elements[20].Midi = {0, 0xFF, 1, 22, {}, {}}; // a keystroke: never heard
    QTemporaryDir dir;
    const QString file = dir.filePath("listen.qob");
    ASSERT_TRUE(savePresetFile(file, p).ok);

    const std::vector<std::pair<int, Layer>> note{{40, Layer::Daw}, {18, Layer::Midi}};
    const struct {
        std::uint32_t frame;
        std::vector<std::uint8_t> bytes; // empty: the event below is a piece of the same one
        std::vector<std::pair<int, Layer>> controls;
        const char* event;
    } heard[] = {
        {0, {0xB0, 7, 100}, {{2, Layer::Daw}}, "CC 7 ch 1"},
        {480, {0x90, 36, 127}, note, "Note 36 ch 1"},
        {1000, {0x90, 36, 0}, note, "Note off 36 ch 1"},
        {1500, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, {{7, Layer::Midi}}, "SysEx 7E 7F 09 01"},
        {48000, {0xC0, 5}, {}, "Prog 5 ch 1"},
        {48001, {0xE0, 0, 0x40}, {{6, Layer::Daw}}, "Pitch bend ch 1"},
    };
    const std::vector<JackSender::Event> written{
        {0, {0xB0, 7, 100}},    {100, {0xF8}},
        {480, {0x90, 36, 127}}, {600, {0xFE}},
        {1000, {0x90, 36, 0}},  {1500, {0xF0, 0x7E, 0x7F}},
        {1501, {0xF8}},         {1600, {0x09, 0x01, 0xF7}},
        {48000, {0xC0, 5}},     {48001, {0xE0, 0, 0x40}},
    };

    Listening l;
    ASSERT_TRUE(l.start({file, "--json", "--count", QString::number(std::size(heard))}));
    ASSERT_TRUE(l.sender->send(written, 10s));
    const Outcome o = finish(l.monitor, kProcessTimeout);
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains("6 messages, 5 matched, 1 unknown, 3 realtime filtered, "
                               "0 dropped"))
        << o.err.toStdString();
    EXPECT_TRUE(o.err.contains("Button  3 (MIDI)")) << "the keystroke control named once";

    const std::vector<QJsonObject> lines = jsonLines(o.out);
    ASSERT_EQ(lines.size(), std::size(heard)) << o.out.toStdString();
    const double rate = l.sender->sampleRate();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i);
        const QJsonObject& line = lines[i];
        EXPECT_EQ(line.keys(), (QStringList{"bytes", "event", "matches", "t"}));
        EXPECT_NEAR(line["t"].toDouble(), heard[i].frame / rate, 0.6e-6);
        // PipeWire hands a Note On with velocity 0 on as the Note Off it means.
        std::vector<std::uint8_t> bytes = heard[i].bytes;
        if (underPipeWire() && bytes == std::vector<std::uint8_t>{0x90, 36, 0})
            bytes = {0x80, 36, 0x40};
        QStringList hex;
        for (const std::uint8_t b : bytes)
            hex << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
        EXPECT_EQ(line["bytes"].toString(), hex.join(' '));
        EXPECT_EQ(line["event"].toString(), heard[i].event);
        QJsonArray expected;
        for (const auto& [element, layer] : heard[i].controls)
            expected.append(QJsonObject{{"element", element},
                                        {"name", QString::fromStdString(elementName(element))},
                                        {"layer", QLatin1String(layerName(layer))}});
        EXPECT_EQ(line["matches"].toArray(), expected);
    }
}

// 20,000 messages in one second: all of them, in order, or the dropped ones counted exactly.
TEST_F(JackListenTest, ABurstArrivesWholeOrWithTheDropsCounted) {
    constexpr int kBurst = 20000;
    std::vector<JackSender::Event> burst;
    for (int i = 0; i < kBurst; ++i)
        burst.push_back(
            {static_cast<std::uint32_t>(i * 48000LL / kBurst),
             {0xB0, static_cast<std::uint8_t>(i % 128), static_cast<std::uint8_t>(i / 128 % 128)}});
    Listening l;
    ASSERT_TRUE(l.start({"--json", "--count", QString::number(kBurst), "--seconds", "10"}));
    ASSERT_TRUE(l.sender->send(burst, 20s));
    const Outcome o = finish(l.monitor, kProcessTimeout);
    const std::vector<QJsonObject> lines = jsonLines(o.out);
    const QRegularExpression dropped(QStringLiteral("realtime filtered, (\\d+) dropped"));
    const QRegularExpressionMatch m = dropped.match(o.err);
    ASSERT_TRUE(m.hasMatch()) << o.err.toStdString();
    const int drops = m.captured(1).toInt();
    EXPECT_EQ(static_cast<int>(lines.size()) + drops, kBurst);
    EXPECT_EQ(o.status, drops == 0 ? 0 : 1) << o.err.toStdString();
    // What did arrive came in order, and as sent.
    std::size_t at = 0;
    for (const QJsonObject& line : lines) {
        const QStringList bytes = line["bytes"].toString().split(' ');
        ASSERT_EQ(bytes.size(), 3);
        const int i = bytes[1].toInt(nullptr, 16) + 128 * bytes[2].toInt(nullptr, 16);
        while (at < burst.size() && (burst[at].bytes[1] + 128 * burst[at].bytes[2]) != i)
            ++at;
        ASSERT_LT(at, burst.size()) << "out of order: " << i;
    }
}

// A source whose process is killed and a server that stops both end the monitor with a message
// and exit 1; an unknown source is a usage error.
TEST_F(JackListenTest, ALostSourceOrServerEndsTheMonitor) {
    if (underPipeWire())
        GTEST_SKIP() << "the session's server is not the test's to stop";
    {
        const OwnServer server;
        ASSERT_TRUE(server.ready());
        const Outcome unknown =
            run(QOB_CLI, {"monitor", "--port", "nobody:out", "--api", "jack"}, server.env());
        EXPECT_EQ(unknown.status, 2);
        EXPECT_TRUE(unknown.err.contains("no MIDI source is named 'nobody:out'; JACK lists none"))
            << unknown.err.toStdString();

        // jack_midiseq plays a note every 100 ms until it is killed.
        const QString name = uniqueName("seq");
        QProcess seq;
        seq.setProcessEnvironment(server.env());
        seq.start(QStringLiteral("jack_midiseq"), {name, "4800", "0", "60", "2400"});
        std::optional<JackReceiver> probe;
        {
            const ServerEnv env(server.name());
            probe.emplace(uniqueName("probe").toStdString());
        }
        for (int i = 0; i < 500 && probe->outputsNamed(name.toStdString()).empty(); ++i)
            QThread::msleep(10);
        ASSERT_FALSE(probe->outputsNamed(name.toStdString()).empty())
            << "jack_midiseq did not start";
        QProcess monitor;
        monitor.setProcessEnvironment(server.env());
        monitor.start(QStringLiteral(QOB_CLI),
                      {"monitor", "--port", name + ":out", "--api", "jack"});
        ASSERT_TRUE(monitor.waitForReadyRead(5000)) << "no note was printed";
        seq.kill();
        seq.waitForFinished();
        const Outcome o = finish(monitor, kProcessTimeout);
        EXPECT_EQ(o.status, 1) << o.err.toStdString();
        EXPECT_TRUE(
            o.err.contains("listening ended: the connection from " + name + ":out was lost"))
            << o.err.toStdString();
    }
    Listening l;
    ASSERT_TRUE(l.start({}));
    ASSERT_TRUE(l.sender->send({{0, {0x90, 60, 100}}}, 5s));
    ASSERT_TRUE(l.monitor.waitForReadyRead(5000)) << "the message was not printed";
    l.server->kill();
    const Outcome o = finish(l.monitor, kProcessTimeout);
    EXPECT_EQ(o.status, 1) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains("1 message, 0 realtime filtered, 0 dropped")) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains("the JACK server has stopped")) << o.err.toStdString();
}

} // namespace
