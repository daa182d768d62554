#include "cli/console.hpp"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

namespace trevanix::cli {

namespace {

std::size_t terminal_width()
{
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

std::string progress_text(const ProgressLine& line, std::size_t width)
{
    std::string text = line.scene_name;
    text += line.phase == ScenePhase::Converting ? ": converting " : ": analysing ";
    text += std::to_string(line.percent) + "%";
    // A line that wraps would take two rows and spoil the erasing.
    if (width > 1 && text.size() >= width)
        text.resize(width - 1);
    return text;
}

} // namespace

void Console::print(const std::vector<OutputPiece>& pieces)
{
    std::lock_guard lock(mutex_);
    erase_progress_locked();
    for (const OutputPiece& piece : pieces) {
        std::ostream& stream = piece.channel == Channel::Out ? std::cout : std::cerr;
        stream.write(piece.text.data(), static_cast<std::streamsize>(piece.text.size()));
        stream.flush();
        if (!piece.text.empty())
            at_line_start_ = piece.text.back() == '\n';
    }
}

void Console::draw_progress(const std::vector<ProgressLine>& lines)
{
    if (!show_progress_)
        return;
    std::lock_guard lock(mutex_);
    // Erasing moves up whole lines: never while a printed line is unfinished.
    if (!at_line_start_)
        return;
    erase_progress_locked();
    const std::size_t width = terminal_width();
    std::string block;
    for (const ProgressLine& line : lines)
        block += progress_text(line, width) + "\n";
    std::cerr << block << std::flush;
    lines_shown_ = static_cast<int>(lines.size());
}

void Console::erase_progress()
{
    std::lock_guard lock(mutex_);
    erase_progress_locked();
}

void Console::erase_progress_locked()
{
    if (lines_shown_ == 0)
        return;
    // Up to the first progress line, then clear to the end of the screen.
    std::cerr << "\x1b[" << lines_shown_ << "A\r\x1b[J" << std::flush;
    lines_shown_ = 0;
}

bool standard_error_is_a_terminal()
{
    if (::isatty(STDERR_FILENO) == 0)
        return false;
    const char* term = std::getenv("TERM");
    return term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0;
}

} // namespace trevanix::cli
