#include "analysis/line_source.hpp"

#include <cerrno>
#include <cstring>
#include <system_error>

namespace trevanix {

LineSource::LineSource(LineSourceOptions options) : options_(options)
{
    if (options_.block_size < 16)
        options_.block_size = 16;
}

LineSource::~LineSource() { close(); }

bool LineSource::open(const std::string& path, std::string& error)
{
    close();
    errno = 0;
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) {
        const int code = errno;
        error = "The file \"" + path + "\" could not be opened for reading (" +
                std::generic_category().message(code ? code : EIO) + ").";
        return false;
    }
    std::setvbuf(file_, nullptr, _IONBF, 0); // we read in large blocks ourselves
    buffer_.resize(options_.block_size);
    begin_ = end_ = 0;
    eof_ = false;
    skip_line_feed_ = false;
    read_failed_ = false;
    saw_lone_lf_ = false;
    lines_read_ = 0;
    return true;
}

void LineSource::close() noexcept
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    begin_ = end_ = 0;
    eof_ = true;
}

bool LineSource::refill()
{
    if (eof_ || !file_)
        return false;
    // Keep the unread tail, moved to the front; grow when a single line fills the block.
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == buffer_.size())
        buffer_.resize(buffer_.size() * 2);
    const std::size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
    if (got == 0) {
        if (std::ferror(file_))
            read_failed_ = true;
        eof_ = true;
        return false;
    }
    end_ += got;
    return true;
}

void LineSource::note_lone_line_feeds(const char* begin, const char* end) noexcept
{
    if (!saw_lone_lf_ && std::memchr(begin, '\n', static_cast<std::size_t>(end - begin)))
        saw_lone_lf_ = true;
}

std::size_t LineSource::find_line_end(std::size_t from) noexcept
{
    const char* base = buffer_.data();
    const std::size_t length = end_ - from;
    const void* cr = std::memchr(base + from, '\r', length);
    if (!options_.lf_ends_line)
        return cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - base) : end_;
    const std::size_t cr_at = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - base) : end_;
    const void* lf = std::memchr(base + from, '\n', cr_at - from);
    return lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - base) : cr_at;
}

bool LineSource::at_end()
{
    if (skip_line_feed_) {
        if (begin_ == end_)
            refill();
        if (begin_ < end_ && buffer_[begin_] == '\n')
            ++begin_;
        skip_line_feed_ = false;
    }
    if (begin_ < end_)
        return false;
    return !refill();
}

bool LineSource::next(std::string_view& line)
{
    if (at_end())
        return false;
    std::size_t scanned = begin_;
    for (;;) {
        const std::size_t stop = find_line_end(scanned);
        if (stop < end_) {
            const char* base = buffer_.data();
            line = std::string_view(base + begin_, stop - begin_);
            if (!options_.lf_ends_line)
                note_lone_line_feeds(base + begin_, base + stop);
            begin_ = stop + 1;
            if (base[stop] == '\r') {
                if (begin_ < end_) {
                    if (base[begin_] == '\n')
                        ++begin_;
                } else {
                    skip_line_feed_ = true;
                }
            }
            ++lines_read_;
            return true;
        }
        // No line end in what is held: read more, unless the file is done.
        const std::size_t held = end_ - begin_;
        if (!refill()) {
            const char* base = buffer_.data();
            line = std::string_view(base + begin_, end_ - begin_);
            if (!options_.lf_ends_line)
                note_lone_line_feeds(base + begin_, base + end_);
            begin_ = end_;
            ++lines_read_;
            return true;
        }
        scanned = begin_ + held; // refill moved the tail to the front
    }
}

} // namespace trevanix
