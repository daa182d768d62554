#include "convert/output_set.hpp"

#include <cerrno>
#include <utility>

namespace trevanix {

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
        if (!file.finish())
            return fail(file.error());
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
    std::string error;
    if (!journal.write(entries, error))
        return fail(error);
    const bool placed = place_all(journal.folder());
    if (placed) {
        for (OutputFile& file : files_)
            file.settle();
        files_.clear();
    }
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
