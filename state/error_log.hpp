#pragma once
// The error log: one plain-text file of object problems, one line per problem,
// each ending in CR LF. The analysis re-creates it, the conversion re-creates it
// empty, the clearing deletes it; the user opens it from the window.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace trevanix {

// Where the log lives: "testfile.txt" in the program's folder when that folder
// can be written, otherwise in the user's state folder
// ($XDG_STATE_HOME/trevanix, or ~/.local/state/trevanix).
std::filesystem::path default_log_path(const std::filesystem::path& program_folder);

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
};

} // namespace trevanix
