#include "cli/cli_services.hpp"

namespace trevanix::cli {

bool CliServices::show_message(const Message& message)
{
    ShownMessage shown{message.caption, message.text, message.icon, message.buttons, true};
    if (shown.is_question())
        shown.answer = answer_yes_;
    if (echo_ != nullptr) {
        *echo_ << shown.caption << ": " << shown.text << '\n';
        if (shown.is_question())
            *echo_ << "  (answered " << (shown.answer ? "Yes" : "No") << ")\n";
        echo_->flush();
    }
    messages_.push_back(std::move(shown));
    return messages_.back().answer;
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
}

} // namespace trevanix::cli
