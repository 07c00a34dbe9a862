// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Only for code that talks to the JACK server itself; the rest of the project never sees its
// headers.
#include <jack/jack.h>

#include <optional>

namespace qob {

// How many ports `portName` is connected to, as `client` sees it; nothing when no port has that
// name.
inline std::optional<int> jackConnectionCount(jack_client_t* client, const char* portName) {
    jack_port_t* port = jack_port_by_name(client, portName);
    if (!port)
        return std::nullopt;
    const char** names = jack_port_get_all_connections(client, port);
    int count = 0;
    if (names) {
        while (names[count])
            ++count;
        jack_free(names);
    }
    return count;
}

} // namespace qob
