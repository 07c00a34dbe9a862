// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/RtMidiIn.h"

#include "device/JackMidiIn.h"
#include "device/MidiInStream.h"
#include "device/ServiceChoice.h"

#include <RtMidi.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace qob {
namespace {

using Clock = std::chrono::steady_clock;

// How often a listener looks whether its source is still there: the sequencer does not say.
constexpr auto kWatchEvery = std::chrono::milliseconds(500);
// Events waiting to be taken; more are counted as dropped.
constexpr std::size_t kQueueLimit = 65536;

class RtMidiAlsaIn : public AlsaInBackend {
public:
    explicit RtMidiAlsaIn(std::unique_ptr<RtMidiIn> in) : m_in(std::move(in)) {
        m_in->setErrorCallback(&RtMidiAlsaIn::onError, this);
        m_in->ignoreTypes(false, false, false); // realtime bytes are counted, not lost unseen
    }
    ~RtMidiAlsaIn() override {
        m_in->cancelCallback();
        m_in->closePort();
    }

    std::vector<std::string> sources(MidiStatus& status) override {
        std::vector<std::string> names;
        try {
            const unsigned count = m_in->getPortCount();
            for (unsigned k = 0; k < count; ++k)
                names.push_back(m_in->getPortName(k));
        } catch (const RtMidiError& e) {
            status = {kMidiError, e.getMessage()};
        }
        return names;
    }

    MidiStatus open(const std::string& source, Receive receive, Fail fail) override {
        m_receive = std::move(receive);
        m_fail = std::move(fail);
        try {
            if (source.empty()) {
                m_in->openVirtualPort(kOwnInputPortName);
            } else {
                const unsigned count = m_in->getPortCount();
                unsigned k = 0;
                while (k < count && m_in->getPortName(k) != source)
                    ++k;
                if (k == count)
                    return {kMidiBadDevice, "ALSA has no MIDI source named " + source + "."};
                m_in->openPort(k, kOwnInputPortName);
            }
            m_in->setCallback(&RtMidiAlsaIn::onMessage, this);
        } catch (const RtMidiError& e) {
            return {kMidiError, e.getMessage()};
        }
        return {};
    }

private:
    static void onMessage(double delta, std::vector<unsigned char>* bytes, void* self) {
        if (bytes)
            static_cast<RtMidiAlsaIn*>(self)->m_receive(delta, *bytes);
    }
    static void onError(RtMidiError::Type type, const std::string& text, void* self) {
        auto* in = static_cast<RtMidiAlsaIn*>(self);
        if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING && in->m_fail)
            in->m_fail(text);
    }

    std::unique_ptr<RtMidiIn> m_in;
    Receive m_receive;
    Fail m_fail;
};

// Events arrive on the backend's thread and wait here until taken.
class AlsaIn : public MidiInPort {
public:
    AlsaIn(std::unique_ptr<AlsaInBackend> backend, std::string source)
        : m_backend(std::move(backend)), m_source(std::move(source)),
          m_name(m_source.empty() ? std::string(kOwnInputName) + ':' + kOwnInputPortName
                                  : m_source) {}
    ~AlsaIn() override {
        // Nothing may reach this object once it is gone.
        const std::unique_ptr<AlsaInBackend> closing = std::move(m_backend);
    }

    MidiStatus start() {
        return m_backend->open(
            m_source,
            [this](double delta, std::span<const std::uint8_t> bytes) {
                const std::lock_guard lock(m_mutex);
                m_clock += delta;
                if (m_queue.size() >= kQueueLimit) {
                    ++m_dropped;
                    return;
                }
                m_queue.push_back({{bytes.begin(), bytes.end()}, m_clock});
                m_arrived.notify_one();
            },
            [this](const std::string& why) {
                const std::lock_guard lock(m_mutex);
                if (m_failure.empty())
                    m_failure = why;
                m_arrived.notify_one();
            });
    }

    std::string name() const override { return m_name; }

