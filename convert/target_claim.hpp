#pragma once
// What a conversion holds on its target from its start to its end: the
// target's folder, opened once; the target's lock, so that no other
// conversion writes the same outputs meanwhile; and the journal its outputs
// are placed with. Claiming the target also makes whole a set of outputs
// that an earlier, killed run left half in place, and removes the
// temporaries such runs left beside the outputs.
#include <optional>
#include <string>

#include "convert/placement_journal.hpp"
#include "convert/target_folder.hpp"
#include "convert/target_lock.hpp"

namespace trevanix {

enum class ClaimOutcome {
    Claimed,
    Busy,   // another conversion writes to the target
    Failed, // the target's folder cannot be opened or written
};

class TargetClaim {
public:
    // `target` is the conversion's ".asc" target; its split files and
    // material file lie in the same folder. Busy and Failed come with the
    // sentence for the user.
    ClaimOutcome claim(const std::string& target, std::string& error);
    // Lets the target go: its lock is released and its folder closed.
    void release() noexcept;

    // Valid once claimed.
    const TargetFolder& folder() const noexcept { return folder_; }
    PlacementJournal& journal() { return *journal_; }

private:
    TargetFolder folder_;
    TargetLock lock_;
    std::optional<PlacementJournal> journal_;
};

} // namespace trevanix
