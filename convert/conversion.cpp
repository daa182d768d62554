#include "convert/conversion.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "analysis/line_source.hpp"
#include "app/messages.hpp"
#include "app/paths.hpp"
#include "convert/asc_reexport.hpp"
#include "convert/ase_export.hpp"
#include "convert/export_run.hpp"
#include "convert/material_file.hpp"
#include "convert/object_placement.hpp"
#include "convert/output_file.hpp"

namespace trevanix {

namespace {

// Settings count as chosen when Check_all or their own box is checked.
struct ChosenOptions {
    bool split = false;
    bool axis_flip = false;
    bool texture_flip = false;
};

ChosenOptions chosen_options(const Controls& c)
{
    const bool all = c.Check_all.checked();
    return {all || c.Check_splitasc.checked(), all || c.Check_flip3daxis.checked(),
            all || c.Check_vtextures.checked()};
}

// The chosen target, or the input's folder and base name with ".asc".
std::string target_path(const SceneState& scene)
{
    if (!scene.chosen_target.empty())
        return scene.chosen_target;
    return join_path(parent_folder_of(scene.fich), base_name_of(scene.fich) + ".asc");
}

void enter_busy_state(Session& session)
{
    session.ui.set_busy_pointer(true);
    session.controls.Label_analize.visible = true;
    ProgressBarState& bar = session.controls.Process_bar;
    bar.visible = true;
    bar.min = 1;
    bar.max = std::max<std::int64_t>(session.scene.nr_line2, 1);
    bar.value = bar.min;
    session.refresh();
}

void enter_idle_state(Session& session)
{
    session.log.close();
    session.ui.set_busy_pointer(false);
    session.controls.Label_analize.visible = false;
    session.controls.Process_bar.visible = false;
    session.refresh();
}

void fail(Session& session, ConversionStatus status, const std::string& text)
{
    enter_idle_state(session);
    session.conversion_report.status = status;
    session.tell("Error", text, MessageIcon::Critical);
}

void show_final_message(Session& session)
{
    if (!session.show_final_message)
        return;
    if (session.scene.express == 1) {
        session.tell("Finished", messages::finished_express, MessageIcon::Information);
        session.ui.quit();
    } else if (session.ask("Finished", messages::finished_close_question, MessageIcon::None)) {
        session.ui.quit();
    }
}

// The writing part for an ".asc" or ".ase" input: outputs, object loop,
// placement, closing and the material file. Returns false when it ended
// early (its message, if any, already shown).
bool write_outputs(Session& session, const std::vector<std::string>& names, bool split_active,
                   const std::string& mat_path)
{
    SceneState& scene = session.scene;
    const bool ase = scene.file_type == "ase";
    const ChosenOptions options = chosen_options(session.controls);

    enter_busy_state(session);
    scene.valid_objects = 0;
    scene.curr_splitasc = 1;

    if (scene.stats[3] > 1 && !options.split)
        session.tell("Warning", messages::split_warning, MessageIcon::Exclamation);

    std::vector<OutputFile> files(names.size());
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (!files[k].open(names[k])) {
            fail(session, ConversionStatus::WriteFailed, files[k].error());
            return false;
        }
    }

    LineSource source(LineSourceOptions{session.settings.lf_ends_line, session.settings.read_block_size});
    std::string error;
    if (!source.open(scene.fich, error)) {
        fail(session, ConversionStatus::InputFailed, error);
        return false;
    }
    InputLines input(source, ase ? 0 : 1);
    ObjectPlacement placement(session, files, split_active, scene.fich_dest);
    ExportRun run{session, input, placement, options.axis_flip, options.texture_flip && ase, {}};
    const LoopEnd end = ase ? run_ase_export(run) : run_asc_reexport(run);
    const bool read_failed = input.read_failed();
    source.close();

    switch (end) {
    case LoopEnd::Stopped:
        enter_idle_state(session); // the temporaries go with `files`
        return false;
    case LoopEnd::WriteFailed:
        fail(session, placement.refused_input() ? ConversionStatus::RefusedTarget : ConversionStatus::WriteFailed,
             placement.error());
        return false;
    case LoopEnd::Finished:
        break;
    }
    if (read_failed) {
        fail(session, ConversionStatus::InputFailed,
             "The file \"" + scene.fich + "\" could not be read to its end. Nothing was written.");
        return false;
    }
    if (!run.clipboard_line.empty())
        (void)session.ui.set_clipboard_text(run.clipboard_line);

    for (OutputFile& file : files) {
        if (!file.commit()) {
            fail(session, ConversionStatus::WriteFailed, file.error());
            return false;
        }
        session.conversion_report.outputs.push_back(file.target());
    }
    session.conversion_report.objects_written = scene.valid_objects;

    if (ase) {
        const MaterialStepResult result = run_material_step(session, mat_path, error);
        if (result == MaterialStepResult::WriteFailed) {
            fail(session, ConversionStatus::WriteFailed, error);
            return false;
        }
        if (result == MaterialStepResult::Written)
            session.conversion_report.mat_file = mat_path;
    }
    return true;
}

} // namespace

void start_process(Session& session)
{
    SceneState& scene = session.scene;
    session.conversion_report = ConversionReport{};

    scene.fich_dest = target_path(scene);
    const ChosenOptions options = chosen_options(session.controls);
    const std::int64_t n = std::max<std::int64_t>(scene.stats[3], 1);
    const bool split_active = n > 1 && options.split;
    std::vector<std::string> names;
    if (split_active) {
        for (std::int64_t k = 1; k <= n; ++k)
            names.push_back(split_file_name(scene.fich_dest, k));
    } else {
        names.push_back(scene.fich_dest);
    }
    const std::string mat_path = material_path_for(scene.fich_dest);

    // The input is read while the outputs are written: none of them may be it.
    const bool replaces_input =
        is_input_file(mat_path, scene.fich) ||
        std::any_of(names.begin(), names.end(), [&](const std::string& name) { return is_input_file(name, scene.fich); });
    if (replaces_input) {
        session.conversion_report.status = ConversionStatus::RefusedTarget;
        session.tell("Error", messages::cannot_overwrite_input, MessageIcon::Critical);
        return;
    }

    if (!confirm_existing_material_file(session, mat_path)) {
        session.conversion_report.status = ConversionStatus::Declined;
        return;
    }

    session.controls.Open_error_log.enabled = false;
    session.log.remove();
    std::string log_error;
    (void)session.log.create(log_error); // without a log the conversion loses nothing: it writes no line

    if (scene.file_type == "asc" || scene.file_type == "ase") {
        if (!write_outputs(session, names, split_active, mat_path))
            return;
    }
    enter_idle_state(session);
    session.conversion_report.status = ConversionStatus::Completed;
    session.conversion_report.objects_written = scene.valid_objects;
    show_final_message(session);
}

} // namespace trevanix
