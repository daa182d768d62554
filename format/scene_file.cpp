#include "format/scene_file.hpp"

#include <cerrno>
#include <fcntl.h>
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

// What a file that is not a regular file is, in the user's words; empty for
// a regular file or a folder (a folder gets the open's own message).
const char* special_kind(mode_t mode)
{
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISFIFO(mode))
        return "a pipe (FIFO)";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISREG(mode) || S_ISDIR(mode))
        return "";
    return "not a regular file";
}

std::string special_file_message(const std::string& path, const char* kind)
{
    return "The file \"" + path + "\" is " + kind +
           ", not a scene file: only regular files saved by an exporter or an editor can be read.";
}

SceneIdentity identity_of(const struct stat& info)
{
    SceneIdentity identity;
    identity.device = static_cast<std::uint64_t>(info.st_dev);
    identity.inode = static_cast<std::uint64_t>(info.st_ino);
    identity.size = static_cast<std::uint64_t>(info.st_size);
    identity.modified_seconds = static_cast<std::int64_t>(info.st_mtim.tv_sec);
    identity.modified_nanoseconds = static_cast<std::int64_t>(info.st_mtim.tv_nsec);
    return identity;
}

} // namespace

SceneFile::~SceneFile() { close(); }

void SceneFile::close() noexcept
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::string not_a_scene_file_reason(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return {};
    const char* kind = special_kind(info.st_mode);
    return *kind ? special_file_message(path, kind) : std::string();
}

bool SceneFile::open(const std::string& path, std::string& error)
{
    close();
    path_ = path;
    identity_ = {};
    // Look before opening: opening a FIFO without a writer would wait for one.
    if (std::string reason = not_a_scene_file_reason(path); !reason.empty()) {
        error = std::move(reason);
        return false;
    }
    // O_NONBLOCK guards against a FIFO put in the file's place since the look.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
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
    if (!S_ISREG(info.st_mode)) {
        error = special_file_message(path, special_kind(info.st_mode));
        ::close(fd);
        return false;
    }
    fd_ = fd;
    identity_ = identity_of(info);
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

bool SceneFile::open_unchanged(const std::string& path, const SceneIdentity& expected, std::string& error)
{
    if (!open(path, error))
        return false;
    if (identity_ == expected)
        return true;
    close();
    error = changed_message();
    return false;
}

ReadOutcome SceneFile::read_at(std::uint64_t offset, char* into, std::size_t length, std::size_t& got) const
{
    got = 0;
    const std::uint64_t size = identity_.size;
    if (offset >= size)
        return ReadOutcome::Read;
    if (length > size - offset)
        length = static_cast<std::size_t>(size - offset);
    while (got < length) {
        const ssize_t n = ::pread(fd_, into + got, length - got, static_cast<off_t>(offset + got));
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // Nothing where the file had bytes when it was opened: it shrank.
        return n == 0 ? ReadOutcome::Changed : ReadOutcome::Failed;
    }
    return ReadOutcome::Read;
}

bool SceneFile::unchanged() const
{
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0)
        return false;
    return identity_of(info) == identity_;
}

std::string SceneFile::changed_message() const
{
    return "The file \"" + path_ +
           "\" changed while it was read. Nothing was written; analyse it again once it is complete.";
}

std::string SceneFile::failed_message() const
{
    return "The file \"" + path_ + "\" could not be read to its end.";
}

bool starts_with_utf16_mark(const char* bytes, std::size_t length) noexcept
{
    if (length < 2)
        return false;
    const auto first = static_cast<unsigned char>(bytes[0]);
    const auto second = static_cast<unsigned char>(bytes[1]);
    return (first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF);
}

} // namespace trevanix
