#pragma once
// The Check_all switch and the clearing of the analysed scene.
#include "convert/conversion.hpp"
#include "state/session.hpp"

namespace trevanix {

// Enables or disables the four options after Check_all's value has toggled.
// The options the check boxes choose, as the conversion takes them: each is
// chosen when Check_all or its own box is checked.
ConversionOptions chosen_options(const Controls& c) noexcept;

void check_all_clicked(Session& session);

// Asks, then forgets the analysed scene and deletes the error log.
void clear_statistics(Session& session);

} // namespace trevanix
