// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/JackMidiPort.h"

#include "device/JackClient.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

namespace qob {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// PipeWire's JACK makes a connection a moment after jack_connect returns.
constexpr auto kLinkWait = 1s;
// How often the sending thread looks at what the process callback did.
constexpr auto kPoll = 1ms;
// A process callback that stops coming means the server stopped answering; the same bound
// holds for every other wait on the server.
constexpr auto kCycleWait = 5s;
// How often a transfer looks whether its connection still stands.
constexpr auto kWatchEvery = 20ms;
// A new connection carries data from a later cycle on; let a few cycles pass first.
constexpr int kSettleCycles = 2;
// The server tells of a missed cycle a moment after it, on another thread, and one stalled client
// can make it miss several in a row. A transfer starts, and ends, only once no report has come
// for this long, so that a try is never blamed for the reports of the one before it.
constexpr auto kXrunQuiet = 60ms;
constexpr auto kXrunSettleLimit = 1s;
constexpr auto kConnectSettle = 50ms;

// Whole frames between two frame times, across the counter's wrap-around.
std::int64_t framesFrom(jack_nframes_t from, jack_nframes_t to) {
    return static_cast<std::int32_t>(to - from);
}

// One client on the server: the port list is read, the name resolved and the port opened on
// it, so what the user chose is what gets connected.
class JackOut : public MidiOutPort {
public:
    static std::unique_ptr<JackOut> connect(MidiStatus& status) {
        jack_client_t* client = openJackClient(kVirtualPortName, status);
        if (!client)
            return nullptr;
        auto out = std::unique_ptr<JackOut>(new JackOut(client));
        jack_on_shutdown(client, &JackOut::onShutdown, out->m_shared.get());
        return out;
    }

    ~JackOut() override { release(); }

    JackOut(const JackOut&) = delete;
    JackOut& operator=(const JackOut&) = delete;

    std::vector<std::string> inputs() const {
        std::vector<std::string> names;
        if (const char** ports =
                jack_get_ports(m_client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput)) {
            for (int i = 0; ports[i]; ++i)
                names.emplace_back(ports[i]);
            jack_free(ports);
        }
        return names;
    }

    // Our output port, active; connected to `target` unless it is empty.
    MidiStatus openPort(const std::string& target) {
        m_shared->port = jack_port_register(m_client, kVirtualPortName, JACK_DEFAULT_MIDI_TYPE,
                                            JackPortIsOutput, 0);
        if (!m_shared->port)
            return {kMidiError, "the JACK server would not give us a MIDI port"};
        m_rate = jack_get_sample_rate(m_client);
        jack_set_process_callback(m_client, &JackOut::onProcess, m_shared.get());
        jack_set_xrun_callback(m_client, &JackOut::onXrun, m_shared.get());
        if (jack_activate(m_client) != 0)
            return {kMidiError, "the JACK server would not run our client"};
        m_active = true;
        m_name = target.empty() ? kVirtualPortName : target;
        m_target = target;
        if (target.empty())
            return {};
        const int rc = jack_connect(m_client, jack_port_name(m_shared->port), target.c_str());
        if (rc != 0 && rc != EEXIST)
            return {kMidiError, "could not connect to " + target};
        if (!waitFor([&] { return jack_port_connected_to(m_shared->port, target.c_str()) != 0; },
                     kLinkWait))
            return {kMidiError, "could not connect to " + target +
                                    ": the connection did not "
                                    "come up within " +
                                    std::to_string(kLinkWait.count()) + " s"};
        const std::uint64_t seen = m_shared->cycles.load();
        waitFor([&] { return m_shared->cycles.load() >= seen + kSettleCycles; }, kLinkWait);
        std::this_thread::sleep_for(kConnectSettle);
        return {};
    }

    std::string name() const override { return m_name; }

