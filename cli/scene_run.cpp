#include "cli/scene_run.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/target_choice.hpp"
#include "format/scene_file.hpp"
#include "state/paths.hpp"

namespace trevanix::cli {

std::optional<OptionBoxes> parse_option_list(std::string_view list)
{
    if (list == "all")
        return OptionBoxes{};
    OptionBoxes boxes;
    boxes.all = false;
    if (list == "none")
        return boxes;
    if (list.empty())
        return std::nullopt;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = list.find(',', start);
        const std::string_view word =
            list.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (word == "split")
            boxes.split = true;
        else if (word == "flip-axis")
            boxes.flip_axis = true;
        else if (word == "flip-textures")
            boxes.flip_textures = true;
        else if (word == "mat")
            boxes.mat = true;
        else
            return std::nullopt;
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return boxes;
}

std::string unreadable_scene_reason(const std::string& path)
{
    if (path.empty())
        return "no scene file given";
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return "\"" + path + "\" is a folder, not a scene file";
    // A pipe or a device is refused before an open that could wait forever.
    if (std::string refusal = not_a_scene_file_reason(path); !refusal.empty())
        return refusal;
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        const int code = errno != 0 ? errno : EIO;
        return "cannot read \"" + path + "\": " + std::generic_category().message(code);
    }
    std::fclose(file);
    return {};
}

void run_analysis(Form& form, CliServices& services, const std::string& scene_argument,
                  std::optional<ConversionRequest> conversion)
{
    services.answer_questions(false);
    form.start_up(scene_argument, std::move(conversion));
}

ConversionRequest conversion_request(const std::string& target, const OptionBoxes& boxes)
{
    const ConversionOptions options =
        boxes.all ? ConversionOptions{true, true, true, true}
                  : ConversionOptions{boxes.split, boxes.flip_axis, boxes.flip_textures, boxes.mat};
    return {target.empty() ? std::string() : normalised_target(target), options};
}

bool conversion_allowed(const Session& session)
{
    const AnalysisReport& report = session.analysis_report;
    if (!report.completed)
        return false;
    if (converts_like_ase(session.scene))
        return true;
    return session.scene.file_type == FileType::Asc && !report.problems;
}

bool choose_target(Form& form, CliServices& services, const std::string& target)
{
    services.answer_questions(false);
    services.offer_save_choice(target);
    form.scene().chosen_target.clear();
    form.click_Target_filename();
    return !form.scene().chosen_target.empty();
}

void set_option_boxes(Form& form, const OptionBoxes& boxes)
{
    Controls& c = form.controls();
    if (c.Check_all.checked != boxes.all) {
        c.Check_all.checked = boxes.all;
        form.click_Check_all();
    }
    if (boxes.all)
        return;
    c.Check_splitasc.checked = boxes.split;
    c.Check_flip3daxis.checked = boxes.flip_axis;
    c.Check_vtextures.checked = boxes.flip_textures;
    c.Check_createmat.checked = boxes.mat;
}

void run_conversion(Form& form, CliServices& services, bool yes)
{
    form.session().show_final_message = false;
    services.answer_questions(yes);
    form.click_Start_process();
}

int analysis_exit_status(const Session& session)
{
    const AnalysisReport& report = session.analysis_report;
    if (!report.completed)
        return exit_status::not_analysable;
    return report.problems ? exit_status::problems : exit_status::ok;
}

int conversion_exit_status(const Session& session, bool target_refused)
{
    if (!session.analysis_report.completed)
        return exit_status::not_analysable;
    if (!conversion_allowed(session))
        return exit_status::problems;
    if (target_refused)
        return exit_status::usage;
    switch (session.conversion_report.status) {
    case ConversionStatus::Completed:
        // An object that passed the analysis and was not written is a problem too.
        return session.analysis_report.problems || session.conversion_report.objects_left_out > 0
                   ? exit_status::problems
                   : exit_status::ok;
    case ConversionStatus::Declined:
        return exit_status::not_analysable;
    case ConversionStatus::RefusedTarget:
        return exit_status::usage;
    case ConversionStatus::NotRun:
    case ConversionStatus::WriteFailed:
    case ConversionStatus::InputFailed:
    case ConversionStatus::TargetBusy:
        break;
    }
    return exit_status::write_failed;
}

} // namespace trevanix::cli
