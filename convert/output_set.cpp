#include "convert/output_set.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <system_error>
#include <thread>
#include <utility>

namespace trevanix {

namespace {

// Flushes to the disk wait mostly for the file system's journal, which
// takes the flushes of many files at once in one go: a set of thousands of
// split files is flushed by a few threads side by side.
constexpr std::size_t flushing_threads = 8;

// Runs work(k) for every k below `count`, on this thread and up to
// `threads` - 1 more (fewer when the system gives none).
template <typename Work>
void run_side_by_side(std::size_t count, std::size_t threads, Work work)
{
    std::atomic<std::size_t> next{0};
    const auto take_turns = [&] {
        for (std::size_t k; (k = next.fetch_add(1)) < count;)
            work(k);
    };
    std::vector<std::thread> helpers;
    try {
        for (std::size_t t = 1; t < std::min(threads, count); ++t)
            helpers.emplace_back(take_turns);
    } catch (const std::system_error&) {
        // The threads started so far, and this one, do the work.
    }
    take_turns();
    for (std::thread& helper : helpers)
        helper.join();
}

} // namespace

OutputSet& OutputSet::operator=(OutputSet&& other) noexcept
{
    if (this != &other) {
        abandon();
        files_ = std::move(other.files_);
        error_ = std::move(other.error_);
    }
    return *this;
}

void OutputSet::add(OutputFile file) { files_.push_back(std::move(file)); }

std::vector<std::string> OutputSet::targets() const
{
    std::vector<std::string> names;
    names.reserve(files_.size());
    for (const OutputFile& file : files_)
        names.push_back(file.target());
    return names;
}

bool OutputSet::fail(const std::string& error)
{
    error_ = error;
    abandon();
    return false;
}

void OutputSet::undo_placed(std::size_t count) noexcept
{
    while (count > 0)
        files_[--count].undo_place();
}

bool OutputSet::finish()
{
    for (OutputFile& file : files_) {
        if (!file.complete())
            return fail(file.error());
    }
    std::vector<char> flushed(files_.size(), 0);
    run_side_by_side(files_.size(), flushing_threads,
                     [this, &flushed](std::size_t k) { flushed[k] = files_[k].flush_to_disk() ? 1 : 0; });
    for (std::size_t k = 0; k < files_.size(); ++k) {
        if (flushed[k] == 0)
            return fail(files_[k].error());
    }
    return true;
}

// Gives every file its private name: from here on each survives the process.
bool OutputSet::stage_all(std::vector<PlacementEntry>& entries)
{
    entries.reserve(files_.size());
    for (OutputFile& file : files_) {
        if (!file.stage())
            return fail(file.error());
        entries.push_back({file.inode(), file.temporary(), file.name()});
    }
    return true;
}

// Puts every file in place and flushes the folder's names; on failure every
// target is put back.
bool OutputSet::place_all(const TargetFolder& folder)
{
    for (std::size_t k = 0; k < files_.size(); ++k) {
        if (!files_[k].place()) {
            const std::string error = files_[k].error();
            undo_placed(k);
            return fail(error);
        }
    }
    // The names just made must survive a power cut.
    if (!folder.sync()) {
        const std::string error = write_error_text(files_.front().target(), errno);
        undo_placed(files_.size());
        return fail(error);
    }
    return true;
}

bool OutputSet::commit(PlacementJournal& journal)
{
    if (files_.empty())
        return true;
    std::vector<PlacementEntry> entries;
    if (!finish() || !stage_all(entries))
        return false;
    // A lone file goes in place in one step: it needs no journal.
    const bool journaled = files_.size() > 1;
    std::string error;
    if (journaled && !journal.write(entries, error))
        return fail(error);
    const bool placed = place_all(journal.folder());
    if (placed) {
        for (OutputFile& file : files_)
            file.settle();
        files_.clear();
    }
    if (journaled)
        journal.remove();
    return placed;
}

void OutputSet::abandon() noexcept
{
    // Destroying the files abandons them: their temporaries go, and any file
    // still in place is put back.
    files_.clear();
}

} // namespace trevanix
