#pragma once
// The conversion of a scene the general reader analysed: its valid objects
// into the plan's ".asc" outputs (placed by the same object placement as
// the exact conversion), and its textures as TIFF pictures waiting in the
// TIFFRGB folder beside the target until the outputs are in place.
#include <string>
#include <vector>

#include "convert/conversion.hpp"
#include "import/imported_scene.hpp"
#include "import/picture_folder.hpp"

namespace trevanix {

struct GeneralPictures {
    PictureFolder folder;            // the pictures to place once the outputs are in place
    std::vector<std::string> kept;   // pictures already there with other bytes: never replaced
    std::vector<std::string> failed; // sentences for the textures that could not be written
};

// Writes the outputs into unseen temporaries, as write_scene_outputs does;
// nothing appears until the caller commits the outputs and places the
// pictures. A scene file changed since its analysis is not converted.
// The outputs are made in `folder`, the target's folder opened once.
WrittenOutputs write_general_outputs(const ConversionPlan& plan, const ImportedScene& scene,
                                     const ExportOptions& options, const TargetFolder& folder, WorkPace& pace,
                                     GeneralPictures& pictures);

} // namespace trevanix