    TransferOutcome transfer(const TransferSchedule& schedule) override {
        const std::lock_guard lock(m_mutex);
        TransferOutcome outcome;
        outcome.start = Clock::now();
        const auto finish = [&](TransferOutcome::Kind kind, std::string error) {
            outcome.kind = kind;
            outcome.handedOver = m_shared->next.load();
            if (kind == TransferOutcome::Kind::Failed)
                outcome.failedBlock = outcome.handedOver;
            outcome.error = std::move(error);
            outcome.end = Clock::now();
            return outcome;
        };
        // The count is still the last transfer's; the callback leaves it alone while not running.
        m_shared->next.store(0);
        if (!m_active)
            return finish(TransferOutcome::Kind::Failed, "the port is closed");
        if (m_shared->gone.load())
            return finish(TransferOutcome::Kind::Failed, "the JACK server has stopped");

        const std::uint64_t xrunsBefore = settledXruns();
        m_shared->blocks = schedule.blocks;
        m_shared->spacing = static_cast<jack_nframes_t>(m_rate * kBlockPause.count() / 1000);
        m_shared->done.store(false);
        m_shared->stop.store(false);
        m_shared->running.store(true, std::memory_order_release);

        int reported = 0;
        auto lastMove = Clock::now();
        auto lastWatch = Clock::now();
        std::uint64_t lastCycle = m_shared->cycles.load();
        for (;;) {
            const int next = m_shared->next.load(std::memory_order_acquire);
            for (; reported < next; ++reported)
                if (schedule.progress)
                    schedule.progress(reported + 1);
            if (m_shared->done.load()) {
                m_shared->running.store(false);
                outcome.missedCycle = settledXruns() != xrunsBefore;
                return finish(TransferOutcome::Kind::Sent, {});
            }
            if (m_shared->gone.load()) {
                m_shared->running.store(false);
                return finish(TransferOutcome::Kind::Failed, "the JACK server has stopped");
            }
            if (schedule.cancel.load()) {
                stopCallback();
                return finish(TransferOutcome::Kind::Cancelled, {});
            }
            if (Clock::now() - lastWatch >= kWatchEvery) {
                lastWatch = Clock::now();
                if (!connectionStands()) {
                    stopCallback();
                    return finish(TransferOutcome::Kind::Failed,
                                  m_target.empty() ? "nothing is connected to our port any more"
                                                   : "the connection to " + m_target + " was lost");
                }
            }
            const std::uint64_t cycle = m_shared->cycles.load();
            if (cycle != lastCycle) {
                lastCycle = cycle;
                lastMove = Clock::now();
            } else if (Clock::now() - lastMove > kCycleWait) {
                stopCallback();
                return finish(TransferOutcome::Kind::Failed, "the JACK server stopped answering");
            }
            std::this_thread::sleep_for(kPoll);
        }
    }

    MidiStatus close() override {
        const std::lock_guard lock(m_mutex);
        if (!m_client)
            return {kMidiInvalidHandle, "the port is already closed"};
        const bool gone = m_shared->gone.load();
        release();
        if (gone)
            return {kMidiError, "the JACK server stopped while the port was open"};
        return {};
    }

    MidiStatus serviceStatus() override {
        if (m_shared->gone.load())
            return {kMidiNoService, "the JACK server has stopped"};
        return {};
    }

    std::optional<int> connectionCount() override {
        const std::lock_guard lock(m_clientMutex);
        if (!m_client || !m_shared->port || m_shared->gone.load())
            return 0;
        return jack_port_connected(m_shared->port);
    }

private:
    explicit JackOut(jack_client_t* client) : m_client(client) {}

    template <typename Done> static bool waitFor(Done done, Clock::duration limit) {
        const auto until = Clock::now() + limit;
        while (!done()) {
            if (Clock::now() >= until)
                return false;
            std::this_thread::sleep_for(kPoll);
        }
        return true;
    }

    // The count of missed cycles once the server has gone quiet about them (bounded).
    std::uint64_t settledXruns() {
        const auto limit = Clock::now() + kXrunSettleLimit;
        std::uint64_t seen = m_shared->xruns.load();
        auto quietSince = Clock::now();
        while (Clock::now() - quietSince < kXrunQuiet && Clock::now() < limit &&
               !m_shared->gone.load()) {
            std::this_thread::sleep_for(kPoll);
            if (const std::uint64_t now = m_shared->xruns.load(); now != seen) {
                seen = now;
                quietSince = Clock::now();
            }
        }
        return seen;
    }

    // A named target must stay connected; our own port must keep at least one listener.
    bool connectionStands() {
        const std::lock_guard lock(m_clientMutex);
        if (!m_client || !m_shared->port)
            return false;
        if (m_target.empty())
            return jack_port_connected(m_shared->port) > 0;
        return jack_port_connected_to(m_shared->port, m_target.c_str()) != 0;
    }

    // Lets the callback see the stop and leave the schedule before the blocks may change.
    void stopCallback() {
        m_shared->stop.store(true);
        const std::uint64_t seen = m_shared->cycles.load();
        waitFor([&] { return m_shared->gone.load() || m_shared->cycles.load() >= seen + 2; }, 1s);
        m_shared->running.store(false);
    }

    void release() {
        const std::lock_guard lock(m_clientMutex);
        if (!m_client)
            return;
        // After the server went away, libjack's client is only half there: closing it can
        // crash, so it is left as it is.
        closeJackClient(m_client, m_active, m_shared->gone, m_shared);
        // The port stays in m_shared: a callback may still come until the client is closed.
        m_client = nullptr;
        m_active = false;
    }

    static void onShutdown(void* shared) { static_cast<Shared*>(shared)->gone = true; }
    static int onXrun(void* shared) {
        static_cast<Shared*>(shared)->xruns.fetch_add(1);
        return 0;
    }

