// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/RtMidiPort.h"

#include "device/JackConnections.h"

#include <RtMidi.h>
#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include <unistd.h>

namespace qob {
namespace {

using namespace std::chrono_literals;

// JACK writes a message at the start of its next cycle; closing the port earlier loses it.
constexpr auto kDrainTime = 200ms;
// Longer than a JACK period at any usual setting (1024 frames at 44.1 kHz is 23 ms).
constexpr auto kCallbackGrace = 50ms;
// A new connection is routed from the server's next graph on; data sent at once could still go
// out on the old one and be dropped.
constexpr auto kConnectSettle = 50ms;
constexpr const char* kWatchClientName = "QOB-TANDRIX Editor watch";
// The kernel device behind the ALSA sequencer. Without it ALSA's attempt only fails noisily.
constexpr const char* kAlsaSequencerDevice = "/dev/snd/seq";

// libjack prints its complaints to stderr; keep them for our own report instead. The first
// one since an attempt names the cause, the later ones its consequences.
std::mutex g_jackMessageMutex;
std::string g_jackMessage;

void keepJackMessage(const char* text) {
    const std::lock_guard lock(g_jackMessageMutex);
    if (g_jackMessage.empty() && text)
        g_jackMessage = text;
}

void forgetJackMessage() {
    const std::lock_guard lock(g_jackMessageMutex);
    g_jackMessage.clear();
}

void routeJackMessages() {
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function(keepJackMessage);
        jack_set_info_function(keepJackMessage);
    });
}

std::string lastJackMessage() {
    const std::lock_guard lock(g_jackMessageMutex);
    return g_jackMessage;
}

bool mentions(const std::string& text, const char* word) {
    return text.find(word) != std::string::npos;
}

int codeFor(RtMidiError::Type type, const std::string& text) {
    if (mentions(text, "busy") || mentions(text, "in use"))
        return kMidiInUse;
    switch (type) {
    case RtMidiError::INVALID_DEVICE:
    case RtMidiError::INVALID_PARAMETER:
    case RtMidiError::NO_DEVICES_FOUND:
        return kMidiBadDevice;
    default:
        return kMidiError;
    }
}

MidiStatus statusOf(const RtMidiError& e) {
    return {codeFor(e.getType(), e.getMessage()), e.getMessage()};
}

// What RtMidi reports through its error callback, which replaces its printing and throwing.
// Lives on the heap so that its address, handed to RtMidi, stays put.
struct ErrorSink {
    bool failed = false;
    RtMidiError::Type type = RtMidiError::UNSPECIFIED;
    std::string text;

    static void callback(RtMidiError::Type type, const std::string& text, void* self) {
        auto* sink = static_cast<ErrorSink*>(self);
        if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING) {
            if (sink->text.empty())
                sink->text = text;
            return;
        }
        if (!sink->failed) {
            sink->failed = true;
            sink->type = type;
            sink->text = text;
        }
    }
    void reset() { *this = ErrorSink{}; }
    MidiStatus status() const {
        return failed ? MidiStatus{codeFor(type, text), text} : MidiStatus{};
    }
};

// A client of our own on the JACK server: the server tells it when it goes away, which RtMidi
// never notices, and it can look at the connections of any port.
class JackWatch {
public:
    static std::unique_ptr<JackWatch> open(std::string& why) {
        routeJackMessages();
        forgetJackMessage();
        jack_status_t status{};
        jack_client_t* client = jack_client_open(kWatchClientName, JackNoStartServer, &status);
        if (!client) {
            const char* server = std::getenv("JACK_DEFAULT_SERVER");
            const std::string named =
                std::string(" (server '") + (server && *server ? server : "default") + "')";
            why = (status & JackServerFailed) ? "no JACK server is running" + named
                                              : "the JACK server refused a client" + named;
            if (const std::string said = lastJackMessage(); !said.empty())
                why += ": " + said;
            return nullptr;
        }
        auto watch = std::unique_ptr<JackWatch>(new JackWatch(client));
        jack_on_shutdown(client, &JackWatch::onShutdown, watch.get());
        jack_activate(client);
        return watch;
    }
    ~JackWatch() { jack_client_close(m_client); }
    JackWatch(const JackWatch&) = delete;
    JackWatch& operator=(const JackWatch&) = delete;

