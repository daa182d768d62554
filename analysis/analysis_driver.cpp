#include "analysis/analysis_driver.hpp"

#include <string>

#include "analysis/asc_checks.hpp"
#include "analysis/ase_keywords.hpp"
#include "analysis/ase_checks.hpp"
#include "analysis/line_counter.hpp"
#include "analysis/line_source.hpp"
#include "analysis/material_catalogue.hpp"
#include "analysis/scene_cursor.hpp"
#include "analysis/text.hpp"
#include "app/messages.hpp"
#include "app/options_and_clearing.hpp"
#include "app/paths.hpp"

namespace trevanix {

namespace {

std::string decimal(std::int64_t value) { return format_number(value); }

// Objects needed per ".asc" file: Kolbrin2 imports at most 255 objects a file.
std::int64_t split_count(std::int64_t objects) { return objects > 255 ? objects / 255 + 1 : 1; }

class SceneAnalysis {
public:
    explicit SceneAnalysis(Session& session)
        : s_(session), scene_(session.scene), c_(session.controls), report_(session.analysis_report)
    {
    }

    void run()
    {
        report_ = {};
        std::string path = scene_.impo;
        if (path.empty()) {
            if (scene_.file_loaded == 1 && !confirm_and_reset())
                return;
            if (!choose_input(path))
                return;
        }
        // A file that cannot be read is reported before anything else changes.
        // The command-line path is dropped then, so the next click offers the
        // dialog instead of failing again.
        {
            LineSource probe(reading());
            std::string error;
            if (!probe.open(path, error)) {
                scene_.impo.clear();
                s_.tell("Error", error, MessageIcon::Critical);
                report_.not_analysable = true;
                return;
            }
        }
        scene_.fich = path;
        c_.Text_loadfile.text = scene_.fich;
        report_.ran = true;
        scene_.file_type = to_lower_copy(extension_of(c_.Text_loadfile.text));
        c_.Text_comments.enabled = false;
        c_.Check_createmat.enabled = false;
        c_.Check_vtextures.enabled = false;
        scene_.nr_line2 = 0;
        scene_.nr_objects = 0;
        scene_.stats[4] = scene_.stats[5] = scene_.stats[6] = 0;
        s_.refresh();
        create_log();

        if (scene_.file_type == "asc")
            analyse_asc();
        else if (scene_.file_type == "ase")
            analyse_ase();
        else
            s_.log.close();

        if (scene_.express == 1 && s_.start_conversion)
            s_.start_conversion();
        scene_.express = 0;
    }

private:
    // ---- start and confirmation -------------------------------------------------

    bool confirm_and_reset()
    {
        if (!s_.ask("Warning", messages::discard_question))
            return false;
        scene_.stats = {};
        for (TextBoxState* box : {&c_.Text_total_objects, &c_.Text_valid_objects, &c_.Text_ascsplit, &c_.Text_faces,
                                  &c_.Text_vertices})
            box->text.clear();
        scene_.nr_line2 = 0;
        scene_.nr_objects = 0;
        scene_.valid_objects = 0;
        c_.Text_loadfile.text.clear();
        scene_.file_type.clear();
        scene_.project_mapped = 0;
        scene_.object_mapped = 0;
        s_.log.remove();
        scene_.obj_names.assign(1, std::string());
        scene_.fich.clear();
        scene_.fich_dest.clear();
        scene_.chosen_target.clear();
        c_.Text1.text.clear();
        c_.Text_savefile.text.clear();
        c_.Start_process.enabled = false;
        c_.Open_error_log.enabled = false;
        c_.Clear_statistics.enabled = false;
        scene_.file_loaded = 0;
        c_.Text_comments.text.clear();
        s_.refresh();
        return true;
    }

    bool choose_input(std::string& path)
    {
        FileDialogRequest request;
        request.title = messages::open_dialog_title;
        request.filter = messages::open_dialog_filter;
        request.initial_folder = s_.settings.program_folder;
        request.must_exist = true;
        const FileDialogResult choice = s_.ui.open_file_dialog(request);
        if (choice.cancelled)
            return false;
        if (choice.path.empty() || choice.title.empty()) {
            s_.tell("Warning", messages::no_file_selected, MessageIcon::Critical);
            return false;
        }
        path = choice.path;
        return true;
    }

    void create_log()
    {
        std::string error;
        if (!s_.log.create(error))
            s_.tell("Warning", error, MessageIcon::Exclamation);
    }

    // ---- shared steps ----------------------------------------------------------

    LineSourceOptions reading() const { return {s_.settings.lf_ends_line, s_.settings.read_block_size}; }

    bool keep_going()
    {
        s_.ui.let_events_run();
        return !s_.stop_requested;
    }

    // The counting pass: lines, and object starts recognised by `keyword`.
    bool count_lines_and_objects_of_scene(const ObjectStartKeyword& keyword, bool& objects_found)
    {
        if (!keep_going())
            return stopped();
        LineCount count;
        std::string error;
        if (!count_lines_and_objects(scene_.fich, {s_.settings.lf_ends_line}, keyword, count, error))
            return unreadable(error);
        scene_.nr_line2 = count.lines;
        scene_.nr_objects = count.object_starts;
        objects_found = count.object_starts > 0;
        return true;
    }

