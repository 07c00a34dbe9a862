// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qob {

// Return codes of opening and closing a port. They keep the numbers the editor reported on its
// first platform, so "Couldn't open midi out, rc = 2" means the same as it always did.
inline constexpr int kMidiOk = 0;
inline constexpr int kMidiError = 1;         // any other failure
inline constexpr int kMidiBadDevice = 2;     // the device number names no port
inline constexpr int kMidiInUse = 4;         // the port is taken by someone else
inline constexpr int kMidiInvalidHandle = 5; // closing when no port is open
inline constexpr int kMidiNoService = 6;     // no MIDI service is running

// List entry 0 of the port list opens a port of our own, named so, that the user connects to
// the surface in a patchbay.
inline constexpr int kMidiMapperDevice = -1;
inline constexpr const char* kMidiMapperName = "MIDI Mapper";
inline constexpr const char* kVirtualPortName = "QOB-TANDRIX Editor";

struct MidiStatus {
    int code = kMidiOk;
    std::string detail; // the backend's own words; empty on success
    bool ok() const { return code == kMidiOk; }
};

// One open output port: the editor's MidiOutHandle.
class MidiOutPort {
public:
    virtual ~MidiOutPort() = default;

    // The port as the user knows it: the target's name, or the name of our own port.
    virtual std::string name() const = 0;
    // Hands one complete System Exclusive message to the service.
    virtual MidiStatus send(std::span<const std::uint8_t> message) = 0;
    // Lets pending output leave, then closes. A second close gives kMidiInvalidHandle.
    virtual MidiStatus close() = 0;
    // How many ports our port is connected to, where the service can tell.
    virtual std::optional<int> connectionCount() { return std::nullopt; }
};

struct PortListing {
    MidiStatus status;              // kMidiNoService when there is nothing to list from
    std::string service;            // "ALSA", "JACK", or empty
    std::vector<std::string> names; // output ports in the service's order: device 0, 1, ...
};

struct OpenResult {
    MidiStatus status;
    std::shared_ptr<MidiOutPort> port; // set only on success
};

// The system's MIDI output: lists the ports and opens one by device number
// (kMidiMapperDevice for our own port).
class MidiOutService {
public:
    virtual ~MidiOutService() = default;
    virtual PortListing listPorts() = 0;
    virtual OpenResult open(int deviceNumber) = 0;
};

} // namespace qob
