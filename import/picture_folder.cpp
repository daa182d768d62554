#include "import/picture_folder.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <system_error>
#include <utility>

#include "state/paths.hpp"

namespace trevanix {

namespace {

std::atomic<unsigned> temporary_counter{0};

std::string reason(int code) { return std::generic_category().message(code ? code : EIO); }

bool write_all(int fd, std::string_view bytes) noexcept
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Whether the file open at `fd` holds exactly `bytes`.
bool holds(int fd, std::string_view bytes) noexcept
{
    struct stat info {};
    if (::fstat(fd, &info) != 0 || static_cast<std::uint64_t>(info.st_size) != bytes.size())
        return false;
    char block[1 << 16];
    std::size_t at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::pread(fd, block, sizeof block, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        if (bytes.substr(at, static_cast<std::size_t>(n)) != std::string_view(block, static_cast<std::size_t>(n)))
            return false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}

// The whole content of the file open at `fd`, for a comparison at placing.
std::string content_of(int fd)
{
    std::string bytes;
    char block[1 << 16];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, block, sizeof block, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        bytes.append(block, static_cast<std::size_t>(n));
        at += n;
    }
    return bytes;
}

} // namespace

PictureFolder::PictureFolder(PictureFolder&& other) noexcept
    : output_fd_(std::exchange(other.output_fd_, -1)), folder_fd_(std::exchange(other.folder_fd_, -1)),
      created_(std::exchange(other.created_, false)), folder_path_(std::move(other.folder_path_)),
      pending_(std::move(other.pending_))
{
    other.pending_.clear();
}

PictureFolder& PictureFolder::operator=(PictureFolder&& other) noexcept
{
    if (this != &other) {
        abandon();
        output_fd_ = std::exchange(other.output_fd_, -1);
        folder_fd_ = std::exchange(other.folder_fd_, -1);
        created_ = std::exchange(other.created_, false);
        folder_path_ = std::move(other.folder_path_);
        pending_ = std::move(other.pending_);
        other.pending_.clear();
    }
    return *this;
}

std::string PictureFolder::path_of(const std::string& name) const { return join_path(folder_path_, name); }

bool PictureFolder::open(const std::string& output_folder, std::string& error)
{
    abandon();
    const std::string folder = output_folder.empty() ? std::string(".") : output_folder;
    folder_path_ = join_path(output_folder, std::string(picture_folder_name));
    output_fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (output_fd_ < 0) {
        error = "The folder \"" + folder + "\" could not be opened (" + reason(errno) + ").";
        return false;
    }
    const std::string name(picture_folder_name);
    if (::mkdirat(output_fd_, name.c_str(), 0777) == 0)
        created_ = true;
    else if (errno != EEXIST) {
        error = "The folder \"" + folder_path_ + "\" could not be created (" + reason(errno) + ").";
        return false;
    }
    folder_fd_ = ::openat(output_fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder_fd_ < 0) {
        const int code = errno;
        error = "The folder \"" + folder_path_ + "\" could not be opened (" +
                (code == ELOOP || code == ENOTDIR ? std::string("it is a link or not a folder; pictures are never "
                                                                "written through a link")
                                                  : reason(code)) +
                ").";
        return false;
    }
    return true;
}

bool PictureFolder::write_temporary(Pending& pending, std::string_view bytes, std::string& error)
{
    pending.fd = ::openat(folder_fd_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    for (int attempt = 0; pending.fd < 0 && attempt < 100; ++attempt) {
        pending.temporary = ".trevanix-" + std::to_string(::getpid()) + "-" + std::to_string(temporary_counter++) +
                            ".tif.tmp";
        pending.fd =
            ::openat(folder_fd_, pending.temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (pending.fd < 0 && errno != EEXIST)
            break;
    }
    if (pending.fd < 0 || !write_all(pending.fd, bytes) || ::fsync(pending.fd) != 0) {
        error = "The picture \"" + path_of(pending.name) + "\" could not be written (" + reason(errno) + ").";
        return false;
    }
    return true;
}

PictureFolder::Prepared PictureFolder::prepare(const std::string& name, std::string_view bytes, std::string& error)
{
    const int existing = ::openat(folder_fd_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (existing >= 0) {
        struct stat info {};
        const bool regular = ::fstat(existing, &info) == 0 && S_ISREG(info.st_mode);
        const Prepared found = regular && holds(existing, bytes) ? Prepared::AlreadyThere : Prepared::OtherContent;
        ::close(existing);
        return found;
    }
    if (errno != ENOENT) // a link, or a file that cannot be read: never replaced
        return Prepared::OtherContent;
    Pending pending;
    pending.name = name;
    if (!write_temporary(pending, bytes, error)) {
        if (pending.fd >= 0)
            ::close(pending.fd);
        if (!pending.temporary.empty())
            ::unlinkat(folder_fd_, pending.temporary.c_str(), 0);
        return Prepared::Failed;
    }
    pending_.push_back(std::move(pending));
    return Prepared::Pending;
}

bool PictureFolder::give_name(const Pending& pending, int& code) const noexcept
{
    int result = 0;
    if (pending.temporary.empty()) {
        const std::string fd_path = "/proc/self/fd/" + std::to_string(pending.fd);
        result = ::linkat(AT_FDCWD, fd_path.c_str(), folder_fd_, pending.name.c_str(), AT_SYMLINK_FOLLOW);
        if (result != 0 && errno == ENOENT)
            result = ::linkat(pending.fd, "", folder_fd_, pending.name.c_str(), AT_EMPTY_PATH);
    } else {
        result = ::renameat2(folder_fd_, pending.temporary.c_str(), folder_fd_, pending.name.c_str(),
                             RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // A file system without that flag: a hard link is refused when the name is taken.
            result = ::linkat(folder_fd_, pending.temporary.c_str(), folder_fd_, pending.name.c_str(), 0);
            if (result == 0)
                ::unlinkat(folder_fd_, pending.temporary.c_str(), 0);
        }
    }
    code = result == 0 ? 0 : errno;
    return result == 0;
}

void PictureFolder::place(std::vector<std::string>& placed, std::vector<std::string>& kept,
                          std::vector<std::string>& failed)
{
    for (Pending& pending : pending_) {
        int code = 0;
        if (give_name(pending, code)) {
            placed.push_back(path_of(pending.name));
        } else if (code == EEXIST) {
            // Another run gave a picture this name meanwhile.
            const int existing =
                ::openat(folder_fd_, pending.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            const bool same = existing >= 0 && holds(existing, content_of(pending.fd));
            if (existing >= 0)
                ::close(existing);
            if (!same)
                kept.push_back(path_of(pending.name));
        } else {
            failed.push_back(path_of(pending.name));
        }
        if (!pending.temporary.empty())
            ::unlinkat(folder_fd_, pending.temporary.c_str(), 0);
        ::close(pending.fd);
        pending.fd = -1;
    }
    pending_.clear();
    // The folder now holds what was placed: it stays.
    created_ = false;
    ::fsync(folder_fd_);
}

void PictureFolder::abandon() noexcept
{
    for (Pending& pending : pending_) {
        if (pending.fd >= 0)
            ::close(pending.fd);
        if (!pending.temporary.empty() && folder_fd_ >= 0)
            ::unlinkat(folder_fd_, pending.temporary.c_str(), 0);
    }
    pending_.clear();
    if (folder_fd_ >= 0)
        ::close(folder_fd_);
    folder_fd_ = -1;
    if (created_ && output_fd_ >= 0)
        ::unlinkat(output_fd_, std::string(picture_folder_name).c_str(), AT_REMOVEDIR);
    created_ = false;
    if (output_fd_ >= 0)
        ::close(output_fd_);
    output_fd_ = -1;
}

} // namespace trevanix
