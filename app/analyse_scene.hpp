#pragma once
// The action behind the analysis button.
#include <memory>
#include <optional>
#include <string>

#include "convert/riding_conversion.hpp"
#include "state/session.hpp"

namespace trevanix {

// What an analysis is asked for.
struct AnalysisRequest {
    // The scene to analyse; empty: the open dialog asks for it (after the
    // discard question when a scene is loaded).
    std::string scene;
    // The conversion the command line runs right after the analysis when
    // its verdict allows it: it rides along the analysis' reading.
    std::optional<ConversionRequest> conversion;
};

// What the analysis leaves to the form.
struct AnalysisOutcome {
    // The user asked to convert right away and the verdict allows it.
    bool express_run = false;
    // The outputs written beside the analysis' reading, for the conversion
    // that follows it (null when none rode along).
    std::unique_ptr<RidingConversion> prepared;
};

// Chooses the input, runs the analysis while the window shows its progress
// and totals, then gives the verdict and sets the buttons it allows.
AnalysisOutcome analyse_scene(Session& session, const AnalysisRequest& request);

// Analyses the scene at `path` (a file dropped on the window) as the
// command-line start does, after the discard question when a scene is loaded.
AnalysisOutcome analyse_given_scene(Session& session, const std::string& path);

} // namespace trevanix
