#include "serverlist/ServerList.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <optional>

namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';

std::string_view TrimSpaces(std::string_view s) {
    // Only the space character: a tab at either end belongs to the field.
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// "ntp" in any case; anything else, or nothing, is the Time Protocol.
ServerProtocol ProtocolOf(std::string_view field) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return std::ranges::equal(field, std::string_view("ntp"), {}, lower) ? ServerProtocol::Ntp : ServerProtocol::Time;
}

ServerEntry EntryFromLine(std::string_view line) {
    line = StripNull(TrimSpaces(line));
    std::string_view fields[4];
    for (size_t f = 0; f < 4 && !line.empty(); ++f) {
        const size_t bar = line.find('|');
        fields[f] = line.substr(0, bar);
        if (bar == std::string_view::npos) break;
        line.remove_prefix(bar + 1);
        // "a|" has a second, empty field; it is empty either way.
    }
    return {std::string(fields[0]), std::string(fields[1]), std::string(fields[2]), ProtocolOf(fields[3])};
}

// Where the line starting at pos ends, and where the next one starts.
struct LineSpan {
    size_t end;
    size_t next;
};

LineSpan NextLine(std::string_view bytes, size_t pos) {
    const size_t cr = bytes.find(kCr, pos);
    if (cr == std::string_view::npos) return {bytes.size(), bytes.size()};
    const size_t next = cr + 1 < bytes.size() && bytes[cr + 1] == kLf ? cr + 2 : cr + 1;
    return {cr, next};
}

struct FileBytes {
    std::unique_ptr<char[]> data;
    size_t size = 0;
    bool complete = true;
    std::string_view Bytes() const { return {data.get(), size}; }
};

// Empty when the file cannot be opened. The file is read with one request:
// a large list must cost about what reading it costs.
std::optional<FileBytes> ReadWholeFile(const std::string& utf8Path) {
    // Taken as UTF-8 the path reaches Windows whole, through the wide open;
    // as plain chars it would go through the ANSI code page, and a folder
    // named in another script would not be found.
    const std::u8string u8Path(utf8Path.begin(), utf8Path.end());
    std::ifstream in(std::filesystem::path(u8Path), std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) return std::nullopt;
    in.seekg(0, std::ios::beg);
    FileBytes file;
    // Not zeroed first: for a large list that pass costs as much as parsing.
    file.data = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(size));
    in.read(file.data.get(), size);
    // A file that shrank since its size was taken simply ends sooner; only
    // a read error makes the tail unreliable.
    file.size = static_cast<size_t>(in.gcount());
    file.complete = !in.bad();
    return file;
}

}  // namespace

std::string_view StripNull(std::string_view text) { return text.substr(0, text.find('\0')); }

void ParseServerList(std::string_view bytes, bool complete, ServerTable& table) {
    // Every CR ends exactly one line (its LF, if any, goes with it); what
    // follows the last one is a line only when there is something there.
    size_t lines = static_cast<size_t>(std::count(bytes.begin(), bytes.end(), kCr));
    const size_t lastCr = bytes.rfind(kCr);
    const size_t tailStart = lastCr == std::string_view::npos ? 0 : NextLine(bytes, lastCr).next;
    if (complete && tailStart < bytes.size()) ++lines;
    if (lines == 0) return;

    ServerTable fresh;
    try {
        fresh.reserve(lines);
        size_t pos = 0;
        for (size_t i = 0; i < lines; ++i) {
            const LineSpan span = NextLine(bytes, pos);
            fresh.push_back(EntryFromLine(bytes.substr(pos, span.end - pos)));
            pos = span.next;
        }
    } catch (const std::bad_alloc&) {
        // Keep the lines that made it, as a read failure would.
        if (fresh.empty()) return;
    }
    table.swap(fresh);
}

void LoadServerList(const std::string& appFolder, ServerTable& table) {
    try {
        const std::optional<FileBytes> file = ReadWholeFile(appFolder + kServerListFileName);
        if (file) ParseServerList(file->Bytes(), file->complete, table);
    } catch (const std::exception&) {
        // A list too large for memory leaves the previous one in place.
    }
}