    std::vector<HeardMessage> take(std::chrono::milliseconds wait) override {
        std::deque<HeardMessage> raw;
        {
            std::unique_lock lock(m_mutex);
            m_arrived.wait_for(lock, wait, [&] { return !m_queue.empty() || !m_failure.empty(); });
            raw.swap(m_queue);
        }
        std::vector<HeardMessage> heard;
        for (const HeardMessage& event : raw)
            m_stream.feed(event.bytes, event.time, heard);
        watch();
        return heard;
    }

    InputCounts counts() const override {
        const std::lock_guard lock(m_mutex);
        return {m_stream.realtime(), m_dropped + m_stream.broken()};
    }

    MidiStatus status() override {
        watch();
        const std::lock_guard lock(m_mutex);
        if (!m_queue.empty())
            return {}; // what came before the end is still to be taken
        if (!m_failure.empty())
            return {kMidiError, m_failure};
        return m_ended;
    }

private:
    void watch() {
        if (m_source.empty() || !m_ended.ok() || Clock::now() - m_lastWatch < kWatchEvery)
            return;
        m_lastWatch = Clock::now();
        MidiStatus listed;
        const std::vector<std::string> names = m_backend->sources(listed);
        if (listed.ok() && std::find(names.begin(), names.end(), m_source) == names.end())
            m_ended = {kMidiError, "the MIDI source " + m_source + " has gone"};
    }

    std::unique_ptr<AlsaInBackend> m_backend;
    std::string m_source;
    std::string m_name;
    mutable std::mutex m_mutex; // the queue against the backend's thread
    std::condition_variable m_arrived;
    std::deque<HeardMessage> m_queue;
    double m_clock = 0;
    std::uint64_t m_dropped = 0;
    std::string m_failure;
    MidiInStream m_stream;
    MidiStatus m_ended;
    Clock::time_point m_lastWatch = Clock::now();
};

class AlsaInService : public MidiInService {
public:
    explicit AlsaInService(AlsaInBackendFactory factory) : m_factory(std::move(factory)) {}

    PortListing listSources() override {
        PortListing listing;
        listing.service = "ALSA";
        if (const auto backend = m_factory(listing.status))
            listing.names = backend->sources(listing.status);
        return listing;
    }

    InputOpenResult openNamed(const std::string& name) override {
        MidiStatus status;
        auto backend = m_factory(status);
        if (!backend)
            return {status, nullptr};
        auto in = std::make_shared<AlsaIn>(std::move(backend),
                                           name == kOwnInputName ? std::string() : name);
        if (const MidiStatus started = in->start(); !started.ok())
            return {started, nullptr};
        return {{}, in};
    }

private:
    AlsaInBackendFactory m_factory;
};

// ALSA where the kernel offers its sequencer, else JACK.
class AutomaticInService : public MidiInService {
public:
    PortListing listSources() override {
        return alsaElseJack<MidiInService>(*m_alsa, *m_jack,
                                           [](MidiInService& s) { return s.listSources(); });
    }
    InputOpenResult openNamed(const std::string& name) override {
        return alsaElseJack<MidiInService>(*m_alsa, *m_jack,
                                           [&name](MidiInService& s) { return s.openNamed(name); });
    }

private:
    std::shared_ptr<MidiInService> m_alsa = makeAlsaMidiInService();
    std::shared_ptr<MidiInService> m_jack = makeJackMidiInService();
};

} // namespace

std::unique_ptr<AlsaInBackend> rtMidiAlsaInBackend(MidiStatus& status) {
    try {
        return std::make_unique<RtMidiAlsaIn>(
            std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, kOwnInputName));
    } catch (const RtMidiError& e) {
        status = {kMidiNoService, "the ALSA sequencer cannot be opened: " + e.getMessage()};
        return nullptr;
    }
}

std::shared_ptr<MidiInService> makeAlsaMidiInService(AlsaInBackendFactory factory) {
    return std::make_shared<AlsaInService>(std::move(factory));
}

std::shared_ptr<MidiInService> makeMidiInService(MidiApiChoice choice) {
    switch (choice) {
    case MidiApiChoice::Alsa:
        return makeAlsaMidiInService();
    case MidiApiChoice::Jack:
        return makeJackMidiInService();
    case MidiApiChoice::Automatic:
        break;
    }
    return std::make_shared<AutomaticInService>();
}

} // namespace qob
