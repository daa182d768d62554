#include "convert/background_writer.hpp"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

#include "convert/output_file.hpp"

namespace trevanix {

int write_all(int fd, const char* data, std::size_t size, const std::string& target) noexcept
{
    if (const auto fault = output_file_seams().fault) {
        if (const int code = fault(OutputStep::Write, target))
            return code;
    }
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno ? errno : EIO;
        }
        if (written == 0)
            return EIO;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

BackgroundWriter::BackgroundWriter(int fd, std::string target)
    : fd_(fd), target_(std::move(target)), thread_([this] { run(); })
{
}

BackgroundWriter::~BackgroundWriter()
{
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

bool BackgroundWriter::hand_over(std::string& full)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    if (error_ != 0)
        return false;
    pending_.swap(full);
    full.clear();
    busy_ = true;
    lock.unlock();
    changed_.notify_all();
    return true;
}

bool BackgroundWriter::drain()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    return error_ == 0;
}

int BackgroundWriter::error_code()
{
    std::lock_guard lock(mutex_);
    return error_;
}

void BackgroundWriter::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return busy_ || closing_; });
        if (!busy_)
            return; // closing, nothing left to write
        lock.unlock();
        const int code = write_all(fd_, pending_.data(), pending_.size(), target_);
        if (code == 0) {
            // Start the disk write of this block now, so that the flush before
            // the file appears finds little left to do. Only a hint: file
            // systems that cannot do it lose nothing.
            (void)::sync_file_range(fd_, written_, static_cast<off_t>(pending_.size()), SYNC_FILE_RANGE_WRITE);
            written_ += static_cast<long long>(pending_.size());
        }
        lock.lock();
        if (code != 0 && error_ == 0)
            error_ = code;
        busy_ = false;
        lock.unlock();
        changed_.notify_all();
        lock.lock();
    }
}

} // namespace trevanix
