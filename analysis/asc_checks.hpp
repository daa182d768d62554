#pragma once
// The rules an ".asc" object must pass to be imported by Kolbrin2.
#include "analysis/scene_cursor.hpp"
#include "app/error_log.hpp"

namespace trevanix {

// Examines the current line of the checking pass. When it starts an object
// ("Named object"), reads and checks the object's further lines, writing one
// log line when the object fails. The cursor is left on the last line read.
ObjectCheck examine_asc_line(SceneCursor& cursor, ErrorLog& log);

} // namespace trevanix
