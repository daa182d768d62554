#pragma once
// An output file that only appears when it is complete.
//
// The bytes go to a temporary that no other program sees: on Linux an
// unnamed file in the target's folder (O_TMPFILE), or, where the file system
// refuses one, a named temporary beside the target. Full buffers are written
// by a background thread while the caller goes on filling the next one.
// Everything happens relative to the target folder's descriptor (see
// TargetFolder), never through the folder's path.
//
// Making the file appear takes four steps, so that several files can appear
// together (see OutputSet):
//   finish()  writes out what is buffered and gives the file the permissions
//             of the one it replaces (complete()), and flushes its data to
//             the disk (flush_to_disk());
//   stage()   gives the complete file a private name beside the target (an
//             unnamed file is linked under it) and closes it: from here on
//             it survives the process, and a recovery can find it by the
//             inode() it had. A file staged before it is flushed is flushed
//             through its private name;
//   place()   puts it in place of the target: renamed when no target
//             exists, otherwise swapped with the target in one step (the
//             previous file takes the private name until settle(), so
//             undo_place() can put it back);
//   settle()  drops the previous file.
// A failed or abandoned write leaves the target as it was.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace trevanix {

class TargetFolder;

// The steps an output goes through, as the fault seam sees them. Journal is
// the placement journal written before the first placement and removed
// after the last (see OutputSet).
enum class OutputStep { Create, Write, Sync, Stage, Journal, Place, Settle };

// Test seams, inert unless a test sets them; normal runs pay one test of a
// null pointer per step.
struct OutputFileSeams {
    // Behave as on a file system that refuses unnamed temporaries.
    bool named_temporaries_only = false;
    // Called before each step for the file whose target is given; a nonzero
    // errno makes the step fail as the system would have (Settle cannot fail).
    int (*fault)(OutputStep step, const std::string& target) = nullptr;
};
OutputFileSeams& output_file_seams() noexcept;

// The fault seam: 0 unless a test makes this step fail.
int injected_fault(OutputStep step, const std::string& target) noexcept;

class BackgroundWriter;

class OutputFile {
public:
    static constexpr std::size_t buffer_size = std::size_t{1} << 20;

    OutputFile();
    ~OutputFile();
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary in `folder`, which holds `target` and must
    // outlive this file. On failure returns false and error() names the
    // file and the system's reason.
    bool open(const TargetFolder& folder, const std::string& target);
    // Gives a file written before its name was settled the target it is
    // placed as (and the permissions of the file that one replaces).
    void retarget(const std::string& target);
    bool write(std::string_view bytes);
    // Writes the text and CR LF.
    bool write_line(std::string_view text);
    // Writes out what is buffered and gives the buffers' memory back; the file
    // stays open for further writes.
    bool release_buffer();

    bool complete();
    // May run for several files of a set at once, on threads of their own.
    bool flush_to_disk();
    bool finish();
    bool stage();
    bool place();
    // Puts back what place() replaced: the previous file, or no file. False
    // when the file system could not swap names and the previous file is gone.
    bool undo_place() noexcept;
    void settle() noexcept;
    // Closes and removes the temporary; the target is left as it was.
    void abandon() noexcept;

    // Open for writing: neither staged nor abandoned.
    bool is_open() const noexcept { return fd_ >= 0 && !staged_; }
    bool staged() const noexcept { return staged_; }
    // The target's path as given to open(), and its name in the folder.
    const std::string& target() const noexcept { return target_; }
    const std::string& name() const noexcept { return name_; }
    // The private name in the folder once staged (empty for an unnamed
    // temporary before that).
    const std::string& temporary() const noexcept { return temporary_; }
    // The file's inode once staged.
    std::uint64_t inode() const noexcept { return inode_; }
    const std::string& error() const noexcept { return error_; }

private:
    enum class Placed { No, Created, Swapped, Replaced };

    bool open_unnamed();
    bool open_named();
    void note_replaced_mode();
    bool flush();
    bool link_under_private_name();
    int move_into_place(bool target_exists);
    bool fail(int code);
    void close_quietly() noexcept;

    const TargetFolder* folder_ = nullptr;
    int fd_ = -1;
    std::string target_;
    std::string name_;
    std::string temporary_; // named temporary, or the private name once staged
    std::string previous_;  // the replaced file, kept under a private name until settle()
    std::string buffer_;
    std::unique_ptr<BackgroundWriter> writer_;
    std::string error_;
    bool completed_ = false; // written out: no more writes
    bool flushed_ = false;
    bool staged_ = false;
    Placed placed_ = Placed::No;
    unsigned replaced_mode_ = 0; // permissions of the file it replaces; 0: none
    std::uint64_t inode_ = 0;
};

// A private name beside `name` in its folder, unique to this process:
// "NAME.trevanix-PID-N.tmp".
std::string private_name_for(const std::string& name);

// The sentence shown when a file could not be written.
std::string write_error_text(const std::string& path, int code);

} // namespace trevanix
