#include "format/line_tape.hpp"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "format/line_cursor.hpp"

namespace trevanix {

namespace {

constexpr std::size_t chunk_size = std::size_t{256} << 10;

} // namespace

LineTape::LineTape(LineSource& source, ObjectStartTally& tally, std::size_t bound)
    : source_(source), tally_(tally), bound_(bound)
{
}

LineTape::~LineTape() = default;

bool LineTape::kept_at(std::int64_t index) const noexcept
{
    return index >= first_ && index - first_ < static_cast<std::int64_t>(kept_count());
}

bool LineTape::keeping() const noexcept
{
    if (!last_pass_)
        return whole_;
    return follower_ != nullptr && !follower_dropped_;
}

bool LineTape::take(std::string_view& text)
{
    if (!source_.next_keeps_views()) {
        let_go_of_read_lines();
        hold_views();
    }
    if (!source_.next(text))
        return false;
    ++taken_;
    tally_.see(text);
    return true;
}

void LineTape::keep(std::string_view text)
{
    if (keeping())
        kept_.push_back({text.data(), static_cast<std::uint32_t>(text.size()), source_.line_cut(), false});
}

// Lines whose end lies in the block are handed out by the source without a
// copy and without a cut: taken in one go, they cost the cursors a look-up
// each instead of a call into the tape.
void LineTape::take_rest_of_block()
{
    std::string_view text;
    while (source_.next_keeps_views() && source_.next(text)) {
        ++taken_;
        tally_.see(text);
        kept_.push_back({text.data(), static_cast<std::uint32_t>(text.size()), false, false});
    }
}

void LineTape::repoint(LineCursor* cursor, std::int64_t index, const Kept& moved) const noexcept
{
    if (cursor != nullptr && cursor->tape_ == this && cursor->number_ - 1 == index)
        cursor->line_ = std::string_view(moved.data, moved.size);
}

void LineTape::copy_line(std::int64_t index)
{
    Kept& k = kept(index);
    if (chunks_.empty() || chunks_.back().size - chunks_.back().used < k.size) {
        Chunk chunk;
        chunk.size = std::max<std::size_t>(chunk_size, k.size);
        chunk.bytes = std::make_unique_for_overwrite<char[]>(chunk.size); // filled as lines are copied
        chunks_.push_back(std::move(chunk));
    }
    Chunk& chunk = chunks_.back();
    char* at = chunk.bytes.get() + chunk.used;
    if (k.size > 0)
        std::memcpy(at, k.data, k.size);
    chunk.used += k.size;
    chunk.last_line = index;
    k.data = at;
    k.copied = true;
    copied_bytes_ += k.size;
    repoint(pass_, index, k);
    repoint(follower_, index, k);
}

// The lines a pass still needs would take more than the bound: an earlier
// pass's lines are given up (later passes read the file on their own), a
// follower is dropped.
void LineTape::hold_views()
{
    for (std::size_t i = 0; i < kept_count(); ++i) {
        const Kept& k = kept_[head_ + i];
        if (k.copied)
            continue;
        if (copied_bytes_ + k.size > bound_) {
            if (!last_pass_) {
                whole_ = false;
                drop_all();
                return;
            }
            if (follower_ != nullptr && !follower_dropped_) {
                drop_follower();
                i = static_cast<std::size_t>(-1); // start over on what is left
                continue;
            }
        }
        copy_line(first_ + static_cast<std::int64_t>(i));
    }
}

void LineTape::let_go_before(std::int64_t index)
{
    while (kept_count() > 0 && first_ < index) {
        if (kept_[head_].copied)
            copied_bytes_ -= kept_[head_].size;
        ++head_;
        ++first_;
    }
    if (kept_count() == 0) {
        kept_.clear();
        head_ = 0;
        first_ = std::max(first_, index);
    } else if (head_ > kept_.size() / 2 && head_ > 1024) {
        kept_.erase(kept_.begin(), kept_.begin() + static_cast<std::ptrdiff_t>(head_));
        head_ = 0;
    }
    while (!chunks_.empty() && chunks_.front().last_line < first_) {
        if (chunks_.size() == 1) {
            chunks_.front().used = 0;
            break;
        }
        chunks_.pop_front();
    }
}

// Each cursor keeps its current line: the lines before the earlier of them
// go. Before the last pass every line is kept.
void LineTape::let_go_of_read_lines()
{
    if (!last_pass_ || pass_ == nullptr)
        return;
    std::int64_t oldest = pass_->number_ - 1;
    if (follower_ != nullptr && !follower_dropped_)
        oldest = std::min(oldest, follower_->number_ - 1);
    let_go_before(oldest);
}

void LineTape::drop_all() noexcept
{
    kept_.clear();
    head_ = 0;
    chunks_.clear();
    copied_bytes_ = 0;
    first_ = taken_;
}

void LineTape::drop_follower()
{
    follower_dropped_ = true;
    // The pass holds its current line; what lies before it goes.
    if (pass_ != nullptr)
        let_go_before(pass_->number_ - 1);
}

void LineTape::end_follower() noexcept
{
    follower_ = nullptr;
    if (pass_ != nullptr)
        let_go_before(pass_->number_ - 1);
}

bool LineTape::may_take(const LineCursor& cursor)
{
    if (&cursor != follower_)
        return true;
    if (copied_bytes_ < bound_)
        return true;
    drop_follower();
    return false;
}

void LineTape::begin_last_pass(LineCursor& pass, LineCursor* follower)
{
    last_pass_ = true;
    pass_ = &pass;
    follower_ = follower;
}

bool LineTape::line(const LineCursor& cursor, std::int64_t index, std::string_view& text, bool& cut, bool& direct)
{
    direct = false;
    if (&cursor == follower_ && follower_dropped_)
        return false;
    if (const Kept* k = kept_for(cursor, index)) {
        text = std::string_view(k->data, k->size);
        cut = k->cut;
        return true;
    }
    // The cursor stands at the front of the reading: the file's next line.
    if (index != taken_ || !may_take(cursor) || !take(text))
        return false;
    cut = source_.line_cut();
    keep(text);
    direct = !keeping() && (last_pass_ || !whole_);
    // Beside a follower, the other cursor reads each line too: the rest of
    // the block is taken at once.
    if (last_pass_ && keeping())
        take_rest_of_block();
    // Lines are let go in bulk, not one by one.
    if (kept_count() > 4096)
        let_go_of_read_lines();
    return true;
}

bool LineTape::at_end(const LineCursor& cursor, std::int64_t index)
{
    if (&cursor == follower_ && follower_dropped_)
        return true;
    if (kept_at(index))
        return false;
    if (!source_.next_keeps_views())
        hold_views();
    return source_.at_end();
}

bool LineTape::take_until_object_start()
{
    std::string_view text;
    while (tally_.count == 0 && take(text))
        keep(text);
    return tally_.count > 0;
}

void LineTape::take_rest()
{
    std::string_view text;
    while (take(text)) {
    }
}

} // namespace trevanix

namespace trevanix {

LineCursor::LineCursor(LineTape& tape) : source_(tape.source()), number_(0), tally_(&tape.tally()), tape_(&tape) {}

bool LineCursor::read_from_tape()
{
    bool direct = false;
    if (!tape_->line(*this, number_, line_, tape_line_cut_, direct)) {
        line_ = {};
        return false;
    }
    ++number_;
    // Past the kept lines the cursor reads the file itself (the tape has
    // counted the line it has just handed over).
    if (direct)
        tape_ = nullptr;
    return true;
}

bool LineCursor::at_end()
{
    if (tape_ != nullptr)
        return tape_->at_end(*this, number_);
    return source_.at_end();
}

} // namespace trevanix
