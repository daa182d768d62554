#include "cli/scene_list.hpp"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "format/text.hpp"
#include "import/general_formats.hpp"
#include "state/paths.hpp"

namespace trevanix::cli {

namespace fs = std::filesystem;

namespace {

bool has_extension(const std::string& name, std::string_view lower_extension)
{
    return to_lower_copy(extension_of(name)) == lower_extension;
}

// A scene whose conversion writes an ".asc" beside it: an ".ase" scene, or
// a scene of another tool.
bool is_source_scene(const std::string& name)
{
    return has_extension(name, "ase") || lists_in_folders(extension_of(name));
}

struct FolderEntry {
    std::string name;
    bool is_folder = false; // a real folder, not a link to one
    bool is_file = false;   // a regular file, or a link to one
};

bool read_folder(const fs::path& folder, std::vector<FolderEntry>& entries, std::string& error)
{
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code type_ec;
        FolderEntry entry;
        entry.name = it->path().filename().string();
        entry.is_folder = it->is_directory(type_ec) && !it->is_symlink(type_ec);
        entry.is_file = it->is_regular_file(type_ec);
        entries.push_back(std::move(entry));
    }
    if (ec) {
        error = "cannot read the folder \"" + folder.string() + "\": " + ec.message();
        return false;
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return true;
}

bool add_folder_scenes(const fs::path& folder, bool recursive, std::vector<std::string>& scenes, std::string& error)
{
    std::vector<FolderEntry> entries;
    if (!read_folder(folder, entries, error))
        return false;
    std::vector<std::string> source_extensions;
    for (const FolderEntry& entry : entries)
        if (entry.is_file && is_source_scene(entry.name)) {
            const std::string extension = extension_of(entry.name);
            if (std::find(source_extensions.begin(), source_extensions.end(), extension) == source_extensions.end())
                source_extensions.push_back(extension);
        }
    for (const FolderEntry& entry : entries) {
        if (entry.is_folder) {
            if (recursive && !add_folder_scenes(folder / entry.name, true, scenes, error))
                return false;
            continue;
        }
        if (!entry.is_file)
            continue;
        if (is_source_scene(entry.name) ||
            (has_extension(entry.name, "asc") && !is_earlier_output(folder.string(), entry.name, source_extensions)))
            scenes.push_back((folder / entry.name).string());
    }
    return true;
}

} // namespace

std::string stem_before_split_number(const std::string& stem)
{
    const auto at = stem.rfind("_0");
    if (at == std::string::npos || at + 2 >= stem.size() || stem[at + 2] == '0')
        return {};
    for (std::size_t i = at + 2; i < stem.size(); ++i)
        if (stem[i] < '0' || stem[i] > '9')
            return {};
    return stem.substr(0, at);
}

bool is_earlier_output(const std::string& folder, const std::string& asc_file_name,
                       const std::vector<std::string>& scene_extensions)
{
    const std::string stem = base_name_of(asc_file_name);
    std::vector<std::string> stems = {stem};
    if (std::string before = stem_before_split_number(stem); !before.empty())
        stems.push_back(std::move(before));
    std::error_code ec;
    for (const std::string& candidate : stems)
        for (const std::string& extension : scene_extensions)
            if (fs::is_regular_file(fs::path(folder) / (candidate + "." + extension), ec))
                return true;
    return false;
}

SceneListing list_scenes(const std::vector<std::string>& arguments, bool recursive)
{
    SceneListing listing;
    for (const std::string& argument : arguments) {
        const std::string path = without_surrounding_quotes(argument);
        std::error_code ec;
        if (!fs::is_directory(path, ec)) {
            listing.scenes.push_back(path); // a file, or a path the scene's own run reports as unreadable
            continue;
        }
        listing.folder_given = true;
        const std::size_t before = listing.scenes.size();
        if (!add_folder_scenes(path, recursive, listing.scenes, listing.error))
            return listing;
        if (listing.scenes.size() == before) {
            listing.error = "the folder \"" + path + "\" holds no scene file" +
                            (recursive ? "" : " (--recursive looks in the folders below it)");
            return listing;
        }
    }
    return listing;
}

} // namespace trevanix::cli
