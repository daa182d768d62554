#pragma once
// The action behind the analysis button.
#include "state/session.hpp"

namespace trevanix {

// Confirms and forgets a loaded scene, chooses the input (dialog, or the
// command-line scene), runs the analysis while the window shows its progress
// and totals, then gives the verdict, sets the buttons it allows, and starts
// an express conversion when one was asked for.
void analyse_scene(Session& session);

} // namespace trevanix
