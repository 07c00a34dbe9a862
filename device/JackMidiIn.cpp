// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/JackMidiIn.h"

#include "device/JackClient.h"
#include "device/MidiInStream.h"

#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <semaphore.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <mutex>
#include <thread>

namespace qob {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// How often a listener looks whether its source is still connected.
constexpr auto kWatchEvery = 20ms;
constexpr auto kLinkWait = 1s; // PipeWire links a moment after jack_connect returns
constexpr auto kPoll = 1ms;

struct EventHeader {
    std::uint64_t frame; // on the server's clock, unwrapped past 32 bits
    std::uint32_t size;
};

// What the process and shutdown callbacks touch; kept alive until the client is closed.
struct Shared {
    explicit Shared(std::size_t ringBytes) : ring(jack_ringbuffer_create(ringBytes)) {
        sem_init(&ready, 0, 0);
        if (ring)
            jack_ringbuffer_mlock(ring); // may be refused without the rights; it still works
    }
    ~Shared() {
        if (ring)
            jack_ringbuffer_free(ring);
        sem_destroy(&ready);
    }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    jack_ringbuffer_t* ring;
    sem_t ready; // posted after a cycle that wrote events: sem_post neither locks nor allocates
    std::atomic<bool> gone{false};
    std::atomic<std::uint64_t> dropped{0};
    std::atomic<std::uint64_t> xruns{0};
    // The callback's own.
    std::uint64_t wraps = 0;
    jack_nframes_t lastStart = 0;
};

int onProcess(jack_nframes_t nframes, void* arg) {
    auto* rt = static_cast<Shared*>(arg);
    void* buffer = jack_port_get_buffer(rt->port, nframes);
    const jack_nframes_t start = jack_last_frame_time(rt->client);
    if (start < rt->lastStart)
        rt->wraps += std::uint64_t{1} << 32;
    rt->lastStart = start;
    const std::uint32_t count = jack_midi_get_event_count(buffer);
    bool wrote = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0)
            continue;
        const EventHeader header{rt->wraps + start + event.time,
                                 static_cast<std::uint32_t>(event.size)};
        if (jack_ringbuffer_write_space(rt->ring) < sizeof header + event.size) {
            rt->dropped.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        jack_ringbuffer_write(rt->ring, reinterpret_cast<const char*>(&header), sizeof header);
        jack_ringbuffer_write(rt->ring, reinterpret_cast<const char*>(event.buffer), event.size);
        wrote = true;
    }
    if (wrote)
        sem_post(&rt->ready);
    return 0;
}

