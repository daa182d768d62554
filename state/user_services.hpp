#pragma once
// Everything the engine asks of the person in front of it. The window, the
// command line and the tests each implement this interface; the engine never
// talks to a screen, a clipboard or a shell by any other way.
#include <string>
#include <vector>

namespace trevanix {

enum class MessageIcon { None, Critical, Exclamation, Information };

enum class MessageButtons { Ok, YesNo };

struct Message {
    std::string caption;
    std::string text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    // Lines shown below the text, one item each (a list of objects or
    // pictures); names and paths in them have their control bytes escaped.
    std::vector<std::string> details{};
    // The message explains why the action did not do all it was asked to: a
    // face that shows only errors shows it too.
    bool explains_outcome = false;
};

struct FileDialogRequest {
    std::string title;
    std::string filter;         // "description|pattern|description|pattern..."
    std::string initial_folder;
    bool must_exist = false;        // open form: the chosen file must exist
    bool confirm_overwrite = false; // save form: ask before replacing a file
};

struct FileDialogResult {
    bool cancelled = true;
    std::string path;  // full path of the chosen file
    std::string title; // file name without folder
};

class UserServices {
public:
    virtual ~UserServices() = default;

    // Shows a modal message. For Yes/No buttons returns true on Yes; an OK
    // message returns true.
    virtual bool show_message(const Message& message) = 0;

    virtual FileDialogResult open_file_dialog(const FileDialogRequest& request) = 0;
    virtual FileDialogResult save_file_dialog(const FileDialogRequest& request) = 0;

    // Lets pending window events run (repaint, progress, clicks). Called once per
    // line step of long work, so implementations must keep it cheap.
    virtual void let_events_run() = 0;

    virtual void set_busy_pointer(bool busy) = 0;

    // Puts text on the clipboard, replacing what was there. Returns false when
    // there is no clipboard (no display); callers carry on.
    virtual bool set_clipboard_text(const std::string& text) = 0;

    // Opens a document with the desktop's default program. Returns false when
    // that could not be done (no such program, or it failed at once); the log
    // button then tells the user where the document is.
    virtual bool open_document(const std::string& path) = 0;

    // Ends the program after the current action.
    virtual void quit() = 0;

    // The window state changed (enabled, visible, texts, progress). Views
    // repaint from the control state; others ignore it.
    virtual void controls_changed() {}
};

} // namespace trevanix
