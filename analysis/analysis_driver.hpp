#pragma once
// The analysis of a scene: the whole action behind the analysis button.
#include "app/session.hpp"

namespace trevanix {

// Confirms and resets when a scene is loaded, chooses the input (dialog or the
// command-line path in impo), counts, reads the material list of an ".ase"
// scene, checks every object, shows the statistics and the verdict, and
// starts an express conversion when one was asked for.
void analyse_scene(Session& session);

} // namespace trevanix
