#pragma once
// The values that carry an analysed scene to the conversion. Counts are held
// in 64 bits so that huge scenes never wrap; where a value must still fit a
// 16-bit field (material and sub-material numbers) the readers check it.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "format/scene_file.hpp"
#include "state/passed_objects.hpp"

namespace trevanix {

// A long texture text and the short name that replaced it.
struct ShortTextureName {
    std::string long_text;
    std::string short_name;
};

// The materials of an ".ase" scene, as the material passes read them.
struct MaterialCatalogue {
    // cells[m][s]: "" or "material name , texture text" of material m,
    // sub-material s.
    std::vector<std::vector<std::string>> cells;
    std::vector<int> last_submaterial;   // per material: the last sub-material index written
    std::vector<int> submaterial_counts; // per material (at least one entry): 0 when it has none
    std::vector<ShortTextureName> short_texture_names; // long texture texts met so far, in order
    int material_count = 0;
    int largest_submaterial_count = 0; // over every analysis since start-up

    // The cell (m, s), or an empty text when outside the table.
    const std::string& cell(int m, int s) const noexcept;
    // Sub-material count of material m; -1 when m is outside the table.
    int submaterial_count(int m) const noexcept;
};

// What the window's statistics boxes show.
struct SceneStatistics {
    std::int64_t objects_found = 0;
    std::int64_t valid_objects = 0;
    std::int64_t split_files = 0; // ".asc" files of 255 objects the scene needs
    std::int64_t faces = 0;       // of the valid objects
    std::int64_t vertices = 0;    // of the valid objects
    std::int64_t invalid_submaterial_objects = 0;

    bool operator==(const SceneStatistics&) const = default;
};

// Which reader read the loaded scene: the exact ".ase"/".asc" readers, or
// the general reader (import/) that reads the scenes of other tools.
enum class SceneReader { Exact, General };

// What the general reader keeps of a scene between its analysis and its
// conversion, so that the scene is read once. Only the import floor knows
// what it holds.
class HeldScene {
public:
    virtual ~HeldScene() = default;
};

// The format of a scene, by its extension: the two formats of the exact
// readers, or a scene of another tool (read by the general reader).
enum class FileType { None, Ase, Asc, Other };
// The type of a lower-cased extension ("ase", "asc", "gltf", ...; "" for none).
FileType file_type_of(std::string_view extension) noexcept;

struct SceneState {
    // Input and loading.
    std::string scene_path;
    FileType file_type = FileType::None;
    std::string extension; // lower-cased: "asc", "ase", or another scene's ("gltf", "obj", ...)
    SceneReader reader = SceneReader::Exact;
    std::shared_ptr<HeldScene> held_scene; // the general reader's scene; empty for the exact readers
    // The file the analysis read; the conversion reads only that file.
    SceneIdentity scene_identity;
    // The line-end rule the analysis found: a lone LF ends a line too (the
    // file holds LF and no CR at all, or that was asked for). The conversion
    // reads the scene by the same rule.
    bool lf_ends_line = false;
    bool file_loaded = false; // an analysis has completed

    // Counts and statistics.
    std::int64_t line_count = 0;
    std::int64_t object_count = 0;
    std::int64_t invalid_submaterial_objects_since_start = 0; // never reset
    SceneStatistics statistics;
    // The objects the last checking pass passed: the conversion accounts for
    // each of them.
    PassedObjects passed_objects;

    // Target and conversion.
    std::string target_path;
    std::string chosen_target; // the target the user picked; empty: derive from the input
    bool has_materials = false;

    MaterialCatalogue catalogue;
};

// Whether the scene converts as an ".ase" scene does: objects that failed a
// check are left out, the texture options apply and a material file may be
// written. True for ".ase" scenes and for every scene of the general reader.
bool converts_like_ase(const SceneState& scene) noexcept;

} // namespace trevanix
