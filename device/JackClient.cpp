// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/JackClient.h"

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>

namespace qob {
namespace {

using Clock = std::chrono::steady_clock;

// libjack prints its complaints to stderr; keep them for our own report instead. The first
// one since an attempt names the cause, the later ones its consequences.
std::mutex g_messageMutex;
std::string g_message;

void keepMessage(const char* text) {
    const std::lock_guard lock(g_messageMutex);
    if (g_message.empty() && text)
        g_message = text;
}

void routeMessages() {
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function(keepMessage);
        jack_set_info_function(keepMessage);
    });
}

std::string takeMessage() {
    const std::lock_guard lock(g_messageMutex);
    return std::exchange(g_message, {});
}

// libjack waits for a stopped server as long as it stays stopped: the open runs beside us,
// and a client that comes too late is closed by the thread that opened it.
jack_client_t* openBeside(const std::string& name, jack_status_t& status, bool& answered) {
    struct Attempt {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        bool abandoned = false;
        jack_client_t* client = nullptr;
        jack_status_t status{};
    };
    auto attempt = std::make_shared<Attempt>();
    std::thread([attempt, name] {
        jack_status_t st{};
        jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, &st);
        const std::lock_guard lock(attempt->mutex);
        if (attempt->abandoned) {
            if (client)
                jack_client_close(client);
            return;
        }
        attempt->client = client;
        attempt->status = st;
        attempt->finished = true;
        attempt->done.notify_all();
    }).detach();
    std::unique_lock lock(attempt->mutex);
    if (!attempt->done.wait_for(lock, kJackServiceWait, [&] { return attempt->finished; })) {
        attempt->abandoned = true;
        answered = false;
        return nullptr;
    }
    status = attempt->status;
    return attempt->client;
}

} // namespace

std::string jackServerName() {
    const char* server = std::getenv("JACK_DEFAULT_SERVER");
    return std::string("the JACK server '") + (server && *server ? server : "default") + "'";
}

jack_client_t* openJackClient(const char* name, MidiStatus& status) {
    routeMessages();
    takeMessage();
    jack_status_t js{};
    bool answered = true;
    jack_client_t* client = openBeside(name, js, answered);
    if (!answered) {
        status = {kMidiNoService, jackServerName() + " does not answer"};
        return nullptr;
    }
    if (!client) {
        std::string why = (js & JackServerFailed) ? "no JACK server is running"
                                                  : "the JACK server refused a client";
        why += " (" + jackServerName() + ")";
        if (const std::string said = takeMessage(); !said.empty())
            why += ": " + said;
        status = {kMidiNoService, why};
        return nullptr;
    }
    status = {};
    return client;
}

void closeJackClient(jack_client_t* client, bool active, const std::atomic<bool>& gone,
                     std::shared_ptr<void> keep) {
    if (!client || gone.load())
        return;
    auto closed = std::make_shared<std::atomic<bool>>(false);
    std::thread([client, active, closed, keep = std::move(keep)] {
        if (active)
            jack_deactivate(client);
        jack_client_close(client);
        closed->store(true);
        (void)keep;
    }).detach();
    const auto until = Clock::now() + kJackServiceWait;
    while (!closed->load() && !gone.load() && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace qob
