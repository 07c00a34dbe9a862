// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/PresetFile.h"

#include "model/Cp1252.h"
#include "model/ElementNames.h"
#include "model/NumberText.h"

#include "model/PresetFileReading.h"
#include "model/ReadOnlyFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <limits>
#include <utility>
#include <vector>

#include <unistd.h>

namespace qob {
namespace {

constexpr std::string_view kTitleMarker = "* : QOB-TANDRIX";
constexpr std::string_view kTitleLine = "* : QOB-TANDRIX V1.0";
constexpr std::string_view kNameMarker = "* : Preset Name";
constexpr std::string_view kFaderLimitMarker = "* : Fader Limit";
constexpr std::string_view kVPotLimitMarker = "* : V_Pot Limit";
constexpr std::string_view kHeaderPrefix = "* : ";
constexpr std::string_view kDawMarker = "** : DAW";
constexpr std::string_view kMidiMarker = "** : MIDI";
constexpr std::string_view kLineEnd = "\r\n";
constexpr char kQuote = '"';
// A quote inside a text would end the item early for any reader, so it is saved as an apostrophe.
constexpr char kQuoteStandIn = '\'';
// How much of a wrong item a failure message quotes.
constexpr std::size_t kFoundExcerpt = 40;

class Writer {
public:
    void text(std::string_view t) {
        m_out += kQuote;
        for (char c : t)
            m_out += c == kQuote ? kQuoteStandIn : c;
        m_out += kQuote;
        m_out += kLineEnd;
    }

    template <typename Range> void numbers(const Range& values) {
        bool first = true;
        for (int v : values) {
            if (!first)
                m_out += ',';
            m_out += std::to_string(v);
            first = false;
        }
        m_out += kLineEnd;
    }
    void numbers(std::initializer_list<int> values) { numbers<>(values); }

    void record(std::string_view marker, const ElementAssignment& a) {
        text(marker);
        numbers({a.Mode});
        numbers({a.Status, a.Data1, a.Data2});
        if (a.Status == kStatusSysEx)
            numbers(a.SysExTail);
        else
            text(a.Explain);
    }

    std::string take() { return std::move(m_out); }

private:
    std::string m_out;
};

struct Item {
    std::string_view text; // points into the reader's bytes, valid until the next item is read
    bool quoted = false;
    bool tooLong = false; // longer than kMaxItemBytes; `text` holds only its start
    int line = 0;
};

struct ParseError {
    int line;
    std::string detail;
};

// A file that cannot be read on: the OS reason.
struct SourceError {
    std::string reason;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Splits the bytes into items: an item ends at a comma or a line end (LF, or CR LF), blanks and
// tabs before it are skipped, and a quoted item runs to the next quote whatever lies between.
// The bytes come either all at once or a chunk at a time from a file; then only the item being
// read is held, so memory stays bounded whatever the file holds.
class ItemReader {
public:
    explicit ItemReader(std::string_view bytes)
        : m_data(bytes.data()), m_size(bytes.size()), m_eof(true),
          m_endsWithLineFeed(!bytes.empty() && bytes.back() == '\n') {}

    ItemReader(int fd, const detail::ChunkedRead& how)
        : m_fd(fd), m_chunk(std::max<std::size_t>(1, how.chunkBytes)),
          m_afterChunk(how.afterChunk) {
        // The longest item that may be held, the number lookahead and one more chunk.
        m_buffer.resize(kMaxItemBytes + 2 * kNumberLookahead + m_chunk);
        m_data = m_buffer.data();
    }

