#pragma once
// Bytes appended in order and read back in the same order, for lists that
// grow with the number of objects in a scene (the objects an analysis passed,
// report entries waiting for their turn). The bytes stay in memory while they
// are few; beyond `memory_limit` they go to an unnamed temporary file, so a
// list of any length costs bounded memory. Nothing is ever written beside the
// scene: the temporary lives in the temporary folder ($TMPDIR, else /tmp)
// and disappears with its descriptor.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace trevanix {

class SpillBuffer {
public:
    explicit SpillBuffer(std::size_t memory_limit = std::size_t{1} << 20) : memory_limit_(memory_limit) {}
    ~SpillBuffer();
    SpillBuffer(SpillBuffer&& other) noexcept;
    SpillBuffer& operator=(SpillBuffer&& other) noexcept;
    SpillBuffer(const SpillBuffer&) = delete;
    SpillBuffer& operator=(const SpillBuffer&) = delete;

    void append(std::string_view bytes);
    // Forgets every byte; the temporary, if any, is closed.
    void clear() noexcept;

    std::uint64_t size() const noexcept { return spilled_ + static_cast<std::uint64_t>(tail_.size()); }
    bool empty() const noexcept { return size() == 0; }
    // A temporary was needed and could not be made or written: the bytes are
    // then kept in memory after all.
    bool spill_failed() const noexcept { return spill_failed_; }

    // Reads the bytes back from the start, a piece at a time.
    class Reader {
    public:
        explicit Reader(const SpillBuffer& buffer) : buffer_(buffer) {}
        // The next piece of at most `most` bytes; empty at the end.
        std::string_view next(std::size_t most = std::size_t{1} << 16);
        // The next byte; false at the end.
        bool next_byte(unsigned char& byte);
        // The next `count` bytes appended to `out`; false when fewer remain.
        bool next_bytes(std::size_t count, std::string& out);
        // The read of the temporary failed; what was read so far stands.
        bool failed() const noexcept { return failed_; }

    private:
        bool refill();

        const SpillBuffer& buffer_;
        std::uint64_t position_ = 0; // in the whole list
        std::string piece_;          // bytes read from the temporary, not yet handed out
        std::size_t piece_at_ = 0;
        bool failed_ = false;
    };

private:
    bool spill();

    std::size_t memory_limit_;
    std::string tail_;         // the bytes not yet in the temporary
    std::uint64_t spilled_ = 0; // bytes in the temporary
    int fd_ = -1;
    bool spill_failed_ = false;
};

} // namespace trevanix
