// SPDX-License-Identifier: GPL-3.0-or-later
// What our JACK clients, the sending one and the listening one, share: opening and closing a
// client with bounded waits, and libjack's complaints kept for our own messages.
#pragma once

#include "device/MidiStatus.h"

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

namespace qob {

// Every wait on the server is bounded by this: a stopped server holds a caller for as long as
// it stays stopped.
inline constexpr std::chrono::seconds kJackServiceWait{5};

// "the JACK server 'default'", or the one JACK_DEFAULT_SERVER names.
std::string jackServerName();

// A client named `name` (or the server's variant of it), not yet active; on failure, nullptr
// and kMidiNoService with the reason and what libjack said.
jack_client_t* openJackClient(const char* name, MidiStatus& status);

// Deactivates and closes `client` beside us, waiting until it is closed, `gone` is set (the
// server went away, and closing then could crash, so it is left), or kJackServiceWait passes.
// `keep` stays alive until the close is done: the callbacks' data.
void closeJackClient(jack_client_t* client, bool active, const std::atomic<bool>& gone,
                     std::shared_ptr<void> keep);

} // namespace qob
