#pragma once
// Reads a scene file block after block, one block ahead of its reader.
//
// Three buffers take turns: while the reader works on one block, a helper
// thread reads the next ones into the others and, when asked, finds their
// line ends, so the copy from the operating system and the scan run beside
// the reader's own work, and a block that takes one of them longer than the
// other does not hold the other up. A file no larger than one block is read at once,
// without a thread.
//
// Each block has free room in front of it, where the reader may move the
// unfinished end of the block before (a line that runs on), and the bytes
// that follow it (zeros past the end of the file) behind it.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "format/scene_file.hpp"

namespace trevanix {

struct BlockReaderOptions {
    std::size_t block_size = std::size_t{1} << 20;
    std::size_t room_before = 0; // free bytes in front of each block
    std::size_t bytes_after = 1; // bytes that follow the block, held after it
    bool find_line_ends = false; // find the line-end bytes of each block
    bool lf_ends_line = false;   // LF bytes are line ends too
    const std::atomic<bool>* stop = nullptr;
};

struct ReadBlock {
    char* data = nullptr;    // the block's bytes
    std::size_t size = 0;
    bool last = false;       // the file ends with this block
    // With find_line_ends: the offsets (from data) of the line-end bytes of
    // data[0, size), in order.
    const std::uint32_t* ends = nullptr;
    std::size_t end_count = 0;
};

enum class BlockReadEnd {
    Whole,   // the last block has been handed out
    Failed,  // the operating system reported an error
    Changed, // the file shrank or was written to while it was read
    Stopped, // a stop was requested
};

class BlockReader {
public:
    explicit BlockReader(BlockReaderOptions options);
    ~BlockReader();
    BlockReader(const BlockReader&) = delete;
    BlockReader& operator=(const BlockReader&) = delete;

    // Starts reading `file` from its first byte; it must stay open until
    // finish() or the next start().
    void start(const SceneFile& file);
    // Stops reading; the blocks handed out are no longer valid.
    void finish() noexcept;

    // The next block, valid until the next call. The `keep_length` bytes at
    // `keep` (within the block handed out before, or the room in front of it)
    // are first copied right in front of the new block; then the block before
    // is given back. False when no block is left or reading ended early (see
    // end()).
    bool next(ReadBlock& block, const char* keep = nullptr, std::size_t keep_length = 0);
    BlockReadEnd end() const noexcept { return end_; }

private:
    struct Buffer {
        std::unique_ptr<char[]> bytes;
        std::unique_ptr<std::uint32_t[]> ends;
        std::size_t room_before = 0; // what the allocation holds
        std::size_t block_size = 0;
        ReadBlock block;
        BlockReadEnd outcome = BlockReadEnd::Whole;
    };

    void allocate(Buffer& buffer, std::size_t room_before, std::size_t block_size) const;
    void fill(Buffer& buffer, std::uint64_t offset) const;
    void read_ahead();
    bool wait_for(std::size_t block);

    BlockReaderOptions options_;
    const SceneFile* file_ = nullptr;
    static constexpr std::size_t buffer_count = 3;
    Buffer buffers_[buffer_count]; // block k lives in buffers_[k % buffer_count]
    std::size_t taken_ = 0;     // blocks handed out so far
    bool finished_ = true;      // no block is left to hand out
    BlockReadEnd end_ = BlockReadEnd::Whole;

    // The helper thread and what it shares with the reader: blocks below
    // `given_back_` are free again, blocks below `filled_` are read.
    std::thread helper_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool quit_ = false;
    std::size_t given_back_ = 0;
    std::size_t filled_ = 0;
};

} // namespace trevanix
