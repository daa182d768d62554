#include "convert/output_file.hpp"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

#include "convert/background_writer.hpp"

namespace trevanix {

namespace {

std::atomic<unsigned> temporary_counter{0};

std::string temporary_name_for(const std::string& target)
{
    return target + ".trevanix-" + std::to_string(::getpid()) + "-" + std::to_string(temporary_counter++) + ".tmp";
}

std::string folder_of(const std::string& path)
{
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? std::string(".") : folder;
}

// The fault seam: 0 unless a test makes this step fail.
int injected_fault(OutputStep step, const std::string& target) noexcept
{
    const auto fault = output_file_seams().fault;
    return fault ? fault(step, target) : 0;
}

// Gives the unnamed file `fd` the name `path`; 0 or the errno.
int link_unnamed(int fd, const std::string& path) noexcept
{
    const std::string fd_path = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, fd_path.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    const int code = errno;
    // Without /proc the file can still be linked by its descriptor, where the
    // system allows that.
    if (code == ENOENT && ::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0)
        return 0;
    return code;
}

// The file systems that cannot swap two names in one step.
bool cannot_swap(int code) noexcept { return code == EINVAL || code == ENOSYS || code == EOPNOTSUPP; }

} // namespace

OutputFileSeams& output_file_seams() noexcept
{
    static OutputFileSeams seams;
    return seams;
}

std::string write_error_text(const std::string& path, int code)
{
    return "The file \"" + path + "\" could not be written (" + std::generic_category().message(code ? code : EIO) +
           "). Nothing was changed in it.";
}

bool sync_folder_of(const std::string& path)
{
    const int fd = ::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
    const int code = errno;
    ::close(fd);
    errno = code;
    return synced;
}

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() { abandon(); }

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), target_(std::move(other.target_)), temporary_(std::move(other.temporary_)),
      previous_(std::move(other.previous_)), buffer_(std::move(other.buffer_)), writer_(std::move(other.writer_)),
      error_(std::move(other.error_)), finished_(std::exchange(other.finished_, false)),
      placed_(std::exchange(other.placed_, Placed::No)), replaced_mode_(other.replaced_mode_)
{
    other.temporary_.clear();
    other.previous_.clear();
}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept
{
    if (this != &other) {
        abandon();
        fd_ = std::exchange(other.fd_, -1);
        target_ = std::move(other.target_);
        temporary_ = std::exchange(other.temporary_, {});
        previous_ = std::exchange(other.previous_, {});
        buffer_ = std::move(other.buffer_);
        writer_ = std::move(other.writer_);
        error_ = std::move(other.error_);
        finished_ = std::exchange(other.finished_, false);
        placed_ = std::exchange(other.placed_, Placed::No);
        replaced_mode_ = other.replaced_mode_;
    }
    return *this;
}

bool OutputFile::open_unnamed(const std::string& folder)
{
    if (output_file_seams().named_temporaries_only)
        return false;
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    return fd_ >= 0;
}

bool OutputFile::open_named()
{
    int code = EEXIST;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_ = temporary_name_for(target_);
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0)
            return true;
        code = errno;
        if (code != EEXIST)
            break;
    }
    temporary_.clear();
    return fail(code);
}

bool OutputFile::open(const std::string& target)
{
    abandon();
    target_ = target;
    error_.clear();
    finished_ = false;
    placed_ = Placed::No;
    if (const int code = injected_fault(OutputStep::Create, target_))
        return fail(code);
    // A folder that refuses an unnamed file (a file system without them, or a
    // folder that cannot be written) is tried with a named temporary: its
    // error, if any, is the one the user sees.
    if (!open_unnamed(folder_of(target)) && !open_named())
        return false;
    // A replaced file keeps its permissions.
    struct stat existing {};
    replaced_mode_ = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)
                         ? static_cast<unsigned>(existing.st_mode & 07777)
                         : 0;
    buffer_.clear();
    return true;
}

bool OutputFile::write(std::string_view bytes)
{
    if (fd_ < 0 || finished_)
        return false;
    while (buffer_.size() + bytes.size() > buffer_size) {
        // Fill the buffer to the brim and hand it to the writer thread.
        const std::size_t room = buffer_size - buffer_.size();
        buffer_.append(bytes.substr(0, room));
        bytes.remove_prefix(room);
        if (!writer_)
            writer_ = std::make_unique<BackgroundWriter>(fd_, target_);
        if (!writer_->hand_over(buffer_))
            return fail(writer_->error_code());
        if (buffer_.capacity() < buffer_size)
            buffer_.reserve(buffer_size);
    }
    buffer_.append(bytes);
    return true;
}

