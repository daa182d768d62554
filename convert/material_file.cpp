#include "convert/material_file.hpp"

#include <string_view>

#include "format/asc_lines.hpp"
#include "state/paths.hpp"

namespace trevanix {

namespace {

std::string bytes(std::initializer_list<unsigned char> list)
{
    std::string out;
    out.reserve(list.size());
    for (unsigned char b : list)
        out.push_back(static_cast<char>(b));
    return out;
}

MaterialTemplates build_material_templates()
{
    MaterialTemplates t;
    t.file_header = bytes({0x00, 0x00, 0x00, 0x12, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x02});
    t.record_start = bytes({0x00, 0x00, 0x00, 0x3C, 0x00, 0x00, 0x00, 0x50, 0xFF, 0xFF, 0xFF, 0xFF, 0x3D, 0xCC, 0xCC,
                          0xCD, 0x3F, 0x33, 0x33, 0x33, 0x00, 0x00, 0x00, 0x00, 0x41, 0xA0, 0x00, 0x00, 0x00, 0x00,
                          0x00, 0x21, 0x3F, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3F,
                          0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0A, 0x1F, 0x00, 0x00,
                          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    t.record_middle = bytes({0x00, 0x00, 0x00, 0x00, 0x1C, 0x00, 0x00, 0x00, 0x04});
    t.record_end = bytes({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    return t;
}

} // namespace

const MaterialTemplates& material_templates()
{
    static const MaterialTemplates templates = build_material_templates();
    return templates;
}

std::string material_path_for(const std::string& target)
{
    if (target.size() < 3)
        return target + "mat";
    return target.substr(0, target.size() - 3) + "mat";
}

std::string material_file_bytes(const MaterialCatalogue& catalogue)
{
    const MaterialTemplates& templates = material_templates();
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
                           OutputFile& file, std::string& error)
{
    if (!file.open(folder, path) || !file.write(material_file_bytes(catalogue)) || !file.finish()) {
        error = file.error();
        return false;
    }
    return true;
}

} // namespace trevanix
