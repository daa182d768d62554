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
#include "convert/target_claim.hpp"
#include "format/scene_file.hpp"
#include "import/general_conversion.hpp"
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

// Opens the target's folder and takes its lock (making whole what a killed
// run left there); false, with the message shown, when another conversion
// writes there or the folder cannot be used.
bool claim_target(Session& session, const ConversionPlan& plan, TargetClaim& target)
{
    std::string error;
    switch (target.claim(plan.target, error)) {
    case ClaimOutcome::Claimed:
        return true;
    case ClaimOutcome::Busy:
        fail(session, ConversionStatus::TargetBusy, error);
        return false;
    case ClaimOutcome::Failed:
        break;
    }
    fail(session, ConversionStatus::WriteFailed, error);
    return false;
}

// Opens the scene the analysis read; false, with the message shown, when it
// is gone or is no longer that file.
bool open_analysed_scene(Session& session, SceneFile& scene_file)
{
    // The general reader converts the scene it holds, and checks its file itself.
    if (session.scene.reader == SceneReader::General)
        return true;
    std::string error;
    if (scene_file.open_unchanged(session.scene.scene_path, session.scene.scene_identity, error))
        return true;
    fail(session, ConversionStatus::InputFailed, error);
    return false;
}

// Whether a file stands at `path` in the target's folder.
bool target_folder_holds(const TargetFolder& folder, const std::string& path)
{
    return folder.holds(file_name_of(path));
}

// Before anything is written: an existing material file must be confirmed.
bool confirm_existing_material_file(Session& session, const TargetFolder& folder, const std::string& mat_path)
{
    if (!target_folder_holds(folder, mat_path))
        return true;
    session.scene.express_run = false;
    return session.ask("Warning", messages::mat_exists_question, MessageIcon::None);
}

enum class MaterialStepResult { NothingToDo, Prepared, NotCreated, WriteFailed };

// After the ".asc" outputs are written: prepares the material file (with the
// warning when one exists) to appear with them or, when the user chose not to
// create it, tells so and asks whether an existing one is to be deleted once
// the outputs are in place.
MaterialStepResult run_material_step(Session& session, const TargetFolder& folder, const std::string& mat_path,
                                     OutputFile& material_file, bool& delete_existing, std::string& error)
{
    if (!session.scene.has_materials)
        return MaterialStepResult::NothingToDo;
    if (chosen_options(session.controls).material_file) {
        if (target_folder_holds(folder, mat_path)) {
            session.scene.express_run = false;
            session.tell("Warning", messages::mat_exists_backup_warning, MessageIcon::Exclamation);
        }
        if (!prepare_material_file(folder, mat_path, session.scene.catalogue, session.templates, material_file,
                                   error))
            return MaterialStepResult::WriteFailed;
        return MaterialStepResult::Prepared;
    }
    session.scene.express_run = false;
    session.tell("Warning", messages::mat_not_created_notice, MessageIcon::Information);
    if (target_folder_holds(folder, mat_path)) {
        session.scene.express_run = false;
        delete_existing = session.ask("Warning", messages::mat_delete_question, MessageIcon::Information);
    }
    return MaterialStepResult::NotCreated;
}

