#pragma once
#include <algorithm>
#include <bit>
#include <cstddef>
#include <iterator>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/BulkMemory.h"

// Items in blocks that stay where they are: an array that grows as a file is
// read neither moves its items nor holds them twice while it grows. Each
// block holds twice as many as the one before, so a short array takes little
// memory and a long one a few blocks, large enough to be worth AllocateBulk's
// large pages.
template <typename T>
class BlockArray {
public:
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = const T*;
        using reference = const T&;
        Iterator() = default;
        Iterator(const BlockArray* items, size_t i) : items_(items), i_(i) {}
        reference operator*() const { return (*items_)[i_]; }
        pointer operator->() const { return &**this; }
        Iterator& operator++() { return ++i_, *this; }
        Iterator operator++(int) { return {items_, i_++}; }
        bool operator==(const Iterator& other) const { return i_ == other.i_; }

    private:
        const BlockArray* items_ = nullptr;
        size_t i_ = 0;
    };

    BlockArray() = default;
    // The first block holds expected items rounded down to a power of two,
    // at least 64.
    explicit BlockArray(size_t expected)
        : firstShift_(std::max(kLeastShift, int(std::bit_width(expected)) - 1)) {}
    BlockArray(const BlockArray& other) {
        for (const T& item : other) Add() = item;
    }
    BlockArray(BlockArray&& other) noexcept
        : blocks_(std::move(other.blocks_)), size_(std::exchange(other.size_, 0)), firstShift_(other.firstShift_) {}
    BlockArray& operator=(BlockArray other) noexcept {
        std::swap(blocks_, other.blocks_);
        std::swap(size_, other.size_);
        std::swap(firstShift_, other.firstShift_);
        return *this;
    }

    size_t size() const { return size_; }
    T& operator[](size_t i) {
        const auto [block, at] = Locate(i);
        return Block(block)[at];
    }
    const T& operator[](size_t i) const { return const_cast<BlockArray&>(*this)[i]; }
    Iterator begin() const { return {this, 0}; }
    Iterator end() const { return {this, size_}; }

    // A default-constructed item after the others. Throws std::bad_alloc,
    // adding none, when there is no memory for it.
    T& Add() {
        const auto [block, at] = Locate(size_);
        if (block == blocks_.size()) blocks_.push_back(AllocateBulk(sizeof(T) << (firstShift_ + block)));
        T* const item = new (Block(block) + at) T;
        ++size_;
        return *item;
    }

private:
    static_assert(std::is_trivially_destructible_v<T>, "blocks are freed without destroying items");
    static constexpr int kLeastShift = 6;

    // With a first block of n items, block k holds n << k of them and
    // starts at item n * (2^k - 1).
    std::pair<size_t, size_t> Locate(size_t i) const {
        const size_t block = std::bit_width((i >> firstShift_) + 1) - 1;
        return {block, i - (((size_t(1) << block) - 1) << firstShift_)};
    }
    T* Block(size_t k) const { return std::launder(reinterpret_cast<T*>(blocks_[k].get())); }

    std::vector<BulkBytes> blocks_;
    size_t size_ = 0;
    int firstShift_ = kLeastShift;  // the first block holds 1 << firstShift_ items
};
