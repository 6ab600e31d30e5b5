#pragma once
#include <algorithm>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "serverlist/BlockArray.h"

// One field of an entry: text that ends at a NUL, which no field holds. It
// points into the text that its table owns, or at a literal. One pointer
// where a string takes four words: the entries of a list whose lines are of
// the usual length, some sixty bytes, take less than half its size again.
class ServerField {
public:
    constexpr ServerField(const char* text = "") : text_(text) {}
    bool empty() const { return *text_ == '\0'; }
    operator std::string_view() const { return text_; }
    operator std::string() const { return text_; }
    friend bool operator==(ServerField field, std::string_view text) { return std::string_view(field) == text; }
    friend std::string operator+(std::string_view left, ServerField right) {
        return std::string(left).append(right.text_);
    }

private:
    const char* text_;
};

// How a server is asked: the Time Protocol (TCP port 37) unless its line
// says "ntp", or "nts" for NTP authenticated by Network Time Security.
enum class ServerProtocol : unsigned char { Time, Ntp, Nts };

struct ServerEntry {
    ServerField Host;
    ServerField Address;
    ServerField Description;
};

// A table's entries, which stay where they are while the list is read into them.
using ServerEntries = BlockArray<ServerEntry>;

// An entry given by its fields' text, for a table made by hand.
struct ServerEntryText {
    std::string_view Host, Address, Description;
    ServerProtocol Protocol = ServerProtocol::Time;
};

// Index i is item i of the server chooser. The table owns the text that its
// entries point into: the list file's bytes, or a copy of the fields given
// by hand. Copies of a table share it.
class ServerTable {
public:
    ServerTable() = default;
    ServerTable(std::initializer_list<ServerEntryText> entries) {
        size_t size = 0;
        for (const ServerEntryText& e : entries) size += e.Host.size() + e.Address.size() + e.Description.size() + 3;
        auto text = std::make_unique<char[]>(size);
        char* next = text.get();
        for (const ServerEntryText& e : entries) {
            ServerEntry& entry = entries_.Add();
            MarkProtocol(protocols_, entries_.size() - 1, e.Protocol);
            for (auto [field, from] : {std::pair{&entry.Host, e.Host}, {&entry.Address, e.Address},
                                       {&entry.Description, e.Description}}) {
                *field = next;
                next = std::copy(from.begin(), from.end(), next) + 1;  // the NUL that make_unique put there
            }
        }
        text_ = std::move(text);
    }
    explicit ServerTable(size_t count) {
        while (entries_.size() < count) entries_.Add();
    }
    ServerTable(ServerEntries entries, std::shared_ptr<const char[]> text, std::vector<bool> protocols)
        : entries_(std::move(entries)), text_(std::move(text)), protocols_(std::move(protocols)) {}

    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.size() == 0; }
    ServerEntry& operator[](size_t i) { return entries_[i]; }
    const ServerEntry& operator[](size_t i) const { return entries_[i]; }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }
    ServerProtocol Protocol(size_t i) const {
        if (2 * i + 1 >= protocols_.size()) return ServerProtocol::Time;
        return static_cast<ServerProtocol>(protocols_[2 * i] | protocols_[2 * i + 1] << 1);
    }
    // Entry index's protocol into bits laid out as the table keeps them.
    static void MarkProtocol(std::vector<bool>& protocols, size_t index, ServerProtocol protocol) {
        if (protocol == ServerProtocol::Time) return;
        protocols.resize(2 * index + 2);
        protocols[2 * index] = (static_cast<int>(protocol) & 1) != 0;
        protocols[2 * index + 1] = (static_cast<int>(protocol) & 2) != 0;
    }

private:
    ServerEntries entries_;
    std::shared_ptr<const char[]> text_;
    // Entry i's protocol in bits 2i and 2i+1; bits past the end are the Time
    // Protocol. Beside the entries rather than in them: an entry stays three
    // pointers, which a list of a million lines feels.
    std::vector<bool> protocols_;
};
