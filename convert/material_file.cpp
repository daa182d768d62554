#include "convert/material_file.hpp"

#include <string_view>

#include "format/asc_lines.hpp"
#include "state/paths.hpp"

namespace trevanix {

std::string material_path_for(const std::string& target)
{
    if (target.size() < 3)
        return target + "mat";
    return target.substr(0, target.size() - 3) + "mat";
}

std::string material_file_bytes(const MaterialCatalogue& catalogue, const MaterialTemplates& templates)
{
    std::string out = templates.file_header;
    for (int m = 0; m < catalogue.material_count; ++m) {
        const int last = static_cast<std::size_t>(m) < catalogue.last_submaterial.size()
                             ? catalogue.last_submaterial[static_cast<std::size_t>(m)]
                             : 0;
        for (int s = 0; s <= last; ++s) {
            const std::string_view cell = catalogue.cell(m, s);
            const std::size_t separator = cell.find(asc::cell_separator);
            if (separator == std::string_view::npos)
                continue;
            const std::string_view name = cell.substr(0, separator);
            if (name == asc::empty_material)
                continue;
            out += templates.record_start;
            out += name;
            out += templates.record_middle;
            out += texture_base_name(cell.substr(separator + asc::cell_separator.size()));
            out += templates.record_end;
        }
    }
    return out;
}

bool prepare_material_file(const TargetFolder& folder, const std::string& path, const MaterialCatalogue& catalogue,
                           const MaterialTemplates& templates, OutputFile& file, std::string& error)
{
    if (!file.open(folder, path) || !file.write(material_file_bytes(catalogue, templates)) || !file.finish()) {
        error = file.error();
        return false;
    }
    return true;
}

} // namespace trevanix
