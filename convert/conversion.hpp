#pragma once
// The conversion: the whole action behind the Start_process button, also run
// by an express analysis.
#include "app/session.hpp"

namespace trevanix {

void start_process(Session& session);

} // namespace trevanix
