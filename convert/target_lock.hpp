#pragma once
// Conversions to one target exclude each other: each holds an exclusive
// lock (flock) on a small lock file beside the outputs, "NAME.asc.trevanix-lock",
// from before the existing-file questions until its outputs are in place.
// A second conversion to the same target does not wait: it is refused with
// a message, and writes nothing.
//
// The lock file is removed when the lock is let go. A run that opened the
// file just before it was removed could lock a file that no longer has the
// name, so a lock counts only once the name still leads to the locked file.
#include <string>

#include "convert/target_folder.hpp"

namespace trevanix {

enum class LockOutcome {
    Taken,
    Busy,   // another conversion to the target holds it
    Failed, // the lock file could not be made
};

class TargetLock {
public:
    TargetLock() = default;
    ~TargetLock() { release(); }
    TargetLock(const TargetLock&) = delete;
    TargetLock& operator=(const TargetLock&) = delete;

    // Takes the lock of `target` (a path to a file in `folder`, which
    // outlives the lock). Busy and Failed come with the sentence for the
    // user, which names the target.
    LockOutcome take(const TargetFolder& folder, const std::string& target, std::string& error);
    // Removes the lock file and lets the lock go.
    void release() noexcept;

private:
    const TargetFolder* folder_ = nullptr;
    std::string name_;
    int fd_ = -1;
};

// "NAME.asc" gives "NAME.asc.trevanix-lock".
std::string lock_name_for(const std::string& target_name);

// The sentence shown when another conversion writes to the target.
std::string target_busy_text(const std::string& target);

} // namespace trevanix