void delete_material_file(Session& session, const TargetFolder& folder, const std::string& mat_path)
{
    if (const int code = folder.remove(file_name_of(mat_path)); code != 0) {
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

// The flips: the texture flip applies to scenes whose objects carry texture
// coordinates (".ase" and the general reader's), never to ".asc" input.
ExportOptions export_options(const SceneState& scene, const ChosenOptions& options)
{
    return {options.axis_flip, options.texture_flip && converts_like_ase(scene)};
}

// What the writing reads: the scene the analysis read, as it read it.
ConversionInput conversion_input(const Session& session, const SceneFile& scene_file, const ChosenOptions& options,
                                 LeftOutCollector& left_out)
{
    const SceneState& scene = session.scene;
    return {scene_file,
            scene.scene_path,
            scene.file_type,
            scene.catalogue,
            scene.has_materials,
            export_options(scene, options),
            {scene.lf_ends_line, session.settings.read_block_size, session.settings.stop},
            &scene.passed_objects,
            &left_out};
}

// The material file step of an ".ase" scene: the file joins the outputs, to
// appear with them, or an existing one is to be deleted once they are in
// place. False when it could not be written (its message shown).
bool add_material_file(Session& session, const ConversionPlan& plan, const TargetFolder& folder,
                       OutputSet& files, bool& material_written, bool& delete_existing_material)
{
    std::string error;
    OutputFile material_file;
    const MaterialStepResult result =
        run_material_step(session, folder, plan.material_file, material_file, delete_existing_material, error);
    if (result == MaterialStepResult::WriteFailed) {
        fail(session, ConversionStatus::WriteFailed, error);
        return false;
    }
    if (result == MaterialStepResult::Prepared) {
        files.add(std::move(material_file));
        material_written = true;
    }
    return true;
}

// The pictures of a general scene appear right after the other outputs. A
// picture already there with other bytes is kept, and said so.
void place_pictures(Session& session, GeneralPictures& pictures)
{
    std::vector<std::string> kept = std::move(pictures.kept);
    std::vector<std::string> failed;
    pictures.folder.place(session.conversion_report.pictures, kept, failed);
    for (const std::string& path : kept)
        session.tell("Warning",
                     "The picture \"" + path +
                         "\" already exists with other content, so it was not replaced. Kb2 will show it for "
                         "its texture; replace it by hand if that is not the picture wanted.",
                     MessageIcon::Exclamation);
    for (const std::string& path : failed)
        session.tell("Warning", "The picture \"" + path + "\" could not be written.", MessageIcon::Exclamation);
    for (const std::string& text : pictures.failed)
        session.tell("Warning", text, MessageIcon::Exclamation);
}

// The scene the general reader analysed and holds; null when it holds none.
const ImportedScene* held_general_scene(const SceneState& scene)
{
    if (scene.reader != SceneReader::General)
        return nullptr;
    return dynamic_cast<const ImportedScene*>(scene.held_scene.get());
}

// The writing part: outputs, object loop, the material file, and then all of
// them put in place together. False when it ended early (its message, if
// any, already shown).
bool write_outputs(Session& session, const ConversionPlan& plan, TargetClaim& target, const SceneFile& scene_file)
{
    SceneState& scene = session.scene;
    const ChosenOptions options = chosen_options(session.controls);
    const bool ase = converts_like_ase(scene);
    const ImportedScene* general = held_general_scene(scene);

    enter_busy_state(session);
    scene.valid_objects = 0;
    LeftOutCollector collector(session);
    if (scene.statistics.split_files > 1 && !options.split)
        session.tell("Warning", messages::split_warning, MessageIcon::Exclamation);

    ShownProgress progress(session);
    GeneralPictures pictures;
    WrittenOutputs written =
        general != nullptr
            ? write_general_outputs(plan, *general, export_options(scene, options), target.folder(), progress, pictures)
            : write_scene_outputs(plan, conversion_input(session, scene_file, options, collector), target.folder(),
                                  progress);
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
    if (ase && !add_material_file(session, plan, target.folder(), written.files, material_written,
                                  delete_existing_material))
        return false;
    // A stop that came during the questions still leaves every file as it
    // was. Once the placement starts it runs to its end.
    if (!progress.keep_going()) {
        enter_idle_state(session);
        return false;
    }
    if (!written.files.commit(target.journal())) {
        fail(session, ConversionStatus::WriteFailed, written.files.error());
        return false;
    }
    place_pictures(session, pictures);
    report.outputs = written.outputs;
    report.objects_written = written.objects_written;
    if (material_written)
        report.mat_file = plan.material_file;
    if (delete_existing_material)
        delete_material_file(session, target.folder(), plan.material_file);
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
    // The target stays claimed until its outputs are in place.
    TargetClaim target;
    SceneFile scene_file;
    if (!claim_target(session, plan, target) || !open_analysed_scene(session, scene_file))
        return;
    if (!confirm_existing_material_file(session, target.folder(), plan.material_file)) {
        session.conversion_report.status = ConversionStatus::Declined;
        return;
    }

    session.controls.Open_error_log.enabled = false;
    // The log is emptied here: a comment pointing to it would no longer hold.
    if (!session.controls.Text_comments.text.empty())
        session.controls.Text_comments.text = messages::comments_after_conversion;
    std::string log_error;
    // Made afresh, as the analysis makes it. Without a log the conversion
    // loses nothing: it writes no line.
    (void)session.log.create(log_error);

    if (scene.file_type == "asc" || scene.file_type == "ase" || held_general_scene(scene) != nullptr) {
        if (!write_outputs(session, plan, target, scene_file))
            return;
    }
    // The outputs are in place: the final message does not keep other
    // conversions to the target waiting.
    target.release();
    enter_idle_state(session);
    session.conversion_report.status = ConversionStatus::Completed;
    session.conversion_report.objects_written = scene.valid_objects;
    // Every object that passed and was not written is named, before the final message.
    if (session.conversion_report.objects_left_out > 0)
        session.tell(left_out_notice(session.conversion_report, scene.passed_objects.count()));
    show_final_message(session);
}

} // namespace trevanix
