#pragma once
// The ".mat" material file of a scene with materials: fixed byte templates
// with the material and texture names between them, one record per catalogue
// cell that has a picture. Also the questions and notices that go with it.
#include <string>

#include "app/scene_state.hpp"
#include "app/session.hpp"

namespace trevanix {

// The material file of a target: its last three characters become "mat".
std::string material_path_for(const std::string& target);

// The whole file: `inicio`, then for every material m and sub-material s up to
// last_submat(m) whose cell holds a material with a picture, `inicio_mat`, the
// name, `rest_mat`, the texture's base name, `end_mat`. Cells that are empty
// pairs, or hold no " , " at all, are passed over.
std::string material_file_bytes(const MaterialCatalogue& catalogue, const MaterialTemplates& templates);

// Before anything is written: an existing material file must be confirmed.
// Returns false when the user answers No.
bool confirm_existing_material_file(Session& session, const std::string& mat_path);

enum class MaterialStepResult { NothingToDo, Written, NotCreated, WriteFailed };

// After the ".asc" outputs are closed: writes the file (with the warning when
// one exists) or, when the user chose not to create it, tells so and offers
// to delete an existing one. On a write failure `error` holds the sentence
// for the user and the previous file is left as it was.
MaterialStepResult run_material_step(Session& session, const std::string& mat_path, std::string& error);

} // namespace trevanix
