// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <jack/jack.h>

#include <string>

namespace qob::test {

// A running client of the test's own, under exactly `name`, with one MIDI port `port` and
// `process` as its callback (and `xrun`, where given). Empty on success, else what went wrong;
// `client` is set whenever it was opened, for the caller to close.
inline std::string startTestClient(const std::string& name, const char* port, JackPortFlags flags,
                                   JackProcessCallback process, void* arg, jack_client_t*& client,
                                   jack_port_t*& registered, JackXRunCallback xrun = nullptr) {
    jack_status_t status{};
    client = jack_client_open(name.c_str(), jack_options_t(JackNoStartServer | JackUseExactName),
                              &status);
    if (!client)
        return "no JACK server, or the name " + name + " is taken";
    registered = jack_port_register(client, port, JACK_DEFAULT_MIDI_TYPE, flags, 0);
    if (!registered)
        return std::string("the server gave no MIDI port named ") + port;
    jack_set_process_callback(client, process, arg);
    if (xrun)
        jack_set_xrun_callback(client, xrun, arg);
    if (jack_activate(client) != 0)
        return "the server would not run " + name;
    return {};
}

} // namespace qob::test
