// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/DumpImport.h"

#include "device/DumpLayout.h"

#include "model/ReadOnlyFile.h"

#include "model/Cp1252.h"
#include "model/ElementNames.h"
#include "model/NumberText.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <map>
#include <set>

#include <unistd.h>

namespace qob {
namespace {

using namespace dumplayout;

constexpr std::uint8_t kTopBitsMask = 0x0F; // the top bits of four data bytes
constexpr int kLastBlock = kDumpBlocks - 1;
constexpr int kSlotBytes = kLastPresetSlot - kFirstPresetSlot + 1;

// The largest limit bytes BuildDeviceDump writes.
constexpr std::uint8_t kLimitHighMax = 0x7F; // 32767 / 256
constexpr int kLimitLowMax = 255;

// How many names a note or an error lists before it says how many more there are.
constexpr std::size_t kListed = 6;

std::string hex(std::uint8_t b) {
    return "0x" + hexByte(b);
}

std::string blockAt(std::size_t imageOffset) {
    return "block address " +
           std::to_string(addressOfBlock(static_cast<int>(imageOffset / kDumpBlockDataBytes)));
}

std::string listed(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size() && i < kListed; ++i)
        text += (i == 0 ? "" : ", ") + items[i];
    if (items.size() > kListed)
        text += " and " + std::to_string(items.size() - kListed) + " more";
    return text;
}

std::string slotList(const std::set<int>& slotNumbers) {
    std::vector<std::string> items;
    for (int s : slotNumbers)
        items.push_back(std::to_string(s));
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i)
        text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    return text;
}

// One SysEx message of the file: F0 up to its F7, or up to the next F0 or the end when the F7
// never comes.
struct Message {
    int number = 0;          // 1-based among the file's SysEx messages
    std::size_t offset = 0;  // of its F0 in the file
    std::string_view bytes;  // F0 ... F7, or the unterminated part
    bool terminated = false; // ends with F7
    bool cutByF0 = false;    // a new F0 came before its F7
};

class MessageScanner {
public:
    explicit MessageScanner(std::string_view bytes) : m_bytes(bytes) {}

    std::optional<Message> next() {
        while (m_at < m_bytes.size() && byte(m_at) != kSysExStart)
            ++m_at; // anything between messages is no concern of ours
        if (m_at >= m_bytes.size())
            return std::nullopt;
        Message m;
        m.number = ++m_count;
        m.offset = m_at;
        std::size_t end = m_at + 1;
        while (end < m_bytes.size() && byte(end) != kSysExEnd && byte(end) != kSysExStart)
            ++end;
        m.terminated = end < m_bytes.size() && byte(end) == kSysExEnd;
        m.cutByF0 = end < m_bytes.size() && byte(end) == kSysExStart;
        const std::size_t stop = m.terminated ? end + 1 : end;
        m.bytes = m_bytes.substr(m_at, stop - m_at);
        m_at = stop;
        return m;
    }

private:
    std::uint8_t byte(std::size_t i) const { return static_cast<std::uint8_t>(m_bytes[i]); }

    std::string_view m_bytes;
    std::size_t m_at = 0;
    int m_count = 0;
};

std::uint8_t at(const Message& m, std::size_t i) {
    return static_cast<std::uint8_t>(m.bytes[i]);
}

bool hasOurHeader(const Message& m) {
    return m.bytes.size() >= kBlockHeader.size() &&
           std::equal(kBlockHeader.begin(), kBlockHeader.end(), m.bytes.begin(),
                      [](std::uint8_t h, char b) { return h == static_cast<std::uint8_t>(b); });
}

std::optional<int> readableSlotByte(const Message& m) {
    if (m.bytes.size() <= kSlotOffset || at(m, kSlotOffset) > kDataBitsMask)
        return std::nullopt;
    return at(m, kSlotOffset);
}

std::optional<int> readableAddress(const Message& m) {
    if (m.bytes.size() <= kAddressHighOffset || at(m, kAddressLowOffset) > kDataBitsMask ||
        at(m, kAddressHighOffset) > kDataBitsMask)
        return std::nullopt;
    return ((at(m, kAddressHighOffset) >> kAddressHighShift) << kAddressLowBits) |
           at(m, kAddressLowOffset);
}

std::string whereIs(const Message& m) {
    std::string text =
        "message " + std::to_string(m.number) + " (byte " + std::to_string(m.offset) + ")";
    if (const std::optional<int> address = readableAddress(m))
        text += ", block address " + std::to_string(*address);
    return text;
}

