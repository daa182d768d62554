#include "convert/target_folder.hpp"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "convert/output_file.hpp"
#include "state/paths.hpp"

namespace trevanix {

TargetFolder::~TargetFolder() { close(); }

void TargetFolder::close() noexcept
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool TargetFolder::open(const std::string& target, std::string& error)
{
    close();
    const std::string folder = parent_folder_of(target);
    path_ = folder.empty() ? std::string(".") : folder;
    fd_ = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ >= 0)
        return true;
    error = write_error_text(target, errno);
    return false;
}

bool TargetFolder::look_at(const std::string& name, struct stat& info) const
{
    return ::fstatat(fd_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool TargetFolder::holds(const std::string& name) const
{
    struct stat info {};
    return look_at(name, info);
}

int TargetFolder::remove(const std::string& name) const
{
    return ::unlinkat(fd_, name.c_str(), 0) == 0 ? 0 : errno;
}

bool TargetFolder::sync() const { return ::fsync(fd_) == 0 || errno == EINVAL || errno == EROFS; }

} // namespace trevanix