int onXrun(void* arg) {
    static_cast<Shared*>(arg)->xruns.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

void onShutdown(void* arg) {
    static_cast<Shared*>(arg)->gone = true;
}

class JackIn : public MidiInPort {
public:
    JackIn(jack_client_t* client, std::size_t ringBytes)
        : m_client(client), m_shared(std::make_shared<Shared>(ringBytes)) {
        m_shared->client = client;
    }
    ~JackIn() override { closeJackClient(m_client, m_active, m_shared->gone, m_shared); }
    JackIn(const JackIn&) = delete;
    JackIn& operator=(const JackIn&) = delete;

    std::vector<std::string> sources() const {
        std::vector<std::string> names;
        const std::string ours = std::string(kVirtualPortName) + ':';
        if (const char** ports =
                jack_get_ports(m_client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput)) {
            for (int i = 0; ports[i]; ++i)
                if (std::string_view(ports[i]).substr(0, ours.size()) != ours)
                    names.emplace_back(ports[i]);
            jack_free(ports);
        }
        return names;
    }

    // Our input port, active; connected from `source` unless it is empty.
    MidiStatus openPort(const std::string& source) {
        if (!m_shared->ring)
            return {kMidiError, "no memory for the input buffer"};
        m_shared->port = jack_port_register(m_client, kOwnInputPortName, JACK_DEFAULT_MIDI_TYPE,
                                            JackPortIsInput, 0);
        if (!m_shared->port)
            return {kMidiError, "the JACK server would not give us a MIDI port"};
        m_rate = jack_get_sample_rate(m_client);
        jack_set_process_callback(m_client, &onProcess, m_shared.get());
        jack_on_shutdown(m_client, &onShutdown, m_shared.get());
        jack_set_xrun_callback(m_client, &onXrun, m_shared.get());
        if (jack_activate(m_client) != 0)
            return {kMidiError, "the JACK server would not run our client"};
        m_active = true;
        m_source = source;
        m_name = source.empty() ? jack_port_name(m_shared->port) : source;
        if (source.empty())
            return {};
        const int rc = jack_connect(m_client, source.c_str(), jack_port_name(m_shared->port));
        if (rc != 0 && rc != EEXIST)
            return {kMidiError, "could not connect from " + source};
        const auto until = Clock::now() + kLinkWait;
        while (!connected()) {
            if (Clock::now() >= until)
                return {kMidiError, "could not connect from " + source +
                                        ": the connection did not come up within 1 s"};
            std::this_thread::sleep_for(kPoll);
        }
        return {};
    }

    std::string name() const override { return m_name; }

    std::vector<HeardMessage> take(std::chrono::milliseconds wait) override {
        std::vector<HeardMessage> heard;
        const auto until = Clock::now() + wait;
        for (;;) {
            drain(heard);
            watch();
            if (!heard.empty() || !m_ended.ok() || Clock::now() >= until)
                return heard;
            waitForCycle(std::min<Clock::time_point>(until, Clock::now() + kWatchEvery));
        }
    }

    InputCounts counts() const override {
        return {m_stream.realtime(), m_shared->dropped.load() + m_stream.broken(),
                m_shared->xruns.load()};
    }

    MidiStatus status() override {
        watch();
        // What came before the end is still to be taken.
        if (jack_ringbuffer_read_space(m_shared->ring) >= sizeof(EventHeader))
            return {};
        return m_ended;
    }

private:
    bool connected() const { return jack_port_connected_to(m_shared->port, m_source.c_str()) != 0; }

    void watch() {
        if (!m_ended.ok())
            return;
        if (m_shared->gone.load()) {
            m_ended = {kMidiNoService, "the JACK server has stopped"};
            return;
        }
        if (m_source.empty() || Clock::now() - m_lastWatch < kWatchEvery)
            return;
        m_lastWatch = Clock::now();
        if (!connected())
            m_ended = {kMidiError, "the connection from " + m_source + " was lost"};
    }

    void waitForCycle(Clock::time_point until) {
        const auto left =
            std::chrono::duration_cast<std::chrono::nanoseconds>(until - Clock::now());
        if (left <= 0ns)
            return;
        timespec at{};
        clock_gettime(CLOCK_MONOTONIC, &at);
        const long long ns = at.tv_nsec + left.count();
        at.tv_sec += static_cast<time_t>(ns / 1'000'000'000);
        at.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        while (sem_clockwait(&m_shared->ready, CLOCK_MONOTONIC, &at) != 0 && errno == EINTR) {
        }
        while (sem_trywait(&m_shared->ready) == 0) {
        }
    }

    void drain(std::vector<HeardMessage>& heard) {
        jack_ringbuffer_t* ring = m_shared->ring;
        for (;;) {
            EventHeader header;
            const std::size_t ready = jack_ringbuffer_read_space(ring);
            if (ready < sizeof header)
                return;
            jack_ringbuffer_peek(ring, reinterpret_cast<char*>(&header), sizeof header);
            if (ready < sizeof header + header.size)
                return; // the callback is writing its bytes
            jack_ringbuffer_read_advance(ring, sizeof header);
            m_bytes.resize(header.size);
            jack_ringbuffer_read(ring, reinterpret_cast<char*>(m_bytes.data()), header.size);
            m_stream.feed(m_bytes, static_cast<double>(header.frame) / m_rate, heard);
        }
    }

    jack_client_t* m_client;
    bool m_active = false;
    std::string m_name;
    std::string m_source; // empty for our own port
    jack_nframes_t m_rate = 48000;
    std::shared_ptr<Shared> m_shared;
    MidiInStream m_stream;
    std::vector<std::uint8_t> m_bytes;
    MidiStatus m_ended;
    Clock::time_point m_lastWatch = Clock::now();
};

class JackInService : public MidiInService {
public:
    explicit JackInService(std::size_t ringBytes) : m_ringBytes(ringBytes) {}

    PortListing listSources() override {
        PortListing listing;
        listing.service = "JACK";
        if (auto in = connect(listing.status))
            listing.names = in->sources();
        return listing;
    }

    InputOpenResult openNamed(const std::string& name) override {
        MidiStatus status;
        std::shared_ptr<JackIn> in = connect(status);
        if (!in)
            return {status, nullptr};
        std::string source;
        if (name != kOwnInputName) {
            const std::vector<std::string> names = in->sources();
            if (std::find(names.begin(), names.end(), name) == names.end())
                return {{kMidiBadDevice, "JACK has no MIDI source named " + name + "."}, nullptr};
            source = name;
        }
        if (const MidiStatus opened = in->openPort(source); !opened.ok())
            return {opened, nullptr};
        return {{}, in};
    }

private:
    std::unique_ptr<JackIn> connect(MidiStatus& status) {
        jack_client_t* client = openJackClient(kOwnInputName, status);
        return client ? std::make_unique<JackIn>(client, m_ringBytes) : nullptr;
    }

    std::size_t m_ringBytes;
};

} // namespace

std::shared_ptr<MidiInService> makeJackMidiInService(std::size_t ringBytes) {
    return std::make_shared<JackInService>(ringBytes);
}

} // namespace qob