// What is wrong with a message that carries our header, or nothing.
std::optional<std::string> malformation(const Message& m) {
    if (!m.terminated)
        return std::string("bad framing: no F7 before ") +
               (m.cutByF0 ? "the next F0" : "the end of the file");
    if (m.bytes.size() != kDumpBlockBytes)
        return "bad length: " + std::to_string(m.bytes.size()) + " bytes from F0 to F7, not " +
               std::to_string(kDumpBlockBytes);
    for (std::size_t k = 1; k + 1 < m.bytes.size(); ++k)
        if (at(m, k) > kDataBitsMask)
            return "data byte " + hex(at(m, k)) + " at offset " + std::to_string(k) +
                   " (data bytes are below 0x80)";
    if (at(m, kSlotOffset) >= kSlotBytes)
        return "slot byte " + hex(at(m, kSlotOffset)) + " is not a slot 0..7";
    const int address = *readableAddress(m);
    if (address >= kLastBlock && address != kLastBlockAddress)
        return "address " + std::to_string(address) + " is outside 0..190 and 1023";
    if (at(m, kTopBitsHighOffset) & ~kTopBitsMask)
        return "offset " + std::to_string(kTopBitsHighOffset) + " is " +
               hex(at(m, kTopBitsHighOffset)) + ", but only its bits 0..3 carry top bits";
    return std::nullopt;
}

struct Received {
    DumpBlock block;
    Message first;
};

DumpBlocksRead failure(DumpImportProblem problem, std::string error) {
    DumpBlocksRead r;
    r.problem = problem;
    r.error = std::move(error);
    return r;
}

// The text field of `width` bytes at `offset` without its padding blanks.
std::string fieldText(const DeviceDump& image, std::size_t offset, std::size_t width) {
    std::string text(reinterpret_cast<const char*>(image.data()) + offset, width);
    const std::size_t kept = text.find_last_not_of(static_cast<char>(kDumpTextPad));
    text.resize(kept == std::string::npos ? 0 : kept + 1);
    return text;
}

std::string quotedText(const std::string& cp1252) {
    // Appended: a literal + string inserts at the front, which GCC 12 -O3 warns about.
    std::string text = "\"";
    text += fromCp1252(cp1252).toUtf8().toStdString();
    text += '"';
    return text;
}

std::string recordName(int element, Layer layer) {
    std::string name = elementName(element);
    name += ' ';
    name += layerName(layer);
    return name;
}

// Collects, while the image is read, what it could not tell and what a file will not keep.
struct NoteTaker {
    bool paddingDropped = false;
    bool nameFull = false;
    std::vector<std::string> fullLabels;
    std::vector<std::string> sysExWithoutLabel;
    std::vector<std::string> ambiguousLimits;
    std::vector<std::string> quotesReplaced;
    std::vector<std::string> dawSysExLabels;

    void text(const std::string& where, const std::string& text, std::size_t width) {
        if (text.size() == width && width == kDumpNameBytes)
            nameFull = true;
        else if (text.size() == width)
            fullLabels.push_back(where + " " + quotedText(text));
        else if (!text.empty())
            paddingDropped = true;
        if (text.find('"') != std::string::npos)
            quotesReplaced.push_back(where);
    }

    std::vector<std::string> notes(const std::string& name) const {
        std::vector<std::string> out;
        if (nameFull)
            out.push_back("the name " + quotedText(name) + " fills its " +
                          std::to_string(kDumpNameBytes) + " bytes: a longer name was cut there");
        if (!fullLabels.empty())
            out.push_back("labels that fill their " + std::to_string(kDumpExplainBytes) +
                          " bytes may have been cut there: " + listed(fullLabels));
        if (paddingDropped)
            out.push_back("the image pads the name and labels with blanks: trailing blanks "
                          "were dropped");
        if (!sysExWithoutLabel.empty())
            out.push_back("the image carries no labels for MIDI-layer SysEx records, so these "
                          "are empty: " +
                          listed(sysExWithoutLabel));
        if (!ambiguousLimits.empty())
            out.push_back("limits of 1..255 are sent like -255..-1 and are read as 1..255: " +
                          listed(ambiguousLimits));
        if (!quotesReplaced.empty())
            out.push_back("a .qob file cannot hold a double quote: it is saved as ' in " +
                          listed(quotesReplaced));
        if (!dawSysExLabels.empty())
            out.push_back("a .qob file does not keep the label of a DAW-layer SysEx record, so "
                          "saving loses " +
                          listed(dawSysExLabels));
        return out;
    }
};

