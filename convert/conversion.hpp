#pragma once
// The conversion's computing part: where the outputs go, and writing the
// valid objects of the scene into them. The questions and messages around it
// belong to the form's "Start Process" action.
#include <cstdint>
#include <string>
#include <vector>

#include "convert/export_run.hpp"
#include "convert/object_placement.hpp"
#include "convert/left_out_accounting.hpp"
#include "convert/output_set.hpp"
#include "convert/target_folder.hpp"
#include "format/line_source.hpp"
#include "format/scene_file.hpp"
#include "state/scene_state.hpp"
#include "state/outcome_types.hpp"

namespace trevanix {

// The options a conversion writes with, chosen once from the check boxes.
struct ConversionOptions {
    bool split = false;         // numbered split files of 255 objects
    bool axis_flip = false;     // (X, Y, Z) becomes (X, Z, -Y)
    bool texture_flip = false;  // V becomes -V (".ase" and the general reader's scenes)
    bool material_file = false; // the ".mat" file of an ".ase" scene with materials

    bool operator==(const ConversionOptions&) const = default;
};

// The files one conversion writes.
struct ConversionPlan {
    std::string target;               // the ".asc" target the names derive from
    std::vector<std::string> outputs; // the ".asc" files, in order
    bool split = false;               // numbered split files of 255 objects
    std::string material_file;
    bool replaces_input = false;      // an output would replace the input: refuse
};

// The chosen target, or the input's folder and base name with ".asc"; split
// files when the scene needs more than one and splitting is chosen.
ConversionPlan plan_conversion(const std::string& scene_path, const std::string& chosen_target,
                               std::int64_t split_files, bool split_chosen);

// What the writing reads.
struct ConversionInput {
    // The scene, open: the file the analysis read (see SceneFile::open_unchanged).
    const SceneFile& scene;
    std::string scene_path;
    FileType file_type = FileType::None; // Ase or Asc
    const MaterialCatalogue& catalogue;
    bool has_materials = false;
    ExportOptions options;
    LineSourceOptions reading;
    // The objects the analysis passed, and who hears of each of them that is
    // not written; without both, nobody asks.
    const PassedObjects* passed = nullptr;
    LeftOutReport* left_out = nullptr;
};

struct WrittenOutputs {
    ConversionStatus status = ConversionStatus::Completed; // Completed, or why not
    std::string error;                // the sentence for the user when not completed
    std::vector<std::string> outputs; // the ".asc" files, in order
    // The ".asc" files, complete and flushed but not yet in place: the caller
    // adds the material file and commits them together.
    OutputSet files;
    std::int64_t objects_written = 0;
    std::int64_t next_split_file = 1;
    std::string clipboard_line;       // the last vertex line the axis flip saw (".ase")
};

// Writes every ".asc" output of the plan into unseen temporaries in
// `folder`, the folder of the plan's target; nothing appears until the
// caller commits `files`. On any failure or a stop nothing is left behind.
// A stop (the user's, or the reader's) gives NotRun.
WrittenOutputs write_scene_outputs(const ConversionPlan& plan, const ConversionInput& input,
                                   const TargetFolder& folder, WorkPace& pace);

// A conversion that ended early, with the sentence for the user.
WrittenOutputs conversion_failure(ConversionStatus status, std::string error);
// The files a conversion wrote, taken as one set: written out and flushed to
// the disk now, so that a full disk is told before any question about the
// material file.
WrittenOutputs written_set(std::vector<OutputFile>& files, const ObjectPlacement& placement,
                           std::string clipboard_line);

// The sentence shown when a line to be copied is longer than any scene holds.
std::string line_too_long_text(const std::string& scene_path, std::int64_t line_number);

} // namespace trevanix
