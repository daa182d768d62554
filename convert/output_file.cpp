#include "convert/output_file.hpp"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace trevanix {

namespace {

std::atomic<unsigned> temporary_counter{0};

std::string temporary_name_for(const std::string& target)
{
    return target + ".trevanix-" + std::to_string(::getpid()) + "-" + std::to_string(temporary_counter++) + ".tmp";
}

} // namespace

std::string write_error_text(const std::string& path, int code)
{
    return "The file \"" + path + "\" could not be written (" + std::generic_category().message(code ? code : EIO) +
           "). Nothing was changed in it.";
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), target_(std::move(other.target_)), temporary_(std::move(other.temporary_)),
      buffer_(std::move(other.buffer_)), error_(std::move(other.error_))
{
}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept
{
    if (this != &other) {
        abandon();
        fd_ = std::exchange(other.fd_, -1);
        target_ = std::move(other.target_);
        temporary_ = std::move(other.temporary_);
        buffer_ = std::move(other.buffer_);
        error_ = std::move(other.error_);
    }
    return *this;
}

bool OutputFile::open(const std::string& target)
{
    abandon();
    target_ = target;
    error_.clear();
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_ = temporary_name_for(target);
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0)
            break;
        if (errno != EEXIST) {
            const int code = errno;
            temporary_.clear();
            return fail(code);
        }
    }
    if (fd_ < 0) {
        temporary_.clear();
        return fail(EEXIST);
    }
    // A replaced file keeps its permissions.
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        (void)::fchmod(fd_, existing.st_mode & 07777);
    buffer_.clear();
    return true;
}

bool OutputFile::write(std::string_view bytes)
{
    if (fd_ < 0)
        return false;
    if (buffer_.size() + bytes.size() > buffer_size) {
        if (!flush())
            return false;
        if (bytes.size() >= buffer_size)
            return write_all(bytes.data(), bytes.size());
    }
    buffer_.append(bytes);
    return true;
}

bool OutputFile::release_buffer()
{
    if (fd_ < 0)
        return false;
    if (!flush())
        return false;
    std::string().swap(buffer_);
    return true;
}

bool OutputFile::write_line(std::string_view text) { return write(text) && write("\r\n"); }

bool OutputFile::flush()
{
    if (buffer_.empty())
        return true;
    const bool ok = write_all(buffer_.data(), buffer_.size());
    buffer_.clear();
    return ok;
}

bool OutputFile::write_all(const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd_, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool OutputFile::commit()
{
    if (fd_ < 0)
        return false;
    if (!flush())
        return false;
    const int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0)
        return fail(errno);
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0)
        return fail(errno);
    temporary_.clear();
    return true;
}

bool OutputFile::fail(int code)
{
    if (error_.empty())
        error_ = write_error_text(target_, code);
    abandon();
    return false;
}

void OutputFile::abandon() noexcept
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
    buffer_.clear();
}

} // namespace trevanix
