#include "format/text.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trevanix {

namespace {

bool same_bytes(const char* a, const char* b, std::size_t n) noexcept
{
    for (std::size_t k = 0; k < n; ++k)
        if (a[k] != b[k])
            return false;
    return true;
}

// Offset of the first occurrence of `what` (two characters or more) in
// data[0, size), or size when there is none. Positions are filtered 16 at a
// time by the keyword's first and last characters; only those that pass are
// compared whole. Keywords are short and lines hold few candidates, so this
// beats a library search per line.
std::size_t find_text(const char* data, std::size_t size, std::string_view what) noexcept
{
    const std::size_t last = what.size() - 1;
    const std::size_t end = size - what.size(); // the last position where `what` fits
    std::size_t at = 0;
#if defined(__SSE2__)
    if (end >= 16) {
        const __m128i first_char = _mm_set1_epi8(what[0]);
        const __m128i last_char = _mm_set1_epi8(what[last]);
        // Positions [block, block + 16); the last block overlaps the one
        // before it and skips the positions already seen.
        for (std::size_t block = 0;; block += 16) {
            const bool final_block = block + 16 > end;
            const std::size_t seen = final_block ? block : 0;
            if (final_block)
                block = end - 15;
            const __m128i starts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + block));
            const __m128i ends = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + block + last));
            auto candidates = static_cast<unsigned>(_mm_movemask_epi8(
                _mm_and_si128(_mm_cmpeq_epi8(starts, first_char), _mm_cmpeq_epi8(ends, last_char))));
            if (seen > block)
                candidates &= ~0u << (seen - block);
            while (candidates != 0) {
                const std::size_t k = block + static_cast<std::size_t>(std::countr_zero(candidates));
                if (same_bytes(data + k + 1, what.data() + 1, last - 1))
                    return k;
                candidates &= candidates - 1;
            }
            if (final_block)
                return size;
        }
    }
#endif
    for (; at <= end; ++at)
        if (data[at] == what[0] && data[at + last] == what[last] && same_bytes(data + at + 1, what.data() + 1, last - 1))
            return at;
    return size;
}

} // namespace

std::size_t position_of(std::string_view text, std::string_view what, std::size_t from) noexcept
{
    if (from == 0)
        from = 1;
    if (from > text.size() + 1 || what.size() > text.size() - (from - 1))
        return 0;
    if (what.size() < 2)
        return what.empty() ? from : position_of(text, what[0], from);
    const std::string_view rest = text.substr(from - 1);
    const std::size_t found = find_text(rest.data(), rest.size(), what);
    return found == rest.size() ? 0 : found + from;
}

std::size_t position_of(std::string_view text, char what, std::size_t from) noexcept
{
    if (from == 0)
        from = 1;
    if (from > text.size())
        return 0;
    const void* hit = std::memchr(text.data() + (from - 1), what, text.size() - (from - 1));
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) + 1 : 0;
}

std::string_view mid(std::string_view text, std::size_t start, std::size_t length) noexcept
{
    if (start == 0 || start > text.size())
        return {};
    return text.substr(start - 1, length);
}

std::string_view mid(std::string_view text, std::size_t start) noexcept
{
    if (start == 0 || start > text.size())
        return {};
    return text.substr(start - 1);
}

namespace {

bool is_ignored_blank(char c) noexcept { return c == ' ' || c == '\t' || c == '\n'; }
bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

} // namespace

std::optional<PlainInteger> plain_integer(std::string_view text) noexcept
{
    std::size_t i = 0;
    auto skip_blanks = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
    };
    skip_blanks();
    PlainInteger result;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        result.negative = text[i] == '-';
        ++i;
    }
    const std::size_t first_digit = i;
    while (i < text.size() && is_digit(text[i]) && i - first_digit < 15)
        result.magnitude = result.magnitude * 10 + (text[i++] - '0');
    if (i == first_digit)
        return std::nullopt;
    skip_blanks();
    if (i != text.size())
        return std::nullopt;
    return result;
}

namespace {

// True when a number text that std::from_chars found out of range lies beyond
// the largest double (it saturates to infinity) rather than below the smallest
// (it reads as zero). The two limits are some 630 decades apart, so the decade
// of the first significant digit decides.
bool beyond_largest_double(std::string_view mantissa, long exponent) noexcept
{
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos)
        return false;
    const long decade = first < point ? static_cast<long>(point - first) : -static_cast<long>(first - point) + 1;
    return decade + exponent > 0;
}

} // namespace

namespace {

// The characters of a number text, gathered for std::from_chars: the sign,
// the digits with the decimal point, the exponent. Blanks, tabs and line
// feeds are skipped wherever they stand. A long digit run is kept up to the
// buffer's size; further integer digits only change the exponent, which is
// counted apart.
class NumberText {
public:
    explicit NumberText(std::string_view text) noexcept : text_(text) { c_ = next(); }

    double value() noexcept
    {
        const bool negative = sign();
        const bool whole = integer_digits();
        const bool fraction = fraction_digits();
        if (!whole && !fraction)
            return 0.0;
        const long exponent = exponent_part() + extra_exponent_;
        const double magnitude = converted(exponent);
        return negative ? -magnitude : magnitude;
    }

private:
    static constexpr std::size_t room = 128 - 24; // leaves room for the exponent

