#include "convert/conversion.hpp"

#include <algorithm>
#include <optional>

#include "convert/asc_reexport.hpp"
#include "convert/ase_export.hpp"
#include "convert/material_file.hpp"
#include "convert/object_placement.hpp"
#include "convert/output_file.hpp"
#include "format/text.hpp"
#include "state/paths.hpp"

namespace trevanix {

ConversionPlan plan_conversion(const std::string& scene_path, const std::string& chosen_target,
                               std::int64_t split_files, bool split_chosen)
{
    ConversionPlan plan;
    plan.target = !chosen_target.empty()
                      ? chosen_target
                      : join_path(parent_folder_of(scene_path), base_name_of(scene_path) + ".asc");
    const std::int64_t n = std::max<std::int64_t>(split_files, 1);
    plan.split = n > 1 && split_chosen;
    if (plan.split) {
        for (std::int64_t k = 1; k <= n; ++k)
            plan.outputs.push_back(split_file_name(plan.target, k));
    } else {
        plan.outputs.push_back(plan.target);
    }
    plan.material_file = material_path_for(plan.target);
    // The input is read while the outputs are written: none of them may be it.
    plan.replaces_input =
        same_file(plan.material_file, scene_path) ||
        std::any_of(plan.outputs.begin(), plan.outputs.end(),
                    [&](const std::string& name) { return same_file(name, scene_path); });
    return plan;
}

WrittenOutputs conversion_failure(ConversionStatus status, std::string error)
{
    WrittenOutputs result;
    result.status = status;
    result.error = std::move(error);
    return result;
}

WrittenOutputs written_set(std::vector<OutputFile>& files, const ObjectPlacement& placement,
                           std::string clipboard_line)
{
    WrittenOutputs result;
    result.clipboard_line = std::move(clipboard_line);
    for (OutputFile& file : files)
        result.files.add(std::move(file));
    if (!result.files.finish())
        return conversion_failure(ConversionStatus::WriteFailed, result.files.error());
    result.outputs = result.files.targets();
    result.objects_written = placement.objects_placed();
    result.next_split_file = placement.current_split_file();
    return result;
}

namespace {

WrittenOutputs failed(ConversionStatus status, std::string error)
{
    return conversion_failure(status, std::move(error));
}

} // namespace

std::string line_too_long_text(const std::string& scene_path, std::int64_t line_number)
{
    std::string text = "Line ";
    append_decimal(text, line_number);
    text += " of the file \"" + scene_path + "\" is longer than ";
    append_decimal(text, static_cast<std::int64_t>(LineSource::max_line_length));
    text += " characters, more than any scene holds, and cannot be converted. Nothing was written.";
    return text;
}

WrittenOutputs write_scene_outputs(const ConversionPlan& plan, const ConversionInput& input,
                                   const TargetFolder& folder, WorkPace& pace)
{
    const bool ase = input.file_type == FileType::Ase;
    std::vector<OutputFile> files;
    LineSource source(input.reading);
    std::string error;
    if (!source.open(input.scene, error))
        return failed(ConversionStatus::InputFailed, error);
    LineCursor cursor(source);
    ObjectPlacement placement(folder, files, plan.split, plan.target, input.scene_path);
    ExportRun run{cursor, placement, pace, input.options, input.catalogue, input.has_materials, {}};
    std::optional<LeftOutAccounting> accounting;
    if (input.passed != nullptr && input.left_out != nullptr)
        run.outcomes = &accounting.emplace(*input.passed, *input.left_out);
    const std::unique_ptr<ExportLoop> loop = ase ? ase_export_loop(run) : asc_reexport_loop(run);
    const LoopEnd end = run_to_end(*loop);
    const bool read_failed = cursor.read_failed();
    // A reader that stopped on request has not seen the whole scene: what was
    // written from it must not be committed, as after the user's stop.
    const bool stopped = cursor.stopped();
    const std::string read_error = source.changed() ? source.failure_message() : std::string();
    source.close();

    switch (end) {
    case LoopEnd::Stopped:
        return failed(ConversionStatus::NotRun, {}); // the temporaries go with `files`
    case LoopEnd::WriteFailed:
        return failed(placement.refused_input() ? ConversionStatus::RefusedTarget : ConversionStatus::WriteFailed,
                      placement.error());
    case LoopEnd::LineTooLong:
        return failed(ConversionStatus::InputFailed, line_too_long_text(input.scene_path, run.cut_line));
    case LoopEnd::Finished:
        break;
    }
    if (stopped)
        return failed(ConversionStatus::NotRun, {});
    if (!read_error.empty())
        return failed(ConversionStatus::InputFailed, read_error);
    if (read_failed)
        return failed(ConversionStatus::InputFailed,
                      "The file \"" + input.scene_path + "\" could not be read to its end. Nothing was written.");

    if (accounting)
        accounting->finish();
    if (!placement.create_remaining(plan.outputs.size()))
        return failed(placement.refused_input() ? ConversionStatus::RefusedTarget : ConversionStatus::WriteFailed,
                      placement.error());

    return written_set(files, placement, std::move(run.clipboard_line));
}

} // namespace trevanix
