#pragma once
// A file the program writes for the user (the error log) is made afresh at
// its path, never written through what stands there: a link is replaced, not
// followed; a regular file (perhaps a hard link to a file elsewhere) is
// removed and a new one created in its place with O_CREAT|O_EXCL|O_NOFOLLOW;
// a device, pipe or socket is never removed. The null device stands for "no
// file": what would be written is discarded.
#include <string>

namespace trevanix {

enum class FreshFileOutcome {
    Created,   // `fd` is open for writing on a new, empty regular file
    Discarded, // the path is the null device: nothing is to be written
    Refused,   // a device, pipe, socket or folder stands at the path
    Failed,    // the file could not be made; `error` holds the errno
};

struct FreshFile {
    FreshFileOutcome outcome = FreshFileOutcome::Failed;
    int fd = -1;
    int error = 0;
};

FreshFile create_fresh_file(const std::string& path);

// Removes a regular file or a link at `path`; anything else (a device, a
// pipe, a socket, a folder) stays. A missing file is no error.
void remove_plain_file(const std::string& path) noexcept;

} // namespace trevanix
