#include "import/general_formats.hpp"

#include <algorithm>

#include <assimp/Importer.hpp>

#include "format/text.hpp"

namespace trevanix {

namespace {

std::vector<std::string> read_extensions()
{
    Assimp::Importer importer;
    std::string list; // "*.3ds;*.obj;..."
    importer.GetExtensionList(list);
    std::vector<std::string> extensions;
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos)
            end = list.size();
        std::string pattern = list.substr(start, end - start);
        if (pattern.starts_with("*."))
            pattern.erase(0, 2);
        // "mesh.xml" ends in "xml": a file's extension is what follows its last dot.
        if (const auto dot = pattern.rfind('.'); dot != std::string::npos)
            pattern.erase(0, dot + 1);
        pattern = to_lower_copy(pattern);
        if (!pattern.empty() && pattern != "ase" && pattern != "asc" &&
            std::find(extensions.begin(), extensions.end(), pattern) == extensions.end())
            extensions.push_back(pattern);
        start = end + 1;
    }
    return extensions;
}

} // namespace

const std::vector<std::string>& general_scene_extensions()
{
    static const std::vector<std::string> extensions = read_extensions();
    return extensions;
}

bool is_general_scene_extension(std::string_view extension)
{
    const std::string lower = to_lower_copy(extension);
    const auto& all = general_scene_extensions();
    return std::find(all.begin(), all.end(), lower) != all.end();
}

bool lists_in_folders(std::string_view extension)
{
    const std::string lower = to_lower_copy(extension);
    return lower != "xml" && lower != "raw" && is_general_scene_extension(lower);
}

std::string general_scene_patterns()
{
    std::string patterns;
    for (const std::string& extension : general_scene_extensions()) {
        if (!patterns.empty())
            patterns += ';';
        patterns += "*." + extension;
    }
    return patterns;
}

} // namespace trevanix
