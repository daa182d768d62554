#pragma once
// The error log: one plain-text file of object problems, one line per problem,
// each ending in CR LF. The analysis re-creates it, the conversion re-creates it
// empty, the clearing deletes it; the user opens it from the window.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trevanix {

// Where the log lives: "testfile.txt" in the program's folder when that folder
// can be written, otherwise in the user's state folder
// ($XDG_STATE_HOME/trevanix, or ~/.local/state/trevanix).
std::filesystem::path default_log_path(const std::filesystem::path& program_folder);

// A rejected object's line as the checks hand it to the log.
struct ProblemLine {
    std::int64_t line_number = 0;          // the input line the check stopped on
    std::optional<std::string_view> object; // the object's name; none when it could not be read
    std::string_view reason;               // a stable key naming the failed check
    std::string_view text;                 // the log line, without its line end
};

// A problem line kept for the caller (the command line's report).
struct LoggedProblem {
    std::int64_t line_number = 0;
    std::optional<std::string> object;
    std::string reason;
    std::string text;
};

class ErrorLog {
public:
    explicit ErrorLog(std::filesystem::path path = {}) : path_(std::move(path)) {}
    ~ErrorLog() { close(); }
    ErrorLog(const ErrorLog&) = delete;
    ErrorLog& operator=(const ErrorLog&) = delete;

    const std::filesystem::path& path() const noexcept { return path_; }
    void set_path(std::filesystem::path path);

    // Creates the file empty (replacing any file of that name) and keeps it open.
    // On failure returns false with a sentence for the user in `error`.
    bool create(std::string& error);
    // Writes text and CR LF; does nothing when the log is not open.
    void write_line(std::string_view text);
    // Writes a rejected object's line, and keeps it when asked to (whether or
    // not the file could be opened, so the caller still learns what failed).
    void write_problem(const ProblemLine& problem);
    // Keeping costs memory for every rejected object, so it is off unless a
    // caller asks; create() starts the kept list empty.
    void keep_problems(bool keep) noexcept { keep_problems_ = keep; }
    // Hands over the problems kept since create(); the log keeps none after.
    std::vector<LoggedProblem> take_kept_problems() noexcept;
    void close() noexcept;
    // Deletes the file; a missing file is no error.
    void remove() noexcept;
    bool is_open() const noexcept { return file_ != nullptr; }
    // True when a write failed since create().
    bool write_failed() const noexcept { return write_failed_; }
    std::size_t lines_written() const noexcept { return lines_written_; }

private:
    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    bool write_failed_ = false;
    std::size_t lines_written_ = 0;
    bool keep_problems_ = false;
    std::vector<LoggedProblem> kept_problems_;
};

} // namespace trevanix
