#include "convert/object_placement.hpp"

#include "format/text.hpp"
#include "state/messages.hpp"
#include "state/paths.hpp"

namespace trevanix {

namespace {

constexpr std::int64_t objects_per_file = 255;

} // namespace

std::string split_file_name(const std::string& target, std::int64_t number)
{
    std::string name = target.substr(0, target.size() >= 4 ? target.size() - 4 : 0);
    name += "_0";
    append_decimal(name, number);
    name += ".asc";
    return name;
}

bool ObjectPlacement::open_next_split_file()
{
    const std::string name = split_file_name(target_, static_cast<std::int64_t>(files_.size()) + 1);
    if (same_file(name, input_)) {
        error_ = messages::cannot_overwrite_input;
        refused_input_ = true;
        return false;
    }
    OutputFile file;
    if (!file.open(name)) {
        error_ = file.error();
        return false;
    }
    files_.push_back(std::move(file));
    return true;
}

bool ObjectPlacement::place_block(std::string_view block)
{
    const auto index = static_cast<std::size_t>(current_split_file_ - 1);
    // The split count comes from the analysis; should the conversion pass more
    // objects than it foresaw, they go to further split files rather than
    // overloading the last one.
    while (split_ && index >= files_.size()) {
        if (!open_next_split_file())
            return false;
    }
    OutputFile& file = files_[split_ ? index : 0];
    if (!file.write(block)) {
        error_ = file.error();
        return false;
    }
    ++objects_placed_;
    if (split_ && objects_placed_ == current_split_file_ * objects_per_file) {
        ++current_split_file_;
        // This file is full: its buffer is not needed any more.
        if (!file.release_buffer()) {
            error_ = file.error();
            return false;
        }
    }
    return true;
}

} // namespace trevanix
