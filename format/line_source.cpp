#include "format/line_source.hpp"

#include <algorithm>

namespace trevanix {

namespace {

BlockReaderOptions block_options(const LineSourceOptions& options)
{
    BlockReaderOptions blocks;
    blocks.block_size = std::max<std::size_t>(options.block_size, 16);
    // Room for the start of a line that runs on into the next block.
    blocks.room_before = LineSource::max_line_length;
    blocks.bytes_after = 1; // shows whether an LF follows a CR at the block's end
    blocks.find_line_ends = true;
    blocks.lf_ends_line = options.lf_ends_line;
    blocks.stop = options.stop;
    return blocks;
}

} // namespace

LineSource::LineSource(LineSourceOptions options) : options_(options), reader_(block_options(options)) {}

LineSource::~LineSource() { close(); }

bool LineSource::open(const std::string& path, std::string& error)
{
    close();
    if (!own_file_.open(path, error))
        return false;
    file_ = &own_file_;
    start();
    return true;
}

bool LineSource::open(const SceneFile& file, std::string& error)
{
    close();
    if (!file.is_open()) {
        error = file.failed_message();
        return false;
    }
    if (!file.unchanged()) {
        error = file.changed_message();
        return false;
    }
    file_ = &file;
    start();
    return true;
}

void LineSource::start()
{
    failure_ = Failure::None;
    skipping_ = false;
    line_cut_ = false;
    lines_read_ = 0;
    bytes_reached_ = 0;
    next_end_ = 0;
    block_ = {};
    line_start_ = nullptr;
    reader_.start(*file_);
    move_to_next_block();
}

void LineSource::close() noexcept
{
    reader_.finish();
    own_file_.close();
    file_ = nullptr;
    block_ = {};
    line_start_ = nullptr;
    next_end_ = 0;
}

std::string LineSource::failure_message() const
{
    const SceneFile& file = file_ ? *file_ : own_file_;
    switch (failure_) {
    case Failure::Failed:
        return file.failed_message();
    case Failure::Changed:
        return file.changed_message();
    case Failure::None:
    case Failure::Stopped:
        break;
    }
    return {};
}

// Goes on to the next block, with the unfinished line (or, after a CR at the
// block's end, the LF that belongs to it) carried over.
bool LineSource::move_to_next_block()
{
    std::size_t keep = 0;
    std::size_t skip = 0;
    if (block_.data != nullptr) {
        if (line_start_ > block_end())
            skip = static_cast<std::size_t>(line_start_ - block_end());
        else if (!skipping_)
            keep = static_cast<std::size_t>(block_end() - line_start_);
    }
    ReadBlock next;
    if (!reader_.next(next, line_start_, keep)) {
        switch (reader_.end()) {
        case BlockReadEnd::Whole:
            break;
        case BlockReadEnd::Failed:
            failure_ = Failure::Failed;
            break;
        case BlockReadEnd::Changed:
            failure_ = Failure::Changed;
            break;
        case BlockReadEnd::Stopped:
            failure_ = Failure::Stopped;
            break;
        }
        block_ = {};
        line_start_ = nullptr;
        next_end_ = 0;
        return false;
    }
    block_ = next;
    bytes_reached_ += next.size;
    line_start_ = block_.data - keep + skip;
    next_end_ = 0;
    while (next_end_ < block_.end_count && block_.ends[next_end_] < skip)
        ++next_end_;
    return true;
}

// Drops the rest of a cut line, block by block, up to its line end. False
// when reading ended first.
bool LineSource::skip_rest_of_cut_line()
{
    for (;;) {
        if (next_end_ < block_.end_count) {
            pass_line_end(block_.data + block_.ends[next_end_++]);
            skipping_ = false;
            return true;
        }
        line_start_ = block_end(); // none of these bytes is kept
        if (block_.last) {
            skipping_ = false;
            return true;
        }
        if (!move_to_next_block())
            return false;
    }
}

bool LineSource::next_slow(std::string_view& line)
{
    for (;;) {
        if (block_.data == nullptr || failure_ != Failure::None)
            return false;
        if (skipping_) {
            if (!skip_rest_of_cut_line())
                return false;
            continue;
        }
        if (next_end_ < block_.end_count) {
            // The line's end is known (a line longer than the bound is cut).
            const char* at = block_.data + block_.ends[next_end_++];
            const auto length = static_cast<std::size_t>(at - line_start_);
            line_cut_ = length > max_line_length;
            line = std::string_view(line_start_, line_cut_ ? max_line_length : length);
            pass_line_end(at);
            ++lines_read_;
            return true;
        }
        // No line end is left in the block: its last bytes start a line.
        const std::size_t held = line_start_ < block_end() ? static_cast<std::size_t>(block_end() - line_start_) : 0;
        if (held > max_line_length) {
            line = std::string_view(line_start_, max_line_length);
            line_cut_ = true;
            skipping_ = true; // the rest goes at the next read
            ++lines_read_;
            return true;
        }
        if (block_.last) {
            if (held == 0)
                return false;
            // The last line, without a line end.
            line = std::string_view(line_start_, held);
            line_cut_ = false;
            line_start_ = block_end();
            ++lines_read_;
            return true;
        }
        if (!move_to_next_block())
            return false;
    }
}

bool LineSource::at_end()
{
    for (;;) {
        if (block_.data == nullptr || failure_ != Failure::None)
            return true;
        if (skipping_) {
            if (!skip_rest_of_cut_line())
                return true;
            continue;
        }
        if (next_end_ < block_.end_count || line_start_ < block_end())
            return false;
        if (block_.last || !move_to_next_block())
            return true;
    }
}

} // namespace trevanix
