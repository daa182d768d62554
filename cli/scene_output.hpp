#pragma once
// What one scene prints, kept in the order it was printed: pieces of standard
// output and standard error. Scenes that run side by side keep their text
// here, and the run prints it scene by scene in input order, so the lines of
// two scenes never mix. Text waiting for its turn beyond a megabyte goes to a
// temporary file, so a long report costs bounded memory.
#include <functional>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "state/spill_buffer.hpp"

namespace trevanix::cli {

enum class Channel { Out, Err };

struct OutputPiece {
    Channel channel = Channel::Out;
    std::string text;
};

class SceneOutput {
public:
    // `err_prefix`: put before every line of standard error (a scene's name
    // when several scenes share the terminal); "" for none.
    explicit SceneOutput(std::string err_prefix = {});
    ~SceneOutput();
    SceneOutput(const SceneOutput&) = delete;
    SceneOutput& operator=(const SceneOutput&) = delete;

    std::ostream& out() noexcept { return out_; }
    std::ostream& err() noexcept { return err_; }

    // When set, every flush of either stream, and every 64 KiB of output,
    // hands the pieces printed so far to `sink` (a lone scene shows its
    // messages as they come).
    void pass_on_flush(std::function<void(std::vector<OutputPiece>&&)> sink) { sink_ = std::move(sink); }

    // The pieces printed and not yet passed on, in order (those held in
    // memory: see drain()).
    std::vector<OutputPiece> take_pieces();
    // Hands every piece printed and not yet passed on to `print`, in order,
    // a group at a time, those moved to the temporary file first.
    void drain(const std::function<void(std::vector<OutputPiece>&&)>& print);

private:
    class ChannelBuffer;
    void append(Channel channel, const char* text, std::size_t size);
    void flushed();
    void spill_pieces();

    static constexpr std::size_t pass_on_size = std::size_t{1} << 16;
    static constexpr std::size_t held_in_memory = std::size_t{1} << 20;

    std::vector<OutputPiece> pieces_;
    SpillBuffer spilled_; // pieces as records: channel byte, 8-byte size, the text
    std::size_t pending_size_ = 0;
    std::string err_prefix_;
    bool err_at_line_start_ = true;
    std::function<void(std::vector<OutputPiece>&&)> sink_;
    std::unique_ptr<ChannelBuffer> out_buffer_;
    std::unique_ptr<ChannelBuffer> err_buffer_;
    std::ostream out_;
    std::ostream err_;
};

} // namespace trevanix::cli
