#pragma once
// An output file that only appears when it is complete.
//
// The bytes go to a temporary that no other program sees: on Linux an
// unnamed file in the target's folder (O_TMPFILE), or, where the file system
// refuses one, a named temporary beside the target. Full buffers are written
// by a background thread while the caller goes on filling the next one.
//
// Making the file appear takes three steps, so that several files can appear
// together (see OutputSet):
//   finish()  writes out what is buffered, gives the file the permissions of
//             the one it replaces and flushes its data to the disk;
//   place()   puts it in place of the target: linked directly when no target
//             exists, otherwise linked under a private name and swapped with
//             the target in one step (the previous file keeps the private
//             name until settle(), so undo_place() can put it back);
//   settle()  drops the previous file.
// commit() does all three for a single file and flushes the folder entry.
// A failed or abandoned write leaves the target as it was.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace trevanix {

// The steps an output goes through, as the fault seam sees them.
enum class OutputStep { Create, Write, Sync, Place };

// Test seams, inert unless a test sets them; normal runs pay one test of a
// null pointer per step.
struct OutputFileSeams {
    // Behave as on a file system that refuses unnamed temporaries.
    bool named_temporaries_only = false;
    // Called before each step for the file whose target is given; a nonzero
    // errno makes the step fail as the system would have.
    int (*fault)(OutputStep step, const std::string& target) = nullptr;
};
OutputFileSeams& output_file_seams() noexcept;

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

    // Creates the temporary in the target's folder. On failure returns false
    // and error() names the file and the system's reason.
    bool open(const std::string& target);
    bool write(std::string_view bytes);
    // Writes the text and CR LF.
    bool write_line(std::string_view text);
    // Writes out what is buffered and gives the buffers' memory back; the file
    // stays open for further writes.
    bool release_buffer();

    bool finish();
    bool place();
    // Puts back what place() replaced: the previous file, or no file. False
    // when the file system could not swap names and the previous file is gone.
    bool undo_place() noexcept;
    void settle() noexcept;
    // finish(), place(), the folder flushed, settle().
    bool commit();
    // Closes and removes the temporary; the target is left as it was.
    void abandon() noexcept;

    bool is_open() const noexcept { return fd_ >= 0; }
    bool unnamed() const noexcept { return fd_ >= 0 && temporary_.empty(); }
    const std::string& target() const noexcept { return target_; }
    // The named temporary, empty for an unnamed one.
    const std::string& temporary() const noexcept { return temporary_; }
    const std::string& error() const noexcept { return error_; }

private:
    enum class Placed { No, Created, Swapped, Replaced };

    bool open_unnamed(const std::string& folder);
    bool open_named();
    bool flush();
    bool link_under_private_name();
    bool fail(int code);
    void close_quietly() noexcept;

    int fd_ = -1;
    std::string target_;
    std::string temporary_; // named temporary, or the private name while placing
    std::string previous_;  // the replaced file, kept under a private name until settle()
    std::string buffer_;
    std::unique_ptr<BackgroundWriter> writer_;
    std::string error_;
    bool finished_ = false;
    Placed placed_ = Placed::No;
    unsigned replaced_mode_ = 0; // permissions of the file it replaces; 0: none
};

// Flushes the folder that holds `path`, so that names linked or renamed into
// it survive a power cut. False (with errno) when the folder could not be
// flushed; file systems that cannot flush folders count as flushed.
bool sync_folder_of(const std::string& path);

// The sentence shown when a file could not be written.
std::string write_error_text(const std::string& path, int code);

} // namespace trevanix