    // The next character that is not skipped; -1 at the end.
    int next() noexcept
    {
        while (i_ < text_.size() && is_ignored_blank(text_[i_]))
            ++i_;
        return i_ < text_.size() ? static_cast<unsigned char>(text_[i_]) : -1;
    }
    void advance() noexcept
    {
        ++i_;
        c_ = next();
    }
    bool at_digit() const noexcept { return c_ >= 0 && is_digit(static_cast<char>(c_)); }
    void put(char c) noexcept
    {
        if (n_ < room)
            buf_[n_++] = c;
    }

    bool sign() noexcept
    {
        if (c_ != '+' && c_ != '-')
            return false;
        const bool negative = c_ == '-';
        advance();
        return negative;
    }

    bool integer_digits() noexcept
    {
        bool digits = false;
        for (; at_digit(); advance()) {
            digits = true;
            if (n_ < room)
                buf_[n_++] = static_cast<char>(c_);
            else
                ++extra_exponent_;
        }
        return digits;
    }

    bool fraction_digits() noexcept
    {
        if (c_ != '.')
            return false;
        put('.');
        advance();
        bool digits = false;
        for (; at_digit(); advance()) {
            digits = true;
            put(static_cast<char>(c_));
        }
        return digits;
    }

    // "E" or "D", an optional sign and digits; 0 when there is none.
    long exponent_part() noexcept
    {
        if (c_ != 'e' && c_ != 'E' && c_ != 'd' && c_ != 'D')
            return 0;
        advance();
        const bool negative = sign();
        long exponent = 0;
        for (; at_digit(); advance())
            if (exponent < 100000)
                exponent = exponent * 10 + (c_ - '0');
        return negative ? -exponent : exponent;
    }

    // The gathered number's magnitude, read with std::from_chars, which knows
    // no locale: a decimal point is a point under every desktop language.
    double converted(long exponent) noexcept
    {
        const std::string_view mantissa(buf_, n_);
        std::size_t n = n_;
        if (exponent != 0) {
            buf_[n++] = 'e';
            const auto r = std::to_chars(buf_ + n, buf_ + sizeof buf_, exponent);
            n = static_cast<std::size_t>(r.ptr - buf_);
        }
        double magnitude = 0.0;
        const auto read = std::from_chars(buf_, buf_ + n, magnitude);
        if (read.ec == std::errc::result_out_of_range)
            return beyond_largest_double(mantissa, exponent) ? std::numeric_limits<double>::infinity() : 0.0;
        return read.ec == std::errc() ? magnitude : 0.0;
    }

    std::string_view text_;
    std::size_t i_ = 0;
    int c_ = -1;
    char buf_[128];
    std::size_t n_ = 0;
    long extra_exponent_ = 0; // integer digits dropped for lack of room
};

} // namespace

double number_value(std::string_view text) noexcept
{
    if (const auto plain = plain_integer(text))
        return plain->as_double();
    return NumberText(text).value();
}

namespace {

template <typename Int>
std::optional<Int> round_half_even(double value) noexcept
{
    // Most counts and ids are whole numbers already: no rounding to do.
    if (value > -9.0e15 && value < 9.0e15) {
        const auto whole = static_cast<std::int64_t>(value);
        if (static_cast<double>(whole) == value) {
            if (whole < std::numeric_limits<Int>::min() || whole > std::numeric_limits<Int>::max())
                return std::nullopt;
            return static_cast<Int>(whole);
        }
    }
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value); // default mode: halves to even
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max()))
        return std::nullopt;
    if constexpr (sizeof(Int) == 8) {
        // 2^63 itself is representable as a double but not as int64.
        if (rounded >= 9223372036854775808.0)
            return std::nullopt;
    }
    return static_cast<Int>(rounded);
}

} // namespace

std::optional<std::int16_t> to_int16(double value) noexcept { return round_half_even<std::int16_t>(value); }
std::optional<std::int32_t> to_int32(double value) noexcept { return round_half_even<std::int32_t>(value); }
std::optional<std::int64_t> to_int64(double value) noexcept { return round_half_even<std::int64_t>(value); }

std::string format_number(std::int64_t value)
{
    std::string out;
    append_decimal(out, value);
    return out;
}

std::string format_number(double value)
{
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 9.0e15)
        return format_number(static_cast<std::int64_t>(value));
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string_view trim_blanks(std::string_view text) noexcept
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    return text.substr(begin, end - begin);
}

std::string to_lower_copy(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = to_lower_ascii(c);
    return out;
}

void append_decimal(std::string& out, std::int64_t value)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

bool has_control_byte(std::string_view text) noexcept
{
    for (const char c : text)
        if (is_control_byte(c))
            return true;
    return false;
}

std::string printable_text(std::string_view text)
{
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (!is_control_byte(c)) {
            out.push_back(c);
            continue;
        }
        out.push_back('\\');
        if (c == '\n') {
            out.push_back('n');
        } else if (c == '\r') {
            out.push_back('r');
        } else if (c == '\t') {
            out.push_back('t');
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out.push_back('x');
            out.push_back(hex[byte >> 4]);
            out.push_back(hex[byte & 0x0F]);
        }
    }
    return out;
}

} // namespace trevanix
