#pragma once
// The action behind the log button.
#include "state/session.hpp"

namespace trevanix {

// Hands the error log to the desktop's program for text files. When the
// desktop cannot show it, says so with the log's path and puts that path on
// the clipboard, so the user can open it by hand.
void open_error_log(Session& session);

} // namespace trevanix
