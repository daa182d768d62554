#pragma once
// The error log: one plain-text file of object problems, one line per problem,
// each ending in CR LF. The analysis re-creates it, the conversion re-creates it
// empty, the clearing deletes it; the user opens it from the window.
//
// The log is always made afresh (see fresh_file.hpp): a link at its path is
// replaced, never followed, and a device, pipe or socket there is never
// removed. "/dev/null" discards the log. A log that could not be made or
// written says so, with the reason, so that no report announces a log that
// does not hold the rejected objects.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace trevanix {

// The user's state folder: $XDG_STATE_HOME/trevanix, else
// ~/.local/state/trevanix (created when missing).
std::filesystem::path user_state_folder();

// The file the build writes beside the programs it builds, and that is never
// installed: its presence tells a program run from its build tree from an
// installed one.
inline constexpr const char* build_tree_marker = "trevanix-build-tree";

// Where the log lives: "testfile.txt" in the program's folder when the program
// runs from its build tree and that folder can be written; otherwise (an
// installed program never writes into its own folder) in the user's state
// folder.
std::filesystem::path default_log_path(const std::filesystem::path& program_folder);

// A rejected object's line as the checks hand it to the log.
struct ProblemLine {
    std::int64_t line_number = 0;          // the input line the check stopped on
    std::optional<std::string_view> object; // the object's name; none when it could not be read
    std::string_view reason;               // a stable key naming the failed check
    std::string_view text;                 // the log line, without its line end
};

// A problem line kept for a report: the general reader keeps the few lines of
// objects it split or repaired.
struct LoggedProblem {
    std::int64_t line_number = 0; // 0: the object has no input line
    std::optional<std::string> object;
    std::string reason;
    std::string text;
};

// Learns of every problem line as it is written (whether or not the file
// could be made), e.g. to list the rejected objects in a report.
class ProblemListener {
public:
    virtual ~ProblemListener() = default;
    virtual void problem_logged(const ProblemLine& problem) = 0;
};

class ErrorLog {
public:
    explicit ErrorLog(std::filesystem::path path = {}) : path_(std::move(path)) {}
    ~ErrorLog() { close(); }
    ErrorLog(const ErrorLog&) = delete;
    ErrorLog& operator=(const ErrorLog&) = delete;

    const std::filesystem::path& path() const noexcept { return path_; }
    void set_path(std::filesystem::path path);

    // Makes the file afresh, empty, and keeps it open. On failure returns
    // false with a sentence for the user in `error`. The null device counts
    // as made: its lines are discarded.
    bool create(std::string& error);
    // Writes text and CR LF; does nothing when the log is not open.
    void write_line(std::string_view text);
    // Writes a rejected object's line and tells the listener.
    void write_problem(const ProblemLine& problem);
    void set_listener(ProblemListener* listener) noexcept { listener_ = listener; }
    // Writes out what is buffered and closes the file.
    void close() noexcept;
    // Deletes the file when it is a regular file or a link; a missing file is no error.
    void remove() noexcept;
    bool is_open() const noexcept { return fd_ >= 0; }
    // The path is the null device: lines are discarded, on purpose.
    bool discarded() const noexcept { return discarded_; }
    // Since create(): the log could not be made, or a write to it failed. It
    // then does not hold every line written.
    bool failed() const noexcept { return !failure_reason_.empty(); }
    // Why, in a few words ("No space left on device"); "" when it did not fail.
    const std::string& failure_reason() const noexcept { return failure_reason_; }
    // The sentence for the user when it failed.
    std::string failure_text() const;
    std::size_t lines_written() const noexcept { return lines_written_; }

private:
    bool flush() noexcept;
    void note_failure(int code, bool creating);

    std::filesystem::path path_;
    int fd_ = -1;
    std::string buffer_;
    bool discarded_ = false;
    bool failed_creating_ = false;
    std::string failure_reason_;
    std::size_t lines_written_ = 0;
    ProblemListener* listener_ = nullptr;
};

} // namespace trevanix
