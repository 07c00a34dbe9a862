// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/RtMidiPort.h"

#include "device/AlsaSubscribers.h"
#include "device/JackMidiPort.h"
#include "device/ServiceChoice.h"

#include <RtMidi.h>

#include <filesystem>
#include <mutex>

#include <unistd.h>

namespace qob {
namespace {

// The kernel device behind the ALSA sequencer. Without it ALSA's attempt only fails noisily.
constexpr const char* kAlsaSequencerDevice = "/dev/snd/seq";

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

// An RtMidi output on the ALSA sequencer, with everything it needs to stay alive.
struct Backend {
    MidiStatus status;
    std::unique_ptr<ErrorSink> sink = std::make_unique<ErrorSink>();
    std::unique_ptr<RtMidiOut> out;
};

Backend connectAlsa() {
    Backend b;
    try {
        b.out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, kVirtualPortName);
        b.out->setErrorCallback(&ErrorSink::callback, b.sink.get());
    } catch (const RtMidiError& e) {
        b.out.reset();
        b.status = {kMidiNoService, "the ALSA sequencer cannot be opened: " + e.getMessage()};
    }
    return b;
}

// The sequencer takes one message at a time, so the pause is kept on our clock.
class AlsaOutPort : public MidiOutPort {
public:
    // Our own port gets one sequencer client for counting its listeners: `qob send` asks every
    // few milliseconds, and a client opened per question would flicker in every patchbay.
    AlsaOutPort(Backend backend, std::string name, bool own)
        : m_backend(std::move(backend)), m_name(std::move(name)),
          m_subscribers(own ? AlsaSubscriberSeam::sequencer() : AlsaSubscriberSeam{}) {}
    ~AlsaOutPort() override { close(); }

    std::string name() const override { return m_name; }

    TransferOutcome transfer(const TransferSchedule& schedule) override {
        const std::lock_guard lock(m_mutex);
        return paceBlocks(schedule, m_clock, [this](std::span<const std::uint8_t> message) {
            if (!m_backend.out)
                return MidiStatus{kMidiInvalidHandle, "the port is closed"};
            m_backend.sink->reset();
            try {
                m_backend.out->sendMessage(message.data(), message.size());
            } catch (const RtMidiError& e) {
                return statusOf(e);
            }
            return m_backend.sink->status();
        });
    }

    MidiStatus close() override {
        const std::lock_guard lock(m_mutex);
        if (!m_backend.out)
            return {kMidiInvalidHandle, "the port is already closed"};
        m_backend.sink->reset();
        MidiStatus result;
        try {
            m_backend.out->closePort();
            result = m_backend.sink->status();
        } catch (const RtMidiError& e) {
            result = statusOf(e);
        }
        m_backend.out.reset();
        const std::lock_guard seamLock(m_seamMutex);
        m_subscribers = {};
        return result;
    }

    // Our own port reaches the surface only once something subscribed to it; a connection
    // to a named port RtMidi made itself, and only it could tell.
    std::optional<int> connectionCount() override {
        const std::lock_guard lock(m_seamMutex);
        return alsaSubscriberCount(kVirtualPortName, kVirtualPortName, getpid(), m_subscribers);
    }

private:
    std::mutex m_mutex;
    Backend m_backend;
    std::string m_name;
    const TransferClock m_clock = TransferClock::steady();
    std::mutex m_seamMutex; // counting may come from another thread than a transfer or close
    AlsaSubscriberSeam m_subscribers; // empty for a named port, and once closed
};

class AlsaService : public MidiOutService {
public:
    PortListing listPorts() override {
        PortListing listing;
        listing.service = "ALSA";
        Backend backend = connectAlsa();
        listing.status = backend.status;
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
        Backend backend = connectAlsa();
        if (!backend.out)
            return {backend.status, nullptr};
        return openOn(std::move(backend), device);
    }

    OpenResult openOn(Backend backend, int device) {
        ErrorSink& sink = *backend.sink;
        try {
            const int count = static_cast<int>(backend.out->getPortCount());
            if (device < kMidiMapperDevice || device >= count)
                return {{kMidiBadDevice, "no output port has device number " +
                                             std::to_string(device) + ": ALSA lists " +
                                             std::to_string(count) + " port(s)"},
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
            sink.reset();
            return {{},
                    std::make_shared<AlsaOutPort>(std::move(backend), name,
                                                  device == kMidiMapperDevice)};
        } catch (const RtMidiError& e) {
            return {statusOf(e), nullptr};
        }
    }

    // RtMidi only opens by number: the name is looked up on the same sequencer client.
    OpenResult openNamed(const std::string& name) override {
        if (name == kMidiMapperName)
            return open(kMidiMapperDevice);
        Backend backend = connectAlsa();
        if (!backend.out)
            return {backend.status, nullptr};
        try {
            const unsigned count = backend.out->getPortCount();
            for (unsigned k = 0; k < count; ++k)
                if (backend.out->getPortName(k) == name)
                    return openOn(std::move(backend), static_cast<int>(k));
        } catch (const RtMidiError& e) {
            return {statusOf(e), nullptr};
        }
        return {{kMidiBadDevice, "ALSA has no output port named " + name + "."}, nullptr};
    }
};

// Automatic: the ALSA sequencer where it can be opened, else a running JACK server.
class AutomaticService : public MidiOutService {
public:
    PortListing listPorts() override {
        return alsaElseJack<MidiOutService>(m_alsa, *m_jack,
                                            [](MidiOutService& s) { return s.listPorts(); });
    }
    OpenResult open(int device) override {
        return alsaElseJack<MidiOutService>(m_alsa, *m_jack,
                                            [device](MidiOutService& s) { return s.open(device); });
    }
    OpenResult openNamed(const std::string& name) override {
        return alsaElseJack<MidiOutService>(
            m_alsa, *m_jack, [&name](MidiOutService& s) { return s.openNamed(name); });
    }

private:
    AlsaService m_alsa;
    std::shared_ptr<MidiOutService> m_jack = makeJackMidiService();
};

} // namespace

bool alsaSequencerPresent(std::string& why) {
    if (std::filesystem::exists(kAlsaSequencerDevice))
        return true;
    why = std::string("there is no ") + kAlsaSequencerDevice;
    return false;
}

std::optional<MidiApiChoice> midiApiFromName(std::string_view name) {
    if (name == "alsa")
        return MidiApiChoice::Alsa;
    if (name == "jack")
        return MidiApiChoice::Jack;
    return std::nullopt;
}

std::shared_ptr<MidiOutService> makeRtMidiService(MidiApiChoice choice) {
    switch (choice) {
    case MidiApiChoice::Alsa:
        return std::make_shared<AlsaService>();
    case MidiApiChoice::Jack:
        return makeJackMidiService();
    case MidiApiChoice::Automatic:
        break;
    }
    return std::make_shared<AutomaticService>();
}

} // namespace qob
