#pragma once
// The scenes a run works on, from the SCENE_OR_FOLDER arguments: a file is a
// scene; a folder stands for the scene files directly in it (and, when
// recursive, in every folder below it): ".ase", ".asc" and the extensions of
// the general reader, in name order, leaving out the ".asc" files that are
// the earlier output of another scene beside them.
#include <string>
#include <vector>

namespace trevanix::cli {

struct SceneListing {
    std::vector<std::string> scenes;
    bool folder_given = false; // an argument was a folder
    std::string error; // why the arguments give no usable list; "" when they do
};

SceneListing list_scenes(const std::vector<std::string>& arguments, bool recursive);

// "city_01" -> "city": the stem of the scene whose split file a stem would be
// (the conversion numbers split files "_0" 1, 2, ... without leading zeros);
// "" when it is none.
std::string stem_before_split_number(const std::string& stem);

// Whether an ".asc" file of `folder` is the output of a scene beside it: its
// stem, or its stem without a trailing "_0" and a split number, names a file
// of the folder with one of `scene_extensions` (as spelled there). The file
// system itself compares the names, so letter case counts as it counts there.
bool is_earlier_output(const std::string& folder, const std::string& asc_file_name,
                       const std::vector<std::string>& scene_extensions);

} // namespace trevanix::cli
