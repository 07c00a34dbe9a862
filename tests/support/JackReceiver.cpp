// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/JackReceiver.h"

#include "tests/support/JackTestClient.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>

namespace qob::test {

namespace {
// Room for a few transfers; the process callback never allocates.
constexpr std::size_t kCapacity = 8192;
constexpr std::size_t kMaxBytes = 64;
} // namespace

struct JackReceiver::Impl {
    struct Slot {
        std::uint32_t frame;
        std::uint32_t size;
        std::array<std::uint8_t, kMaxBytes> bytes;
    };
    std::vector<Slot> slots = std::vector<Slot>(kCapacity);
    std::atomic<std::size_t> count{0}; // slots below it are complete
    jack_client_t* jack = nullptr;
    jack_port_t* in = nullptr;
    std::atomic<int> xruns{0};
    // Set before the messages that trigger them arrive; the callback reads them.
    std::array<std::atomic<std::size_t>, 4> stallAt{};
    std::atomic<long> stallMicros{0};

    static int onProcess(jack_nframes_t nframes, void* arg) {
        auto* self = static_cast<Impl*>(arg);
        void* buffer = jack_port_get_buffer(self->in, nframes);
        const jack_nframes_t cycleStart = jack_last_frame_time(self->jack);
        std::size_t n = self->count.load(std::memory_order_relaxed);
        const jack_nframes_t events = jack_midi_get_event_count(buffer);
        for (jack_nframes_t e = 0; e < events && n < kCapacity; ++e) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, e) != 0)
                continue;
            Slot& slot = self->slots[n++];
            slot.frame = cycleStart + event.time;
            slot.size = static_cast<std::uint32_t>(std::min(event.size, kMaxBytes));
            std::copy_n(event.buffer, slot.size, slot.bytes.begin());
        }
        for (auto& at : self->stallAt) {
            std::size_t target = at.load();
            if (target != 0 && n >= target && at.compare_exchange_strong(target, 0)) {
                // Deliberately late: what a busy desktop does to a client now and then.
                std::this_thread::sleep_for(std::chrono::microseconds(self->stallMicros.load()));
            }
        }
        self->count.store(n, std::memory_order_release);
        return 0;
    }
    static int onXrun(void* self) {
        ++static_cast<Impl*>(self)->xruns;
        return 0;
    }
};

JackReceiver::JackReceiver(const std::string& clientName) : m_impl(std::make_unique<Impl>()) {
    m_error = startTestClient(clientName, "in", JackPortIsInput, &Impl::onProcess, m_impl.get(),
                              m_impl->jack, m_impl->in, &Impl::onXrun);
    if (m_error.empty())
        m_portName = clientName + ":in";
}

JackReceiver::~JackReceiver() {
    if (m_impl->jack)
        jack_client_close(m_impl->jack);
}

std::uint32_t JackReceiver::sampleRate() const {
    return m_impl->jack ? jack_get_sample_rate(m_impl->jack) : 0;
}

std::vector<JackReceiver::Event> JackReceiver::events() const {
    const std::size_t n = m_impl->count.load(std::memory_order_acquire);
    std::vector<Event> events;
    events.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Impl::Slot& slot = m_impl->slots[i];
        events.push_back({{slot.bytes.begin(), slot.bytes.begin() + slot.size}, slot.frame});
    }
    return events;
}

std::vector<std::vector<std::uint8_t>> JackReceiver::messages() const {
    std::vector<std::vector<std::uint8_t>> messages;
    for (Event& e : events())
        messages.push_back(std::move(e.bytes));
    return messages;
}

bool JackReceiver::waitFor(std::size_t count, std::chrono::milliseconds timeout) const {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (m_impl->count.load() < count) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::vector<std::string> JackReceiver::outputsNamed(const std::string& part) const {
    std::vector<std::string> found;
    if (!m_impl->jack)
        return found;
    if (const char** names =
            jack_get_ports(m_impl->jack, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput)) {
        for (int i = 0; names[i]; ++i)
            if (std::string(names[i]).find(part) != std::string::npos)
                found.emplace_back(names[i]);
        jack_free(names);
    }
    return found;
}

bool JackReceiver::connectFrom(const std::string& output) {
    return m_impl->jack && jack_connect(m_impl->jack, output.c_str(), m_portName.c_str()) == 0;
}

bool JackReceiver::disconnectFrom(const std::string& output) {
    return m_impl->jack && jack_disconnect(m_impl->jack, output.c_str(), m_portName.c_str()) == 0;
}

void JackReceiver::stallAt(std::vector<std::size_t> at, std::chrono::milliseconds stall) {
    m_impl->stallMicros = static_cast<long>(stall.count()) * 1000;
    for (std::size_t i = 0; i < m_impl->stallAt.size(); ++i)
        m_impl->stallAt[i] = i < at.size() ? at[i] : 0;
}

int JackReceiver::xruns() const {
    return m_impl->xruns.load();
}

} // namespace qob::test
