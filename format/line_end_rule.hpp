#pragma once
// Which bytes end a scene's lines, as far as its first bytes tell. A file
// that holds a CR anywhere ends its lines at CR (and CR LF) only, unless a
// lone LF is asked to end a line too; a file without any CR that holds LF
// ends its lines at each LF. A CR among the first bytes settles it; a file
// seen whole settles it too; otherwise only a pass over the whole file can.
#include "format/scene_file.hpp"

namespace trevanix {

enum class LineEndRule {
    CarriageReturn, // a lone LF stays inside its line
    LineFeedToo,    // a lone LF ends a line too
    Unknown,        // the first bytes hold no CR and the file goes on
};

LineEndRule line_end_rule_from_start(const SceneFile& file);

} // namespace trevanix
