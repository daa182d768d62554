#pragma once
// The user services of the desktop program, provided with Qt: file dialogs,
// message boxes, the busy pointer, the clipboard, the desktop's "open" and
// the pacing of window events during long work.
#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "state/user_services.hpp"

namespace trevanix::window {

class QtUserServices : public UserServices {
public:
    // How often, at most, long work lets the window repaint and take clicks.
    static constexpr qint64 event_interval_ms = 30;

    // Binds the services to the window they serve: dialogs are its children,
    // `sync_widgets` repaints it from the control state, `end_program` closes
    // it for good once the running action has returned.
    void attach(QWidget* window, std::function<void()> sync_widgets, std::function<void()> end_program);

    // Without a person in front of the screen (the screenshot run): messages
    // go to the standard error stream and get the cautious answer (OK, No),
    // file dialogs count as cancelled.
    void set_unattended(bool unattended) noexcept { unattended_ = unattended; }

    bool show_message(const Message& message) override;
    FileDialogResult open_file_dialog(const FileDialogRequest& request) override;
    FileDialogResult save_file_dialog(const FileDialogRequest& request) override;
    void let_events_run() override;
    void set_busy_pointer(bool busy) override;
    bool set_clipboard_text(const std::string& text) override;
    bool open_document(const std::string& path) override;
    void quit() override;
    void controls_changed() override;

private:
    class OrdinaryPointerWhileWaiting;
    FileDialogResult run_file_dialog(const FileDialogRequest& request, bool save);

    QPointer<QWidget> window_;
    std::function<void()> sync_widgets_;
    std::function<void()> end_program_;
    QElapsedTimer since_events_;
    unsigned event_calls_ = 0;
    bool busy_pointer_ = false;
    bool unattended_ = false;
};

} // namespace trevanix::window
