// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device/DumpTransfer.h"
#include "device/MidiStatus.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qob {

// List entry 0 of the port list opens a port of our own, named so, that the user connects to
// the surface in a patchbay.
inline constexpr int kMidiMapperDevice = -1;
inline constexpr const char* kMidiMapperName = "MIDI Mapper";
inline constexpr const char* kVirtualPortName = "QOB-TANDRIX Editor";

// One open output port: the editor's MidiOutHandle.
class MidiOutPort {
public:
    virtual ~MidiOutPort() = default;

    // The port as the user knows it: the target's name, or the name of our own port.
    virtual std::string name() const = 0;
    // Sends the whole schedule, block after block with at least kBlockPause between two of them
    // however late any block was, and returns when it is done, cancelled or failed.
    virtual TransferOutcome transfer(const TransferSchedule& schedule) = 0;
    // Lets pending output leave, then closes. A second close gives kMidiInvalidHandle.
    virtual MidiStatus close() = 0;
    // How many ports our port is connected to, where the service can tell.
    virtual std::optional<int> connectionCount() { return std::nullopt; }
    // Whether the service behind the port is still there: kMidiNoService once it has gone.
    virtual MidiStatus serviceStatus() { return {}; }
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
    // Looks the name up and opens that port on one connection to the service, so a port list
    // that changed meanwhile cannot turn the name into another port; kMidiBadDevice when no
    // port has the name. kMidiMapperName opens our own port.
    virtual OpenResult openNamed(const std::string& name) = 0;
};

} // namespace qob