    // The common case of a well-formed number item, read without building an Item. Leaves the
    // position alone and returns false for anything else, which the general path then reports.
    // The value goes out through a reference: a returned optional costs a store stall per number.
    bool plainNumber(long min, long max, long& out) {
        if (m_afterQuote)
            skipAfterQuote();
        if (m_junkTooLong)
            return false;
        if (!m_eof && m_size - m_pos < kNumberLookahead)
            lookAhead();
        std::size_t p = m_pos;
        const std::size_t n = m_size;
        const char* b = m_data;
        while (p < n && isBlank(b[p]))
            ++p;
        const bool negative = p < n && b[p] == '-';
        if (negative)
            ++p;
        const std::size_t digits = p;
        long value = 0;
        // Five digits cover every field; longer runs take the general path.
        while (p < n && p - digits < 6 && b[p] >= '0' && b[p] <= '9')
            value = value * 10 + (b[p++] - '0');
        if (p == digits || (p < n && b[p] >= '0' && b[p] <= '9'))
            return false;
        while (p < n && isBlank(b[p]))
            ++p;
        if (p < n && b[p] == '\r' && p + 1 < n && b[p + 1] == '\n')
            ++p;
        // The lookahead ran out before the separator: a long run of blanks, left to next().
        if (p == n && !m_eof)
            return false;
        if (p < n && b[p] != ',' && b[p] != '\n')
            return false;
        if (negative)
            value = -value;
        if (value < min || value > max)
            return false;
        if (p < n && b[p] == '\n')
            ++m_line;
        m_pos = p < n ? p + 1 : n;
        out = value;
        return true;
    }

    std::optional<Item> next() {
        if (m_afterQuote)
            skipAfterQuote();
        if (m_junkTooLong)
            return cutOff();
        std::size_t blanks = 0;
        for (;;) {
            while (m_pos < m_size && isBlank(m_data[m_pos])) {
                ++m_pos;
                ++blanks;
            }
            if (blanks > kMaxItemBytes)
                return cutOff();
            if (m_pos < m_size)
                break;
            if (!fill())
                return std::nullopt;
        }

        Item item;
        item.line = m_line;
        // Offsets from m_pos: a refill moves the held bytes, never the item's start.
        if (m_data[m_pos] == kQuote) {
            std::size_t close = 1;
            for (;;) {
                const void* q = std::memchr(m_data + m_pos + close, kQuote, m_size - m_pos - close);
                // Without a quote yet, everything held so far belongs to the item.
                const char* end = q ? static_cast<const char*>(q) : m_data + m_size;
                close = static_cast<std::size_t>(end - (m_data + m_pos));
                if (blanks + close - 1 > kMaxItemBytes)
                    return tooLong(1, true);
                if (q)
                    break;
                if (!fill())
                    throw ParseError{m_line, "a text item opened with \" is not closed before the "
                                             "file ends"};
            }
            item.text = std::string_view(m_data + m_pos + 1, close - 1);
            item.quoted = true;
            m_line += static_cast<int>(std::count(item.text.begin(), item.text.end(), '\n'));
            m_pos += close + 1;
            // Whatever stands between the closing quote and the separator is dropped, but only
            // when the next item is wanted: nothing after the last item is ever read.
            m_afterQuote = true;
            return item;
        }

        std::size_t end = 0;
        for (;;) {
            end = findSeparator(m_pos + end) - m_pos;
            if (m_pos + end < m_size)
                break;
            // One byte more for the CR that a CR LF line end strips.
            if (blanks + end > kMaxItemBytes + 1)
                return tooLong(0);
            if (!fill())
                break;
        }
        std::size_t length = end;
        const bool lineEnd = m_pos + end < m_size && m_data[m_pos + end] == '\n';
        if (lineEnd && length > 0 && m_data[m_pos + length - 1] == '\r')
            --length;
        if (blanks + length > kMaxItemBytes)
            return tooLong(0);
        item.text = std::string_view(m_data + m_pos, length);
        if (lineEnd)
            ++m_line;
        m_pos = std::min(m_size, m_pos + end + 1);
        return item;
    }

    // The number of the file's last line, for a file that ends too early.
    int lastLine() const { return std::max(1, m_line - (m_endsWithLineFeed ? 1 : 0)); }

private:
    // Bytes before a number's separator that plainNumber wants to see at once.
    static constexpr std::size_t kNumberLookahead = 64;

    // A plain loop: string_view::find_first_of calls memchr once per byte, several times slower.
    std::size_t findSeparator(std::size_t from) const {
        while (from < m_size && m_data[from] != ',' && m_data[from] != '\n')
            ++from;
        return from;
    }

    // Kept out of line, like the other rare paths, so that the number path stays small.
    [[gnu::noinline]] void lookAhead() {
        while (m_size - m_pos < kNumberLookahead && fill()) {
        }
    }

