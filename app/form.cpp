#include "app/form.hpp"

#include "analysis/analysis_driver.hpp"
#include "app/options_and_clearing.hpp"
#include "app/target_choice.hpp"
#include "convert/conversion.hpp"

namespace trevanix {

Form::Form(UserServices& services, EngineSettings settings) : session_(services, std::move(settings))
{
    session_.start_conversion = [this] { start_process(session_); };
}

template <typename Action>
void Form::run_guarded(Action action)
{
    if (busy_)
        return;
    busy_ = true;
    session_.stop_requested = false;
    try {
        action();
    } catch (...) {
        busy_ = false;
        throw;
    }
    busy_ = false;
    session_.refresh();
}

void Form::start_up(const std::string& command_line)
{
    session_.ui.let_events_run();
    if (command_line.empty())
        return;
    std::string path = command_line;
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
        path = path.substr(1, path.size() - 2);
    session_.scene.impo = path;
    click_Analize_filename();
}

void Form::click_Analize_filename()
{
    run_guarded([this] { analyse_scene(session_); });
}

void Form::click_Target_filename()
{
    run_guarded([this] { choose_target(session_); });
}

void Form::click_Start_process()
{
    run_guarded([this] { start_process(session_); });
}

void Form::click_Check_all()
{
    check_all_clicked(session_);
    session_.refresh();
}

void Form::click_Clear_statistics()
{
    run_guarded([this] { clear_statistics(session_); });
}

void Form::click_Open_error_log()
{
    // Whatever the desktop answers, nothing is shown.
    session_.ui.open_document(session_.log.path().string());
}

void Form::change_Text2(const std::string& text)
{
    check_text2(session_, text);
    session_.refresh();
}

} // namespace trevanix
