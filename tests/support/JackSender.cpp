// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/JackSender.h"

#include "tests/support/JackTestClient.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <thread>

namespace qob::test {

struct JackSender::Impl {
    jack_client_t* jack = nullptr;
    jack_port_t* out = nullptr;
    std::vector<Event> events; // set before `armed`, read by the callback after it
    std::atomic<bool> armed{false};
    std::atomic<std::size_t> next{0};
    bool started = false; // the callback's own, like `base`
    jack_nframes_t base = 0;

    static int onProcess(jack_nframes_t nframes, void* arg) {
        auto* self = static_cast<Impl*>(arg);
        void* buffer = jack_port_get_buffer(self->out, nframes);
        jack_midi_clear_buffer(buffer);
        if (!self->armed.load(std::memory_order_acquire)) {
            self->started = false;
            return 0;
        }
        const jack_nframes_t cycleStart = jack_last_frame_time(self->jack);
        if (!self->started) {
            self->started = true;
            self->base = cycleStart;
        }
        std::size_t n = self->next.load(std::memory_order_relaxed);
        for (; n < self->events.size(); ++n) {
            const Event& e = self->events[n];
            // An event whose frame has passed (the server skipped frames) goes out at once.
            const auto ahead = static_cast<std::int32_t>(self->base + e.frame - cycleStart);
            if (ahead >= static_cast<std::int32_t>(nframes))
                break;
            const jack_nframes_t at = ahead > 0 ? static_cast<jack_nframes_t>(ahead) : 0;
            if (jack_midi_event_write(buffer, at, e.bytes.data(), e.bytes.size()) != 0)
                break; // this cycle's buffer is full: the next one takes it
        }
        self->next.store(n, std::memory_order_release);
        return 0;
    }
};

JackSender::JackSender(const std::string& clientName) : m_impl(std::make_unique<Impl>()) {
    m_error = startTestClient(clientName, "out", JackPortIsOutput, &Impl::onProcess, m_impl.get(),
                              m_impl->jack, m_impl->out);
    if (m_error.empty())
        m_portName = jack_port_name(m_impl->out);
}

JackSender::~JackSender() {
    if (m_impl->jack)
        jack_client_close(m_impl->jack);
}

std::uint32_t JackSender::sampleRate() const {
    return m_impl->jack ? jack_get_sample_rate(m_impl->jack) : 0;
}

int JackSender::connections() const {
    return m_impl->out ? jack_port_connected(m_impl->out) : 0;
}

std::uint64_t JackSender::timeOf(std::uint32_t frame) const {
    return jack_frames_to_time(m_impl->jack, m_impl->base + frame);
}

std::uint64_t JackSender::now() {
    return jack_get_time();
}

bool JackSender::send(std::vector<Event> events, std::chrono::milliseconds timeout) {
    m_impl->armed.store(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the callback lets go of them
    m_impl->events = std::move(events);
    m_impl->next.store(0);
    m_impl->armed.store(true, std::memory_order_release);
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (m_impl->next.load() < m_impl->events.size()) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace qob::test
