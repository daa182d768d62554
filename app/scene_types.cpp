#include "app/scene_types.hpp"

#include "format/text.hpp"
#include "import/general_formats.hpp"
#include "state/messages.hpp"

namespace trevanix {

bool has_exact_reader(std::string_view file_type) { return file_type == "ase" || file_type == "asc"; }

bool is_scene_file_type(std::string_view extension)
{
    const std::string lower = to_lower_copy(extension);
    return has_exact_reader(lower) || is_general_scene_extension(lower);
}

bool read_by_general_reader_first(std::string_view file_type, ReaderChoice choice)
{
    if (has_exact_reader(file_type))
        return choice == ReaderChoice::General;
    return is_general_scene_extension(file_type);
}

std::string scene_dialog_filter()
{
    return "All scenes|*.ase;*.asc;" + general_scene_patterns() + "|" + messages::open_dialog_filter;
}

} // namespace trevanix
