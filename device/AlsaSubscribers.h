// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qob {

// The ALSA sequencer as far as counting who listens to our own port goes. RtMidi cannot tell;
// the port's subscribers can. The calls sit behind plain functions so that a test can stand in
// for a sequencer (a machine without one cannot run the real thing).
struct AlsaSeqPort {
    int client = 0;
    int port = 0;
    std::string clientName;
    std::string portName;
    int pid = -1; // of the client's process, where the sequencer tells
};

struct AlsaSubscriberSeam {
    // Every port the sequencer has.
    std::function<std::vector<AlsaSeqPort>()> ports;
    // The read subscriber of `port` at `index` or later: the index it was found at, or nothing
    // when there is none (snd_seq_query_port_subscribers failing).
    std::function<std::optional<int>(const AlsaSeqPort& port, int index)> subscriberAt;

    // The real sequencer; empty functions when it cannot be opened.
    static AlsaSubscriberSeam sequencer();
};

// How many subscribers read from the port `portName` of the client `clientName` that process
// `pid` owns; nothing when there is no such port.
std::optional<int> alsaSubscriberCount(const std::string& clientName, const std::string& portName,
                                       int pid, const AlsaSubscriberSeam& seam);

} // namespace qob
