#include "state/spill_buffer.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

namespace trevanix {

namespace {

constexpr std::size_t read_piece = std::size_t{1} << 16;

std::string temporary_folder()
{
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? std::string(folder) : std::string("/tmp");
}

// An unnamed file in the temporary folder: O_TMPFILE where the file system
// has it, else a named one removed at once.
int open_unnamed_temporary()
{
    const std::string folder = temporary_folder();
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
        return fd;
    std::string name = folder + "/trevanix-spill-XXXXXX";
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0)
        ::unlink(name.c_str());
    return named;
}

bool write_all(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

SpillBuffer::~SpillBuffer() { clear(); }

SpillBuffer::SpillBuffer(SpillBuffer&& other) noexcept
    : memory_limit_(other.memory_limit_), tail_(std::move(other.tail_)), spilled_(std::exchange(other.spilled_, 0)),
      fd_(std::exchange(other.fd_, -1)), spill_failed_(std::exchange(other.spill_failed_, false))
{
    other.tail_.clear();
}

SpillBuffer& SpillBuffer::operator=(SpillBuffer&& other) noexcept
{
    if (this != &other) {
        clear();
        memory_limit_ = other.memory_limit_;
        tail_ = std::exchange(other.tail_, {});
        spilled_ = std::exchange(other.spilled_, 0);
        fd_ = std::exchange(other.fd_, -1);
        spill_failed_ = std::exchange(other.spill_failed_, false);
    }
    return *this;
}

void SpillBuffer::append(std::string_view bytes)
{
    tail_.append(bytes);
    if (tail_.size() >= memory_limit_ && !spill_failed_ && !spill())
        spill_failed_ = true;
}

bool SpillBuffer::spill()
{
    if (fd_ < 0)
        fd_ = open_unnamed_temporary();
    if (fd_ < 0 || ::lseek(fd_, static_cast<off_t>(spilled_), SEEK_SET) < 0 || !write_all(fd_, tail_))
        return false;
    spilled_ += tail_.size();
    tail_.clear();
    tail_.shrink_to_fit();
    return true;
}

void SpillBuffer::clear() noexcept
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    spilled_ = 0;
    spill_failed_ = false;
    tail_.clear();
    tail_.shrink_to_fit();
}

bool SpillBuffer::Reader::refill()
{
    const std::uint64_t left = buffer_.spilled_ - position_;
    piece_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(left, read_piece)));
    piece_at_ = 0;
    std::size_t got = 0;
    while (got < piece_.size()) {
        const ssize_t n = ::pread(buffer_.fd_, piece_.data() + got, piece_.size() - got,
                                  static_cast<off_t>(position_ + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failed_ = true;
            piece_.clear();
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

std::string_view SpillBuffer::Reader::next(std::size_t most)
{
    if (failed_ || most == 0)
        return {};
    if (piece_at_ == piece_.size() && position_ < buffer_.spilled_ && !refill())
        return {};
    if (piece_at_ < piece_.size()) {
        const std::size_t n = std::min(most, piece_.size() - piece_at_);
        const std::string_view out = std::string_view(piece_).substr(piece_at_, n);
        piece_at_ += n;
        position_ += n;
        return out;
    }
    const auto at = static_cast<std::size_t>(position_ - buffer_.spilled_);
    if (at >= buffer_.tail_.size())
        return {};
    const std::size_t n = std::min(most, buffer_.tail_.size() - at);
    position_ += n;
    return std::string_view(buffer_.tail_).substr(at, n);
}

bool SpillBuffer::Reader::next_byte(unsigned char& byte)
{
    const std::string_view one = next(1);
    if (one.empty())
        return false;
    byte = static_cast<unsigned char>(one[0]);
    return true;
}

bool SpillBuffer::Reader::next_bytes(std::size_t count, std::string& out)
{
    while (count > 0) {
        const std::string_view piece = next(count);
        if (piece.empty())
            return false;
        out.append(piece);
        count -= piece.size();
    }
    return true;
}

} // namespace trevanix
