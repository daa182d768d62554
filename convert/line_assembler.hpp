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
        if (text.empty())
            return; // an empty view may have no bytes at all to copy from
        std::memcpy(buffer_ + size_, text.data(), text.size());
        size_ += text.size();
    }
    void put_decimal(std::int64_t value) noexcept
    {
        size_ = static_cast<std::size_t>(std::to_chars(buffer_ + size_, buffer_ + capacity, value).ptr - buffer_);
    }
    void append_to(std::string& out) const { out.append(buffer_, size_); }
    void clear() noexcept { size_ = 0; }

private:
    char buffer_[capacity];
    std::size_t size_ = 0;
};

} // namespace trevanix
