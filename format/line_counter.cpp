#include "format/line_counter.hpp"

#include <algorithm>
#include <cstring>
#include <memory>

#include "format/line_scan.hpp"

namespace trevanix {

namespace {

// Room before the uncounted bytes for the bytes that precede them, and after
// them (held back until the next block) for reading a keyword ahead.
constexpr std::size_t margin = 64;

// Line starts where an object may start, by what precedes them: the file's
// start, a CR or a CR LF pair (a line start under every rule), or a lone LF
// (a line start only where a lone LF ends a line).
struct ObjectStarts {
    std::int64_t after_any_line_end = 0;
    std::int64_t after_lone_line_feed = 0;
};

class LineCounter {
public:
    LineCounter(const SceneFile& file, const CountOptions& options, const ObjectStartKeyword& keyword)
        : file_(file), options_(options), keyword_(keyword),
          block_(std::max<std::size_t>(options.block_size, 4 * margin)),
          buffer_(new char[margin + block_ + margin]()),
          candidates_(new std::uint32_t[block_ + line_scan_slack])
    {
    }

    CountEnd run(LineCount& count, std::string& error)
    {
        std::uint64_t read_to = 0; // file offset of the next read
        std::size_t held = 0;      // uncounted bytes, from buffer_[margin] on
        bool first = true;
        for (;;) {
            if (options_.stop && options_.stop->load(std::memory_order_relaxed))
                return CountEnd::Stopped;
            std::size_t got = 0;
            const ReadOutcome outcome = file_.read_at(read_to, buffer_.get() + margin + held, block_ - held, got);
            if (outcome != ReadOutcome::Read) {
                error = outcome == ReadOutcome::Changed ? file_.changed_message() : file_.failed_message();
                return CountEnd::Unreadable;
            }
            read_to += got;
            held += got;
            const bool whole = read_to >= file_.size();
            if (first && held > 0)
                test_file_start(held);
            first = false;
            // Keep the last `margin` bytes for the next round, so a keyword that
            // starts before them can be read whole.
            const std::size_t count_to = whole ? held : (held > margin ? held - margin : 0);
            count_part(count_to, held);
            if (whole)
                break;
            std::memmove(buffer_.get(), buffer_.get() + count_to, margin + held - count_to);
            held -= count_to;
        }
        if (!file_.unchanged()) {
            error = file_.changed_message();
            return CountEnd::Unreadable;
        }
        count = finish(held);
        return CountEnd::Counted;
    }

private:
    void test_file_start(std::size_t held)
    {
        const char first = buffer_[margin];
        if ((first == keyword_.first_lower || first == keyword_.first_upper) && starts_object(margin, held))
            ++starts_.after_any_line_end;
    }

    // The keyword test on the line that starts at buffer_[at]: its text up to
    // the first CR or LF (a keyword holds neither), or as far as is held.
    bool starts_object(std::size_t at, std::size_t held) const
    {
        const char* text = buffer_.get() + at;
        const std::size_t available = std::min(margin + held - at, margin);
        std::size_t length = 0;
        while (length < available && text[length] != '\r' && text[length] != '\n')
            ++length;
        return keyword_.test(std::string_view(text, length));
    }

    void count_part(std::size_t count_to, std::size_t held)
    {
        const std::size_t found = tally_line_ends(buffer_.get(), margin, margin + count_to, keyword_.first_lower,
                                                  keyword_.first_upper, tally_, candidates_.get());
        for (std::size_t k = 0; k < found; ++k) {
            const std::size_t at = candidates_[k];
            if (!starts_object(at, held))
                continue;
            const char one_back = buffer_[at - 1];
            const char two_back = buffer_[at - 2];
            if (one_back == '\r' || two_back == '\r')
                ++starts_.after_any_line_end; // after CR, or after CR LF
            else
                ++starts_.after_lone_line_feed;
        }
    }

    // The counts under the rule the file calls for. `held` bytes end the file.
    LineCount finish(std::size_t held) const
    {
        const char last = buffer_[margin + held - 1];
        const char before_last = buffer_[margin + held - 2];
        const bool empty = file_.size() == 0;
        const std::int64_t lone_line_feeds = tally_.line_feeds - tally_.line_feeds_after_carriage_return;

        LineCount count;
        count.lone_line_feeds = lone_line_feeds > 0;
        count.lf_ends_line = options_.lf_ends_line || (tally_.carriage_returns == 0 && tally_.line_feeds > 0);
        if (count.lf_ends_line) {
            const bool last_line_open = !empty && last != '\r' && last != '\n';
            count.lines = tally_.carriage_returns + lone_line_feeds + (last_line_open ? 1 : 0);
            count.object_starts = starts_.after_any_line_end + starts_.after_lone_line_feed;
        } else {
            const bool last_line_open = !empty && last != '\r' && !(last == '\n' && before_last == '\r');
            count.lines = tally_.carriage_returns + (last_line_open ? 1 : 0);
            count.object_starts = starts_.after_any_line_end;
        }
        return count;
    }

    const SceneFile& file_;
    const CountOptions& options_;
    ObjectStartKeyword keyword_;
    std::size_t block_;
    // [margin: the bytes before the uncounted ones][uncounted bytes][room]
    std::unique_ptr<char[]> buffer_;
    std::unique_ptr<std::uint32_t[]> candidates_;
    LineEndTally tally_;
    ObjectStarts starts_;
};

} // namespace

CountEnd count_lines_and_objects(const SceneFile& file, const CountOptions& options, const ObjectStartKeyword& keyword,
                                 LineCount& count, std::string& error)
{
    count = {};
    if (!file.unchanged()) {
        error = file.changed_message();
        return CountEnd::Unreadable;
    }
    return LineCounter(file, options, keyword).run(count, error);
}

CountEnd count_lines_and_objects(const std::string& path, const CountOptions& options,
                                 const ObjectStartKeyword& keyword, LineCount& count, std::string& error)
{
    SceneFile file;
    if (!file.open(path, error))
        return CountEnd::Unreadable;
    return count_lines_and_objects(file, options, keyword, count, error);
}

} // namespace trevanix