DumpImport imageFailure(std::string error) {
    DumpImport r;
    r.problem = DumpImportProblem::Image;
    r.error = std::move(error);
    return r;
}

void readHalf(const DeviceDump& image, std::size_t offset, ElementAssignment& a, bool midi,
              int element, NoteTaker& notes) {
    a.Mode = image[offset];
    a.Status = image[offset + 1];
    a.Data1 = image[offset + 2];
    a.Data2 = image[offset + 3];
    const std::size_t tail = offset + kHalfTailOffset;
    const std::string where = recordName(element, midi ? Layer::Midi : Layer::Daw);
    if (midi && a.Status == kStatusSysEx) {
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(tail), a.SysExTail.size(),
                    a.SysExTail.begin());
        notes.sysExWithoutLabel.push_back(elementName(element));
        return;
    }
    a.Explain = fieldText(image, tail, kDumpExplainBytes);
    notes.text(where, a.Explain, kDumpExplainBytes);
    if (!midi && a.Status == kStatusSysEx && !a.Explain.empty())
        notes.dawSysExLabels.push_back(where + " " + quotedText(a.Explain));
}

} // namespace

DumpBlocksRead readDumpBlocks(std::string_view syx, std::optional<int> slot) {
    if (slot && (*slot < kFirstPresetSlot || *slot > kLastPresetSlot))
        return failure(DumpImportProblem::NoSuchSlot,
                       "slot " + std::to_string(*slot) + " is not a slot 1..8");
    std::map<int, std::map<int, Received>> bySlot; // slot 1..8 -> block 0..191
    std::set<int> slotsSeen;
    int otherMessages = 0;
    MessageScanner scanner(syx);
    while (const std::optional<Message> m = scanner.next()) {
        if (!hasOurHeader(*m)) {
            ++otherMessages;
            continue;
        }
        const std::optional<int> slotByte = readableSlotByte(*m);
        if (slotByte && *slotByte < kSlotBytes)
            slotsSeen.insert(*slotByte + kFirstPresetSlot);
        if (slot && slotByte && *slotByte != *slot - kFirstPresetSlot)
            continue; // another transfer in the same capture; its state is no concern
        if (const std::optional<std::string> wrong = malformation(*m))
            return failure(DumpImportProblem::Malformed, whereIs(*m) + ": " + *wrong);

        DumpBlock block;
        std::copy(m->bytes.begin(), m->bytes.end(), block.begin());
        const int index = blockOfAddress(*readableAddress(*m));
        auto& blocks = bySlot[*slotByte + kFirstPresetSlot];
        const auto [it, inserted] = blocks.try_emplace(index, Received{block, *m});
        if (!inserted && it->second.block != block)
            return failure(DumpImportProblem::Conflict, whereIs(*m) + ": repeats the block of " +
                                                            whereIs(it->second.first) +
                                                            " with different bytes");
    }

    if (bySlot.empty()) {
        if (slot && !slotsSeen.empty())
            return failure(DumpImportProblem::NoSuchSlot,
                           "no blocks for slot " + std::to_string(*slot) + "; the file holds slot" +
                               (slotsSeen.size() > 1 ? "s " : " ") + slotList(slotsSeen));
        return failure(
            DumpImportProblem::NoBlocks,
            "no dump blocks: no SysEx message of the file starts F0 7D 12 34 10 02 21 (" +
                std::to_string(otherMessages) + " other SysEx messages)");
    }
    if (bySlot.size() > 1) {
        std::set<int> slotNumbers;
        for (const auto& entry : bySlot)
            slotNumbers.insert(entry.first);
        return failure(DumpImportProblem::SeveralSlots, "the file holds blocks for slots " +
                                                            slotList(slotNumbers) +
                                                            "; pick one slot");
    }

    const auto& [foundSlot, blocks] = *bySlot.begin();
    std::vector<std::string> missing;
    for (int i = 0; i < kDumpBlocks; ++i)
        if (!blocks.count(i))
            missing.push_back(std::to_string(addressOfBlock(i)));
    if (!missing.empty())
        return failure(DumpImportProblem::Missing,
                       std::to_string(missing.size()) + " of " + std::to_string(kDumpBlocks) +
                           " blocks for slot " + std::to_string(foundSlot) +
                           " are missing: block address " + listed(missing));

    DumpBlocksRead r;
    r.blocks.emplace();
    for (const auto& [index, received] : blocks)
        (*r.blocks)[static_cast<std::size_t>(index)] = received.block;
    r.slot = foundSlot;
    return r;
}

