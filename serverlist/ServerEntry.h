#pragma once
#include <cstddef>
#include <deque>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

// One field of an entry: text that ends at a NUL, which no field holds. It
// points into the table's copy of the list file, or at a literal for entries
// made by hand. One pointer where a string takes four words keeps a table of
// a million short lines smaller than half the file it came from.
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

struct ServerEntry {
    ServerField Host;
    ServerField Address;
    ServerField Description;
};

// Index i is item i of the server chooser. A table loaded from the list file
// owns the file's bytes, which its entries point into; copies share them.
class ServerTable {
public:
    ServerTable() = default;
    ServerTable(std::initializer_list<ServerEntry> entries) : entries_(entries) {}
    explicit ServerTable(size_t count) : entries_(count) {}
    ServerTable(std::deque<ServerEntry> entries, std::shared_ptr<const char[]> text)
        : entries_(std::move(entries)), text_(std::move(text)) {}

    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    ServerEntry& operator[](size_t i) { return entries_[i]; }
    const ServerEntry& operator[](size_t i) const { return entries_[i]; }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

private:
    // Blocks rather than one array: a table that grows as the file is read
    // never moves its entries, nor holds them twice while it grows.
    std::deque<ServerEntry> entries_;
    std::shared_ptr<const char[]> text_;
};
