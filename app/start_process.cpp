#include "app/start_process.hpp"

#include <algorithm>
#include <string>

#include "app/left_out_collector.hpp"
#include "app/material_file_step.hpp"
#include "app/notices.hpp"
#include "app/on_scope_exit.hpp"
#include "app/options_and_clearing.hpp"
#include "convert/conversion.hpp"
#include "convert/output_file.hpp"
#include "convert/target_claim.hpp"
#include "format/scene_file.hpp"
#include "import/general_conversion.hpp"
#include "state/messages.hpp"

namespace trevanix {

namespace {

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

// The flips: the texture flip applies to scenes whose objects carry texture
// coordinates (".ase" and the general reader's), never to ".asc" input.
ExportOptions export_options(const SceneState& scene, const ConversionOptions& options)
{
    return {options.axis_flip, options.texture_flip && converts_like_ase(scene)};
}

// The scene the general reader analysed and holds; null when it holds none.
const ImportedScene* held_general_scene(const SceneState& scene)
{
    if (scene.reader != SceneReader::General)
        return nullptr;
    return dynamic_cast<const ImportedScene*>(scene.held_scene.get());
}

// How the busy part of a conversion ended: completed, or with the status and
// the sentence of its failure (none after a stop).
struct BusyEnd {
    ConversionStatus status = ConversionStatus::Completed;
    std::string error;
};

class ProcessAction {
public:
    ProcessAction(Session& session, ProcessRequest& request)
        : s_(session), scene_(session.scene), report_(session.conversion_report), express_(request.express_run),
          options_(chosen_options(session.controls)),
          plan_(plan_conversion(scene_.scene_path, scene_.chosen_target, scene_.statistics.split_files,
                                options_.split)),
          prepared_(taken_if_fitting(std::move(request.prepared)))
    {
    }

    void run()
    {
        report_ = ConversionReport{};
        scene_.target_path = plan_.target;
        if (plan_.replaces_input) {
            report_.status = ConversionStatus::RefusedTarget;
            s_.tell("Error", messages::cannot_overwrite_input, MessageIcon::Critical);
            return;
        }
        // The target stays claimed until its outputs are in place.
        if (!claim_target() || !open_analysed_scene())
            return;
        if (!confirm_existing_material_file(s_, target().folder(), plan_.material_file, express_)) {
            report_.status = ConversionStatus::Declined;
            return;
        }
        empty_the_log();
        if (!convertible())
            return finish();
        const BusyEnd end = write_while_busy();
        if (end.status != ConversionStatus::Completed)
            return failed(end);
        finish();
    }

private:
    std::unique_ptr<RidingConversion> taken_if_fitting(std::unique_ptr<RidingConversion> prepared) const
    {
        if (prepared == nullptr || !prepared->fits(plan_, options_, scene_.scene_identity))
            return nullptr;
        return prepared;
    }

    TargetClaim& target() { return prepared_ != nullptr ? prepared_->claim() : own_claim_; }

    void fail(ConversionStatus status, const std::string& text)
    {
        enter_idle_state(s_);
        report_.status = status;
        s_.tell("Error", text, MessageIcon::Critical);
    }

    void failed(const BusyEnd& end)
    {
        // A stop leaves every file as it was, without a word.
        if (end.status == ConversionStatus::NotRun)
            return;
        report_.status = end.status;
        s_.tell("Error", end.error, MessageIcon::Critical);
    }

    // Opens the target's folder and takes its lock (making whole what a
    // killed run left there), unless the conversion that rode along the
    // analysis holds it already; false, with the message shown, when another
    // conversion writes there or the folder cannot be used.
    bool claim_target()
    {
        if (prepared_ != nullptr)
            return true;
        std::string error;
        switch (own_claim_.claim(plan_.target, error)) {
        case ClaimOutcome::Claimed:
            return true;
        case ClaimOutcome::Busy:
            fail(ConversionStatus::TargetBusy, error);
            return false;
        case ClaimOutcome::Failed:
            break;
        }
        fail(ConversionStatus::WriteFailed, error);
        return false;
    }

    // Opens the scene the analysis read; false, with the message shown, when
    // it is gone or is no longer that file.
    bool open_analysed_scene()
    {
        // The general reader converts the scene it holds, and checks its file itself.
        if (scene_.reader == SceneReader::General)
            return true;
        std::string error;
        if (scene_file_.open_unchanged(scene_.scene_path, scene_.scene_identity, error))
            return true;
        fail(ConversionStatus::InputFailed, error);
        return false;
    }

    void empty_the_log()
    {
        Controls& c = s_.controls;
        c.Open_error_log.enabled = false;
        // The log is emptied here: a comment pointing to it would no longer hold.
        if (!c.Text_comments.text.empty())
            c.Text_comments.text = messages::comments_after_conversion;
        std::string log_error;
        // Made afresh, as the analysis makes it. Without a log the conversion
        // loses nothing: it writes no line.
        (void)s_.log.create(log_error);
    }

