#include "convert/target_lock.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "convert/output_file.hpp"
#include "state/paths.hpp"

namespace trevanix {

namespace {

// Opens (or makes) the lock file: a regular file of that name, never a link
// (a link of that name is removed, not followed) and never a device or a
// pipe. -1 with errno on failure.
int open_lock_file(const TargetFolder& folder, const std::string& name)
{
    struct stat info {};
    const bool exists = folder.look_at(name, info);
    if (exists && S_ISLNK(info.st_mode)) {
        (void)folder.remove(name);
    } else if (exists && !S_ISREG(info.st_mode)) {
        errno = EEXIST;
        return -1;
    }
    // Read-only, and readable by all who may write the outputs: a lock file
    // that another user's run left behind locks for everyone.
    const int fd =
        ::openat(folder.fd(), name.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        errno = EEXIST;
        return -1;
    }
    return fd;
}

// Whether the name still leads to the file open as `fd`.
bool still_named(const TargetFolder& folder, const std::string& name, int fd)
{
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && folder.look_at(name, named) && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

} // namespace

std::string lock_name_for(const std::string& target_name) { return target_name + ".trevanix-lock"; }

std::string target_busy_text(const std::string& target)
{
    return "Another conversion is writing to \"" + target +
           "\" at this moment. Nothing was written; convert again once it has finished.";
}

LockOutcome TargetLock::take(const TargetFolder& folder, const std::string& target, std::string& error)
{
    release();
    const std::string name = lock_name_for(file_name_of(target));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = open_lock_file(folder, name);
        if (fd < 0) {
            error = write_error_text(target, errno);
            return LockOutcome::Failed;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int code = errno;
            ::close(fd);
            if (code == EWOULDBLOCK) {
                error = target_busy_text(target);
                return LockOutcome::Busy;
            }
            error = write_error_text(target, code);
            return LockOutcome::Failed;
        }
        if (still_named(folder, name, fd)) {
            folder_ = &folder;
            name_ = name;
            fd_ = fd;
            return LockOutcome::Taken;
        }
        // The holder removed the file as it let go: lock the new one.
        ::close(fd);
    }
    error = target_busy_text(target);
    return LockOutcome::Busy;
}

void TargetLock::release() noexcept
{
    if (fd_ < 0)
        return;
    // Removed while still locked: a run that opened it meanwhile finds the
    // name gone once it holds the lock, and tries again.
    (void)folder_->remove(name_);
    ::close(fd_);
    fd_ = -1;
}

} // namespace trevanix
