// SPDX-License-Identifier: GPL-3.0-or-later
// The automatic choice of MIDI service, the same for output and input.
#pragma once

#include "device/MidiStatus.h"

#include <string>
#include <type_traits>

namespace qob {

// Whether the kernel offers the ALSA sequencer; without it ALSA's attempt only fails noisily.
// `why` says so when not.
bool alsaSequencerPresent(std::string& why);

// `call` on the ALSA service where the sequencer is there and answers, else on the JACK one; a
// JACK failure then also says why ALSA was passed over.
template <typename Service, typename Call>
std::invoke_result_t<const Call&, Service&> alsaElseJack(Service& alsa, Service& jack,
                                                         const Call& call) {
    std::string alsaWhy;
    if (alsaSequencerPresent(alsaWhy)) {
        auto result = call(alsa);
        if (result.status.code != kMidiNoService)
            return result;
        alsaWhy = result.status.detail;
    }
    auto result = call(jack);
    if (result.status.code == kMidiNoService)
        result.status.detail = "No MIDI service is running: for ALSA, " + alsaWhy + "; for JACK, " +
                               result.status.detail + ".";
    return result;
}

} // namespace qob
