#include "app/form.hpp"

#include "app/analyse_scene.hpp"
#include "app/error_log_opening.hpp"
#include "app/options_and_clearing.hpp"
#include "app/start_process.hpp"
#include "app/target_choice.hpp"
#include "state/paths.hpp"

namespace trevanix {

Form::Form(UserServices& services, EngineSettings settings) : session_(services, std::move(settings)) {}

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

void Form::take(AnalysisOutcome outcome)
{
    prepared_ = std::move(outcome.prepared);
    if (outcome.express_run)
        start_process(session_, {true, std::move(prepared_)});
}

void Form::start_up(const std::string& command_line, std::optional<ConversionRequest> conversion)
{
    session_.ui.let_events_run();
    if (command_line.empty())
        return;
    const AnalysisRequest request{without_surrounding_quotes(command_line), std::move(conversion)};
    run_guarded([this, &request] { take(analyse_scene(session_, request)); });
}

void Form::click_Analize_filename()
{
    run_guarded([this] { take(analyse_scene(session_, {})); });
}

void Form::click_Target_filename()
{
    run_guarded([this] { choose_target(session_); });
}

void Form::click_Start_process()
{
    run_guarded([this] {
        start_process(session_, {false, std::move(prepared_)});
    });
}

void Form::click_Check_all()
{
    check_all_clicked(session_);
    session_.refresh();
}

void Form::click_check_box(CheckBoxState Controls::*box)
{
    if (busy_)
        return;
    CheckBoxState& state = session_.controls.*box;
    state.checked = !state.checked;
    if (box == &Controls::Check_all)
        check_all_clicked(session_);
    session_.refresh();
}

void Form::drop_scene(const std::string& path)
{
    run_guarded([this, &path] { take(analyse_given_scene(session_, path)); });
}

void Form::click_Clear_statistics()
{
    run_guarded([this] {
        clear_statistics(session_);
        if (!session_.scene.file_loaded)
            prepared_.reset();
    });
}

void Form::click_Open_error_log()
{
    open_error_log(session_);
}

void Form::change_Text2(const std::string& text)
{
    check_text2(session_, text);
    session_.refresh();
}

} // namespace trevanix