bool OutputFile::write_line(std::string_view text) { return write(text) && write("\r\n"); }

bool OutputFile::flush()
{
    if (writer_) {
        const bool written = writer_->drain();
        const int code = writer_->error_code();
        writer_.reset();
        if (!written)
            return fail(code);
    }
    if (buffer_.empty())
        return true;
    const int code = write_all(fd_, buffer_.data(), buffer_.size(), target_);
    buffer_.clear();
    return code == 0 || fail(code);
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

bool OutputFile::finish()
{
    if (fd_ < 0)
        return false;
    if (finished_)
        return true;
    if (!release_buffer())
        return false;
    // A folder in the target's place can never be replaced: found out here,
    // before the file is flushed and before anything else of the set is placed.
    struct stat existing {};
    if (::lstat(target_.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode))
        return fail(EISDIR);
    if (replaced_mode_ != 0)
        (void)::fchmod(fd_, replaced_mode_);
    if (const int code = injected_fault(OutputStep::Sync, target_))
        return fail(code);
    if (::fdatasync(fd_) != 0)
        return fail(errno);
    finished_ = true;
    return true;
}

bool OutputFile::link_under_private_name()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = temporary_name_for(target_);
        const int code = link_unnamed(fd_, name);
        if (code == 0) {
            temporary_ = name;
            return true;
        }
        if (code != EEXIST)
            return fail(code);
    }
    return fail(EEXIST);
}

bool OutputFile::place()
{
    if (!finish())
        return false;
    if (placed_ != Placed::No)
        return true;
    if (const int code = injected_fault(OutputStep::Place, target_))
        return fail(code);
    struct stat existing {};
    bool target_exists = ::lstat(target_.c_str(), &existing) == 0;
    // A folder in the target's place is never swapped away.
    if (target_exists && S_ISDIR(existing.st_mode))
        return fail(EISDIR);

    if (temporary_.empty() && !target_exists) {
        // An unnamed file and no target: one link makes it appear, complete.
        const int code = link_unnamed(fd_, target_);
        if (code == 0) {
            placed_ = Placed::Created;
            return true;
        }
        if (code != EEXIST)
            return fail(code);
        // A target appeared meanwhile: replace it as any existing one.
        target_exists = true;
    }
    if (temporary_.empty() && !link_under_private_name())
        return false;
    if (!target_exists) {
        if (std::rename(temporary_.c_str(), target_.c_str()) != 0)
            return fail(errno);
        temporary_.clear();
        placed_ = Placed::Created;
        return true;
    }
    // Swap the new file and the existing target: the target's name holds the
    // new content at once, and the previous file waits under the private
    // name in case a later file of the set fails.
    if (::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) == 0) {
        previous_ = std::exchange(temporary_, {});
        placed_ = Placed::Swapped;
        return true;
    }
    if (!cannot_swap(errno))
        return fail(errno);
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0)
        return fail(errno);
    temporary_.clear();
    placed_ = Placed::Replaced;
    return true;
}

bool OutputFile::undo_place() noexcept
{
    bool restored = true;
    switch (placed_) {
    case Placed::No:
        break;
    case Placed::Created:
        (void)::unlink(target_.c_str());
        break;
    case Placed::Swapped:
        if (::renameat2(AT_FDCWD, previous_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) == 0)
            temporary_ = std::exchange(previous_, {});
        else
            restored = false;
        break;
    case Placed::Replaced:
        restored = false;
        break;
    }
    placed_ = Placed::No;
    return restored;
}

void OutputFile::settle() noexcept
{
    if (!previous_.empty()) {
        (void)::unlink(previous_.c_str());
        previous_.clear();
    }
    close_quietly();
    temporary_.clear();
    placed_ = Placed::No;
    finished_ = false;
}

bool OutputFile::commit()
{
    if (!place())
        return false;
    if (!sync_folder_of(target_)) {
        const int code = errno;
        undo_place();
        return fail(code);
    }
    settle();
    return true;
}

bool OutputFile::fail(int code)
{
    if (error_.empty())
        error_ = write_error_text(target_, code);
    abandon();
    return false;
}

void OutputFile::close_quietly() noexcept
{
    writer_.reset();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    std::string().swap(buffer_);
}

void OutputFile::abandon() noexcept
{
    // Should the previous file fail to come back, it stays under its private
    // name rather than being lost.
    if (placed_ != Placed::No && !undo_place())
        previous_.clear();
    close_quietly();
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
    if (!previous_.empty()) {
        ::unlink(previous_.c_str());
        previous_.clear();
    }
    finished_ = false;
}

} // namespace trevanix
