#pragma once
// The program's standard output and standard error, shared by the scenes of a
// run: each scene's text is printed whole, and when standard error is a
// terminal a few lines below it show the running scenes and how far they are.
#include <mutex>
#include <string>
#include <vector>

#include "cli/progress.hpp"
#include "cli/scene_output.hpp"

namespace trevanix::cli {

struct ProgressLine {
    std::string scene_name;
    ScenePhase phase = ScenePhase::Waiting;
    int percent = 0;
};

class Console {
public:
    // show_progress: draw the progress lines (only sensible on a terminal).
    explicit Console(bool show_progress) : show_progress_(show_progress) {}

    // Prints the pieces in order; the progress lines are erased first.
    void print(const std::vector<OutputPiece>& pieces);
    // Redraws the progress lines (nothing when progress is not shown).
    void draw_progress(const std::vector<ProgressLine>& lines);
    void erase_progress();

private:
    void erase_progress_locked();

    std::mutex mutex_;
    bool show_progress_;
    int lines_shown_ = 0;
    bool at_line_start_ = true; // the last text printed ended its line
};

// Whether a progress display belongs on standard error: a terminal that
// understands cursor movement.
bool standard_error_is_a_terminal();

} // namespace trevanix::cli