    bool serverGone() const { return m_gone.load(); }

    // RtMidi takes the client name as given when it is free; pick one that is, so that we know
    // the full name of our port.
    std::string freeClientName(const std::string& base) const {
        constexpr int kTries = 100;
        for (int n = 1; n <= kTries; ++n) {
            const std::string name = n == 1 ? base : base + "-" + std::to_string(n);
            char* uuid = jack_get_uuid_for_client_name(m_client, name.c_str());
            if (!uuid)
                return name;
            jack_free(uuid);
        }
        return base + "-" + std::to_string(getpid()); // free in all likelihood
    }

    std::optional<int> connections(const std::string& portName) const {
        if (serverGone())
            return 0;
        return jackConnectionCount(m_client, portName.c_str());
    }

private:
    explicit JackWatch(jack_client_t* client) : m_client(client) {}
    static void onShutdown(void* self) { static_cast<JackWatch*>(self)->m_gone = true; }

    jack_client_t* m_client;
    std::atomic<bool> m_gone{false};
};

// An RtMidi output on a service that answered, with everything it needs to stay alive.
struct Backend {
    MidiStatus status;
    std::string service;
    std::string clientName;
    std::unique_ptr<ErrorSink> sink = std::make_unique<ErrorSink>();
    std::unique_ptr<JackWatch> watch; // JACK only
    std::unique_ptr<RtMidiOut> out;
};

class RtMidiOutPort : public MidiOutPort {
public:
    RtMidiOutPort(Backend backend, std::string name, std::string ownPortName)
        : m_backend(std::move(backend)), m_name(std::move(name)),
          m_ownPortName(std::move(ownPortName)) {}
    ~RtMidiOutPort() override { close(); }

    std::string name() const override { return m_name; }

    MidiStatus send(std::span<const std::uint8_t> message) override {
        const std::lock_guard lock(m_mutex);
        if (!m_backend.out)
            return {kMidiInvalidHandle, "the port is closed"};
        if (m_backend.watch && m_backend.watch->serverGone())
            return {kMidiNoService, "the JACK server has stopped"};
        m_backend.sink->reset();
        try {
            m_backend.out->sendMessage(message.data(), message.size());
        } catch (const RtMidiError& e) {
            return statusOf(e);
        }
        if (m_backend.sink->failed)
            return m_backend.sink->status();
        m_lastSend = std::chrono::steady_clock::now();
        m_sentAny = true;
        return {};
    }

    MidiStatus close() override {
        const std::lock_guard lock(m_mutex);
        if (!m_backend.out)
            return {kMidiInvalidHandle, "the port is already closed"};
        const bool gone = m_backend.watch && m_backend.watch->serverGone();
        if (m_sentAny && !gone)
            std::this_thread::sleep_until(m_lastSend + kDrainTime);
        m_backend.sink->reset();
        MidiStatus result;
        try {
            m_backend.out->closePort();
            result = m_backend.sink->status();
        } catch (const RtMidiError& e) {
            result = statusOf(e);
        }
        // RtMidi's JACK output frees its ring buffers before it closes its client, while the
        // process callback may still be inside them (seen as a crash in jack_ringbuffer_peek
        // about once in 30 sends). With the port gone the callback returns at once, so a few
        // periods' wait lets any callback in flight finish before the buffers go.
        if (m_backend.watch)
            std::this_thread::sleep_for(kCallbackGrace);
        m_backend.out.reset();
        m_backend.watch.reset();
        if (gone)
            result = {
                kMidiError,
                "the JACK server stopped while the port was open: recent messages may be lost"};
        return result;
    }

    std::optional<int> connectionCount() override {
        const std::lock_guard lock(m_mutex);
        if (!m_backend.out)
            return 0;
        if (!m_backend.watch)
            return std::nullopt; // RtMidi cannot tell on ALSA
        return m_backend.watch->connections(m_ownPortName);
    }

private:
    std::mutex m_mutex;
    Backend m_backend;
    std::string m_name;
    std::string m_ownPortName; // full JACK name of our port
    std::chrono::steady_clock::time_point m_lastSend;
    bool m_sentAny = false;
};

