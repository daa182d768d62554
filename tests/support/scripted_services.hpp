#pragma once
// User services for tests: records every message and answers from a script.
#include <deque>
#include <string>
#include <vector>

#include "state/user_services.hpp"

namespace trevanix::testing {

struct RecordedMessage {
    Message message;
    bool answer = true; // Yes for Yes/No messages answered Yes; true for OK messages
};

class ScriptedServices : public UserServices {
public:
    // Answers to Yes/No questions, in order; when the script runs out,
    // default_answer is used.
    std::deque<bool> answers;
    bool default_answer = false;
    // Results of the open and save dialogs, in order; cancelled when none left.
    std::deque<FileDialogResult> open_choices;
    std::deque<FileDialogResult> save_choices;

    std::vector<RecordedMessage> messages;
    std::vector<FileDialogRequest> open_requests;
    std::vector<FileDialogRequest> save_requests;
    std::vector<std::string> clipboard_history;
    std::vector<std::string> opened_documents;
    bool clipboard_available = true;
    bool documents_open = true; // false: the desktop has no program for them
    bool quit_called = false;
    int events_run = 0;
    int busy_depth = 0;
    bool busy = false;

    bool show_message(const Message& message) override
    {
        bool answer = true;
        if (message.buttons == MessageButtons::YesNo) {
            if (answers.empty()) {
                answer = default_answer;
            } else {
                answer = answers.front();
                answers.pop_front();
            }
        }
        messages.push_back({message, answer});
        return answer;
    }

    FileDialogResult open_file_dialog(const FileDialogRequest& request) override
    {
        open_requests.push_back(request);
        return take(open_choices);
    }

    FileDialogResult save_file_dialog(const FileDialogRequest& request) override
    {
        save_requests.push_back(request);
        return take(save_choices);
    }

    void let_events_run() override { ++events_run; }
    void set_busy_pointer(bool on) override { busy = on; }

    bool set_clipboard_text(const std::string& text) override
    {
        if (!clipboard_available)
            return false;
        clipboard_history.push_back(text);
        return true;
    }

    bool open_document(const std::string& path) override
    {
        opened_documents.push_back(path);
        return documents_open;
    }

    void quit() override { quit_called = true; }

    // Convenience: texts of the recorded messages, in order.
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const auto& m : messages)
            out.push_back(m.message.text);
        return out;
    }

    static FileDialogResult chosen(const std::string& path)
    {
        FileDialogResult r;
        r.cancelled = false;
        r.path = path;
        const auto slash = path.find_last_of('/');
        r.title = slash == std::string::npos ? path : path.substr(slash + 1);
        return r;
    }

private:
    static FileDialogResult take(std::deque<FileDialogResult>& queue)
    {
        if (queue.empty())
            return {};
        FileDialogResult r = queue.front();
        queue.pop_front();
        return r;
    }
};

} // namespace trevanix::testing
