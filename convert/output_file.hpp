#pragma once
// An output file that only appears when it is complete.
//
// The bytes go to a temporary file beside the target, through a large buffer;
// commit() renames the temporary over the target. A failed or abandoned write
// removes the temporary, so the target is either the previous file, untouched,
// or the complete new one.
#include <cstddef>
#include <string>
#include <string_view>

namespace trevanix {

class OutputFile {
public:
    static constexpr std::size_t buffer_size = std::size_t{1} << 20;

    OutputFile() = default;
    ~OutputFile() { abandon(); }
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary file beside `target`. On failure returns false and
    // error() names the file and the system's reason.
    bool open(const std::string& target);
    bool write(std::string_view bytes);
    // Writes the text and CR LF.
    bool write_line(std::string_view text);
    // Writes out what is buffered and gives the buffer's memory back; the file
    // stays open for further writes and commit().
    bool release_buffer();
    // Flushes, closes and renames the temporary over the target.
    bool commit();
    // Closes and removes the temporary; the target is left as it was.
    void abandon() noexcept;

    bool is_open() const noexcept { return fd_ >= 0; }
    const std::string& target() const noexcept { return target_; }
    const std::string& temporary() const noexcept { return temporary_; }
    const std::string& error() const noexcept { return error_; }

private:
    bool flush();
    bool write_all(const char* data, std::size_t size);
    bool fail(int code);

    int fd_ = -1;
    std::string target_;
    std::string temporary_;
    std::string buffer_;
    std::string error_;
};

// The sentence shown when a file could not be written.
std::string write_error_text(const std::string& path, int code);

} // namespace trevanix
