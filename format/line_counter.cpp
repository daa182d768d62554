#include "format/line_counter.hpp"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "format/line_source.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trevanix {

namespace {

// Room kept before each block for looking back at the bytes that precede a
// line start, and after the processed part for reading a keyword ahead.
constexpr std::size_t margin = 64;
constexpr std::size_t block_size = std::size_t{1} << 20;

class BlockCounter {
public:
    explicit BlockCounter(const ObjectStartKeyword& keyword) : keyword_(keyword) {}

    // Counts the bytes buf[from, to). `before` holds the two bytes that precede
    // buf[from] in the file (zeros at its start); buf[to, end) may be read to
    // finish a keyword. `offset` is the file offset of buf[0].
    void count(const char* buf, std::size_t from, std::size_t to, std::size_t end, std::int64_t offset,
               const char (&before)[2])
    {
        before_[0] = before[0];
        before_[1] = before[1];
        from_ = from;
        end_ = end;
        offset_ = offset;
        std::size_t i = from;
        // The first byte on its own: the vector loop looks one byte back.
        if (i < to) {
            if (buf[i] == '\r') {
                ++count_.lines;
                note_cr(buf, i, offset);
            }
            if (buf[i] == keyword_.first_lower || buf[i] == keyword_.first_upper)
                check_candidate(buf, i, end);
            ++i;
        }
#if defined(__SSE2__)
        const __m128i cr = _mm_set1_epi8('\r');
        const __m128i lf = _mm_set1_epi8('\n');
        const __m128i lower = _mm_set1_epi8(keyword_.first_lower);
        const __m128i upper = _mm_set1_epi8(keyword_.first_upper);
        // Carriage returns are summed in byte lanes, folded before they overflow.
        __m128i lanes = _mm_setzero_si128();
        int rounds = 0;
        std::size_t last_cr_chunk = to; // the last chunk holding a CR, noted once at the end
        unsigned last_crs = 0;
        for (; i + 16 <= to; i += 16) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + i));
            const __m128i is_cr = _mm_cmpeq_epi8(chunk, cr);
            lanes = _mm_sub_epi8(lanes, is_cr);
            if (++rounds == 255) {
                fold(lanes);
                rounds = 0;
            }
            const auto crs = static_cast<unsigned>(_mm_movemask_epi8(is_cr));
            if (crs) {
                last_cr_chunk = i;
                last_crs = crs;
            }
            // Candidates: the keyword's first character right after a CR or LF.
            const __m128i previous = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + i - 1));
            const __m128i after_line_end = _mm_or_si128(_mm_cmpeq_epi8(previous, cr), _mm_cmpeq_epi8(previous, lf));
            const __m128i first_char = _mm_or_si128(_mm_cmpeq_epi8(chunk, lower), _mm_cmpeq_epi8(chunk, upper));
            auto starts = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(first_char, after_line_end)));
            while (starts) {
                check_candidate(buf, i + static_cast<std::size_t>(std::countr_zero(starts)), end);
                starts &= starts - 1;
            }
        }
        fold(lanes);
        if (last_cr_chunk != to)
            note_cr(buf, last_cr_chunk + static_cast<std::size_t>(31 - std::countl_zero(last_crs)), offset);
#endif
        for (; i < to; ++i) {
            if (buf[i] == '\r') {
                ++count_.lines;
                note_cr(buf, i, offset);
            }
            if (buf[i] == keyword_.first_lower || buf[i] == keyword_.first_upper)
                check_candidate(buf, i, end);
        }
    }

    // The last line, when characters follow the last line end.
    LineCount finish(std::int64_t size)
    {
        std::int64_t rest = size - (last_cr_ + 1);
        if (line_feed_after_last_cr_)
            --rest;
        if (rest > 0)
            ++count_.lines;
        return count_;
    }

private:
    // Remembers the latest carriage return and whether a line feed follows it
    // (the byte after it is held: the margin, or zeros at the end of the file).
    void note_cr(const char* buf, std::size_t at, std::int64_t offset)
    {
        last_cr_ = offset + static_cast<std::int64_t>(at);
        line_feed_after_last_cr_ = at + 1 < end_ && buf[at + 1] == '\n';
    }

#if defined(__SSE2__)
    void fold(__m128i& lanes)
    {
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        count_.lines += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
        lanes = _mm_setzero_si128();
    }
