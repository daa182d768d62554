#include "convert/output_set.hpp"

#include <algorithm>
#include <cerrno>
#include <filesystem>
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

bool OutputSet::commit()
{
    if (!finish())
        return false;
    for (std::size_t k = 0; k < files_.size(); ++k) {
        if (!files_[k].place()) {
            const std::string error = files_[k].error();
            undo_placed(k);
            return fail(error);
        }
    }
    // Each folder once: the names just made there must survive a power cut.
    std::vector<std::filesystem::path> synced;
    for (const OutputFile& file : files_) {
        const auto folder = std::filesystem::path(file.target()).parent_path();
        if (std::find(synced.begin(), synced.end(), folder) != synced.end())
            continue;
        if (!sync_folder_of(file.target())) {
            const std::string error = write_error_text(file.target(), errno);
            undo_placed(files_.size());
            return fail(error);
        }
        synced.push_back(folder);
    }
    for (OutputFile& file : files_)
        file.settle();
    files_.clear();
    return true;
}

void OutputSet::abandon() noexcept
{
    // Destroying the files abandons them: their temporaries go, and any file
    // still in place is put back.
    files_.clear();
}

} // namespace trevanix
