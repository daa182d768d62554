#pragma once
// The placement journal: a small file beside the outputs that says, while a
// set of outputs is put in place, which staged file replaces which target.
//
// Before the first file of a set is put in place, every new file already
// holds its complete, flushed content under a private name, and the journal
// lists them: for each, the inode of the new file, its private name and the
// target's name. It is written to a temporary, flushed and renamed into
// place, so it is whole or absent. It is removed once the set is in place.
//
// A process killed while it puts a set in place leaves the journal behind.
// The next conversion to the same target (under the target's lock) reads it
// and makes the set whole: every target that does not hold its new file yet
// gets it (the inodes tell which step was done), and the previous files
// left under private names go. Should a new file be gone, so that the set
// cannot be finished, the targets already replaced get their previous files
// back instead. It then removes the temporaries that dead runs left beside
// the target's outputs.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/target_folder.hpp"

namespace trevanix {

// One file of a set: its new content waits under `staged` until it replaces
// `target` (both names in the target folder).
struct PlacementEntry {
    std::uint64_t inode = 0;
    std::string staged;
    std::string target;

    bool operator==(const PlacementEntry&) const = default;
};

// The journal's name beside the target "NAME.asc": "NAME.asc.trevanix-journal".
std::string journal_name_for(std::string_view target_name);

// The journal's bytes and their reading: one line per entry, each name
// preceded by its length so that any byte of a name reads back. False when
// the text is not a journal.
std::string journal_text(const std::vector<PlacementEntry>& entries);
bool read_journal_text(std::string_view text, std::vector<PlacementEntry>& entries);

// Whether `name` is one of the files a conversion to the target named
// `target_name` writes: the target, its split files, its material file.
bool is_output_name_of(std::string_view name, std::string_view target_name);
// Whether `name` is a private name ("….trevanix-PID-N.tmp") of one of
// those files or of the journal; `pid` then holds the process that made it.
bool is_temporary_of(std::string_view name, std::string_view target_name, long& pid);

class PlacementJournal {
public:
    // `target` is a path to a file in `folder`, which outlives the journal.
    PlacementJournal(const TargetFolder& folder, const std::string& target);

    // Writes the journal whole and flushed. On failure returns false with
    // the sentence for the user.
    bool write(const std::vector<PlacementEntry>& entries, std::string& error);
    // Removes the journal once its set is in place, or was put back.
    void remove() noexcept;

    // Makes whole a set that a killed run left half in place, then removes
    // the temporaries of dead runs of this target. Call it holding the
    // target's lock, before anything else looks at the outputs.
    void recover() const;

    const std::string& name() const noexcept { return name_; }
    const TargetFolder& folder() const noexcept { return folder_; }

private:
    const TargetFolder& folder_;
    std::string target_name_;
    std::string name_;
    std::string path_; // for messages and the fault seam
};

} // namespace trevanix
