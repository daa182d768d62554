#include "format/line_scan.hpp"

#include <bit>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TREVANIX_X86_SCANS 1
#include <immintrin.h>
#endif

namespace trevanix {

namespace {

// Byte by byte: the portable path, and the reference the others must agree with.
namespace bytes {
#define SCAN_TARGET
inline std::uint64_t match1(const char* p, char a) noexcept
{
    std::uint64_t mask = 0;
    for (int k = 0; k < 64; ++k)
        mask |= static_cast<std::uint64_t>(p[k] == a) << k;
    return mask;
}
inline std::uint64_t match2(const char* p, char a, char b) noexcept
{
    std::uint64_t mask = 0;
    for (int k = 0; k < 64; ++k)
        mask |= static_cast<std::uint64_t>(p[k] == a || p[k] == b) << k;
    return mask;
}
inline int popcount64(std::uint64_t x) noexcept { return std::popcount(x); }
#include "format/line_scan_kernel.inc"
#undef SCAN_TARGET
} // namespace bytes

#if defined(TREVANIX_X86_SCANS)

// SSE2: part of every x86-64 processor.
namespace sse2 {
#define SCAN_TARGET
inline std::uint64_t mask16(const char* p, __m128i a)
{
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, a)));
}
inline std::uint64_t mask16(const char* p, __m128i a, __m128i b)
{
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<std::uint16_t>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(chunk, a), _mm_cmpeq_epi8(chunk, b))));
}
inline std::uint64_t match1(const char* p, char a) noexcept
{
    const __m128i va = _mm_set1_epi8(a);
    return mask16(p, va) | mask16(p + 16, va) << 16 | mask16(p + 32, va) << 32 | mask16(p + 48, va) << 48;
}
inline std::uint64_t match2(const char* p, char a, char b) noexcept
{
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    return mask16(p, va, vb) | mask16(p + 16, va, vb) << 16 | mask16(p + 32, va, vb) << 32 |
           mask16(p + 48, va, vb) << 48;
}
inline int popcount64(std::uint64_t x) noexcept { return __builtin_popcountll(x); }
#include "format/line_scan_kernel.inc"
#undef SCAN_TARGET
} // namespace sse2

// AVX2, chosen at run time when the processor has it.
namespace avx2 {
#define SCAN_TARGET __attribute__((target("avx2,bmi,popcnt")))
SCAN_TARGET inline std::uint64_t mask32(const char* p, __m256i a)
{
    const __m256i chunk = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(chunk, a)));
}
SCAN_TARGET inline std::uint64_t mask32(const char* p, __m256i a, __m256i b)
{
    const __m256i chunk = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    return static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(chunk, a), _mm256_cmpeq_epi8(chunk, b))));
}
SCAN_TARGET inline std::uint64_t match1(const char* p, char a) noexcept
{
    const __m256i va = _mm256_set1_epi8(a);
    return mask32(p, va) | mask32(p + 32, va) << 32;
}
SCAN_TARGET inline std::uint64_t match2(const char* p, char a, char b) noexcept
{
    const __m256i va = _mm256_set1_epi8(a);
    const __m256i vb = _mm256_set1_epi8(b);
    return mask32(p, va, vb) | mask32(p + 32, va, vb) << 32;
}
SCAN_TARGET inline int popcount64(std::uint64_t x) noexcept { return __builtin_popcountll(x); }
#include "format/line_scan_kernel.inc"
#undef SCAN_TARGET
} // namespace avx2

#endif

struct LineScans {
    decltype(&bytes::find_line_end_bytes) find;
    decltype(&bytes::tally_line_ends) tally;
    const char* name;
};

constexpr LineScans byte_scans{bytes::find_line_end_bytes, bytes::tally_line_ends, "bytes"};

LineScans best_scans() noexcept
{
#if defined(TREVANIX_X86_SCANS)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("popcnt"))
        return {avx2::find_line_end_bytes, avx2::tally_line_ends, "avx2"};
    return {sse2::find_line_end_bytes, sse2::tally_line_ends, "sse2"};
#else
    return byte_scans;
#endif
}

LineScans& active_scans() noexcept
{
    static LineScans scans = best_scans();
    return scans;
}

} // namespace

std::size_t find_line_end_bytes(const char* data, std::size_t from, std::size_t to, bool lf_too,
                                std::uint32_t* out) noexcept
{
    return active_scans().find(data, from, to, lf_too, out);
}

std::size_t tally_line_ends(const char* data, std::size_t from, std::size_t to, char first_lower, char first_upper,
                            LineEndTally& tally, std::uint32_t* candidates) noexcept
{
    return active_scans().tally(data, from, to, first_lower, first_upper, tally, candidates);
}

const char* line_scan_instruction_set() noexcept { return active_scans().name; }

bool choose_line_scans(std::string_view instruction_set) noexcept
{
    const LineScans best = best_scans();
    if (instruction_set == "best") {
        active_scans() = best;
        return true;
    }
    if (instruction_set == "bytes") {
        active_scans() = byte_scans;
        return true;
    }
#if defined(TREVANIX_X86_SCANS)
    if (instruction_set == "sse2") {
        active_scans() = {sse2::find_line_end_bytes, sse2::tally_line_ends, "sse2"};
        return true;
    }
    if (instruction_set == "avx2" && std::string_view(best.name) == "avx2") {
        active_scans() = best;
        return true;
    }
#endif
    return false;
}

} // namespace trevanix
