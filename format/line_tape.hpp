#pragma once
// One reading of a scene for the several passes of one scan.
//
// The passes of an ".ase" analysis each read the scene from its first line:
// the material list's two passes, then the checks. A conversion that follows
// the analysis directly reads the same lines beside the checks, at its own
// pace. The tape lets them all share one reading: every line is taken from
// the file once (where the lines that start an object are counted) and kept
// for as long as a pass still has to read it.
//
// Kept lines stay where the line source put them while its block lasts, and
// are copied only when the source moves on to its next block. Memory stays
// bounded: a later pass that would need more than the bound kept reads the
// file on its own (whole() turns false), and a follower that falls or runs
// too far from the last pass is dropped (its reads fail; its work is
// abandoned and done again later by a pass of its own).
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

#include "format/line_source.hpp"
#include "format/object_starts.hpp"

namespace trevanix {

class LineCursor;

// A reading that rides along the last pass of a scan (the checks of an
// analysis): a conversion that follows the analysis directly reads the same
// lines beside the checks, at its own pace, so that the scene is read once.
// The scan only steps it.
class RidingReader {
public:
    virtual ~RidingReader() = default;
    // The material list has been read (the scene state holds it): the rider
    // starts on `in`, a cursor of its own over the scan from the first line.
    virtual void begin(LineCursor& in) = 0;
    // One step of the rider; false once it has ended.
    virtual bool step() = 0;
    // The rider cannot go on: the scan could not keep its lines, ended
    // before the end of the file, or read the file in another way. Its work
    // is void.
    virtual void dropped() = 0;
};

class LineTape {
public:
    static constexpr std::size_t default_bound = std::size_t{8} << 20; // bytes of copied lines

    LineTape(LineSource& source, ObjectStartTally& tally, std::size_t bound = default_bound);
    ~LineTape();
    LineTape(const LineTape&) = delete;
    LineTape& operator=(const LineTape&) = delete;

    // Every line taken from the file so far is kept: a new pass can read the
    // file from its first line through the tape.
    bool whole() const noexcept { return whole_; }
    // Takes lines from the file (keeping them while the tape is whole) until
    // one starts an object or the file ends; true when some line taken so
    // far starts an object.
    bool take_until_object_start();
    // Takes the rest of the file, counting its lines and object starts only.
    void take_rest();

    // The last pass begins, with `pass` (made over this tape) reading the
    // kept lines and then the file, and `follower` (also made over this
    // tape; null for none) reading the same lines at its own pace. Lines
    // both have read are let go; once no follower needs them, the pass reads
    // the file itself.
    void begin_last_pass(LineCursor& pass, LineCursor* follower);
    // The follower has finished: lines are kept for the pass alone.
    void end_follower() noexcept;
    // The follower was dropped: keeping the lines between it and the pass
    // would have taken more than the bound.
    bool follower_dropped() const noexcept { return follower_dropped_; }

    LineSource& source() noexcept { return source_; }
    ObjectStartTally& tally() noexcept { return tally_; }

private:
    friend class LineCursor;

    // A kept line; its size is below 4 GiB, since the source cuts lines
    // at LineSource::max_line_length.
    struct Kept {
        const char* data = nullptr;
        std::uint32_t size = 0;
        bool cut = false;
        bool copied = false; // in the tape's own chunks, not in the source's block
    };

    // Line `index` is kept and `cursor` may read it: the cursors' common
    // case, answered inline.
    [[gnu::always_inline]] const Kept* kept_for(const LineCursor& cursor, std::int64_t index) const noexcept
    {
        if (index < first_ || index - first_ >= static_cast<std::int64_t>(kept_count()))
            return nullptr;
        if (follower_dropped_ && &cursor == follower_)
            return nullptr;
        return &kept_[head_ + static_cast<std::size_t>(index - first_)];
    }
    struct Chunk {
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0;
        std::size_t used = 0;
        std::int64_t last_line = -1; // the last kept line copied into it
    };

    // Line `index` for `cursor`: a kept line, or the next line of the file.
    // `direct` tells the cursor to read the file itself from now on. False
    // at the end of the file, and for a dropped follower.
    bool line(const LineCursor& cursor, std::int64_t index, std::string_view& text, bool& cut, bool& direct);
    bool at_end(const LineCursor& cursor, std::int64_t index);
    bool kept_at(std::int64_t index) const noexcept;
    bool take(std::string_view& text);
    void keep(std::string_view text);
    // Takes and keeps the rest of the lines that end in the source's block.
    void take_rest_of_block();
    bool keeping() const noexcept;
    bool may_take(const LineCursor& cursor);
    // Before the source may move to its next block: the kept lines that
    // still point into its block are copied.
    void hold_views();
    void copy_line(std::int64_t index);
    void repoint(LineCursor* cursor, std::int64_t index, const Kept& moved) const noexcept;
    void let_go_before(std::int64_t index);
    // Lets go of what both cursors have read (see let_go_before).
    void let_go_of_read_lines();
    std::size_t kept_count() const noexcept { return kept_.size() - head_; }
    Kept& kept(std::int64_t index) noexcept { return kept_[head_ + static_cast<std::size_t>(index - first_)]; }
    void drop_follower();
    void drop_all() noexcept;

    LineSource& source_;
    ObjectStartTally& tally_;
    std::size_t bound_;
    // Lines [first_, first_ + kept_.size() - head_) are kept_[head_, ...);
    // the entries before head_ are let go, and dropped in bulk.
    std::vector<Kept> kept_;
    std::size_t head_ = 0;
    std::int64_t first_ = 0;
    std::deque<Chunk> chunks_;
    std::size_t copied_bytes_ = 0;
    std::int64_t taken_ = 0;        // lines taken from the file
    bool whole_ = true;
    bool last_pass_ = false;
    LineCursor* pass_ = nullptr;
    LineCursor* follower_ = nullptr;
    bool follower_dropped_ = false;
};

} // namespace trevanix
