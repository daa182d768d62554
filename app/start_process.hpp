#pragma once
// The action behind the Start Process button, also run by an express
// analysis: the questions, progress and messages around the conversion.
#include "state/session.hpp"

namespace trevanix {

void start_process(Session& session);

} // namespace trevanix
