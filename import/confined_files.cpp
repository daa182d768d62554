#include "import/confined_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <assimp/IOStream.hpp>

#include "state/paths.hpp"

namespace trevanix {

namespace {

// One file, read by position.
class FileStream : public Assimp::IOStream {
public:
    FileStream(int fd, std::size_t size, const std::atomic<bool>* stop) : fd_(fd), size_(size), stop_(stop) {}
    ~FileStream() override { ::close(fd_); }

    std::size_t Read(void* buffer, std::size_t item_size, std::size_t count) override
    {
        if (item_size == 0 || count == 0)
            return 0;
        const std::size_t wanted = std::min(count, (size_ - std::min(size_, position_)) / item_size) * item_size;
        auto* into = static_cast<char*>(buffer);
        std::size_t got = 0;
        // Block by block, so a stop lands within one block of a big file.
        constexpr std::size_t block = std::size_t{1} << 20;
        while (got < wanted) {
            if (stop_ != nullptr && stop_->load(std::memory_order_relaxed))
                break;
            const ssize_t n = ::pread(fd_, into + got, std::min(block, wanted - got),
                                      static_cast<off_t>(position_ + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        position_ += got;
        return got / item_size;
    }

    std::size_t Write(const void*, std::size_t, std::size_t) override { return 0; }

    aiReturn Seek(std::size_t offset, aiOrigin origin) override
    {
        std::size_t to = 0;
        switch (origin) {
        case aiOrigin_SET:
            to = offset;
            break;
        case aiOrigin_CUR:
            to = position_ + offset;
            break;
        case aiOrigin_END:
            if (offset > size_)
                return aiReturn_FAILURE;
            to = size_ - offset;
            break;
        default:
            return aiReturn_FAILURE;
        }
        if (to > size_)
            return aiReturn_FAILURE;
        position_ = to;
        return aiReturn_SUCCESS;
    }

    std::size_t Tell() const override { return position_; }
    std::size_t FileSize() const override { return size_; }
    void Flush() override {}

private:
    int fd_;
    std::size_t size_;
    std::size_t position_ = 0;
    const std::atomic<bool>* stop_;
};

bool is_read_mode(const char* mode) noexcept
{
    return mode != nullptr && mode[0] == 'r' && std::strchr(mode, '+') == nullptr;
}

} // namespace

int open_regular_file(const std::string& path, bool follow_link) noexcept
{
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (follow_link ? 0 : O_NOFOLLOW);
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = ENXIO;
        return -1;
    }
    // Reads of a regular file never block: the flag only guarded the open.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

ConfinedFiles::ConfinedFiles(std::string scene_path, const std::atomic<bool>* stop)
    : scene_path_(normalised_path(scene_path)), stop_(stop)
{
}

bool ConfinedFiles::is_scene(const char* path) const { return normalised_path(path) == scene_path_; }

bool ConfinedFiles::Exists(const char* path) const
{
    struct stat info {};
    const int result = is_scene(path) ? ::stat(path, &info) : ::lstat(path, &info);
    return result == 0 && S_ISREG(info.st_mode);
}

Assimp::IOStream* ConfinedFiles::Open(const char* path, const char* mode)
{
    if (path == nullptr || !is_read_mode(mode))
        return nullptr;
    const int fd = open_regular_file(path, is_scene(path));
    if (fd < 0)
        return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return nullptr;
    }
    return new FileStream(fd, static_cast<std::size_t>(info.st_size), stop_);
}

void ConfinedFiles::Close(Assimp::IOStream* stream) { delete stream; }

} // namespace trevanix
