#include "convert/output_file.hpp"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

#include "convert/background_writer.hpp"
#include "convert/target_folder.hpp"
#include "state/paths.hpp"

namespace trevanix {

namespace {

std::atomic<unsigned> temporary_counter{0};

// Gives the unnamed file `fd` the name `name` in the folder `folder`; 0 or
// the errno.
int link_unnamed(int fd, int folder, const std::string& name) noexcept
{
    const std::string fd_path = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, fd_path.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    const int code = errno;
    // Without /proc the file can still be linked by its descriptor, where the
    // system allows that.
    if (code == ENOENT && ::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0)
        return 0;
    return code;
}

// The file systems that cannot swap two names in one step, or refuse to
// rename without replacing.
bool cannot_swap(int code) noexcept { return code == EINVAL || code == ENOSYS || code == EOPNOTSUPP; }

} // namespace

OutputFileSeams& output_file_seams() noexcept
{
    static OutputFileSeams seams;
    return seams;
}

int injected_fault(OutputStep step, const std::string& target) noexcept
{
    const auto fault = output_file_seams().fault;
    return fault ? fault(step, target) : 0;
}

std::string private_name_for(const std::string& name)
{
    return name + ".trevanix-" + std::to_string(::getpid()) + "-" + std::to_string(temporary_counter++) + ".tmp";
}

std::string write_error_text(const std::string& path, int code)
{
    return "The file \"" + path + "\" could not be written (" + std::generic_category().message(code ? code : EIO) +
           "). Nothing was changed in it.";
}

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() { abandon(); }

OutputFile::OutputFile(OutputFile&& other) noexcept { *this = std::move(other); }

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept
{
    if (this != &other) {
        abandon();
        folder_ = std::exchange(other.folder_, nullptr);
        fd_ = std::exchange(other.fd_, -1);
        target_ = std::exchange(other.target_, {});
        name_ = std::exchange(other.name_, {});
        temporary_ = std::exchange(other.temporary_, {});
        previous_ = std::exchange(other.previous_, {});
        buffer_ = std::exchange(other.buffer_, {});
        writer_ = std::move(other.writer_);
        error_ = std::exchange(other.error_, {});
        completed_ = std::exchange(other.completed_, false);
        flushed_ = std::exchange(other.flushed_, false);
        staged_ = std::exchange(other.staged_, false);
        placed_ = std::exchange(other.placed_, Placed::No);
        replaced_mode_ = std::exchange(other.replaced_mode_, 0);
        inode_ = std::exchange(other.inode_, 0);
    }
    return *this;
}

bool OutputFile::open_unnamed()
{
    if (output_file_seams().named_temporaries_only)
        return false;
    fd_ = ::openat(folder_->fd(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    return fd_ >= 0;
}

bool OutputFile::open_named()
{
    int code = EEXIST;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_ = private_name_for(name_);
        fd_ = ::openat(folder_->fd(), temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       0666);
        if (fd_ >= 0)
            return true;
        code = errno;
        if (code != EEXIST)
            break;
    }
    temporary_.clear();
    return fail(code);
}

bool OutputFile::open(const TargetFolder& folder, const std::string& target)
{
    abandon();
    folder_ = &folder;
    target_ = target;
    name_ = file_name_of(target);
    error_.clear();
    inode_ = 0;
    if (const int code = injected_fault(OutputStep::Create, target_))
        return fail(code);
    // A folder that refuses an unnamed file (a file system without them, or a
    // folder that cannot be written) is tried with a named temporary: its
    // error, if any, is the one the user sees.
    if (!open_unnamed() && !open_named())
        return false;
    note_replaced_mode();
    buffer_.clear();
    return true;
}

// A replaced file keeps its permissions.
void OutputFile::note_replaced_mode()
{
    struct stat existing {};
    replaced_mode_ = folder_->look_at(name_, existing) && S_ISREG(existing.st_mode)
                         ? static_cast<unsigned>(existing.st_mode & 07777)
                         : 0;
}

void OutputFile::retarget(const std::string& target)
{
    target_ = target;
    name_ = file_name_of(target);
    note_replaced_mode();
}

bool OutputFile::write(std::string_view bytes)
{
    if (fd_ < 0 || completed_)
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

bool OutputFile::complete()
{
    if (completed_)
        return true;
    if (fd_ < 0 || !release_buffer())
        return false;
    // A folder in the target's place can never be replaced: found out here,
    // before the file is flushed and before anything else of the set is placed.
    struct stat existing {};
    if (folder_->look_at(name_, existing) && S_ISDIR(existing.st_mode))
        return fail(EISDIR);
    if (replaced_mode_ != 0)
        (void)::fchmod(fd_, replaced_mode_);
    completed_ = true;
    return true;
}

bool OutputFile::flush_to_disk()
{
    if (flushed_)
        return true;
    if (!complete())
        return false;
    if (const int code = injected_fault(OutputStep::Sync, target_))
        return fail(code);
    // A file staged early was closed: its private name leads to it.
    const int fd = fd_ >= 0 ? fd_
                            : ::openat(folder_->fd(), temporary_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    const bool flushed = ::fdatasync(fd) == 0;
    const int code = errno;
    if (fd != fd_)
        ::close(fd);
    if (!flushed)
        return fail(code);
    flushed_ = true;
    return true;
}

bool OutputFile::finish() { return complete() && flush_to_disk(); }

bool OutputFile::link_under_private_name()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = private_name_for(name_);
        const int code = link_unnamed(fd_, folder_->fd(), name);
        if (code == 0) {
            temporary_ = name;
            return true;
        }
        if (code != EEXIST)
            return fail(code);
    }
    return fail(EEXIST);
}

bool OutputFile::stage()
{
    if (!complete())
        return false;
    if (staged_)
        return true;
    if (const int code = injected_fault(OutputStep::Stage, target_))
        return fail(code);
    if (temporary_.empty() && !link_under_private_name())
        return false;
    struct stat info {};
    if (::fstat(fd_, &info) != 0)
        return fail(errno);
    inode_ = static_cast<std::uint64_t>(info.st_ino);
    close_quietly();
    staged_ = true;
    return true;
}

// Renames the staged file over the target's name; 0 or the errno.
int OutputFile::move_into_place(bool target_exists)
{
    const int folder = folder_->fd();
    if (!target_exists) {
        if (::renameat2(folder, temporary_.c_str(), folder, name_.c_str(), RENAME_NOREPLACE) == 0 ||
            (cannot_swap(errno) && ::renameat(folder, temporary_.c_str(), folder, name_.c_str()) == 0)) {
            temporary_.clear();
            placed_ = Placed::Created;
            return 0;
        }
        if (errno != EEXIST)
            return errno;
        // A target appeared meanwhile: replace it as any existing one.
    }
    // Swap the new file and the existing target: the target's name holds the
    // new content at once, and the previous file waits under the private
    // name in case a later file of the set fails.
    if (::renameat2(folder, temporary_.c_str(), folder, name_.c_str(), RENAME_EXCHANGE) == 0) {
        previous_ = std::exchange(temporary_, {});
        placed_ = Placed::Swapped;
        return 0;
    }
    if (!cannot_swap(errno))
        return errno;
    if (::renameat(folder, temporary_.c_str(), folder, name_.c_str()) != 0)
        return errno;
    temporary_.clear();
    placed_ = Placed::Replaced;
    return 0;
}

bool OutputFile::place()
{
    if (!finish() || !stage())
        return false;
    if (placed_ != Placed::No)
        return true;
    if (const int code = injected_fault(OutputStep::Place, target_))
        return fail(code);
    struct stat existing {};
    const bool target_exists = folder_->look_at(name_, existing);
    // A folder in the target's place is never swapped away.
    if (target_exists && S_ISDIR(existing.st_mode))
        return fail(EISDIR);
    const int code = move_into_place(target_exists);
    return code == 0 || fail(code);
}

bool OutputFile::undo_place() noexcept
{
    bool restored = true;
    const int folder = folder_ ? folder_->fd() : -1;
    switch (placed_) {
    case Placed::No:
        break;
    case Placed::Created:
        (void)::unlinkat(folder, name_.c_str(), 0);
        break;
    case Placed::Swapped:
        if (::renameat2(folder, previous_.c_str(), folder, name_.c_str(), RENAME_EXCHANGE) == 0)
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
    (void)injected_fault(OutputStep::Settle, target_);
    if (!previous_.empty()) {
        (void)folder_->remove(previous_);
        previous_.clear();
    }
    close_quietly();
    temporary_.clear();
    placed_ = Placed::No;
    completed_ = false;
    flushed_ = false;
    staged_ = false;
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
        (void)folder_->remove(temporary_);
        temporary_.clear();
    }
    if (!previous_.empty()) {
        (void)folder_->remove(previous_);
        previous_.clear();
    }
    completed_ = false;
    flushed_ = false;
    staged_ = false;
}

} // namespace trevanix
