#include "cli/cli_services.hpp"

#include "format/text.hpp"

namespace trevanix::cli {

bool CliServices::show_message(const Message& message)
{
    ShownMessage shown{message.caption, message.text,    message.icon, message.buttons,
                       true,            message.details, message.explains_outcome};
    if (shown.is_question())
        shown.answer = answer_yes_;
    if (echo_ != nullptr && (!errors_only_ || shown.caption == "Error" || shown.explains_outcome))
        echo(shown);
    messages_.push_back(std::move(shown));
    return messages_.back().answer;
}

void CliServices::echo(const ShownMessage& shown)
{
    // Texts carry paths and names from the scene: no byte of theirs may
    // move the terminal's cursor or begin a line.
    *echo_ << shown.caption << ": " << printable_text(shown.text) << '\n';
    for (const std::string& line : shown.details)
        *echo_ << "  " << printable_text(line) << '\n';
    if (shown.is_question())
        *echo_ << "  (answered " << (shown.answer ? "Yes" : "No") << ")\n";
    echo_->flush();
}

FileDialogResult CliServices::open_file_dialog(const FileDialogRequest&)
{
    // The scene always comes from the command line; nobody is there to pick one.
    return {};
}

FileDialogResult CliServices::save_file_dialog(const FileDialogRequest&)
{
    FileDialogResult result;
    if (!save_choice_)
        return result;
    result.cancelled = false;
    result.path = *save_choice_;
    const auto slash = result.path.find_last_of('/');
    result.title = slash == std::string::npos ? result.path : result.path.substr(slash + 1);
    save_choice_.reset();
    return result;
}

void CliServices::let_events_run()
{
    if (stop_ != nullptr && interrupted())
        *stop_ = true;
    // Event steps come once a line: the bar is looked at only now and then.
    if (progress_ != nullptr && ++steps_since_report_ >= 4096) {
        steps_since_report_ = 0;
        report_progress();
    }
}

void CliServices::report_progress() noexcept
{
    const ProgressBarState& converting = controls_->Process_bar;
    const ProgressBarState& analysing = controls_->Analize_bar;
    if (converting.visible) {
        progress_->phase.store(ScenePhase::Converting, std::memory_order_relaxed);
        progress_->percent.store(percent_of(converting.min, converting.max, converting.value),
                                 std::memory_order_relaxed);
    } else if (analysing.visible) {
        progress_->phase.store(ScenePhase::Analysing, std::memory_order_relaxed);
        progress_->percent.store(percent_of(analysing.min, analysing.max, analysing.value),
                                 std::memory_order_relaxed);
    }
}

} // namespace trevanix::cli