class RtMidiService : public MidiOutService {
public:
    explicit RtMidiService(MidiApiChoice choice) : m_choice(choice) {}

    PortListing listPorts() override {
        PortListing listing;
        Backend backend = connect();
        listing.status = backend.status;
        listing.service = backend.service;
        if (!backend.out)
            return listing;
        try {
            const unsigned count = backend.out->getPortCount();
            for (unsigned k = 0; k < count; ++k)
                listing.names.push_back(backend.out->getPortName(k));
        } catch (const RtMidiError& e) {
            listing.status = statusOf(e);
        }
        if (backend.sink->failed)
            listing.status = backend.sink->status();
        return listing;
    }

    OpenResult open(int device) override {
        Backend backend = connect();
        if (!backend.out)
            return {backend.status, nullptr};
        ErrorSink& sink = *backend.sink;
        try {
            const int count = static_cast<int>(backend.out->getPortCount());
            if (device < kMidiMapperDevice || device >= count)
                return {{kMidiBadDevice, "no output port has device number " +
                                             std::to_string(device) + ": " + backend.service +
                                             " lists " + std::to_string(count) + " port(s)"},
                        nullptr};
            std::string name = kVirtualPortName;
            if (device == kMidiMapperDevice) {
                backend.out->openVirtualPort(kVirtualPortName);
            } else {
                name = backend.out->getPortName(static_cast<unsigned>(device));
                backend.out->openPort(static_cast<unsigned>(device), kVirtualPortName);
            }
            if (sink.failed)
                return {sink.status(), nullptr};
            const std::string ownPort = backend.clientName + ":" + kVirtualPortName;
            // RtMidi does not look whether its connection to a named port was made.
            if (device != kMidiMapperDevice && backend.watch) {
                if (backend.watch->connections(ownPort).value_or(1) == 0)
                    return {{kMidiError, "could not connect to " + name}, nullptr};
                std::this_thread::sleep_for(kConnectSettle);
            }
            sink.reset();
            return {{}, std::make_shared<RtMidiOutPort>(std::move(backend), name, ownPort)};
        } catch (const RtMidiError& e) {
            return {statusOf(e), nullptr};
        }
    }

private:
    Backend connect() {
        Backend b;
        std::string alsaWhy;
        if (m_choice == MidiApiChoice::Alsa || (m_choice == MidiApiChoice::Automatic &&
                                                std::filesystem::exists(kAlsaSequencerDevice))) {
            try {
                b.clientName = kVirtualPortName;
                b.out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, b.clientName);
                b.out->setErrorCallback(&ErrorSink::callback, b.sink.get());
                b.service = "ALSA";
                return b;
            } catch (const RtMidiError& e) {
                alsaWhy = e.getMessage();
            }
        } else {
            alsaWhy = std::string("no ") + kAlsaSequencerDevice;
        }
        if (m_choice == MidiApiChoice::Alsa) {
            b.status = {kMidiNoService, "the ALSA sequencer cannot be opened: " + alsaWhy};
            return b;
        }

        std::string jackWhy;
        b.watch = JackWatch::open(jackWhy);
        if (!b.watch) {
            b.status = {kMidiNoService,
                        m_choice == MidiApiChoice::Jack
                            ? jackWhy
                            : "no MIDI service: the ALSA sequencer cannot be opened (" + alsaWhy +
                                  ") and " + jackWhy};
            return b;
        }
        try {
            b.clientName = b.watch->freeClientName(kVirtualPortName);
            b.out = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, b.clientName);
            b.out->setErrorCallback(&ErrorSink::callback, b.sink.get());
            b.service = "JACK";
        } catch (const RtMidiError& e) {
            b.out.reset();
            b.status = statusOf(e);
        }
        return b;
    }

    MidiApiChoice m_choice;
};

} // namespace

std::optional<MidiApiChoice> midiApiFromName(std::string_view name) {
    if (name == "alsa")
        return MidiApiChoice::Alsa;
    if (name == "jack")
        return MidiApiChoice::Jack;
    return std::nullopt;
}

std::shared_ptr<MidiOutService> makeRtMidiService(MidiApiChoice choice) {
    return std::make_shared<RtMidiService>(choice);
}

} // namespace qob
