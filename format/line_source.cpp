#include "format/line_source.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace trevanix {

namespace {

std::string open_error(const std::string& path, int code)
{
    return "The file \"" + path + "\" could not be opened for reading (" +
           std::generic_category().message(code ? code : EIO) + ").";
}

} // namespace

LineSource::LineSource(LineSourceOptions options) : options_(options)
{
    if (options_.block_size < 16)
        options_.block_size = 16;
    // Mapped windows start at multiples of the page size.
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    options_.window_size = std::max(page, options_.window_size / page * page);
}

LineSource::~LineSource() { close(); }

bool LineSource::open(const std::string& path, std::string& error)
{
    close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = open_error(path, errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = open_error(path, errno);
        ::close(fd);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        error = open_error(path, EISDIR);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    mapped_mode_ = options_.map_files && S_ISREG(info.st_mode);
    file_size_ = mapped_mode_ ? static_cast<std::uint64_t>(info.st_size) : 0;
    file_offset_ = 0;
    data_ = nullptr;
    begin_ = end_ = 0;
    carry_.clear();
    eof_ = false;
    skip_line_feed_ = false;
    read_failed_ = false;
    lines_read_ = 0;
    return true;
}

void LineSource::unmap() noexcept
{
    if (window_) {
        ::munmap(window_, window_length_);
        window_ = nullptr;
        window_length_ = 0;
    }
}

void LineSource::close() noexcept
{
    unmap();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    data_ = nullptr;
    begin_ = end_ = 0;
    eof_ = true;
}

bool LineSource::map_next_window()
{
    unmap();
    if (file_offset_ >= file_size_) {
        eof_ = true;
        return false;
    }
    const std::size_t length = static_cast<std::size_t>(
        std::min<std::uint64_t>(options_.window_size, file_size_ - file_offset_));
    void* window = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd_,
                          static_cast<off_t>(file_offset_));
    if (window == MAP_FAILED) {
        // Fall back to plain reads from here on (a file system without mapping).
        mapped_mode_ = false;
        if (::lseek(fd_, static_cast<off_t>(file_offset_), SEEK_SET) < 0) {
            read_failed_ = true;
            eof_ = true;
            return false;
        }
        return read_next_block();
    }
    ::madvise(window, length, MADV_SEQUENTIAL);
    window_ = window;
    window_length_ = length;
    data_ = static_cast<const char*>(window);
    begin_ = 0;
    end_ = length;
    file_offset_ += length;
    return true;
}

bool LineSource::read_next_block()
{
    if (buffer_.size() < options_.block_size)
        buffer_.resize(options_.block_size);
    for (;;) {
        const ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
        if (got > 0) {
            data_ = buffer_.data();
            begin_ = 0;
            end_ = static_cast<std::size_t>(got);
            file_offset_ += static_cast<std::uint64_t>(got);
            return true;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            read_failed_ = true;
        eof_ = true;
        return false;
    }
}

// Replaces what is held with the next stretch of the file; false at its end.
bool LineSource::load_more()
{
    if (eof_ || fd_ < 0)
        return false;
    return mapped_mode_ ? map_next_window() : read_next_block();
}

bool LineSource::at_end()
{
    if (begin_ == end_ && !load_more())
        return true;
    if (skip_line_feed_) {
        skip_line_feed_ = false;
        if (data_[begin_] == '\n' && ++begin_ == end_)
            return !load_more();
    }
    return false;
}

bool LineSource::next_slow(std::string_view& line)
{
    if (at_end())
        return false;
    const std::size_t stop = find_line_end(data_, begin_, end_);
    if (stop < end_) {
        line = std::string_view(data_ + begin_, stop - begin_);
        begin_ = stop + 1;
        if (data_[stop] == '\r') {
            if (begin_ < end_) {
                if (data_[begin_] == '\n')
                    ++begin_;
            } else {
                skip_line_feed_ = true;
            }
        }
        ++lines_read_;
        return true;
    }
    // The line runs past what is held: gather it across windows or blocks.
    carry_.assign(data_ + begin_, end_ - begin_);
    begin_ = end_;
    while (load_more()) {
        const std::size_t at = find_line_end(data_, 0, end_);
        carry_.append(data_, at);
        if (at < end_) {
            begin_ = at + 1;
            if (data_[at] == '\r') {
                if (begin_ < end_) {
                    if (data_[begin_] == '\n')
                        ++begin_;
                } else {
                    skip_line_feed_ = true;
                }
            }
            break;
        }
        begin_ = end_;
    }
    line = carry_;
    ++lines_read_;
    return true;
}

bool file_has_lone_line_feed(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    std::vector<char> block(std::size_t{1} << 20);
    char previous = '\0';
    bool found = false;
    std::size_t got = 0;
    while (!found && (got = std::fread(block.data(), 1, block.size(), file)) > 0) {
        for (std::size_t i = 0; i < got; ++i) {
            if (block[i] == '\n' && previous != '\r') {
                found = true;
                break;
            }
            previous = block[i];
        }
    }
    std::fclose(file);
    return found;
}

} // namespace trevanix
