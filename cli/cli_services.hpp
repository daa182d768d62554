#pragma once
// User services for a run without a person at the keyboard: every Yes/No
// question gets the answer set for the current phase, the save dialog returns
// the target given on the command line, and every message is recorded (and
// echoed as "Caption: text" when asked to).
#include <csignal>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/progress.hpp"
#include "state/controls.hpp"
#include "state/user_services.hpp"

namespace trevanix::cli {

struct ShownMessage {
    std::string caption;
    std::string text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    bool answer = true; // Yes/No questions: the answer given; OK messages: true
    std::vector<std::string> details;
    bool explains_outcome = false;
    bool is_question() const noexcept { return buttons == MessageButtons::YesNo; }
};

class CliServices : public UserServices {
public:
    // When `echo` is set, each message is written there as it is shown (its
    // control bytes escaped, its details one a line below it); with
    // `errors_only`, only the messages captioned "Error" and those that
    // explain why an action did not do all it was asked to.
    explicit CliServices(std::ostream* echo = nullptr, bool errors_only = false)
        : echo_(echo), errors_only_(errors_only)
    {
    }

    // The answer to every Yes/No question from now on.
    void answer_questions(bool yes) noexcept { answer_yes_ = yes; }
    // The path the next save dialog returns; without one it is cancelled.
    void offer_save_choice(std::string path) { save_choice_ = std::move(path); }

    // While `interrupted` reads non-zero, each event step sets `*stop` so the
    // running action winds down at its next line step.
    void watch_interrupt(const volatile std::sig_atomic_t* interrupted, bool* stop) noexcept
    {
        interrupted_ = interrupted;
        stop_ = stop;
    }
    bool interrupted() const noexcept { return interrupted_ != nullptr && *interrupted_ != 0; }

    // Each event step now and then tells `progress` how far the visible
    // progress bar of `controls` has got.
    void watch_progress(const Controls* controls, SceneProgress* progress) noexcept
    {
        controls_ = controls;
        progress_ = progress;
    }

    const std::vector<ShownMessage>& messages() const noexcept { return messages_; }
    bool quit_requested() const noexcept { return quit_requested_; }

    bool show_message(const Message& message) override;
    FileDialogResult open_file_dialog(const FileDialogRequest& request) override;
    FileDialogResult save_file_dialog(const FileDialogRequest& request) override;
    void let_events_run() override;
    void set_busy_pointer(bool) override {}
    bool set_clipboard_text(const std::string&) override { return false; }
    bool open_document(const std::string&) override { return false; }
    void quit() override { quit_requested_ = true; }

private:
    void echo(const ShownMessage& shown);
    void report_progress() noexcept;

    std::ostream* echo_;
    bool errors_only_;
    bool answer_yes_ = false;
    std::optional<std::string> save_choice_;
    std::vector<ShownMessage> messages_;
    bool quit_requested_ = false;
    const volatile std::sig_atomic_t* interrupted_ = nullptr;
    bool* stop_ = nullptr;
    const Controls* controls_ = nullptr;
    SceneProgress* progress_ = nullptr;
    unsigned steps_since_report_ = 0;
};

} // namespace trevanix::cli
