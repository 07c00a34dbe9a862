// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/MidiInStream.h"

#include "model/Preset.h"

namespace qob {
namespace {

constexpr std::uint8_t kFirstRealtime = 0xF8;

} // namespace

void MidiInStream::finishSysEx(std::vector<HeardMessage>& out) {
    if (m_skipping)
        ++m_broken;
    else
        out.push_back({std::move(m_sysex), m_sysexTime});
    m_sysex.clear();
    m_inSysEx = false;
    m_skipping = false;
}

void MidiInStream::feed(std::span<const std::uint8_t> bytes, double time,
                        std::vector<HeardMessage>& out) {
    std::vector<std::uint8_t> message;
    const auto flush = [&] {
        // A message without its status byte (a stray data byte) says nothing.
        if (!message.empty() && message.front() >= 0x80)
            out.push_back({std::move(message), time});
        message.clear();
    };
    for (const std::uint8_t b : bytes) {
        if (b >= kFirstRealtime) {
            ++m_realtime;
            continue;
        }
        if (m_inSysEx) {
            if (b == kSysExEnd) {
                if (!m_skipping)
                    m_sysex.push_back(b);
                finishSysEx(out);
                continue;
            }
            if (b < 0x80) {
                if (m_sysex.size() >= kLongestSysEx) {
                    m_skipping = true;
                    m_sysex.clear();
                }
                if (!m_skipping)
                    m_sysex.push_back(b);
                continue;
            }
            // Another status byte: the SysEx never got its end.
            ++m_broken;
            m_sysex.clear();
            m_inSysEx = m_skipping = false;
        }
        if (b == kSysExEnd) { // an end without its start
            flush();
            continue;
        }
        if (b == kStatusSysEx) {
            flush();
            m_inSysEx = true;
            m_sysexTime = time;
            m_sysex.assign(1, b);
            continue;
        }
        if (b >= 0x80)
            flush();
        message.push_back(b);
    }
    flush();
}

} // namespace qob