    // Drops the bytes after a closing quote up to and with the separator.
    void skipAfterQuote() {
        m_afterQuote = false;
        std::size_t dropped = 0;
        for (;;) {
            const std::size_t sep = findSeparator(m_pos);
            dropped += sep - m_pos;
            m_pos = sep;
            // Held to the same limit as an item, CR included.
            m_junkTooLong = dropped > kMaxItemBytes + 1;
            if (m_junkTooLong)
                return;
            if (sep < m_size) {
                if (m_data[sep] == '\n')
                    ++m_line;
                ++m_pos;
                return;
            }
            if (!fill())
                return;
        }
    }

    // An item cut off at the limit whose bytes are dropped already (blanks, bytes after a quote).
    Item cutOff() const {
        Item item;
        item.tooLong = true;
        item.line = m_line;
        return item;
    }

    // An item cut off at the limit, with enough of its start for the message; `skip` leaves out
    // its opening quote.
    Item tooLong(std::size_t skip, bool quoted = false) const {
        Item item;
        item.tooLong = true;
        item.quoted = quoted;
        item.line = m_line;
        const std::size_t from = std::min(m_size, m_pos + skip);
        item.text = std::string_view(m_data + from, std::min(m_size - from, kFoundExcerpt + 1));
        return item;
    }

    // Moves the unread bytes to the front and appends the next chunk; false at the file's end.
    [[gnu::noinline]] bool fill() {
        if (m_eof)
            return false;
        if (m_pos > 0) {
            std::memmove(m_buffer.data(), m_buffer.data() + m_pos, m_size - m_pos);
            m_size -= m_pos;
            m_pos = 0;
        }
        const std::size_t room = std::min(m_chunk, m_buffer.size() - m_size);
        std::size_t got = 0;
        for (;;) {
            const ssize_t n = ::read(m_fd, m_buffer.data() + m_size, room);
            if (n >= 0) {
                got = static_cast<std::size_t>(n);
                break;
            }
            if (errno != EINTR)
                throw SourceError{qt_error_string(errno).toStdString()};
        }
        if (got == 0) {
            m_eof = true;
            return false;
        }
        m_size += got;
        m_endsWithLineFeed = m_buffer[m_size - 1] == '\n';
        m_bytesRead += got;
        if (m_afterChunk)
            m_afterChunk(m_bytesRead);
        return true;
    }

    const char* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_pos = 0;
    bool m_eof = false;
    bool m_endsWithLineFeed = false;
    bool m_afterQuote = false;
    bool m_junkTooLong = false;
    int m_line = 1;

    int m_fd = -1;
    std::size_t m_chunk = 0;
    std::function<void(std::uint64_t)> m_afterChunk;
    std::uint64_t m_bytesRead = 0;
    std::vector<char> m_buffer;
};

// The found item as a failure message shows it: escaped as everywhere else, UTF-8, shortened.
std::string foundText(const Item& item) {
    if (item.tooLong) {
        std::string text = "an item longer than " + std::to_string(kMaxItemBytes) + " bytes";
        if (item.text.empty())
            return text;
        Item start = item;
        start.tooLong = false;
        return text + ": " + foundText(start);
    }
    if (item.text.empty() && !item.quoted)
        return "an empty item";
    std::string shown =
        shownText(std::string_view(item.text).substr(0, kFoundExcerpt)).toUtf8().toStdString();
    if (item.text.size() > kFoundExcerpt)
        shown += "...";
    return (item.quoted ? "the text \"" : "\"") + shown + "\"";
}

// A number item: an optional minus and decimal digits; blanks and tabs around it are ignored.
std::optional<long> parseNumber(const Item& item) {
    if (item.quoted)
        return std::nullopt;
    std::string_view s = item.text;
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    const bool negative = !s.empty() && s.front() == '-';
    if (negative)
        s.remove_prefix(1);
    if (s.empty())
        return std::nullopt;
    // Saturates well above any field's range, so long runs of digits cannot overflow.
    constexpr long kCap = 1'000'000;
    long value = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = std::min(kCap, value * 10 + (c - '0'));
    }
    return negative ? -value : value;
}

std::string elementLabel(int k) {
    return "element " + std::to_string(k) + " (" + elementName(k) + ")";
}

class PresetReader {
public:
    PresetReader(ItemReader& items, Preset& preset) : m_items(items), m_preset(preset) {}

