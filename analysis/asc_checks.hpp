#pragma once
// The rules an ".asc" object must pass to be imported by Kolbrin2.
#include "analysis/object_check.hpp"
#include "format/line_cursor.hpp"
#include "state/error_log.hpp"

namespace trevanix {

// Examines the current line of the checking pass. When it starts an object
// (its object-name line), reads and checks the object's further lines, writing one
// log line when the object fails. The cursor is left on the last line read.
ObjectCheck examine_asc_line(LineCursor& cursor, ErrorLog& log);

} // namespace trevanix
