#pragma once
// The questions and notices of a conversion about the ".mat" file beside its
// target: an existing file is replaced only after its question and the
// backup warning, and deleted only after its own question. Any question or
// notice also means the express run ends with the usual closing question.
#include <string>

#include "convert/conversion.hpp"
#include "convert/output_file.hpp"
#include "convert/output_set.hpp"
#include "convert/target_folder.hpp"
#include "state/session.hpp"

namespace trevanix {

// Before anything is written: an existing material file must be confirmed.
// False when the answer is No.
bool confirm_existing_material_file(Session& session, const TargetFolder& folder, const std::string& mat_path,
                                    bool& express_run);

// After the ".asc" outputs are written, for a scene with materials: the
// material file joins `files` when it is chosen, or the user is told it is
// not and asked whether an existing one is to be deleted once the outputs
// are in place. False, with the sentence for the user in `error`, when it
// could not be written.
struct MaterialFileStep {
    bool written = false;         // the material file joins the outputs
    bool delete_existing = false; // the existing one goes once the outputs are in place
};
bool run_material_file_step(Session& session, const TargetFolder& folder, const std::string& mat_path,
                            const ConversionOptions& options, OutputSet& files, MaterialFileStep& step,
                            bool& express_run, std::string& error);

void delete_material_file(Session& session, const TargetFolder& folder, const std::string& mat_path);

} // namespace trevanix
