#pragma once
// The action behind the analysis button.
#include <string>

#include "state/session.hpp"

namespace trevanix {

// Confirms and forgets a loaded scene, chooses the input (dialog, or the
// command-line scene), runs the analysis while the window shows its progress
// and totals, then gives the verdict, sets the buttons it allows, and starts
// an express conversion when one was asked for.
void analyse_scene(Session& session);

// Analyses the scene at `path` (a file dropped on the window) as the
// command-line start does, after the discard question when a scene is loaded.
void analyse_given_scene(Session& session, const std::string& path);

} // namespace trevanix
