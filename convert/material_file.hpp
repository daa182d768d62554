#pragma once
// The ".mat" material file of a scene with materials: fixed byte templates
// with the material and texture names between them, one record per catalogue
// cell that has a picture.
#include <string>

#include "convert/output_file.hpp"
#include "convert/target_folder.hpp"
#include "state/scene_state.hpp"

namespace trevanix {

// The four byte templates of the material file.
struct MaterialTemplates {
    std::string file_header;
    std::string record_start;
    std::string record_middle;
    std::string record_end;
};
// The templates, built on first use.
const MaterialTemplates& material_templates();

// The material file of a target: its last three characters become "mat".
std::string material_path_for(const std::string& target);

// The whole file: the header, then for every material m and sub-material s up
// to last_submaterial(m) whose cell holds a material with a picture, the
// record start, the name, the record middle, the texture's base name, the
// record end. Cells that are empty pairs, or hold no " , " at all, are passed
// over.
std::string material_file_bytes(const MaterialCatalogue& catalogue);

// Writes the whole file into `file`, an unseen temporary in `folder` (the
// folder of `path`) flushed to the disk; it appears when `file` is
// committed with the other outputs. On failure returns false with the
// sentence for the user in `error`; nothing is left behind and the previous
// file is as it was.
bool prepare_material_file(const TargetFolder& folder, const std::string& path, const MaterialCatalogue& catalogue,
                           OutputFile& file, std::string& error);

} // namespace trevanix
