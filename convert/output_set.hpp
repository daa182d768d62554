#pragma once
// The outputs of one conversion, which appear together: every file is
// written out, flushed to the disk and given a private name first; then the
// placement journal lists them, and they are put in place one after the
// other. Should one of them fail to go in place, those placed before it are
// put back, so every target is as it was before the conversion; should the
// process die meanwhile, the next conversion to the target finishes the
// placement from the journal (see placement_journal.hpp). Until commit()
// nothing of the set is visible; abandoning it (or destroying it) leaves
// nothing behind.
#include <string>
#include <vector>

#include "convert/output_file.hpp"
#include "convert/placement_journal.hpp"

namespace trevanix {

class OutputSet {
public:
    OutputSet() = default;
    ~OutputSet() { abandon(); }
    OutputSet(OutputSet&&) noexcept = default;
    OutputSet& operator=(OutputSet&& other) noexcept;
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;

    // Takes an open or staged file; it appears with the others.
    void add(OutputFile file);
    bool empty() const noexcept { return files_.empty(); }
    // The targets, in the order they were added.
    std::vector<std::string> targets() const;

    // Writes out and flushes every file; nothing appears yet. False with
    // error() on the first failure, the whole set then abandoned.
    bool finish();
    // finish(), every file staged, the journal written (for more than one
    // file), every file in place and the folder flushed, the journal removed. False with error() when
    // a file could not be written or placed; every target is then as it was
    // (except where the file system cannot swap two names, and a file it
    // replaced cannot come back).
    bool commit(PlacementJournal& journal);
    void abandon() noexcept;

    const std::string& error() const noexcept { return error_; }

private:
    bool fail(const std::string& error);
    bool stage_all(std::vector<PlacementEntry>& entries);
    bool place_all(const TargetFolder& folder);
    void undo_placed(std::size_t count) noexcept;

    std::vector<OutputFile> files_;
    std::string error_;
};

} // namespace trevanix
