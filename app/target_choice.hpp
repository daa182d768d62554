#pragma once
// Choosing the target ".asc" file, and the character check on Text2.
#include <string>

#include "state/session.hpp"

namespace trevanix {

// Shows the save dialog; refuses an empty choice and the input file itself;
// on success keeps the chosen target and, while a scene is loaded, enables
// Start_process.
void choose_target(Session& session);

// The target to use: a chosen name gets ".asc" when it lacks it.
std::string normalised_target(const std::string& chosen);

// Refuses "!" and "\" in Text2, replacing the text with "Group".
void check_text2(Session& session, const std::string& text);

} // namespace trevanix
