#include "serverlist/ServerList.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "platform/BulkMemory.h"
#include "platform/ReadOnlyFile.h"

namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
// Bytes read at a time: each piece is parsed while it is still in the cache.
constexpr size_t kPieceSize = 256 * 1024;
// Fewer bytes than most lines hold. The first block of entries is sized by
// it, so that a long list starts with one block large enough for large
// pages rather than a run of small ones, each faulted in page by page.
constexpr size_t kShortLine = 64;

std::string_view TrimSpaces(std::string_view s) {
    // Only the space character: a tab at either end belongs to the field.
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// "ntp" or "nts" in any case; anything else, or nothing, is the Time Protocol.
ServerProtocol ProtocolOf(std::string_view field) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    const auto is = [&](std::string_view word) { return std::ranges::equal(field, word, {}, lower); };
    return is("ntp") ? ServerProtocol::Ntp : is("nts") ? ServerProtocol::Nts : ServerProtocol::Time;
}

// The entry for a line of text, made in place: each field ends at a NUL
// written over the byte after it, which is a "|", a trimmed blank, the line's
// NUL or CR, or for a last line without an end the spare byte after the text.
// None of those belongs to a field, so the table needs no second copy.
ServerEntry EntryFromLine(char* text, std::string_view line, ServerProtocol& protocol) {
    line = StripNull(TrimSpaces(line));
    ServerEntry entry;
    for (ServerField* field : {&entry.Host, &entry.Address, &entry.Description}) {
        if (line.empty()) break;  // "a|" has a second, empty field; it is empty either way.
        char* const start = text + (line.data() - text);
        *field = start;
        const size_t bar = std::min(line.find('|'), line.size());
        start[bar] = '\0';
        line.remove_prefix(std::min(bar + 1, line.size()));
    }
    // What follows the third "|", up to a fourth; only read, so it needs no NUL.
    protocol = ProtocolOf(line.substr(0, line.find('|')));
    return entry;
}

// Turns the list's text into entries as its bytes arrive. The text has one
// spare byte after its end, for the NUL that ends the last field, and is
// expected to hold size bytes.
class ListParser {
public:
    ListParser(BulkBytes text, size_t size) : text_(std::move(text)), entries_(size / kShortLine) {}

    // The text now holds size bytes: every line that surely ended becomes an
    // entry. A CR as the last byte may yet be followed by its LF.
    void Arrived(size_t size) { TakeLines(size, size - 1, false); }

    // The text ends at size bytes; with complete false it stops where a read
    // failed, and a last line whose end was never read does not count. A
    // text that holds no line leaves the table as it was.
    void Finish(size_t size, bool complete, ServerTable& table) {
        TakeLines(size, size, complete);
        if (entries_.size() == 0) return;
        table = ServerTable(std::move(entries_), std::move(text_), std::move(protocols_));
    }

private:
    // Each line that ends with a CR before limit, then with takeTail what
    // follows the last line end, if anything does.
    void TakeLines(size_t size, size_t limit, bool takeTail) {
        const std::string_view bytes(text_.get(), size);
        try {
            for (size_t cr; !outOfMemory_ && (cr = bytes.find(kCr, std::max(pos_, searched_))) < limit;) {
                Add(bytes.substr(pos_, cr - pos_));
                pos_ = cr + 1 < size && bytes[cr + 1] == kLf ? cr + 2 : cr + 1;
            }
            searched_ = limit;
            if (takeTail && !outOfMemory_ && pos_ < size)
                Add(bytes.substr(pos_));
        } catch (const std::bad_alloc&) {
            // The lines that made it stay, as after a failed read.
            outOfMemory_ = true;
        }
    }

    void Add(std::string_view line) {
        ServerProtocol protocol;
        ServerEntry& entry = entries_.Add();
        entry = EntryFromLine(text_.get(), line, protocol);
        ServerTable::MarkProtocol(protocols_, entries_.size() - 1, protocol);
    }

    BulkBytes text_;
    ServerEntries entries_;
    std::vector<bool> protocols_;  // as in ServerTable
    size_t pos_ = 0;       // where the next line starts
    size_t searched_ = 0;  // no CR lies between pos_ and here: a long line is searched once
    bool outOfMemory_ = false;
};

}  // namespace

std::string_view StripNull(std::string_view text) { return text.substr(0, text.find('\0')); }

void ParseServerList(std::string_view bytes, bool complete, ServerTable& table) {
    try {
        BulkBytes text = AllocateBulk(bytes.size() + 1);
        std::memcpy(text.get(), bytes.data(), bytes.size());
        ListParser(std::move(text), bytes.size()).Finish(bytes.size(), complete, table);
    } catch (const std::bad_alloc&) {
        // A list too large for memory leaves the previous one in place.
    }
}

void LoadServerList(const std::string& appFolder, ServerTable& table) {
    try {
        const UniqueFile file = OpenForReading(appFolder + kServerListFileName);
        if (!file) return;
        const int64_t fileSize = FileSize(file.get());
        if (fileSize < 0 || static_cast<uint64_t>(fileSize) >= SIZE_MAX) return;
        const size_t size = static_cast<size_t>(fileSize);
        // Not zeroed first: for a large list that pass costs as much as parsing.
        BulkBytes text = AllocateBulk(size + 1);
        char* const data = text.get();
        ListParser parser(std::move(text), size);
        // A file that shrank since its size was taken simply ends sooner;
        // only a read error makes the tail unreliable.
        size_t got = 0;
        while (got < size) {
            const size_t n = std::fread(data + got, 1, std::min(kPieceSize, size - got), file.get());
            if (n == 0) break;
            parser.Arrived(got += n);
        }
        parser.Finish(got, !std::ferror(file.get()), table);
    } catch (const std::bad_alloc&) {
        // A list too large for memory leaves the previous one in place.
    }
}