    void show_progress_row()
    {
        c_.Label_analize.visible = true;
        c_.Analize_bar.visible = true;
        c_.Analize_bar.min = 1;
        // A file of fewer than two lines still needs a valid range.
        c_.Analize_bar.max = scene_.nr_line2 > 1 ? scene_.nr_line2 : 2;
        c_.Analize_bar.value = 1;
        s_.refresh();
    }

    void become_idle()
    {
        s_.log.close();
        s_.ui.set_busy_pointer(false);
        c_.Label_analize.visible = false;
        c_.Analize_bar.visible = false;
        s_.refresh();
    }

    void show_totals()
    {
        scene_.stats[1] = scene_.nr_objects;
        c_.Text_total_objects.text = decimal(scene_.stats[1]);
        scene_.stats[3] = split_count(scene_.nr_objects);
        c_.Text_ascsplit.text = decimal(scene_.stats[3]);
        s_.refresh();
    }

    bool no_objects(bool clear_after)
    {
        s_.tell("Error", messages::no_objects, MessageIcon::Critical);
        report_.no_objects = true;
        report_.not_analysable = true;
        report_.input_has_lone_line_feeds = !s_.settings.lf_ends_line && file_has_lone_line_feed(scene_.fich);
        become_idle();
        if (clear_after)
            clear_statistics(s_);
        return false;
    }

    bool unreadable(const std::string& error)
    {
        s_.tell("Error", error, MessageIcon::Critical);
        report_.not_analysable = true;
        become_idle();
        return false;
    }

    bool stopped()
    {
        report_.not_analysable = true;
        become_idle();
        return false;
    }

    void object_failed()
    {
        c_.Text_comments.text = messages::comments_problems;
        c_.Open_error_log.enabled = true;
        problems_ = true;
        s_.refresh();
    }

    void object_passed(const ObjectCheck& check)
    {
        ++scene_.valid_objects;
        scene_.stats[2] = scene_.valid_objects;
        c_.Text_valid_objects.text = decimal(scene_.stats[2]);
        scene_.stats[4] += to_int64(check.faces).value_or(0);
        c_.Text_faces.text = decimal(scene_.stats[4]);
        scene_.stats[5] += to_int64(check.vertices).value_or(0);
        c_.Text_vertices.text = decimal(scene_.stats[5]);
    }

    void remember_name(const ObjectCheck& check, std::int64_t object_number)
    {
        if (check.has_name && object_number >= 0 && object_number < static_cast<std::int64_t>(scene_.obj_names.size()))
            scene_.obj_names[static_cast<std::size_t>(object_number)] = check.name;
    }

    void finish_loading()
    {
        c_.Clear_statistics.enabled = true;
        scene_.file_loaded = 1;
        scene_.file_type = to_lower_copy(extension_of(scene_.fich));
        scene_.impo.clear();
        report_.completed = true;
        report_.problems = problems_;
        s_.refresh();
    }

    // The checking pass shared by both types: `examine` checks the object that
    // starts on the current line, if any; `starts_object` tells which lines
    // count as object starts for the object number.
    template <typename Examine, typename StartsObject>
    bool check_objects(Examine examine, StartsObject starts_object, bool ase)
    {
        scene_.obj_names.assign(static_cast<std::size_t>(scene_.nr_objects) + 1, std::string());
        scene_.valid_objects = 0;
        std::int64_t object_number = 1;
        LineSource source(reading());
        std::string error;
        if (!source.open(scene_.fich, error))
            return unreadable(error);
        SceneCursor cursor(source);
        for (;;) {
            if (!keep_going())
                return stopped();
            if (cursor.number() >= scene_.nr_line2 || cursor.at_end())
                break;
            cursor.read();
            const bool starts = starts_object(cursor.line());
            const ObjectCheck check = examine(cursor);
            remember_name(check, object_number);
            switch (check.verdict) {
            case ObjectVerdict::NotAnObject:
                break;
            case ObjectVerdict::Passed:
                object_passed(check);
                break;
            case ObjectVerdict::Failed:
                if (check.invalid_submaterial) {
                    ++scene_.invalid_mat_id;
                    ++scene_.stats[6];
                    c_.Text1.text = decimal(scene_.stats[6]);
                }
                object_failed();
                break;
            case ObjectVerdict::Fatal:
                return fatal(check.fatal_message);
            }
            // Each examined object gets its own slot in obj_names.
            if (starts)
                ++object_number;
            if (!ase)
                scene_.object_mapped = 0;
            c_.Analize_bar.value = cursor.number();
        }
        if (source.read_failed())
            return unreadable("The file \"" + scene_.fich + "\" could not be read to its end.");
        become_idle();
        return true;
    }

    bool fatal(const std::string& message)
    {
        s_.tell("Error", message, MessageIcon::Critical);
        report_.not_analysable = true;
        scene_.express = 0;
        become_idle();
        return false;
    }

