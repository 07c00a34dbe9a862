// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/AlsaSubscribers.h"

#include <alsa/asoundlib.h>

#include <memory>

namespace qob {

std::optional<int> alsaSubscriberCount(const std::string& clientName, const std::string& portName,
                                       int pid, const AlsaSubscriberSeam& seam) {
    if (!seam.ports || !seam.subscriberAt)
        return std::nullopt;
    std::optional<AlsaSeqPort> ours;
    for (const AlsaSeqPort& p : seam.ports())
        if (p.clientName == clientName && p.portName == portName && p.pid == pid)
            ours = p;
    if (!ours)
        return std::nullopt;
    int count = 0;
    for (int index = 0; const std::optional<int> found = seam.subscriberAt(*ours, index);) {
        ++count;
        index = *found + 1;
    }
    return count;
}

AlsaSubscriberSeam AlsaSubscriberSeam::sequencer() {
    snd_seq_t* raw = nullptr;
    if (snd_seq_open(&raw, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0)
        return {};
    const std::shared_ptr<snd_seq_t> seq(raw, snd_seq_close);
    AlsaSubscriberSeam seam;
    seam.ports = [seq] {
        std::vector<AlsaSeqPort> found;
        snd_seq_client_info_t* client = nullptr;
        snd_seq_port_info_t* port = nullptr;
        snd_seq_client_info_alloca(&client);
        snd_seq_port_info_alloca(&port);
        snd_seq_client_info_set_client(client, -1);
        while (snd_seq_query_next_client(seq.get(), client) >= 0) {
            const int id = snd_seq_client_info_get_client(client);
            snd_seq_port_info_set_client(port, id);
            snd_seq_port_info_set_port(port, -1);
            while (snd_seq_query_next_port(seq.get(), port) >= 0)
                found.push_back(
                    {id, snd_seq_port_info_get_port(port), snd_seq_client_info_get_name(client),
                     snd_seq_port_info_get_name(port), snd_seq_client_info_get_pid(client)});
        }
        return found;
    };
    seam.subscriberAt = [seq](const AlsaSeqPort& p, int index) -> std::optional<int> {
        snd_seq_query_subscribe_t* query = nullptr;
        snd_seq_query_subscribe_alloca(&query);
        snd_seq_addr_t root{static_cast<unsigned char>(p.client),
                            static_cast<unsigned char>(p.port)};
        snd_seq_query_subscribe_set_root(query, &root);
        snd_seq_query_subscribe_set_type(query, SND_SEQ_QUERY_SUBS_READ);
        snd_seq_query_subscribe_set_index(query, index);
        if (snd_seq_query_port_subscribers(seq.get(), query) < 0)
            return std::nullopt;
        return snd_seq_query_subscribe_get_index(query);
    };
    return seam;
}

} // namespace qob
