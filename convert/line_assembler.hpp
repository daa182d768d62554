#pragma once
// Assembles one output line in a fixed buffer and appends it to the block in
// one go. The pieces of a line are a few bytes each: putting them into a
// buffer of known room costs less than growing the block piece by piece.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace trevanix {

class LineAssembler {
public:
    static constexpr std::size_t capacity = 512;
    // Room to reserve for a decimal number.
    static constexpr std::size_t decimal_room = 20;

    // Whether `more` bytes still fit; the caller asks before putting them.
    bool fits(std::size_t more) const noexcept { return more <= capacity - size_; }

    template <std::size_t N>
    void put(const char (&literal)[N]) noexcept
    {
        std::memcpy(buffer_ + size_, literal, N - 1);
        size_ += N - 1;
    }
    void put(std::string_view text) noexcept
    {
        copy_short(buffer_ + size_, text.data(), text.size());
        size_ += text.size();
    }
    void put_decimal(std::int64_t value) noexcept
    {
        size_ = static_cast<std::size_t>(std::to_chars(buffer_ + size_, buffer_ + capacity, value).ptr - buffer_);
    }
    void append_to(std::string& out) const { out.append(buffer_, size_); }
    void clear() noexcept { size_ = 0; }

private:
    // Copies `n` bytes, reading none beyond them. The pieces of a line are
    // mostly a few bytes each: two overlapping moves copy them without a
    // call into the library.
    static void copy_short(char* to, const char* from, std::size_t n) noexcept
    {
        if (n >= 8 && n <= 16) {
            copy_fixed<8>(to, from);
            copy_fixed<8>(to + n - 8, from + n - 8);
        } else if (n >= 4 && n < 8) {
            copy_fixed<4>(to, from);
            copy_fixed<4>(to + n - 4, from + n - 4);
        } else if (n > 0 && n < 4) {
            to[0] = from[0];
            to[n / 2] = from[n / 2];
            to[n - 1] = from[n - 1];
        } else if (n > 16) {
            std::memcpy(to, from, n);
        }
    }
    template <std::size_t N>
    static void copy_fixed(char* to, const char* from) noexcept
    {
        char bytes[N];
        std::memcpy(bytes, from, N);
        std::memcpy(to, bytes, N);
    }

    char buffer_[capacity];
    std::size_t size_ = 0;
};

} // namespace trevanix