    // ---- ".asc" ------------------------------------------------------------------

    static bool starts_asc_object(std::string_view line) { return starts_with_lower(line, "named object"); }
    static bool starts_ase_object(std::string_view line) { return starts_with_upper(line, ase_keyword::object_start); }

    void analyse_asc()
    {
        problems_ = false;
        s_.ui.set_busy_pointer(true);
        bool objects_found = false;
        if (!count_lines_and_objects_of_scene({starts_asc_object, 'n', 'N'}, objects_found))
            return;
        show_progress_row();
        if (!objects_found) {
            no_objects(true);
            return;
        }
        show_totals();
        auto examine = [this](SceneCursor& cursor) { return examine_asc_line(cursor, s_.log); };
        if (!check_objects(examine, starts_asc_object, false))
            return;
        if (problems_) {
            c_.Open_error_log.enabled = true;
            c_.Target_filename.enabled = false;
            c_.Start_process.enabled = false;
            s_.tell("Finished", messages::asc_finished_with_problems, MessageIcon::Information);
        } else {
            c_.Open_error_log.enabled = false;
            c_.Target_filename.enabled = true;
            if (scene_.fich_dest.empty()) {
                s_.tell("Finished", messages::finished_choose_target, MessageIcon::Information);
            } else {
                s_.tell("Finished", messages::finished, MessageIcon::Information);
                c_.Start_process.enabled = true;
            }
        }
        finish_loading();
    }

    // ---- ".ase" ------------------------------------------------------------------

    void ask_for_express_run()
    {
        const std::string namesake = join_path(parent_folder_of(scene_.fich), base_name_of(scene_.fich) + ".asc");
        if (!file_exists(namesake) && s_.ask("Question", messages::express_question))
            scene_.express = 1;
    }

    bool read_materials()
    {
        CatalogueInput input;
        input.path = scene_.fich;
        input.tiff_folder = join_path(parent_folder_of(scene_.fich), "TIFFRGB");
        input.reading = reading();
        input.keep_going = [this] { return keep_going(); };
        MaterialCatalogue& catalogue = scene_.catalogue;
        CatalogueOutcome sized = size_material_list(input, catalogue);
        if (s_.stop_requested)
            return stopped();
        if (!sized.readable)
            return unreadable(sized.error);
        if (!sized.counts_in_range)
            return fatal(messages::ase_invalid_structure);
        CatalogueOutcome read = read_material_catalogue(input, catalogue);
        if (s_.stop_requested)
            return stopped();
        if (!read.readable)
            return unreadable(read.error);
        if (!read.counts_in_range)
            return fatal(messages::ase_invalid_structure);
        // A scene without a material list has no materials, whatever an
        // earlier analysis left behind.
        scene_.project_mapped = read.project_mapped;
        for (const PictureRenameFailure& failure : read.rename_failures)
            s_.tell("Warning",
                    "The picture \"" + failure.from + "\" could not be renamed to \"" + failure.to + "\" (" +
                        failure.reason + "). Please rename it by hand.",
                    MessageIcon::Exclamation);
        return true;
    }

    void analyse_ase()
    {
        ask_for_express_run();
        problems_ = false;
        s_.ui.set_busy_pointer(true);
        bool objects_found = false;
        if (!count_lines_and_objects_of_scene({starts_ase_object, '*', '*'}, objects_found)) {
            scene_.express = 0;
            return;
        }
        show_progress_row();
        if (!objects_found) {
            scene_.express = 0;
            no_objects(false);
            return;
        }
        show_totals();
        if (!read_materials()) {
            scene_.express = 0;
            return;
        }
        AseObjectChecker checker(s_.log, scene_.catalogue.submats);
        auto examine = [&checker](SceneCursor& cursor) { return checker.examine(cursor); };
        if (!check_objects(examine, starts_ase_object, true)) {
            scene_.express = 0;
            return;
        }
        if (problems_) {
            c_.Open_error_log.enabled = true;
            if (!scene_.fich_dest.empty()) {
                s_.tell("Warning", messages::ase_finished_with_problems, MessageIcon::Critical);
                c_.Start_process.enabled = true;
            } else {
                s_.tell("Warning", messages::ase_finished_with_problems_choose_target, MessageIcon::Critical);
            }
            scene_.express = 0;
        } else {
            c_.Open_error_log.enabled = false;
            if (scene_.express == 0 && scene_.fich_dest.empty()) {
                s_.tell("Finished", messages::finished_choose_target, MessageIcon::Information);
            } else if (scene_.express == 0) {
                s_.tell("Finished", messages::finished, MessageIcon::Information);
                c_.Start_process.enabled = true;
            }
        }
        c_.Target_filename.enabled = true;
        finish_loading();
    }

    Session& s_;
    SceneState& scene_;
    Controls& c_;
    AnalysisReport& report_;
    bool problems_ = false;
};

} // namespace

void analyse_scene(Session& session)
{
    SceneAnalysis(session).run();
}

} // namespace trevanix
