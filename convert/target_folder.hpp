#pragma once
// The folder that receives the outputs of one conversion, opened once when
// the conversion starts. Every file of the conversion (the outputs, their
// temporaries, the lock and the placement journal) is made, looked at,
// renamed and removed relative to this descriptor, never through the
// folder's path: a folder swapped for a link while the conversion runs
// cannot send the outputs elsewhere.
#include <string>
#include <sys/stat.h>

namespace trevanix {

class TargetFolder {
public:
    TargetFolder() = default;
    ~TargetFolder();
    TargetFolder(const TargetFolder&) = delete;
    TargetFolder& operator=(const TargetFolder&) = delete;

    // Opens the folder that holds `target` (a path to a file in it). On
    // failure returns false with the sentence for the user, which names the
    // target.
    bool open(const std::string& target, std::string& error);
    void close() noexcept;
    bool is_open() const noexcept { return fd_ >= 0; }
    int fd() const noexcept { return fd_; }

    // The folder's path as it was given.
    const std::string& path() const noexcept { return path_; }

    // What stands at `name` in the folder, links not followed. False (with
    // errno) when nothing does or it cannot be looked at.
    bool look_at(const std::string& name, struct stat& info) const;
    bool holds(const std::string& name) const;
    // Removes the file `name`; 0 or the errno.
    int remove(const std::string& name) const;
    // Flushes the folder's names to the disk. False (with errno) when that
    // failed; file systems that cannot flush folders count as flushed.
    bool sync() const;

private:
    int fd_ = -1;
    std::string path_;
};

} // namespace trevanix
