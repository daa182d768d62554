#include "format/line_source.hpp"

#include <algorithm>
#include <cstring>

#include "format/line_scan.hpp"

namespace trevanix {

LineSource::LineSource(LineSourceOptions options) : options_(options)
{
    options_.block_size = std::max<std::size_t>(options_.block_size, 16);
}

LineSource::~LineSource() { close(); }

bool LineSource::open(const std::string& path, std::string& error)
{
    close();
    if (!own_file_.open(path, error))
        return false;
    file_ = &own_file_;
    return start(error);
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
    return start(error);
}

bool LineSource::start(std::string&)
{
    // An unfinished line of up to max_line_length bytes and a CR, a block,
    // and the sentinel after it. Pages are only taken as they are used.
    if (!buffer_) {
        capacity_ = max_line_length + 1 + options_.block_size + 1;
        buffer_.reset(new char[capacity_]);
        ends_.reset(new std::uint32_t[options_.block_size + 1 + line_scan_slack]);
    }
    data_ = buffer_.get();
    data_[0] = '\0';
    file_offset_ = 0;
    begin_ = scanned_to_ = end_ = 0;
    next_end_ = end_count_ = 0;
    whole_file_held_ = false;
    skipping_ = false;
    line_cut_ = false;
    failure_ = Failure::None;
    lines_read_ = 0;
    return true;
}

void LineSource::close() noexcept
{
    own_file_.close();
    file_ = nullptr;
    begin_ = scanned_to_ = end_ = 0;
    next_end_ = end_count_ = 0;
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

// Moves the start of an unfinished line to the front of the buffer, with the
// part of it already scanned.
void LineSource::keep_unfinished_line()
{
    const std::size_t kept = end_ - begin_;
    if (begin_ > 0 && kept > 0)
        std::memmove(data_, data_ + begin_, kept);
    scanned_to_ -= begin_;
    end_ = kept;
    begin_ = 0;
    next_end_ = end_count_ = 0;
}

// Reads the next block after what is held and finds its line ends. A CR at
// the block's end is left unscanned until the next block shows whether an LF
// follows it.
bool LineSource::read_block()
{
    keep_unfinished_line();
    if (options_.stop && options_.stop->load(std::memory_order_relaxed)) {
        failure_ = Failure::Stopped;
        return false;
    }
    std::size_t got = 0;
    const std::size_t room = std::min(options_.block_size, capacity_ - 1 - end_);
    switch (file_->read_at(file_offset_, data_ + end_, room, got)) {
    case ReadOutcome::Read:
        break;
    case ReadOutcome::Changed:
        failure_ = Failure::Changed;
        return false;
    case ReadOutcome::Failed:
        failure_ = Failure::Failed;
        return false;
    }
    file_offset_ += got;
    end_ += got;
    data_[end_] = '\0';
    if (file_offset_ >= file_->size()) {
        whole_file_held_ = true;
        // Written to while it was read: the bytes held may mix two versions.
        if (!file_->unchanged()) {
            failure_ = Failure::Changed;
            return false;
        }
    }
    std::size_t scan_to = end_;
    if (!whole_file_held_ && scan_to > scanned_to_ && data_[scan_to - 1] == '\r')
        --scan_to;
    end_count_ = find_line_end_bytes(data_, scanned_to_, scan_to, options_.lf_ends_line, ends_.get());
    next_end_ = 0;
    scanned_to_ = scan_to;
    return true;
}

// Drops the rest of a cut line, block by block, up to its line end.
void LineSource::skip_rest_of_cut_line()
{
    for (;;) {
        if (next_end_ < end_count_) {
            pass_line_end(ends_[next_end_++]);
            skipping_ = false;
            return;
        }
        begin_ = scanned_to_; // no line end among them: none of these bytes is kept
        if (whole_file_held_) {
            skipping_ = false;
            return;
        }
        if (!read_block())
            return;
    }
}

bool LineSource::next_slow(std::string_view& line)
{
    for (;;) {
        if (!file_ || failure_ != Failure::None)
            return false;
        if (skipping_) {
            skip_rest_of_cut_line();
            continue;
        }
        if (next_end_ < end_count_) {
            // The line's end is known (a line longer than the bound is cut).
            const std::size_t at = ends_[next_end_++];
            line_cut_ = at - begin_ > max_line_length;
            line = std::string_view(data_ + begin_, line_cut_ ? max_line_length : at - begin_);
            pass_line_end(at);
            ++lines_read_;
            return true;
        }
        // No line end among the held bytes: they start a line (the last of
        // them may be a CR whose LF is still to come).
        if (scanned_to_ - begin_ > max_line_length) {
            line = std::string_view(data_ + begin_, max_line_length);
            line_cut_ = true;
            skipping_ = true; // the rest goes at the next read
            ++lines_read_;
            return true;
        }
        if (whole_file_held_) {
            if (begin_ == end_)
                return false;
            // The last line, without a line end.
            line = std::string_view(data_ + begin_, end_ - begin_);
            line_cut_ = false;
            begin_ = end_;
            ++lines_read_;
            return true;
        }
        if (!read_block())
            return false;
    }
}

bool LineSource::at_end()
{
    for (;;) {
        if (!file_ || failure_ != Failure::None)
            return true;
        if (skipping_) {
            skip_rest_of_cut_line();
            continue;
        }
        if (begin_ < end_)
            return false;
        if (whole_file_held_ || !read_block())
            return true;
    }
}

} // namespace trevanix
