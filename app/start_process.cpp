#include "app/start_process.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

#include "app/left_out_collector.hpp"
#include "app/notices.hpp"
#include "convert/conversion.hpp"
#include "convert/material_file.hpp"
#include "convert/output_file.hpp"
#include "state/messages.hpp"
#include "state/paths.hpp"

namespace trevanix {

namespace {

// Settings count as chosen when Check_all or their own box is checked.
struct ChosenOptions {
    bool split = false;
    bool axis_flip = false;
    bool texture_flip = false;
    bool material_file = false;
};

ChosenOptions chosen_options(const Controls& c)
{
    const bool all = c.Check_all.checked();
    return {all || c.Check_splitasc.checked(), all || c.Check_flip3daxis.checked(),
            all || c.Check_vtextures.checked(), all || c.Check_createmat.checked()};
}

// The line steps of the conversion: the window breathes, the bar moves, and a
// stop request ends the work.
class ShownProgress : public WorkPace {
public:
    explicit ShownProgress(Session& session) : s_(session) {}
    bool keep_going() override
    {
        s_.ui.let_events_run();
        return !s_.stop_requested;
    }
    void progress(std::int64_t line_number) override { s_.controls.Process_bar.value = line_number; }

private:
    Session& s_;
};

void enter_busy_state(Session& session)
{
    session.ui.set_busy_pointer(true);
    session.controls.Label_analize.visible = true;
    ProgressBarState& bar = session.controls.Process_bar;
    bar.visible = true;
    bar.min = 1;
    bar.max = std::max<std::int64_t>(session.scene.line_count, 1);
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

// Before anything is written: an existing material file must be confirmed.
bool confirm_existing_material_file(Session& session, const std::string& mat_path)
{
    if (!file_exists(mat_path))
        return true;
    session.scene.express_run = false;
    return session.ask("Warning", messages::mat_exists_question, MessageIcon::None);
}

enum class MaterialStepResult { NothingToDo, Prepared, NotCreated, WriteFailed };

// After the ".asc" outputs are written: prepares the material file (with the
// warning when one exists) to appear with them or, when the user chose not to
// create it, tells so and asks whether an existing one is to be deleted once
// the outputs are in place.
MaterialStepResult run_material_step(Session& session, const std::string& mat_path, OutputFile& material_file,
                                     bool& delete_existing, std::string& error)
{
    if (!session.scene.has_materials)
        return MaterialStepResult::NothingToDo;
    if (chosen_options(session.controls).material_file) {
        if (file_exists(mat_path)) {
            session.scene.express_run = false;
            session.tell("Warning", messages::mat_exists_backup_warning, MessageIcon::Exclamation);
        }
        if (!prepare_material_file(mat_path, session.scene.catalogue, session.templates, material_file, error))
            return MaterialStepResult::WriteFailed;
        return MaterialStepResult::Prepared;
    }
    session.scene.express_run = false;
    session.tell("Warning", messages::mat_not_created_notice, MessageIcon::Information);
    if (file_exists(mat_path)) {
        session.scene.express_run = false;
        delete_existing = session.ask("Warning", messages::mat_delete_question, MessageIcon::Information);
    }
    return MaterialStepResult::NotCreated;
}

void delete_material_file(Session& session, const std::string& mat_path)
{
    if (std::remove(mat_path.c_str()) != 0) {
        const int code = errno;
        session.tell("Error",
                     "The file \"" + mat_path + "\" could not be deleted (" +
                         std::generic_category().message(code ? code : EIO) + ").",
                     MessageIcon::Critical);
    }
}

void show_final_message(Session& session)
{
    if (!session.show_final_message)
        return;
    if (session.scene.express_run) {
        session.tell("Finished", messages::finished_express, MessageIcon::Information);
        session.ui.quit();
    } else if (session.ask("Finished", messages::finished_close_question, MessageIcon::None)) {
        session.ui.quit();
    }
}

// The writing part: outputs, object loop, the material file, and then all of
// them put in place together. False when it ended early (its message, if
// any, already shown).
bool write_outputs(Session& session, const ConversionPlan& plan)
{
    SceneState& scene = session.scene;
    const ChosenOptions options = chosen_options(session.controls);
    const bool ase = scene.file_type == "ase";

    enter_busy_state(session);
    scene.valid_objects = 0;
    LeftOutCollector collector(session);
    if (scene.statistics.split_files > 1 && !options.split)
        session.tell("Warning", messages::split_warning, MessageIcon::Exclamation);

    const ConversionInput input{scene.scene_path,
                                scene.file_type,
                                scene.line_count,
                                scene.catalogue,
                                scene.has_materials,
                                {options.axis_flip, options.texture_flip && ase},
                                {scene.lf_ends_line, session.settings.read_block_size, session.settings.stop},
                                &scene.passed_objects,
                                &collector};
    ShownProgress progress(session);
    WrittenOutputs written = write_scene_outputs(plan, input, progress);
    ConversionReport& report = session.conversion_report;
    report.next_split_file = written.next_split_file;
    scene.valid_objects = written.objects_written;
    switch (written.status) {
    case ConversionStatus::Completed:
        break;
    case ConversionStatus::NotRun: // stopped
        enter_idle_state(session);
        return false;
    default:
        fail(session, written.status, written.error);
        return false;
    }
    if (!written.clipboard_line.empty())
        (void)session.ui.set_clipboard_text(written.clipboard_line);

    bool material_written = false;
    bool delete_existing_material = false;
    if (ase) {
        std::string error;
        OutputFile material_file;
        const MaterialStepResult result =
            run_material_step(session, plan.material_file, material_file, delete_existing_material, error);
        if (result == MaterialStepResult::WriteFailed) {
            fail(session, ConversionStatus::WriteFailed, error);
            return false;
        }
        if (result == MaterialStepResult::Prepared) {
            written.files.add(std::move(material_file));
            material_written = true;
        }
    }
    // A stop that came during the questions still leaves every file as it was.
    if (!progress.keep_going()) {
        enter_idle_state(session);
        return false;
    }
    if (!written.files.commit()) {
        fail(session, ConversionStatus::WriteFailed, written.files.error());
        return false;
    }
    report.outputs = written.outputs;
    report.objects_written = written.objects_written;
    if (material_written)
        report.mat_file = plan.material_file;
    if (delete_existing_material)
        delete_material_file(session, plan.material_file);
    return true;
}

} // namespace

void start_process(Session& session)
{
    SceneState& scene = session.scene;
    session.conversion_report = ConversionReport{};

    const ConversionPlan plan = plan_conversion(scene.scene_path, scene.chosen_target, scene.statistics.split_files,
                                                chosen_options(session.controls).split);
    scene.target_path = plan.target;
    if (plan.replaces_input) {
        session.conversion_report.status = ConversionStatus::RefusedTarget;
        session.tell("Error", messages::cannot_overwrite_input, MessageIcon::Critical);
        return;
    }
    if (!confirm_existing_material_file(session, plan.material_file)) {
        session.conversion_report.status = ConversionStatus::Declined;
        return;
    }

    session.controls.Open_error_log.enabled = false;
    std::string log_error;
    // Made afresh, as the analysis makes it. Without a log the conversion
    // loses nothing: it writes no line.
    (void)session.log.create(log_error);

    if (scene.file_type == "asc" || scene.file_type == "ase") {
        if (!write_outputs(session, plan))
            return;
    }
    enter_idle_state(session);
    session.conversion_report.status = ConversionStatus::Completed;
    session.conversion_report.objects_written = scene.valid_objects;
    // Every object that passed and was not written is named, before the final message.
    if (session.conversion_report.objects_left_out > 0)
        session.tell(left_out_notice(session.conversion_report, scene.passed_objects.count()));
    show_final_message(session);
}

} // namespace trevanix
