#pragma once
// Reading the material list of an ".ase" scene into the material catalogue:
// a sizing pass (sub-material counts) and a catalogue pass (material and
// texture names per material and sub-material).
#include <functional>
#include <string>
#include <vector>

#include "format/line_cursor.hpp"
#include "format/line_source.hpp"
#include "format/scene_file.hpp"
#include "analysis/texture_short_names.hpp"
#include "state/scene_state.hpp"

namespace trevanix {

struct CatalogueOutcome {
    bool readable = true;        // false: the file could not be read, see error
    bool counts_in_range = true; // false: a material or sub-material count does not fit 16 bits
    bool stopped = false;        // keep_going said no
    std::string error;
    bool has_materials = false;
    std::vector<PictureRenameFailure> rename_failures;
    std::vector<PictureRename> renamed_pictures;
    std::vector<std::string> missing_pictures;
    std::vector<UnrenamedPicture> unrenamed_pictures;
};

struct CatalogueInput {
    std::string path;        // the scene file
    std::string tiff_folder; // the TIFFRGB folder beside it
    LineSourceOptions reading;
    // The scene as the analysis opened it for all its passes; when null a
    // pass on a reading of its own opens `path`.
    const SceneFile* file = nullptr;
    PictureRenaming renaming = PictureRenaming::Rename;
    // Called once per line of the outer scan, so a window can stay responsive;
    // returns false to stop reading.
    std::function<bool()> keep_going;
};

// The sizing pass, from the cursor's first line: fills
// catalogue.submaterial_counts and raises largest_submaterial_count.
CatalogueOutcome size_material_list(LineCursor& in, const CatalogueInput& input, MaterialCatalogue& catalogue);

// The catalogue pass, from the cursor's first line: fills cells,
// last_submaterial and short_texture_names, renames the pictures of shortened
// texture names, and tells whether the scene has materials.
CatalogueOutcome read_material_catalogue(LineCursor& in, const CatalogueInput& input, MaterialCatalogue& catalogue);

// The same passes on a reading of their own of input.file (or input.path).
CatalogueOutcome size_material_list(const CatalogueInput& input, MaterialCatalogue& catalogue);
CatalogueOutcome read_material_catalogue(const CatalogueInput& input, MaterialCatalogue& catalogue);

} // namespace trevanix