    void run() {
        const Item title = item([] { return "the title \"" + std::string(kTitleMarker) + "\""; });
        if (title.text.substr(0, kTitleMarker.size()) != kTitleMarker)
            fail(title, "expected an item starting with \"" + std::string(kTitleMarker) + "\"");

        marker(kNameMarker);
        m_preset.Name = std::string(item([] { return std::string("the preset name"); }).text);
        marker(kFaderLimitMarker);
        m_preset.FaderLimit[0] = limit("FaderLimit[0]");
        m_preset.FaderLimit[1] = limit("FaderLimit[1]");
        marker(kVPotLimitMarker);
        m_preset.VPotLimit[0] = limit("VPotLimit[0]");
        m_preset.VPotLimit[1] = limit("VPotLimit[1]");

        for (int k = 0; k < kElementCount; ++k) {
            const Item header = item([k] { return "the header of " + elementLabel(k); });
            if (header.text.substr(0, kHeaderPrefix.size()) != kHeaderPrefix)
                fail(header, "expected the header of " + elementLabel(k) + " starting with \"" +
                                 std::string(kHeaderPrefix) + "\"");
            record(m_preset.Elements[k].Daw, kDawMarker, k, "DAW");
            record(m_preset.Elements[k].Midi, kMidiMarker, k, "MIDI");
        }
    }

private:
    [[noreturn]] static void fail(const Item& found, const std::string& expected) {
        throw ParseError{found.line, expected + ", found " + foundText(found)};
    }

    // `what` builds the description only when a message needs it: loads must stay cheap.
    template <typename What> Item item(What&& what) {
        auto next = m_items.next();
        if (!next)
            throw ParseError{m_items.lastLine(), "file ends before " + what()};
        if (next->tooLong)
            fail(*next, "expected " + what());
        return *next;
    }

    // A fixed head marker opens nothing worth naming: messages name the marker itself.
    void marker(std::string_view expected) {
        marker(
            expected, [expected] { return "\"" + std::string(expected) + "\""; }, false);
    }

    // `opens` names what the marker starts, for messages.
    template <typename Opens>
    void marker(std::string_view expected, Opens&& opens, bool namesOpening = true) {
        const Item found = item(opens);
        if (found.text != expected)
            fail(found, "expected \"" + std::string(expected) + "\"" +
                            (namesOpening ? " to open " + opens() : std::string()));
    }

    template <typename What> long number(What&& what, long min, long max) {
        if (long plain = 0; m_items.plainNumber(min, max, plain))
            return plain;
        const auto expected = [&] {
            return "a number " + std::to_string(min) + ".." + std::to_string(max) + " for " +
                   what();
        };
        const Item found = item(expected);
        const auto value = parseNumber(found);
        if (!value || *value < min || *value > max)
            fail(found, "expected " + expected());
        return *value;
    }

    std::int16_t limit(const char* what) {
        return static_cast<std::int16_t>(number([what] { return std::string(what); },
                                                std::numeric_limits<std::int16_t>::min(),
                                                std::numeric_limits<std::int16_t>::max()));
    }

    void record(ElementAssignment& a, std::string_view expectedMarker, int k, const char* layer) {
        const auto what = [k, layer] {
            return std::string(layer) + " record of " + elementLabel(k);
        };
        marker(expectedMarker, [&] { return "the " + what(); });
        a.Mode = static_cast<std::uint8_t>(
            number([&] { return std::string("Mode of the ") + what(); }, 0, 255));
        fields(a, what);
    }

    // Status to the end of a record.
    template <typename What> void fields(ElementAssignment& a, What&& what) {
        const auto byte = [&](const char* field) {
            return static_cast<std::uint8_t>(
                number([&] { return std::string(field) + " of the " + what(); }, 0, 255));
        };
        a.Status = byte("Status");
        a.Data1 = byte("Data1");
        a.Data2 = byte("Data2");
        if (a.Status == kStatusSysEx) {
            for (std::size_t i = 0; i < a.SysExTail.size(); ++i)
                a.SysExTail[i] = static_cast<std::uint8_t>(number(
                    [&] {
                        return "SysExTail[" + std::to_string(i) + "] of the " + what() +
                               " (Status 240)";
                    },
                    0, 255));
        } else {
            a.Explain = std::string(item([&] { return "the Explain text of the " + what(); }).text);
        }
    }

