#pragma once
// The main window's click actions over one session, without any widget. The
// Qt window, the command line and the tests all drive the program through
// this class.
#include <memory>
#include <optional>
#include <string>

#include "app/analyse_scene.hpp"
#include "convert/riding_conversion.hpp"
#include "state/session.hpp"

namespace trevanix {

class Form {
public:
    Form(UserServices& services, EngineSettings settings);

    Session& session() noexcept { return session_; }
    const Session& session() const noexcept { return session_; }
    SceneState& scene() noexcept { return session_.scene; }
    Controls& controls() noexcept { return session_.controls; }

    // Start-up: runs the analysis of the command-line scene when one is given.
    // Surrounding double quotes are removed only when both are there. With
    // `conversion`, the command line converts right after the analysis when
    // its verdict allows it: the conversion rides along the analysis.
    void start_up(const std::string& command_line, std::optional<ConversionRequest> conversion = std::nullopt);

    void click_Analize_filename();
    void click_Target_filename();
    void click_Start_process();
    // The click has already toggled Check_all's value (as a check box does).
    void click_Check_all();
    // A click on one of the five check boxes, from the window: toggles the
    // box and, for Check_all, switches the four options. Ignored while an
    // analysis or a conversion runs, since the conversion reads the boxes as
    // it goes.
    void click_check_box(CheckBoxState Controls::*box);
    void click_Clear_statistics();
    // Not a long action: it also works while an analysis runs, once the
    // analysis has logged a problem.
    void click_Open_error_log();
    void change_Text2(const std::string& text);
    // A scene file dropped on the window: analysed as the command-line start
    // does, after the discard question when a scene is loaded.
    void drop_scene(const std::string& path);

    // True while an analysis or a conversion runs; a second long action is
    // refused meanwhile, since both rewrite the same scene state.
    bool busy() const noexcept { return busy_; }
    // Asks a running analysis or conversion to stop at its next line step,
    // leaving no half-written output (used when the window closes).
    void request_stop() noexcept { session_.stop_requested = true; }

private:
    template <typename Action>
    void run_guarded(Action action);
    // Keeps what the analysis leaves for the conversion, and starts the
    // express run when the analysis says it follows.
    void take(AnalysisOutcome outcome);

    Session session_;
    bool busy_ = false;
    // The outputs written beside the last analysis, for the Start Process
    // that follows it.
    std::unique_ptr<RidingConversion> prepared_;
};

} // namespace trevanix
