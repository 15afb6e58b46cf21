#pragma once

#include <cstddef>
#include <string>
#include <type_traits>
#include <vector>

// Overwriting secrets (passwords, keys, what a cipher derives from them) before their storage is
// given back or goes out of scope. The stores are volatile, so that the compiler cannot drop them
// as writes that nobody reads.

void WipeBytes(void* data, std::size_t size) noexcept;

// The whole capacity, so that an earlier, longer secret in the same buffer goes too; then empty.
void WipeString(std::string& text) noexcept;

// Every byte of a plain value: an integer, an array of them.
template <typename T>
requires std::is_trivially_copyable_v<T>
void WipeValue(T& value) noexcept { WipeBytes(&value, sizeof value); }

// The elements, then empty.
template <typename T>
requires std::is_trivially_copyable_v<T>
void WipeVector(std::vector<T>& values) noexcept {
    WipeBytes(values.data(), values.size() * sizeof(T));
    values.clear();
}

// Wipes a vector when the scope ends, however it ends.
template <typename T>
class WipeVectorAtExit {
public:
    explicit WipeVectorAtExit(std::vector<T>& values) noexcept : values_(values) {}
    ~WipeVectorAtExit() { WipeVector(values_); }
    WipeVectorAtExit(const WipeVectorAtExit&) = delete;
    WipeVectorAtExit& operator=(const WipeVectorAtExit&) = delete;

private:
    std::vector<T>& values_;
};