#endif

    // The byte k places before buf[at] (k = 1 or 2).
    char byte_before(const char* buf, std::size_t at, std::size_t k) const
    {
        if (at >= from_ + k)
            return buf[at - k];
        return before_[2 - (k - (at - from_))];
    }

    void check_candidate(const char* buf, std::size_t at, std::size_t end)
    {
        // At the file's start both look-back bytes are zeros, which makes it a line start too.
        const char one = byte_before(buf, at, 1);
        const bool line_start = one == '\r' || (one == '\n' && byte_before(buf, at, 2) == '\r') ||
                                (one == '\0' && at_file_start(at));
        if (!line_start)
            return;
        // The line's text up to its end (or what the margin holds: enough for any keyword).
        const char* text = buf + at;
        const std::size_t available = end - at;
        const void* stop = std::memchr(text, '\r', available);
        const std::size_t length = stop ? static_cast<std::size_t>(static_cast<const char*>(stop) - text) : available;
        if (keyword_.test(std::string_view(text, length)))
            ++count_.object_starts;
    }

    bool at_file_start(std::size_t at) const { return offset_ + static_cast<std::int64_t>(at) == 0; }

    ObjectStartKeyword keyword_;
    char before_[2] = {0, 0};
    std::size_t from_ = 0;
    std::size_t end_ = 0;
    std::int64_t offset_ = 0;
    LineCount count_;
    std::int64_t last_cr_ = -1;
    bool line_feed_after_last_cr_ = false;
};

bool count_line_by_line(const std::string& path, const ObjectStartKeyword& keyword, LineCount& count,
                        std::string& error)
{
    LineSource source({true});
    if (!source.open(path, error))
        return false;
    std::string_view line;
    count = {};
    while (source.next(line)) {
        ++count.lines;
        if (keyword.test(line))
            ++count.object_starts;
    }
    if (source.read_failed()) {
        error = "The file \"" + path + "\" could not be read to its end.";
        return false;
    }
    return true;
}

} // namespace

namespace {

bool count_mapped(int fd, std::int64_t size, std::int64_t window_size, const ObjectStartKeyword& keyword,
                  LineCount& count)
{
    const auto page = static_cast<std::int64_t>(::sysconf(_SC_PAGESIZE));
    const std::int64_t window = std::max(page, window_size / page * page);
    BlockCounter counter(keyword);
    char before[2] = {0, 0};
    for (std::int64_t offset = 0; offset < size; offset += window) {
        const auto length = static_cast<std::size_t>(std::min(window, size - offset));
        // One page more than is counted, to read keywords that cross the window's end.
        const auto mapped = static_cast<std::size_t>(std::min(window + page, size - offset));
        void* base = ::mmap(nullptr, mapped, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, static_cast<off_t>(offset));
        if (base == MAP_FAILED)
            return false;
        const char* bytes = static_cast<const char*>(base);
        counter.count(bytes, 0, length, mapped, offset, before);
        if (length >= 2) {
            before[0] = bytes[length - 2];
            before[1] = bytes[length - 1];
        } else {
            before[0] = before[1];
            before[1] = bytes[0];
        }
        ::munmap(base, mapped);
    }
    count = counter.finish(size);
    return true;
}

bool count_read(std::FILE* file, const ObjectStartKeyword& keyword, LineCount& count)
{
    // buf: [margin: the bytes before the uncounted ones][uncounted bytes][room]
    std::vector<char> buf(margin + block_size + margin, '\0');
    BlockCounter counter(keyword);
    std::size_t held = 0;    // uncounted bytes, from buf[margin] on
    std::int64_t offset = 0; // file offset of buf[margin]
    auto count_part = [&](std::size_t length) {
        const char before[2] = {buf[margin - 2], buf[margin - 1]};
        counter.count(buf.data(), margin, margin + length, margin + held, offset - static_cast<std::int64_t>(margin),
                      before);
    };
    for (;;) {
        const std::size_t got = std::fread(buf.data() + margin + held, 1, block_size - held, file);
        held += got;
        if (got == 0) {
            // Count what is left, with zeros after it.
            std::memset(buf.data() + margin + held, 0, margin);
            count_part(held);
            offset += static_cast<std::int64_t>(held);
            break;
        }
        // Leave the last `margin` bytes uncounted, so a keyword starting before
        // them can be read whole.
        if (held <= margin)
            continue;
        const std::size_t count_to = held - margin;
        count_part(count_to);
        // Shift left: the last `margin` counted bytes become the look-back part.
        std::memmove(buf.data(), buf.data() + count_to, margin + held - count_to);
        offset += static_cast<std::int64_t>(count_to);
        held -= count_to;
    }
    if (std::ferror(file))
        return false;
    count = counter.finish(offset);
    return true;
}

} // namespace

bool count_lines_and_objects(const std::string& path, const CountOptions& options, const ObjectStartKeyword& keyword,
                             LineCount& count, std::string& error)
{
    if (options.lf_ends_line)
        return count_line_by_line(path, keyword, count, error);
    const std::string cannot_read = "The file \"" + path + "\" could not be read to its end.";
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        const int code = errno ? errno : EIO;
        error = "The file \"" + path + "\" could not be opened for reading (" + std::generic_category().message(code) + ").";
        return false;
    }
    struct stat info {};
    const bool regular = ::fstat(::fileno(file), &info) == 0 && S_ISREG(info.st_mode);
    if (regular && options.map_files &&
        count_mapped(::fileno(file), static_cast<std::int64_t>(info.st_size), options.window_size, keyword, count)) {
        std::fclose(file);
        return true;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    const bool read = count_read(file, keyword, count);
    std::fclose(file);
    if (!read)
        error = cannot_read;
    return read;
}

} // namespace trevanix
