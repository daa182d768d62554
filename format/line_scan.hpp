#pragma once
// Vector scans over a block of scene bytes: where the lines of a whole block
// end, and what the counting pass needs to know of a block (line ends, line
// feeds after carriage returns, possible object starts). They run 64 bytes
// at a time with AVX2 when the processor has it, SSE2 otherwise on x86-64,
// and plain byte tests elsewhere; every path gives the same answers.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace trevanix {

// Room that `out` of the scans needs beyond one entry per scanned byte: the
// scans may write a few entries past the last one they report.
inline constexpr std::size_t line_scan_slack = 64;

// Writes the offsets (from `data`) of the line-end bytes of data[from, to),
// in order: every CR, and also every LF when `lf_too`. Offsets must fit 32
// bits. `out` has room for (to - from) + line_scan_slack entries. Returns how
// many were written.
std::size_t find_line_end_bytes(const char* data, std::size_t from, std::size_t to, bool lf_too,
                                std::uint32_t* out) noexcept;

// What the counting pass gathers, block by block.
struct LineEndTally {
    std::int64_t carriage_returns = 0;
    std::int64_t line_feeds = 0;
    std::int64_t line_feeds_after_carriage_return = 0; // the LF of each CR LF pair
    // Whether the byte before the next block is a CR, and whether it is a CR
    // or an LF: pairs and line starts cross block ends.
    bool carriage_return_before = false;
    bool line_end_before = false;
};

// Adds data[from, to) to `tally` and writes to `candidates` the offsets of the
// bytes that equal `first_lower` or `first_upper` and follow a CR or an LF:
// where an object may start. `candidates` has room for (to - from) +
// line_scan_slack entries. Returns how many were written.
std::size_t tally_line_ends(const char* data, std::size_t from, std::size_t to, char first_lower, char first_upper,
                            LineEndTally& tally, std::uint32_t* candidates) noexcept;

// The instruction set the scans use on this processor: "avx2", "sse2" or
// "bytes".
const char* line_scan_instruction_set() noexcept;

// Makes the scans use "avx2", "sse2", "bytes" (the portable byte-by-byte
// scans) or "best" (what the processor has), so that tests can set every
// path against the others. False when the processor lacks that set.
bool choose_line_scans(std::string_view instruction_set) noexcept;

} // namespace trevanix
