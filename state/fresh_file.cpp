#include "state/fresh_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include "state/paths.hpp"

namespace trevanix {

namespace {

// Another program may put something at the path between the removal and the
// creation; a few attempts settle that, more would only hide a fight.
constexpr int attempts = 4;

bool is_null_device(const struct stat& info) noexcept
{
    return S_ISCHR(info.st_mode) && major(info.st_rdev) == 1 && minor(info.st_rdev) == 3;
}

bool is_plain(const struct stat& info) noexcept { return S_ISREG(info.st_mode) || S_ISLNK(info.st_mode); }

class FolderHandle {
public:
    explicit FolderHandle(const std::string& path)
    {
        const std::string folder = parent_folder_of(path);
        fd_ = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    ~FolderHandle()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    int fd() const noexcept { return fd_; }

private:
    int fd_ = -1;
};

FreshFile failed(int code) { return {FreshFileOutcome::Failed, -1, code != 0 ? code : EIO}; }

// One attempt: clears the way if it may, then creates. EEXIST asks for another attempt.
FreshFile attempt(int folder, const char* name)
{
    struct stat info {};
    if (::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
        if (is_null_device(info))
            return {FreshFileOutcome::Discarded, -1, 0};
        if (!is_plain(info))
            return {FreshFileOutcome::Refused, -1, S_ISDIR(info.st_mode) ? EISDIR : 0};
        if (::unlinkat(folder, name, 0) != 0 && errno != ENOENT)
            return failed(errno);
    } else if (errno != ENOENT) {
        return failed(errno);
    }
    const int fd = ::openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return failed(errno);
    return {FreshFileOutcome::Created, fd, 0};
}

} // namespace

FreshFile create_fresh_file(const std::string& path)
{
    const std::string name = file_name_of(path);
    if (name.empty() || name == "." || name == "..")
        return {FreshFileOutcome::Refused, -1, EISDIR};
    const FolderHandle folder(path);
    if (folder.fd() < 0)
        return failed(errno);
    FreshFile result = failed(EEXIST);
    for (int i = 0; i < attempts; ++i) {
        result = attempt(folder.fd(), name.c_str());
        if (!(result.outcome == FreshFileOutcome::Failed && result.error == EEXIST))
            break;
    }
    return result;
}

void remove_plain_file(const std::string& path) noexcept
{
    const std::string name = file_name_of(path);
    if (name.empty())
        return;
    const FolderHandle folder(path);
    struct stat info {};
    if (folder.fd() >= 0 && ::fstatat(folder.fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && is_plain(info))
        ::unlinkat(folder.fd(), name.c_str(), 0);
}

} // namespace trevanix
