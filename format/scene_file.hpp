#pragma once
// A scene file opened for reading, shared by the passes of one action.
//
// Only regular files are opened: a device, a pipe or a socket could block
// the open, never end, or hand out different bytes to each pass, so they are
// refused (checked before the open, and again on what was opened). The file
// is read with positioned reads, up to the size it had when it was opened;
// a file that shrinks meanwhile, or is written to between two passes, ends
// the reading with a clear sentence instead of a half-read scene.
#include <cstddef>
#include <cstdint>
#include <string>

namespace trevanix {

// Which file a scene is, and in which state: the file the analysis read is
// the file the conversion must read. A scene replaced by another file (a new
// inode) or written to (a new size or modification time) is another scene.
struct SceneIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modified_seconds = 0;
    std::int64_t modified_nanoseconds = 0;

    // False until a scene file was opened.
    bool known() const noexcept { return device != 0 || inode != 0; }
    bool operator==(const SceneIdentity&) const = default;
};

// How a read of the scene file went.
enum class ReadOutcome {
    Read,    // the bytes asked for are there (fewer only at the end of the file)
    Changed, // the file shrank or was rewritten while it was read
    Failed,  // the operating system reported an error
};

class SceneFile {
public:
    SceneFile() = default;
    ~SceneFile();
    SceneFile(const SceneFile&) = delete;
    SceneFile& operator=(const SceneFile&) = delete;

    // Opens a regular file for reading only; never blocks on a pipe or a
    // device. On failure returns false and sets error to a sentence the user
    // can act on.
    bool open(const std::string& path, std::string& error);
    // Opens the file only when it is still the one described by `expected`
    // (the same file, size and modification time); otherwise returns false
    // with changed_message().
    bool open_unchanged(const std::string& path, const SceneIdentity& expected, std::string& error);
    void close() noexcept;
    bool is_open() const noexcept { return fd_ >= 0; }

    const std::string& path() const noexcept { return path_; }
    // The size the file had when it was opened: every pass reads this far.
    std::uint64_t size() const noexcept { return identity_.size; }
    // The file as it was when it was opened.
    const SceneIdentity& identity() const noexcept { return identity_; }

    // Reads up to `length` bytes at `offset` into `into`, stopping at size();
    // `got` tells how many arrived.
    ReadOutcome read_at(std::uint64_t offset, char* into, std::size_t length, std::size_t& got) const;

    // True while the file still has the size and modification time it had
    // when it was opened: nobody wrote to it since.
    bool unchanged() const;

    // The sentence for a read that did not go through.
    std::string changed_message() const;
    std::string failed_message() const;

private:
    int fd_ = -1;
    std::string path_;
    SceneIdentity identity_;
};

// Empty when `path` names a regular file (or something that does not exist,
// which the open reports in its own words); otherwise the sentence that
// refuses it. Looks at the file without opening it.
std::string not_a_scene_file_reason(const std::string& path);

// True when the bytes start with a UTF-16 byte-order mark (FF FE or FE FF):
// the scene was saved as 16-bit text.
bool starts_with_utf16_mark(const char* bytes, std::size_t length) noexcept;

} // namespace trevanix
