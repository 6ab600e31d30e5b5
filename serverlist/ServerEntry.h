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
// says "ntp".
enum class ServerProtocol : unsigned char { Time, Ntp };

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
            if (e.Protocol == ServerProtocol::Ntp) ntp_.resize(entries_.size()), ntp_.back() = true;
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
    ServerTable(ServerEntries entries, std::shared_ptr<const char[]> text, std::vector<bool> ntp)
        : entries_(std::move(entries)), text_(std::move(text)), ntp_(std::move(ntp)) {}

    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.size() == 0; }
    ServerEntry& operator[](size_t i) { return entries_[i]; }
    const ServerEntry& operator[](size_t i) const { return entries_[i]; }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }
    ServerProtocol Protocol(size_t i) const {
        return i < ntp_.size() && ntp_[i] ? ServerProtocol::Ntp : ServerProtocol::Time;
    }

private:
    ServerEntries entries_;
    std::shared_ptr<const char[]> text_;
    // Entry i is an NTP server when bit i is set, bits past the end are clear.
    // Beside the entries rather than in them: an entry stays three pointers,
    // which a list of a million lines feels.
    std::vector<bool> ntp_;
};
