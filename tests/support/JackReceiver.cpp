// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/JackReceiver.h"

#include "device/JackConnections.h"

#include <RtMidi.h>
#include <jack/jack.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace qob::test {

struct JackReceiver::Impl {
    mutable std::mutex mutex;
    std::vector<std::vector<std::uint8_t>> messages;
    std::string rtError;
    std::unique_ptr<RtMidiIn> in;
    jack_client_t* jack = nullptr; // for looking up and connecting ports
    std::atomic<int> xruns{0};

    static void onMessage(double, std::vector<unsigned char>* message, void* self) {
        auto* impl = static_cast<Impl*>(self);
        const std::lock_guard lock(impl->mutex);
        impl->messages.emplace_back(message->begin(), message->end());
    }
    static int onXrun(void* self) {
        ++static_cast<Impl*>(self)->xruns;
        return 0;
    }
    static void onError(RtMidiError::Type type, const std::string& text, void* self) {
        if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
            static_cast<Impl*>(self)->rtError = text;
    }
};

JackReceiver::JackReceiver(const std::string& clientName) : m_impl(std::make_unique<Impl>()) {
    jack_status_t status{};
    m_impl->jack = jack_client_open((clientName + "-ctl").c_str(), JackNoStartServer, &status);
    if (!m_impl->jack) {
        m_error = "no JACK server";
        return;
    }
    jack_set_xrun_callback(m_impl->jack, &Impl::onXrun, m_impl.get());
    jack_activate(m_impl->jack);
    try {
        m_impl->in = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, clientName);
        m_impl->in->setErrorCallback(&Impl::onError, m_impl.get());
        // SysEx is what we are here for; RtMidi ignores it unless told otherwise.
        m_impl->in->ignoreTypes(false, true, true);
        m_impl->in->setCallback(&Impl::onMessage, m_impl.get());
        m_impl->in->openVirtualPort("in");
    } catch (const RtMidiError& e) {
        m_error = e.getMessage();
        return;
    }
    if (!m_impl->rtError.empty())
        m_error = m_impl->rtError;
    m_portName = clientName + ":in";
    if (!jack_port_by_name(m_impl->jack, m_portName.c_str()))
        m_error = "the receiver's port " + m_portName + " does not show";
}

JackReceiver::~JackReceiver() {
    m_impl->in.reset();
    if (m_impl->jack)
        jack_client_close(m_impl->jack);
}

std::vector<std::vector<std::uint8_t>> JackReceiver::messages() const {
    const std::lock_guard lock(m_impl->mutex);
    return m_impl->messages;
}

bool JackReceiver::waitFor(std::size_t count, std::chrono::milliseconds timeout) const {
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        {
            const std::lock_guard lock(m_impl->mutex);
            if (m_impl->messages.size() >= count)
                return true;
        }
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
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

int JackReceiver::xruns() const {
    return m_impl->xruns.load();
}

int JackReceiver::connectionCount() const {
    if (!m_impl->jack)
        return 0;
    return jackConnectionCount(m_impl->jack, m_portName.c_str()).value_or(0);
}

} // namespace qob::test
