#pragma once
// The small types the analysis and the conversion hand up to the session:
// how pictures are renamed and what became of them, and how a conversion
// ended. Kept apart from the session so that the engine's floors need not
// know it.
#include <string>

namespace trevanix {

// Whether the analysis renames the pictures of shortened texture names, or
// only lists what it would rename (to inspect a scene without touching its folder).
enum class PictureRenaming { Rename, ListOnly };

// A picture of the TIFFRGB folder given its short texture name.
struct PictureRename {
    std::string from;
    std::string to;
};

// A picture of a shortened texture name that was not renamed, and why (a
// stable key, e.g. "linked_folder"; see unrenamed_picture_text).
struct UnrenamedPicture {
    std::string from;
    std::string to;
    std::string reason;
};

enum class ConversionStatus {
    NotRun,
    Completed,     // ran to its end
    Declined,      // stopped by a No answer
    RefusedTarget, // an output would have replaced the input
    WriteFailed,   // an output could not be written
    InputFailed,   // the input could not be read again, or changed since its analysis
    TargetBusy,    // another conversion was writing to the same target
};

} // namespace trevanix
