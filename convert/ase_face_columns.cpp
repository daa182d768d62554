#include "convert/ase_face_columns.hpp"

#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trevanix {

#if defined(__SSE2__)

namespace {

// The line's first 96 bytes as 3ds Max writes them; '#' marks the five
// characters of each number column (and the smoothing groups after them).
constexpr char layout[] =
    "\t\t\t*MESH_FACE#####:    A:##### B:##### C:##### AB:##### BC:##### CA:#####\t *MESH_SMOOTHING #####";
constexpr std::size_t chunk_count = 6; // of 16 bytes
static_assert(sizeof layout - 1 == 16 * chunk_count);

constexpr std::size_t column_width = 5;
// The index, the corners A, B and C, and the edges AB, BC and CA.
constexpr std::size_t columns[7] = {13, 25, 33, 41, 50, 59, 68};

// The shortest line in the columns: one smoothing group, " \t*MESH_MTLID "
// and a one-digit id after them. Every such line holds the 96 bytes read.
constexpr std::size_t shortest_line = face_columns_end + 1 + 14 + 1;
static_assert(shortest_line >= sizeof layout - 1);

// One bit for each of the line's first 96 bytes, in two words.
struct ByteMask {
    std::uint64_t word[2] = {0, 0};

    // The five bits of the column at `at` (no column crosses a word).
    unsigned column(std::size_t at) const noexcept
    {
        return static_cast<unsigned>(word[at / 64] >> (at % 64)) & 0x1Fu;
    }
};

constexpr bool column_within_a_word(std::size_t at) { return at % 64 + column_width <= 64; }
static_assert(column_within_a_word(columns[0]) && column_within_a_word(columns[1]) &&
              column_within_a_word(columns[2]) && column_within_a_word(columns[3]) &&
              column_within_a_word(columns[4]) && column_within_a_word(columns[5]) &&
              column_within_a_word(columns[6]));

// The bytes the layout fixes: all before the smoothing groups but the columns.
constexpr ByteMask fixed_bytes()
{
    ByteMask mask;
    for (std::size_t i = 0; i < face_columns_end; ++i) {
        if (layout[i] != '#')
            mask.word[i / 64] |= std::uint64_t{1} << (i % 64);
    }
    return mask;
}

// Which of the first 96 bytes match the layout, are blanks, digits, zeros.
struct ByteClasses {
    ByteMask same, blank, digit, zero;
};

// The 16-bit masks of chunk k (of the line and of the layout) and their
// place in the 96-bit ones.
template <std::size_t k>
void classify_chunk(const char* line, ByteClasses& classes) noexcept
{
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + 16 * k));
    const __m128i wanted = _mm_loadu_si128(reinterpret_cast<const __m128i*>(layout + 16 * k));
    const __m128i past_zero = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
    const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(past_zero, _mm_set1_epi8(9)), past_zero);
    constexpr std::size_t word = k / 4;
    constexpr unsigned shift = 16 * (k % 4);
    auto place = [](__m128i bits) {
        return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(bits))) << shift;
    };
    classes.same.word[word] |= place(_mm_cmpeq_epi8(bytes, wanted));
    classes.blank.word[word] |= place(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')));
    classes.digit.word[word] |= place(digit);
    classes.zero.word[word] |= place(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('0')));
}

// The masks are kept in registers: each chunk is placed by constant shifts.
ByteClasses classify(const char* line) noexcept
{
    ByteClasses classes;
    classify_chunk<0>(line, classes);
    classify_chunk<1>(line, classes);
    classify_chunk<2>(line, classes);
    classify_chunk<3>(line, classes);
    classify_chunk<4>(line, classes);
    classify_chunk<5>(line, classes);
    static_assert(chunk_count == 6);
    return classes;
}

// A column holds blanks, then a plain number to its end: at least one
// digit, and no leading zero. `first` is the first digit's place in it.
bool plain_column(const ByteClasses& classes, std::size_t at, std::size_t& first) noexcept
{
    const unsigned blanks = classes.blank.column(at);
    const unsigned digits = classes.digit.column(at);
    const unsigned first_digit = blanks + 1; // its bit, when the blanks lead
    if ((blanks | digits) != 0x1Fu || (blanks & first_digit) != 0 || blanks == 0x1Fu)
        return false;
    if (first_digit != 0x10u && (classes.zero.column(at) & first_digit) != 0)
        return false;
    first = static_cast<std::size_t>(std::countr_zero(first_digit));
    return true;
}

// The number of a column checked by plain_column: a blank's low four bits
// are zero, a digit's are its value.
std::int64_t column_value(const char* column) noexcept
{
    std::int64_t value = 0;
    for (std::size_t k = 0; k < column_width; ++k)
        value = value * 10 + (column[k] & 0x0F);
    return value;
}

} // namespace

bool read_face_columns(std::string_view face, FaceReading& r) noexcept
{
    if (face.size() < shortest_line)
        return false;
    const ByteClasses classes = classify(face.data());
    constexpr ByteMask fixed = fixed_bytes();
    if ((classes.same.word[0] & fixed.word[0]) != fixed.word[0] ||
        (classes.same.word[1] & fixed.word[1]) != fixed.word[1])
        return false;
    // The index is checked, not kept.
    std::size_t first = 0;
    if (!plain_column(classes, columns[0], first))
        return false;
    for (std::size_t k = 0; k < 3; ++k) {
        if (!plain_column(classes, columns[1 + k], first))
            return false;
        r.corners[k] = std::string_view(face.data() + columns[1 + k] + first, column_width - first);
        r.corner_values[k] = column_value(face.data() + columns[1 + k]);
        if (!plain_column(classes, columns[4 + k], first))
            return false;
        r.edges[k] = std::string_view(face.data() + columns[4 + k] + first, column_width - first);
    }
    return true;
}

#else

bool read_face_columns(std::string_view, FaceReading&) noexcept { return false; }

#endif

} // namespace trevanix