    bool convertible() const
    {
        return scene_.file_type == FileType::Asc || scene_.file_type == FileType::Ase ||
               held_general_scene(scene_) != nullptr;
    }

    // The outputs, the material file and their placement, while the form
    // shows the work; it is idle again on every way out.
    BusyEnd write_while_busy()
    {
        OnScopeExit idle([this] { enter_idle_state(s_); });
        enter_busy_state(s_);
        LeftOutCollector collector(s_);
        if (scene_.statistics.split_files > 1 && !options_.split)
            s_.tell("Warning", messages::split_warning, MessageIcon::Exclamation);
        ShownProgress progress(s_);
        GeneralPictures pictures;
        WrittenOutputs written = write_outputs(collector, progress, pictures);
        report_.next_split_file = written.next_split_file;
        if (written.status != ConversionStatus::Completed)
            return {written.status, written.error};
        if (!written.clipboard_line.empty())
            (void)s_.ui.set_clipboard_text(written.clipboard_line);
        return place_outputs(written, progress, pictures);
    }

    WrittenOutputs write_outputs(LeftOutCollector& collector, ShownProgress& progress, GeneralPictures& pictures)
    {
        if (const ImportedScene* general = held_general_scene(scene_))
            return write_general_outputs(plan_, *general, export_options(scene_, options_), target().folder(),
                                         progress, pictures);
        if (prepared_ != nullptr)
            return prepared_->take_outputs(plan_, &scene_.passed_objects, &collector);
        return write_scene_outputs(plan_, conversion_input(collector), target().folder(), progress);
    }

    // What the writing reads: the scene the analysis read, as it read it.
    ConversionInput conversion_input(LeftOutCollector& collector) const
    {
        return {scene_file_,
                scene_.scene_path,
                scene_.file_type,
                scene_.catalogue,
                scene_.has_materials,
                export_options(scene_, options_),
                {scene_.lf_ends_line, s_.settings.read_block_size, s_.settings.stop},
                &scene_.passed_objects,
                &collector};
    }

    // The material file joins the outputs, and all of them appear together.
    BusyEnd place_outputs(WrittenOutputs& written, ShownProgress& progress, GeneralPictures& pictures)
    {
        MaterialFileStep material;
        std::string error;
        if (converts_like_ase(scene_) &&
            !run_material_file_step(s_, target().folder(), plan_.material_file, options_, written.files, material,
                                    express_, error))
            return {ConversionStatus::WriteFailed, error};
        // A stop that came during the questions still leaves every file as it
        // was. Once the placement starts it runs to its end.
        if (!progress.keep_going())
            return {ConversionStatus::NotRun, {}};
        if (!written.files.commit(target().journal()))
            return {ConversionStatus::WriteFailed, written.files.error()};
        place_pictures(pictures);
        report_.outputs = written.outputs;
        report_.objects_written = written.objects_written;
        if (material.written)
            report_.mat_file = plan_.material_file;
        if (material.delete_existing)
            delete_material_file(s_, target().folder(), plan_.material_file);
        return {};
    }

    // The pictures of a general scene appear right after the other outputs.
    // A picture already there with other bytes is kept, and said so.
    void place_pictures(GeneralPictures& pictures)
    {
        std::vector<std::string> kept = std::move(pictures.kept);
        std::vector<std::string> failed;
        pictures.folder.place(report_.pictures, kept, failed);
        for (const std::string& path : kept)
            s_.tell("Warning",
                    "The picture \"" + path +
                        "\" already exists with other content, so it was not replaced. Kb2 will show it for "
                        "its texture; replace it by hand if that is not the picture wanted.",
                    MessageIcon::Exclamation);
        for (const std::string& path : failed)
            s_.tell("Warning", "The picture \"" + path + "\" could not be written.", MessageIcon::Exclamation);
        for (const std::string& text : pictures.failed)
            s_.tell("Warning", text, MessageIcon::Exclamation);
    }

    void finish()
    {
        // The outputs are in place: the final message does not keep other
        // conversions to the target waiting.
        target().release();
        enter_idle_state(s_);
        report_.status = ConversionStatus::Completed;
        // Every object that passed and was not written is named, before the final message.
        if (report_.objects_left_out > 0)
            s_.tell(left_out_notice(report_, scene_.passed_objects.count()));
        show_final_message();
    }

    void show_final_message()
    {
        if (!s_.show_final_message)
            return;
        if (express_) {
            s_.tell("Finished", messages::finished_express, MessageIcon::Information);
            s_.ui.quit();
        } else if (s_.ask("Finished", messages::finished_close_question, MessageIcon::None)) {
            s_.ui.quit();
        }
    }

    Session& s_;
    SceneState& scene_;
    ConversionReport& report_;
    bool express_;
    const ConversionOptions options_;
    const ConversionPlan plan_;
    std::unique_ptr<RidingConversion> prepared_;
    TargetClaim own_claim_;
    SceneFile scene_file_;
};

} // namespace

void start_process(Session& session, ProcessRequest request)
{
    ProcessAction(session, request).run();
}

} // namespace trevanix
