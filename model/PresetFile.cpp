// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/PresetFile.h"

#include "vocab/Cp1252.h"
#include "vocab/ElementNames.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <limits>

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
    std::string_view text; // points into the file's bytes
    bool quoted = false;
    int line = 0;
};

struct ParseError {
    int line;
    std::string detail;
};

// Splits the bytes into items: an item ends at a comma or a line end (LF, or CR LF), blanks and
// tabs before it are skipped, and a quoted item runs to the next quote whatever lies between.
class ItemReader {
public:
    explicit ItemReader(std::string_view bytes) : m_bytes(bytes) {}

    // The common case of a well-formed number item, read without building an Item. Leaves the
    // position alone and returns nullopt for anything else, which the general path then reports.
    std::optional<long> plainNumber(long min, long max) {
        std::size_t p = m_pos;
        const std::size_t n = m_bytes.size();
        while (p < n && (m_bytes[p] == ' ' || m_bytes[p] == '\t'))
            ++p;
        const bool negative = p < n && m_bytes[p] == '-';
        if (negative)
            ++p;
        const std::size_t digits = p;
        long value = 0;
        // Five digits cover every field; longer runs take the general path.
        while (p < n && p - digits < 6 && m_bytes[p] >= '0' && m_bytes[p] <= '9')
            value = value * 10 + (m_bytes[p++] - '0');
        if (p == digits || (p < n && m_bytes[p] >= '0' && m_bytes[p] <= '9'))
            return std::nullopt;
        while (p < n && (m_bytes[p] == ' ' || m_bytes[p] == '\t'))
            ++p;
        if (p < n && m_bytes[p] == '\r' && p + 1 < n && m_bytes[p + 1] == '\n')
            ++p;
        if (p < n && m_bytes[p] != ',' && m_bytes[p] != '\n')
            return std::nullopt;
        if (negative)
            value = -value;
        if (value < min || value > max)
            return std::nullopt;
        if (p < n && m_bytes[p] == '\n')
            ++m_line;
        m_pos = p < n ? p + 1 : n;
        return value;
    }

    std::optional<Item> next() {
        while (m_pos < m_bytes.size() && (m_bytes[m_pos] == ' ' || m_bytes[m_pos] == '\t'))
            ++m_pos;
        if (m_pos == m_bytes.size())
            return std::nullopt;

        Item item;
        item.line = m_line;
        if (m_bytes[m_pos] == kQuote) {
            const auto close = m_bytes.find(kQuote, m_pos + 1);
            if (close == std::string_view::npos)
                throw ParseError{m_line, "a text item opened with \" is not closed before the "
                                         "file ends"};
            item.text = m_bytes.substr(m_pos + 1, close - m_pos - 1);
            item.quoted = true;
            m_line += static_cast<int>(std::count(item.text.begin(), item.text.end(), '\n'));
            // Whatever stands between the closing quote and the separator is dropped.
            m_pos = close + 1;
            skipToSeparator();
            return item;
        }
        const auto end = findSeparator(m_pos);
        item.text = m_bytes.substr(m_pos, end - m_pos);
        if (end < m_bytes.size() && m_bytes[end] == '\n' && !item.text.empty() &&
            item.text.back() == '\r')
            item.text.remove_suffix(1);
        m_pos = end;
        skipToSeparator();
        return item;
    }

    // The number of the file's last line, for a file that ends too early.
    int lastLine() const {
        const auto lines = std::count(m_bytes.begin(), m_bytes.end(), '\n');
        const bool open = !m_bytes.empty() && m_bytes.back() != '\n';
        return std::max(1, static_cast<int>(lines) + (open ? 1 : 0));
    }

private:
    // A plain loop: string_view::find_first_of calls memchr once per byte, several times slower.
    std::size_t findSeparator(std::size_t from) const {
        while (from < m_bytes.size() && m_bytes[from] != ',' && m_bytes[from] != '\n')
            ++from;
        return from;
    }

    void skipToSeparator() {
        const auto sep = findSeparator(m_pos);
        if (sep == m_bytes.size()) {
            m_pos = m_bytes.size();
            return;
        }
        if (m_bytes[sep] == '\n')
            ++m_line;
        m_pos = sep + 1;
    }

    std::string_view m_bytes;
    std::size_t m_pos = 0;
    int m_line = 1;
};

// The found item as a failure message shows it: UTF-8, control bytes as \xNN, shortened.
std::string foundText(const Item& item) {
    if (item.text.empty() && !item.quoted)
        return "an empty item";
    std::string shown;
    for (std::size_t i = 0; i < item.text.size() && i < kFoundExcerpt; ++i) {
        const auto b = static_cast<unsigned char>(item.text[i]);
        if (b < 0x20 || b == 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            shown += "\\x";
            shown += kHex[b >> 4];
            shown += kHex[b & 0xF];
        } else if (b >= 0x80) {
            shown += fromCp1252(std::string_view(&item.text[i], 1)).toUtf8().toStdString();
        } else {
            shown += static_cast<char>(b);
        }
    }
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
    PresetReader(std::string_view bytes, Preset& preset) : m_items(bytes), m_preset(preset) {}

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
        return *next;
    }

    // `opens` names what the marker starts, for messages; empty for the fixed head markers.
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
        if (const auto plain = m_items.plainNumber(min, max))
            return *plain;
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
        const auto byte = [&](const char* field) {
            return static_cast<std::uint8_t>(
                number([&] { return std::string(field) + " of the " + what(); }, 0, 255));
        };
        a.Mode = byte("Mode");
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

    ItemReader m_items;
    Preset& m_preset;
};

FileResult fileFailure(const QString& path, const std::string& reason) {
    return {false, path.toStdString() + ": " + reason};
}

} // namespace

ReadResult readPreset(std::string_view bytes, const Preset& base) {
    ReadResult result;
    Preset preset = base;
    try {
        PresetReader(bytes, preset).run();
    } catch (const ParseError& e) {
        result.line = e.line;
        result.detail = e.detail;
        return result;
    }
    result.preset = std::move(preset);
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fileFailure(path, file.errorString().toStdString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fileFailure(path, file.errorString().toStdString());
    file.close();

    ReadResult result = readPreset(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), preset);
    if (!result.preset)
        return fileFailure(path, failureText(result));
    preset = std::move(*result.preset);
    return {};
}

FileResult savePresetFile(const QString& path, const Preset& preset) {
    const std::string bytes = writePreset(preset);
    QSaveFile file(path);
    // Unbuffered, and every write checked here: a buffered write that fails only when commit()
    // flushes it (a full disk) still commits the truncated file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fileFailure(path, file.errorString().toStdString());
    // A short write is retried, so the call that cannot go on reports the OS reason.
    for (std::size_t done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.data() + done, static_cast<qint64>(bytes.size() - done));
        if (n <= 0) {
            const std::string reason = file.errorString().toStdString();
            file.cancelWriting();
            return fileFailure(path, reason);
        }
        done += static_cast<std::size_t>(n);
    }
    if (!file.commit())
        return fileFailure(path, file.errorString().toStdString());
    return {};
}

} // namespace qob
