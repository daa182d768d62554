#include "format/line_counter.hpp"

#include <algorithm>
#include <cstring>
#include <memory>

#include "format/block_reader.hpp"
#include "format/line_scan.hpp"

namespace trevanix {

namespace {

// Bytes held in front of each block (those that precede it) and after it
// (those that follow it, to read a keyword ahead).
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
        : file_(file), options_(options), keyword_(keyword), reader_(block_options(options))
    {
    }

    CountEnd run(LineCount& count, std::string& error)
    {
        // One candidate per byte of a block at most.
        const auto largest_block = static_cast<std::size_t>(
            std::min<std::uint64_t>(std::max<std::size_t>(options_.block_size, 16), file_.size()));
        candidates_.reset(new std::uint32_t[largest_block + line_scan_slack]);
        reader_.start(file_);
        ReadBlock block;
        if (!reader_.next(block))
            return ended(error);
        // Nothing precedes the file's first byte: no line end.
        std::memset(block.data - margin, 0, margin);
        if (block.size > 0)
            test_file_start(block);
        for (;;) {
            count_block(block);
            if (block.last)
                break;
            // The block's last bytes go in front of the next: pairs and line
            // starts are judged by the bytes before them.
            const char* tail = block.data + block.size - margin;
            if (!reader_.next(block, tail, margin))
                return ended(error);
        }
        count = finish(block);
        return CountEnd::Counted;
    }

private:
    static BlockReaderOptions block_options(const CountOptions& options)
    {
        BlockReaderOptions blocks;
        blocks.block_size = options.block_size;
        blocks.room_before = margin;
        blocks.bytes_after = margin; // to read a keyword that crosses the block's end
        blocks.stop = options.stop;
        return blocks;
    }

    CountEnd ended(std::string& error) const
    {
        switch (reader_.end()) {
        case BlockReadEnd::Stopped:
            return CountEnd::Stopped;
        case BlockReadEnd::Changed:
            error = file_.changed_message();
            return CountEnd::Unreadable;
        case BlockReadEnd::Failed:
        case BlockReadEnd::Whole:
            break;
        }
        error = file_.failed_message();
        return CountEnd::Unreadable;
    }

    void test_file_start(const ReadBlock& block)
    {
        const char first = block.data[0];
        if ((first == keyword_.first_lower || first == keyword_.first_upper) && starts_object(block, 0))
            ++starts_.after_any_line_end;
    }

    // The keyword test on the line that starts at block.data[at]: its text up
    // to the first CR or LF (a keyword holds neither), or as far as the file
    // and the bytes held after the block go.
    bool starts_object(const ReadBlock& block, std::size_t at) const
    {
        const char* text = block.data + at;
        const std::size_t held = block.size - at + (block.last ? 0 : margin);
        const std::size_t available = std::min(held, margin);
        std::size_t length = 0;
        while (length < available && text[length] != '\r' && text[length] != '\n')
            ++length;
        return keyword_.test(std::string_view(text, length));
    }

    void count_block(const ReadBlock& block)
    {
        const std::size_t found = tally_line_ends(block.data, 0, block.size, keyword_.first_lower,
                                                  keyword_.first_upper, tally_, candidates_.get());
        for (std::size_t k = 0; k < found; ++k) {
            const std::size_t at = candidates_[k];
            if (!starts_object(block, at))
                continue;
            // The two bytes before a block's first bytes are held in front of it.
            const char* text = block.data + at;
            if (text[-1] == '\r' || text[-2] == '\r')
                ++starts_.after_any_line_end; // after CR, or after CR LF
            else
                ++starts_.after_lone_line_feed;
        }
    }

    // The counts under the rule the file calls for; `block` ends the file.
    LineCount finish(const ReadBlock& block) const
    {
        const char* end = block.data + block.size; // the two bytes before it are held
        const char last = end[-1];
        const char before_last = end[-2];
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
    BlockReader reader_;
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