DeviceDump imageOfBlocks(const DumpBlocks& blocks) {
    DeviceDump image{};
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const DumpBlock& b = blocks[i];
        std::uint8_t* out = image.data() + i * kDumpBlockDataBytes;
        for (std::size_t k = 0; k < kDataGroupBytes; ++k) {
            out[k] = static_cast<std::uint8_t>(b[kLowDataOffset + k] |
                                               ((b[kAddressHighOffset] >> k) & 1) << kTopBitShift);
            out[kDataGroupBytes + k] = static_cast<std::uint8_t>(
                b[kHighDataOffset + k] | ((b[kTopBitsHighOffset] >> k) & 1) << kTopBitShift);
        }
    }
    return image;
}

DumpImport presetFromDeviceDump(const DeviceDump& image, int slot) {
    Preset p;
    p.PresetIndex = static_cast<std::int16_t>(slot);
    NoteTaker notes;

    const std::array<std::pair<const char*, std::int16_t*>, 4> limits{{
        {"Fader Limit value 1", &p.FaderLimit[0]},
        {"Fader Limit value 2", &p.FaderLimit[1]},
        {"V_Pot Limit value 1", &p.VPotLimit[0]},
        {"V_Pot Limit value 2", &p.VPotLimit[1]},
    }};
    std::size_t offset = kLimitsOffset;
    for (const auto& [field, value] : limits) {
        const std::uint8_t high = image[offset];
        const std::uint8_t low = image[offset + 1];
        if (high > kLimitHighMax)
            return imageFailure(blockAt(offset) + ": " + field + " is sent as " + hex(high) + " " +
                                hex(low) + ", which no limit -255..32767 gives");
        *value = static_cast<std::int16_t>(high << 8 | low);
        if (*value >= 1 && *value <= kLimitLowMax)
            notes.ambiguousLimits.push_back(std::string(field) + ": " + std::to_string(*value) +
                                            " (or " + std::to_string(*value - 256) + ")");
        offset += kLimitBytes;
    }
    for (std::size_t o = kDumpFillerOffset; o < image.size(); ++o)
        if (image[o] != kDumpFiller)
            return imageFailure(blockAt(o) + ": image byte " + std::to_string(o) + " is " +
                                hex(image[o]) + ", but bytes " + std::to_string(kDumpFillerOffset) +
                                ".." + std::to_string(kDumpBytes - 1) + " are filler " +
                                hex(kDumpFiller));

    p.Name = fieldText(image, kNameOffset, kDumpNameBytes);
    notes.text("the name", p.Name, kDumpNameBytes);
    for (int e = 0; e < kElementCount; ++e) {
        const std::size_t start =
            kDumpRecordsOffset + static_cast<std::size_t>(e) * kDumpRecordBytes;
        readHalf(image, start, p.Elements[e].Daw, false, e, notes);
        readHalf(image, start + kMidiHalfOffset, p.Elements[e].Midi, true, e, notes);
    }

    DumpImport r;
    r.notes = notes.notes(p.Name);
    r.preset = std::move(p);
    return r;
}

DumpImport importDeviceDump(std::string_view syx, std::optional<int> slot) {
    const DumpBlocksRead read = readDumpBlocks(syx, slot);
    if (!read.blocks) {
        DumpImport r;
        r.problem = read.problem;
        r.error = read.error;
        return r;
    }
    return presetFromDeviceDump(imageOfBlocks(*read.blocks), read.slot);
}

DumpImport importDumpFile(const QString& path, std::optional<int> slot) {
    const auto fail = [&](const std::string& reason) {
        DumpImport r;
        r.problem = DumpImportProblem::File;
        r.error = path.toStdString() + ": " + reason;
        return r;
    };
    const ReadOnlyFile file(path);
    if (!file.ok())
        return fail(file.error());
    const std::string tooBig =
        "is bigger than " + std::to_string(kMaxDumpFileBytes / (1024 * 1024)) + " MiB";
    if (file.size() > kMaxDumpFileBytes)
        return fail(tooBig);

    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(file.size()));
    std::array<char, 64 * 1024> chunk;
    for (;;) {
        const ssize_t n = ::read(file.fd(), chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(qt_error_string(errno).toStdString());
        if (n == 0)
            break;
        // The file may grow while it is read.
        if (bytes.size() + static_cast<std::size_t>(n) >
            static_cast<std::size_t>(kMaxDumpFileBytes))
            return fail(tooBig);
        bytes.append(chunk.data(), static_cast<std::size_t>(n));
    }
    return importDeviceDump(bytes, slot);
}

} // namespace qob
