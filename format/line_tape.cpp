#include "format/line_tape.hpp"

#include "format/line_cursor.hpp"

namespace trevanix {

bool LineTape::take(std::string_view& text)
{
    if (!source_.next(text))
        return false;
    ++taken_;
    tally_.see(text);
    return true;
}

void LineTape::keep(std::string_view text)
{
    if (!keeping_ || !whole_)
        return;
    if (bytes_.size() + text.size() > bound_) {
        // The bound is reached: later passes read the file on their own.
        whole_ = false;
        bytes_.clear();
        bytes_.shrink_to_fit();
        kept_.clear();
        kept_.shrink_to_fit();
        return;
    }
    kept_.push_back({bytes_.size(), text.size(), source_.line_cut()});
    bytes_ += text;
}

bool LineTape::line(std::int64_t index, std::string_view& text, bool& cut, bool& direct)
{
    const auto at = static_cast<std::size_t>(index);
    if (whole_ && at < kept_.size()) {
        const Kept& k = kept_[at];
        text = std::string_view(bytes_).substr(k.begin, k.size);
        cut = k.cut;
        direct = false;
        return true;
    }
    // The cursor stands at the front of the reading: the file's next line.
    if (!take(text))
        return false;
    cut = source_.line_cut();
    keep(text);
    direct = !keeping_ || !whole_;
    return true;
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

LineCursor::LineCursor(LineTape& tape) : source_(tape.source()), number_(0), tally_(&tape.tally()), tape_(&tape) {}

bool LineCursor::read_from_tape()
{
    bool direct = false;
    if (!tape_->line(number_, line_, tape_line_cut_, direct)) {
        line_ = {};
        return false;
    }
    ++number_;
    // Past the kept lines the cursor reads the file itself (the tape counts
    // the line it has just handed over).
    if (direct)
        tape_ = nullptr;
    return true;
}

bool LineCursor::at_end()
{
    if (tape_ != nullptr && tape_->whole() && static_cast<std::size_t>(number_) < tape_->kept_.size())
        return false;
    return source_.at_end();
}

} // namespace trevanix
