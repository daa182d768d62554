#include "convert/object_placement.hpp"

#include "format/kolbrin_limits.hpp"
#include "format/text.hpp"
#include "state/messages.hpp"
#include "state/paths.hpp"

namespace trevanix {

std::string split_file_name(const std::string& target, std::int64_t number)
{
    std::string name = target.substr(0, target.size() >= 4 ? target.size() - 4 : 0);
    name += "_0";
    append_decimal(name, number);
    name += ".asc";
    return name;
}

bool ObjectPlacement::failed(const OutputFile& file)
{
    error_ = file.error();
    return false;
}

bool ObjectPlacement::open_next_file()
{
    const std::string name =
        split_ ? split_file_name(target_, static_cast<std::int64_t>(files_.size()) + 1) : target_;
    if (same_file(name, input_)) {
        error_ = messages::cannot_overwrite_input;
        refused_input_ = true;
        return false;
    }
    OutputFile file;
    if (!file.open(folder_, name))
        return failed(file);
    files_.push_back(std::move(file));
    return true;
}

// A full split file needs no buffer any more; beyond the first few it is
// closed as well.
bool ObjectPlacement::file_full(OutputFile& file)
{
    const bool closed = files_.size() > files_kept_open ? file.stage() : file.release_buffer();
    return closed || failed(file);
}

bool ObjectPlacement::place_block(std::string_view block)
{
    const auto index = split_ ? static_cast<std::size_t>(current_split_file_ - 1) : 0;
    // The split count comes from the analysis; should the conversion pass more
    // objects than it foresaw, they go to further split files rather than
    // overloading the last one.
    while (index >= files_.size()) {
        if (!open_next_file())
            return false;
    }
    OutputFile& file = files_[index];
    if (!file.write(block))
        return failed(file);
    ++objects_placed_;
    if (split_ && objects_placed_ == current_split_file_ * kolbrin::objects_per_file) {
        ++current_split_file_;
        return file_full(file);
    }
    return true;
}

void ObjectPlacement::settle_split(bool split)
{
    if (split || !split_)
        return;
    split_ = false;
    current_split_file_ = 1;
    // At most one file of objects was begun: a scene of one file holds no
    // more objects than a file takes.
    if (!files_.empty())
        files_.front().retarget(target_);
}

bool ObjectPlacement::create_remaining(std::size_t count)
{
    while (files_.size() < count) {
        if (!open_next_file())
            return false;
        if (files_.size() > files_kept_open && !files_.back().stage())
            return failed(files_.back());
    }
    return true;
}

} // namespace trevanix