    // Writes each due block at its own frame: the first at once, every later one exactly the
    // pause after the previous one, or at the start of this cycle if that moment has passed
    // (a stalled cycle), counting the next pause from there. Time is counted in our own cycles,
    // not read from the server: a callback that runs late reads the next cycle's start there,
    // which would place the block a period too early. A cycle we miss only lengthens a gap.
    static int onProcess(jack_nframes_t nframes, void* arg) {
        auto* rt = static_cast<Shared*>(arg);
        void* buffer = jack_port_get_buffer(rt->port, nframes);
        jack_midi_clear_buffer(buffer);
        rt->cycles.fetch_add(1);
        const jack_nframes_t cycleStart = rt->frames;
        rt->frames += nframes;
        if (!rt->running.load(std::memory_order_acquire) || rt->done.load() || rt->stop.load())
            return 0;
        int next = rt->next.load(std::memory_order_relaxed);
        while (next < kDumpBlocks) {
            jack_nframes_t offset = 0;
            if (next > 0) {
                const std::int64_t ahead = framesFrom(cycleStart, rt->lastFrame + rt->spacing);
                if (ahead >= static_cast<std::int64_t>(nframes))
                    break;
                offset = ahead > 0 ? static_cast<jack_nframes_t>(ahead) : 0;
            }
            const DumpBlock& block = rt->blocks[static_cast<std::size_t>(next)];
            if (jack_midi_event_write(buffer, offset, block.data(), block.size()) != 0)
                break; // no room left in this cycle's buffer: the next cycle takes it
            rt->lastFrame = cycleStart + offset;
            rt->next.store(++next, std::memory_order_release);
        }
        // The pause after the last block is part of the transfer.
        if (next == kDumpBlocks &&
            framesFrom(rt->lastFrame + rt->spacing, cycleStart + nframes) >= 0)
            rt->done.store(true);
        return 0;
    }

    std::mutex m_mutex;       // one transfer or close at a time
    std::mutex m_clientMutex; // the client's lifetime against questions from other threads
    jack_client_t* m_client;
    bool m_active = false;
    std::string m_name;
    std::string m_target; // empty for our own port
    jack_nframes_t m_rate = 48000;

    // What the process and shutdown callbacks touch. A close that the server holds up is
    // left to a thread of its own, which keeps this alive until the client is closed.
    struct Shared {
        jack_port_t* port = nullptr;
        std::atomic<bool> gone{false};
        // Cycles the server reported missed: the MIDI data of a late client's cycle is lost.
        std::atomic<std::uint64_t> xruns{0};
        std::atomic<std::uint64_t> cycles{0};
        // Set before `running`, read by the callback after it.
        DumpBlocks blocks{};
        jack_nframes_t spacing = 0;
        jack_nframes_t frames = 0;    // the callback's own: frames of the cycles it saw
        jack_nframes_t lastFrame = 0; // the callback's own: where the last block went
        std::atomic<bool> running{false};
        std::atomic<bool> stop{false};
        std::atomic<bool> done{false};
        std::atomic<int> next{0};
    };
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
};

class JackService : public MidiOutService {
public:
    PortListing listPorts() override {
        PortListing listing;
        listing.service = "JACK";
        const auto out = JackOut::connect(listing.status);
        if (out)
            listing.names = out->inputs();
        return listing;
    }

    OpenResult open(int device) override {
        MidiStatus status;
        std::shared_ptr<JackOut> out = JackOut::connect(status);
        if (!out)
            return {status, nullptr};
        std::string target;
        if (device != kMidiMapperDevice) {
            const std::vector<std::string> names = out->inputs();
            if (device < 0 || device >= static_cast<int>(names.size()))
                return {{kMidiBadDevice, "no output port has device number " +
                                             std::to_string(device) + ": JACK lists " +
                                             std::to_string(names.size()) + " port(s)"},
                        nullptr};
            target = names[static_cast<std::size_t>(device)];
        }
        return finishOpen(std::move(out), target);
    }

    OpenResult openNamed(const std::string& name) override {
        MidiStatus status;
        std::shared_ptr<JackOut> out = JackOut::connect(status);
        if (!out)
            return {status, nullptr};
        if (name == kMidiMapperName)
            return finishOpen(std::move(out), {});
        const std::vector<std::string> names = out->inputs();
        if (std::find(names.begin(), names.end(), name) == names.end())
            return {{kMidiBadDevice, "JACK has no input port named " + name + "."}, nullptr};
        return finishOpen(std::move(out), name);
    }

private:
    static OpenResult finishOpen(std::shared_ptr<JackOut> out, const std::string& target) {
        const MidiStatus status = out->openPort(target);
        if (!status.ok())
            return {status, nullptr};
        return {{}, out};
    }
};

} // namespace

std::shared_ptr<MidiOutService> makeJackMidiService() {
    return std::make_shared<JackService>();
}

} // namespace qob
