#pragma once
// The Check_all switch and the clearing of the analysed scene.
#include "state/session.hpp"

namespace trevanix {

// Enables or disables the four options after Check_all's value has toggled.
void check_all_clicked(Session& session);

// Asks, then forgets the analysed scene and deletes the error log.
void clear_statistics(Session& session);

} // namespace trevanix
