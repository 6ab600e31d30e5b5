#pragma once
#include <algorithm>
#include <bit>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/BulkMemory.h"

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

// The entries of a table, in blocks that stay where they are: a table that
// grows as the file is read neither moves its entries nor holds them twice
// while it grows. Each block holds twice as many as the one before, so a
// short list takes little memory and a long one a few blocks, large enough
// to be worth AllocateBulk's large pages.
class ServerEntries {
public:
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = ServerEntry;
        using difference_type = std::ptrdiff_t;
        using pointer = const ServerEntry*;
        using reference = const ServerEntry&;
        Iterator() = default;
        Iterator(const ServerEntries* entries, size_t i) : entries_(entries), i_(i) {}
        reference operator*() const { return (*entries_)[i_]; }
        pointer operator->() const { return &**this; }
        Iterator& operator++() { return ++i_, *this; }
        Iterator operator++(int) { return {entries_, i_++}; }
        bool operator==(const Iterator& other) const { return i_ == other.i_; }

    private:
        const ServerEntries* entries_ = nullptr;
        size_t i_ = 0;
    };

    ServerEntries() = default;
    // The first block holds expected entries rounded down to a power of two,
    // at least 64.
    explicit ServerEntries(size_t expected)
        : firstShift_(std::max(kLeastShift, int(std::bit_width(expected)) - 1)) {}
    ServerEntries(const ServerEntries& other) {
        for (const ServerEntry& e : other) Add() = e;
    }
    ServerEntries(ServerEntries&& other) noexcept
        : blocks_(std::move(other.blocks_)), size_(std::exchange(other.size_, 0)), firstShift_(other.firstShift_) {}
    ServerEntries& operator=(ServerEntries other) noexcept {
        std::swap(blocks_, other.blocks_);
        std::swap(size_, other.size_);
        std::swap(firstShift_, other.firstShift_);
        return *this;
    }

    size_t size() const { return size_; }
    ServerEntry& operator[](size_t i) {
        const auto [block, at] = Locate(i);
        return Block(block)[at];
    }
    const ServerEntry& operator[](size_t i) const { return const_cast<ServerEntries&>(*this)[i]; }
    Iterator begin() const { return {this, 0}; }
    Iterator end() const { return {this, size_}; }

    // An empty entry after the others. Throws std::bad_alloc, adding none,
    // when there is no memory for it.
    ServerEntry& Add() {
        const auto [block, at] = Locate(size_);
        if (block == blocks_.size()) blocks_.push_back(AllocateBulk(sizeof(ServerEntry) << (firstShift_ + block)));
        ServerEntry* const entry = new (Block(block) + at) ServerEntry;
        ++size_;
        return *entry;
    }

private:
    static_assert(std::is_trivially_destructible_v<ServerEntry>, "blocks are freed without destroying entries");
    static constexpr int kLeastShift = 6;

    // With a first block of n entries, block k holds n << k of them and
    // starts at entry n * (2^k - 1).
    std::pair<size_t, size_t> Locate(size_t i) const {
        const size_t block = std::bit_width((i >> firstShift_) + 1) - 1;
        return {block, i - (((size_t(1) << block) - 1) << firstShift_)};
    }
    ServerEntry* Block(size_t k) const { return std::launder(reinterpret_cast<ServerEntry*>(blocks_[k].get())); }

    std::vector<BulkBytes> blocks_;
    size_t size_ = 0;
    int firstShift_ = kLeastShift;  // the first block holds 1 << firstShift_ entries
};

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
