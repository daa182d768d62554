// What the next conversion to a target does with the journal and the
// temporaries that a killed run left beside the outputs (see
// placement_journal.hpp).
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

#include "convert/placement_journal.hpp"

namespace trevanix {

namespace {

// A journal is a few lines per output; anything larger is not one.
constexpr off_t largest_journal = off_t{64} << 20;

// Where the new file of an entry is.
enum class EntryState {
    Placed,  // the target holds it
    Pending, // it still waits under its private name
    Lost,    // neither: the set cannot be finished
};

bool holds_inode(const TargetFolder& folder, const std::string& name, std::uint64_t inode)
{
    struct stat info {};
    return folder.look_at(name, info) && S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_ino) == inode;
}

EntryState state_of(const TargetFolder& folder, const PlacementEntry& entry)
{
    if (holds_inode(folder, entry.target, entry.inode))
        return EntryState::Placed;
    if (holds_inode(folder, entry.staged, entry.inode))
        return EntryState::Pending;
    return EntryState::Lost;
}

// Swaps two names, or renames `from` to `to` when nothing is at `to` or the
// file system cannot swap; 0 or the errno.
int swap_names(const TargetFolder& folder, const std::string& from, const std::string& to)
{
    const int fd = folder.fd();
    if (::renameat2(fd, from.c_str(), fd, to.c_str(), RENAME_EXCHANGE) == 0)
        return 0;
    if (errno != ENOENT && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    return ::renameat(fd, from.c_str(), fd, to.c_str()) == 0 ? 0 : errno;
}

// Puts every waiting new file in place. False when one could not go (a
// folder never takes a file's place).
bool roll_forward(const TargetFolder& folder, const std::vector<PlacementEntry>& entries)
{
    for (const PlacementEntry& entry : entries) {
        if (state_of(folder, entry) != EntryState::Pending)
            continue;
        struct stat info {};
        if (folder.look_at(entry.target, info) && S_ISDIR(info.st_mode))
            return false;
        if (swap_names(folder, entry.staged, entry.target) != 0)
            return false;
    }
    return true;
}

// Gives every replaced target its previous file back, and removes the
// targets that did not exist before.
void roll_back(const TargetFolder& folder, const std::vector<PlacementEntry>& entries)
{
    for (const PlacementEntry& entry : entries) {
        if (state_of(folder, entry) != EntryState::Placed)
            continue;
        if (folder.holds(entry.staged))
            (void)swap_names(folder, entry.staged, entry.target);
        else
            (void)folder.remove(entry.target);
    }
}

bool any_lost(const TargetFolder& folder, const std::vector<PlacementEntry>& entries)
{
    for (const PlacementEntry& entry : entries) {
        if (state_of(folder, entry) == EntryState::Lost)
            return true;
    }
    return false;
}

// Removes the files of these names that a run of this program made: regular
// files, and links of such a name (removed, not followed).
void remove_files(const TargetFolder& folder, const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        struct stat info {};
        if (folder.look_at(name, info) && (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode)))
            (void)folder.remove(name);
    }
}

// Makes the set all new when it can be finished, all old otherwise; the
// private names then hold only files that are no longer wanted.
void make_whole(const TargetFolder& folder, const std::vector<PlacementEntry>& entries)
{
    if (any_lost(folder, entries) || !roll_forward(folder, entries))
        roll_back(folder, entries);
    std::vector<std::string> unwanted;
    for (const PlacementEntry& entry : entries)
        unwanted.push_back(entry.staged);
    remove_files(folder, unwanted);
    (void)folder.sync();
}

// Reads the journal named `name`; false when there is none that reads as one.
bool read_journal(const TargetFolder& folder, const std::string& name, std::vector<PlacementEntry>& entries)
{
    struct stat info {};
    if (!folder.look_at(name, info) || !S_ISREG(info.st_mode))
        return false;
    const int fd = ::openat(folder.fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::string text;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= largest_journal) {
        text.resize(static_cast<std::size_t>(info.st_size));
        const ssize_t got = ::pread(fd, text.data(), text.size(), 0);
        text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    ::close(fd);
    return read_journal_text(text, entries);
}

// Whether the process that made a temporary may still use it. A number no
// process can have is no one's.
bool process_alive(long pid)
{
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    return pid == static_cast<long>(::getpid()) || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The files a dead run left under private names beside the target's outputs.
std::vector<std::string> dead_temporaries(const TargetFolder& folder, const std::string& target_name)
{
    std::vector<std::string> names;
    const int fd = ::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* listing = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (listing == nullptr) {
        if (fd >= 0)
            ::close(fd);
        return names;
    }
    while (const dirent* entry = ::readdir(listing)) {
        long pid = 0;
        if (is_temporary_of(entry->d_name, target_name, pid) && !process_alive(pid))
            names.emplace_back(entry->d_name);
    }
    ::closedir(listing);
    return names;
}

} // namespace

void PlacementJournal::recover() const
{
    std::vector<PlacementEntry> entries;
    // A journal that names other files than this target's is not acted on.
    const auto foreign = [this](const PlacementEntry& entry) {
        long pid = 0;
        return !is_output_name_of(entry.target, target_name_) || !is_temporary_of(entry.staged, target_name_, pid);
    };
    if (read_journal(folder_, name_, entries) && std::none_of(entries.begin(), entries.end(), foreign))
        make_whole(folder_, entries);
    remove_files(folder_, {name_});
    remove_files(folder_, dead_temporaries(folder_, target_name_));
}

} // namespace trevanix
