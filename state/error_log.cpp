#include "state/error_log.hpp"

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <unistd.h>

#include "state/fresh_file.hpp"

namespace trevanix {

namespace {

constexpr std::size_t buffer_limit = std::size_t{1} << 16;

bool folder_is_writable(const std::filesystem::path& folder)
{
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        return false;
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool is_build_tree(const std::filesystem::path& folder)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(folder / build_tree_marker, ec);
}

std::string reason_text(int code) { return std::generic_category().message(code != 0 ? code : EIO); }

} // namespace

std::filesystem::path user_state_folder()
{
    std::filesystem::path folder;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state)
        folder = std::filesystem::path(state) / "trevanix";
    else if (const char* home = std::getenv("HOME"); home && *home)
        folder = std::filesystem::path(home) / ".local" / "state" / "trevanix";
    else
        folder = std::filesystem::temp_directory_path() / "trevanix";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder;
}

std::filesystem::path default_log_path(const std::filesystem::path& program_folder)
{
    if (!program_folder.empty() && is_build_tree(program_folder) && folder_is_writable(program_folder))
        return program_folder / "testfile.txt";
    return user_state_folder() / "testfile.txt";
}

void ErrorLog::set_path(std::filesystem::path path)
{
    close();
    path_ = std::move(path);
}

void ErrorLog::note_failure(int code, bool creating)
{
    if (!failure_reason_.empty())
        return;
    failure_reason_ = reason_text(code);
    failed_creating_ = creating;
}

std::string ErrorLog::failure_text() const
{
    if (failure_reason_.empty())
        return {};
    if (failed_creating_)
        return "The error log file \"" + path_.string() + "\" could not be created (" + failure_reason_ +
               "). Problems will not be logged.";
    return "The error log file \"" + path_.string() + "\" could not be written (" + failure_reason_ +
           "). It does not hold every problem found.";
}

bool ErrorLog::create(std::string& error)
{
    close();
    discarded_ = false;
    failure_reason_.clear();
    lines_written_ = 0;
    const FreshFile made = create_fresh_file(path_.string());
    switch (made.outcome) {
    case FreshFileOutcome::Created:
        fd_ = made.fd;
        return true;
    case FreshFileOutcome::Discarded:
        discarded_ = true;
        return true;
    case FreshFileOutcome::Refused:
        failure_reason_ = made.error == EISDIR ? "it is a folder" : "it is a device, a pipe or a socket, which is left alone";
        failed_creating_ = true;
        break;
    case FreshFileOutcome::Failed:
        note_failure(made.error, true);
        break;
    }
    error = failure_text();
    return false;
}

bool ErrorLog::flush() noexcept
{
    std::string_view rest = buffer_;
    while (!rest.empty()) {
        const ssize_t n = ::write(fd_, rest.data(), rest.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            note_failure(n < 0 ? errno : ENOSPC, false);
            buffer_.clear();
            return false;
        }
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
    buffer_.clear();
    return true;
}

void ErrorLog::write_line(std::string_view text)
{
    // After a failed write the log is known to be incomplete; no more is tried.
    if (fd_ < 0 || !failure_reason_.empty())
        return;
    buffer_ += text;
    buffer_ += "\r\n";
    ++lines_written_;
    if (buffer_.size() >= buffer_limit)
        flush();
}

void ErrorLog::write_problem(const ProblemLine& problem)
{
    write_line(problem.text);
    if (listener_ != nullptr)
        listener_->problem_logged(problem);
}

void ErrorLog::close() noexcept
{
    if (fd_ < 0)
        return;
    flush();
    if (::close(fd_) != 0 && errno != EINTR)
        note_failure(errno, false);
    fd_ = -1;
    buffer_.clear();
    buffer_.shrink_to_fit();
}

void ErrorLog::remove() noexcept
{
    close();
    remove_plain_file(path_.string());
}

} // namespace trevanix
