#pragma once
// The window-level values that carry an analysed scene to the conversion,
// under their own names. Counts that the original design kept in 16 bits are
// held wider here so that huge scenes never wrap; where a value must still fit
// a 16-bit field (material and sub-material numbers) the readers check it.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace trevanix {

// A long texture text and the short name that replaced it.
struct ShortTextureName {
    std::string long_text;
    std::string short_name;
};

struct MaterialCatalogue {
    // mat_table[m][s]: "" or "first text , second text".
    std::vector<std::vector<std::string>> mat_table;
    std::vector<int> last_submat; // 0 .. nr_mapped_objs
    std::vector<int> submats;     // 0 .. material count - 1 (at least index 0)
    std::vector<ShortTextureName> bigmat; // long texture texts met so far, in order
    int nr_mapped_objs = 0;
    int nr_max_mats2 = 0; // never reset
    int nr_materials = 0;
    std::string kind_mat;
    int num_bigmat() const noexcept { return static_cast<int>(bigmat.size()); }

    // The cell (m, s), or an empty text when outside the table.
    const std::string& cell(int m, int s) const noexcept;
    // Sub-material count of material m; -1 when m is outside `submats`.
    int submaterial_count(int m) const noexcept;
};

struct SceneState {
    // Input and loading.
    std::string impo;
    std::string fich;
    std::string file_type;
    int file_loaded = 0;

    // Counts and statistics (entries 1..6 of stats are used).
    std::int64_t nr_line2 = 0;
    std::int64_t nr_objects = 0;
    std::int64_t valid_objects = 0;
    std::int64_t invalid_mat_id = 0; // never reset
    std::array<std::int64_t, 9> stats{};
    std::vector<std::string> obj_names; // empty until the first checking pass

    // Target and conversion.
    std::string fich_dest;
    std::string chosen_target; // the target the user picked; empty: derive from the input
    int express = 0;
    std::int64_t curr_splitasc = 0;
    int object_mapped = 0;
    int project_mapped = 0;
    int mat_nrnr = 0;
    int mat_ref = 0;

    MaterialCatalogue catalogue;
};

// The four byte templates of the material file, built once at start-up.
struct MaterialTemplates {
    std::string inicio;
    std::string inicio_mat;
    std::string rest_mat;
    std::string end_mat;
};
MaterialTemplates build_material_templates();

} // namespace trevanix
