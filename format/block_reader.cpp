#include "format/block_reader.hpp"

#include <algorithm>
#include <cstring>

#include "format/line_scan.hpp"

namespace trevanix {

BlockReader::BlockReader(BlockReaderOptions options) : options_(options)
{
    options_.block_size = std::max<std::size_t>(options_.block_size, 16);
    options_.bytes_after = std::max<std::size_t>(options_.bytes_after, 1);
}

BlockReader::~BlockReader() { finish(); }

// Makes room for a block of `block_size` bytes with `room_before` free bytes
// in front. Pages are only taken as they are used, so a large room in front
// that holds only short line ends costs little.
void BlockReader::allocate(Buffer& buffer, std::size_t room_before, std::size_t block_size) const
{
    if (buffer.bytes && buffer.room_before >= room_before && buffer.block_size >= block_size)
        return;
    buffer.room_before = std::max(buffer.room_before, room_before);
    buffer.block_size = std::max(buffer.block_size, block_size);
    buffer.bytes.reset(new char[buffer.room_before + buffer.block_size + options_.bytes_after]);
    if (options_.find_line_ends)
        buffer.ends.reset(new std::uint32_t[buffer.block_size + line_scan_slack]);
}

// Reads the block at `offset` with the bytes after it, and finds its line ends.
void BlockReader::fill(Buffer& buffer, std::uint64_t offset) const
{
    ReadBlock& block = buffer.block;
    block.data = buffer.bytes.get() + buffer.room_before;
    block.ends = buffer.ends.get();
    block.size = 0;
    block.end_count = 0;
    block.last = true;
    buffer.outcome = BlockReadEnd::Whole;
    if (options_.stop && options_.stop->load(std::memory_order_relaxed)) {
        buffer.outcome = BlockReadEnd::Stopped;
        return;
    }
    std::size_t got = 0;
    switch (file_->read_at(offset, block.data, options_.block_size + options_.bytes_after, got)) {
    case ReadOutcome::Read:
        break;
    case ReadOutcome::Changed:
        buffer.outcome = BlockReadEnd::Changed;
        return;
    case ReadOutcome::Failed:
        buffer.outcome = BlockReadEnd::Failed;
        return;
    }
    block.size = std::min(got, options_.block_size);
    block.last = offset + block.size >= file_->size();
    // Past the end of the file the bytes after the block are zeros.
    std::memset(block.data + got, 0, block.size + options_.bytes_after - got);
    // The file written to meanwhile: what was read may mix two versions.
    if (block.last && !file_->unchanged()) {
        buffer.outcome = BlockReadEnd::Changed;
        return;
    }
    if (options_.find_line_ends)
        block.end_count = find_line_end_bytes(block.data, 0, block.size, options_.lf_ends_line, buffer.ends.get());
}

void BlockReader::start(const SceneFile& file)
{
    finish();
    file_ = &file;
    taken_ = 0;
    given_back_ = 0;
    filled_ = 0;
    quit_ = false;
    finished_ = false;
    end_ = BlockReadEnd::Whole;
    if (file.size() <= options_.block_size) {
        // One block: read it now, no helper needed. Nothing is ever carried
        // in front of it; a few bytes there still read as the file's start.
        allocate(buffers_[0], std::min<std::size_t>(options_.room_before, 64), static_cast<std::size_t>(file.size()));
        fill(buffers_[0], 0);
        filled_ = 1;
        return;
    }
    for (Buffer& buffer : buffers_)
        allocate(buffer, options_.room_before, options_.block_size);
    helper_ = std::thread([this] { read_ahead(); });
}

void BlockReader::finish() noexcept
{
    if (helper_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        helper_.join();
    }
    file_ = nullptr;
    finished_ = true;
}

// The helper: reads blocks one after another while a buffer is free, and
// stops after the last block, a failure or a stop.
void BlockReader::read_ahead()
{
    for (std::size_t block = 0;; ++block) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return quit_ || block < given_back_ + buffer_count; });
            if (quit_)
                return;
        }
        Buffer& buffer = buffers_[block % buffer_count];
        fill(buffer, static_cast<std::uint64_t>(block) * options_.block_size);
        const bool over = buffer.block.last || buffer.outcome != BlockReadEnd::Whole;
        {
            std::lock_guard lock(mutex_);
            filled_ = block + 1;
        }
        changed_.notify_all();
        if (over)
            return;
    }
}

bool BlockReader::wait_for(std::size_t block)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return filled_ > block; });
    return true;
}

bool BlockReader::next(ReadBlock& block, const char* keep, std::size_t keep_length)
{
    if (finished_)
        return false;
    if (taken_ > 0 && buffers_[(taken_ - 1) % buffer_count].block.last) {
        finished_ = true; // the last block was handed out before
        return false;
    }
    wait_for(taken_);
    Buffer& buffer = buffers_[taken_ % buffer_count];
    if (keep_length > 0)
        std::memmove(buffer.block.data - keep_length, keep, keep_length);
    if (taken_ > 0) {
        {
            std::lock_guard lock(mutex_);
            given_back_ = taken_; // every block before this one
        }
        changed_.notify_all();
    }
    ++taken_;
    if (buffer.outcome != BlockReadEnd::Whole) {
        end_ = buffer.outcome;
        finished_ = true;
        return false;
    }
    block = buffer.block;
    return true;
}

} // namespace trevanix
