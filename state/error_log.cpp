#include "state/error_log.hpp"

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <unistd.h>

namespace trevanix {

namespace {

bool folder_is_writable(const std::filesystem::path& folder)
{
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        return false;
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::filesystem::path user_state_folder()
{
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state)
        return std::filesystem::path(state) / "trevanix";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".local" / "state" / "trevanix";
    return std::filesystem::temp_directory_path() / "trevanix";
}

} // namespace

std::filesystem::path default_log_path(const std::filesystem::path& program_folder)
{
    if (!program_folder.empty() && folder_is_writable(program_folder))
        return program_folder / "testfile.txt";
    const auto folder = user_state_folder();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder / "testfile.txt";
}

void ErrorLog::set_path(std::filesystem::path path)
{
    close();
    path_ = std::move(path);
}

bool ErrorLog::create(std::string& error)
{
    close();
    write_failed_ = false;
    lines_written_ = 0;
    kept_problems_.clear();
    errno = 0;
    file_ = std::fopen(path_.c_str(), "wb");
    if (!file_) {
        const int code = errno ? errno : EIO;
        error = "The error log file \"" + path_.string() + "\" could not be created (" +
                std::generic_category().message(code) + "). Problems will not be logged.";
        return false;
    }
    return true;
}

void ErrorLog::write_line(std::string_view text)
{
    if (!file_)
        return;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fwrite("\r\n", 1, 2, file_) != 2)
        write_failed_ = true;
    ++lines_written_;
}

void ErrorLog::write_problem(const ProblemLine& problem)
{
    write_line(problem.text);
    if (!keep_problems_)
        return;
    LoggedProblem kept;
    kept.line_number = problem.line_number;
    if (problem.object)
        kept.object = std::string(*problem.object);
    kept.reason = std::string(problem.reason);
    kept.text = std::string(problem.text);
    kept_problems_.push_back(std::move(kept));
}

std::vector<LoggedProblem> ErrorLog::take_kept_problems() noexcept
{
    std::vector<LoggedProblem> handed_over;
    handed_over.swap(kept_problems_);
    return handed_over;
}

void ErrorLog::close() noexcept
{
    if (file_) {
        if (std::fclose(file_) != 0)
            write_failed_ = true;
        file_ = nullptr;
    }
}

void ErrorLog::remove() noexcept
{
    close();
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}

} // namespace trevanix