    ItemReader& m_items;
    Preset& m_preset;

public:
    // One record on its own: an optional header and layer marker, the record, nothing after it.
    std::optional<Layer> lonelyRecord(ElementAssignment& a) {
        const auto what = [] { return std::string("record"); };
        const auto start = [] { return std::string("the record"); };
        Item found = nonEmptyItem(start);
        if (found.quoted && found.text.substr(0, kHeaderPrefix.size()) == kHeaderPrefix)
            found = nonEmptyItem(start);
        std::optional<Layer> layer;
        if (found.quoted && (found.text == kDawMarker || found.text == kMidiMarker)) {
            layer = found.text == kMidiMarker ? Layer::Midi : Layer::Daw;
            found = nonEmptyItem(start);
        }
        const auto mode = parseNumber(found);
        if (!mode || *mode < 0 || *mode > 255)
            fail(found, "expected a number 0..255 for the Mode of the record");
        a.Mode = static_cast<std::uint8_t>(*mode);
        fields(a, what);
        while (const auto rest = m_items.next())
            if (rest->quoted || rest->tooLong || !rest->text.empty())
                fail(*rest, "expected nothing after the record");
        return layer;
    }

private:
    template <typename What> Item nonEmptyItem(What&& what) {
        for (;;) {
            Item found = item(what);
            if (found.quoted || found.tooLong || !found.text.empty())
                return found;
        }
    }
};

// Throws SourceError when the bytes cannot be read on.
ReadResult readItems(ItemReader& items, const Preset& base) {
    ReadResult result;
    Preset preset = base;
    try {
        PresetReader(items, preset).run();
    } catch (const ParseError& e) {
        result.line = e.line;
        result.detail = e.detail;
        return result;
    }
    result.preset = std::move(preset);
    return result;
}

} // namespace

ReadResult readPreset(std::string_view bytes, const Preset& base) {
    ItemReader items(bytes);
    return readItems(items, base);
}

std::string writeRecord(int element, Layer layer, const ElementAssignment& record) {
    Writer w;
    w.text(elementHeader(element));
    w.record(layer == Layer::Midi ? kMidiMarker : kDawMarker, record);
    return w.take();
}

RecordReadResult readRecord(std::string_view bytes, const ElementAssignment& base) {
    RecordReadResult result;
    ItemReader items(bytes);
    Preset unused;
    ElementAssignment record = base;
    try {
        result.layer = PresetReader(items, unused).lonelyRecord(record);
    } catch (const ParseError& e) {
        result.line = e.line;
        result.detail = e.detail;
        return result;
    }
    result.record = std::move(record);
    return result;
}

std::string failureText(const ReadResult& result) {
    if (result.line <= 0)
        return result.detail;
    return "line " + std::to_string(result.line) + ": " + result.detail;
}

std::string writePreset(const Preset& preset) {
    Writer w;
    w.text(kTitleLine);
    w.text(kNameMarker);
    w.text(preset.Name);
    w.text(kFaderLimitMarker);
    w.numbers(preset.FaderLimit);
    w.text(kVPotLimitMarker);
    w.numbers(preset.VPotLimit);
    for (int k = 0; k < kElementCount; ++k) {
        w.text(elementHeader(k));
        w.record(kDawMarker, preset.Elements[k].Daw);
        w.record(kMidiMarker, preset.Elements[k].Midi);
    }
    return w.take();
}

FileResult loadPresetFile(const QString& path, Preset& preset) {
    return detail::loadPresetFile(path, preset, detail::ChunkedRead{});
}

namespace detail {

FileResult loadPresetFile(const QString& path, Preset& preset, const ChunkedRead& how) {
    const ReadOnlyFile file(path);
    if (!file.ok())
        return fileFailure(path, file.error());

    ReadResult result;
    try {
        ItemReader items(file.fd(), how);
        result = readItems(items, preset);
    } catch (const SourceError& e) {
        return fileFailure(path, e.reason);
    }
    if (!result.preset)
        return fileFailure(path, failureText(result));
    preset = std::move(*result.preset);
    return {};
}

} // namespace detail

FileResult savePresetFile(const QString& path, const Preset& preset) {
    return saveFileAtomically(path, writePreset(preset));
}

} // namespace qob
