#include "cli/scene_output.hpp"

#include <cstring>

namespace trevanix::cli {

// An unbuffered stream buffer: every character written goes straight into
// the scene's list of pieces, so the order of the two channels is kept.
class SceneOutput::ChannelBuffer : public std::streambuf {
public:
    ChannelBuffer(SceneOutput& owner, Channel channel) : owner_(owner), channel_(channel) {}

protected:
    int_type overflow(int_type ch) override
    {
        if (traits_type::eq_int_type(ch, traits_type::eof()))
            return traits_type::not_eof(ch);
        const char c = traits_type::to_char_type(ch);
        owner_.append(channel_, &c, 1);
        return ch;
    }

    std::streamsize xsputn(const char* text, std::streamsize size) override
    {
        owner_.append(channel_, text, static_cast<std::size_t>(size));
        return size;
    }

    int sync() override
    {
        owner_.flushed();
        return 0;
    }

private:
    SceneOutput& owner_;
    Channel channel_;
};

SceneOutput::SceneOutput(std::string err_prefix)
    : err_prefix_(std::move(err_prefix)), out_buffer_(std::make_unique<ChannelBuffer>(*this, Channel::Out)),
      err_buffer_(std::make_unique<ChannelBuffer>(*this, Channel::Err)), out_(out_buffer_.get()),
      err_(err_buffer_.get())
{
}

SceneOutput::~SceneOutput() = default;

void SceneOutput::append(Channel channel, const char* text, std::size_t size)
{
    if (pieces_.empty() || pieces_.back().channel != channel)
        pieces_.push_back({channel, {}});
    std::string& piece = pieces_.back().text;
    pending_size_ += size;
    if (channel == Channel::Out || err_prefix_.empty()) {
        piece.append(text, size);
    } else {
        for (std::size_t i = 0; i < size; ++i) {
            if (err_at_line_start_)
                piece += err_prefix_;
            piece.push_back(text[i]);
            err_at_line_start_ = text[i] == '\n';
        }
    }
    // Passed on as it comes, or moved out of memory while it waits, a huge
    // report is never held whole.
    if (sink_ && pending_size_ >= pass_on_size)
        flushed();
    else if (!sink_ && pending_size_ >= held_in_memory)
        spill_pieces();
}

void SceneOutput::spill_pieces()
{
    for (const OutputPiece& piece : pieces_) {
        char head[9];
        head[0] = piece.channel == Channel::Out ? 'o' : 'e';
        const std::uint64_t size = piece.text.size();
        std::memcpy(head + 1, &size, sizeof size);
        spilled_.append(std::string_view(head, sizeof head));
        spilled_.append(piece.text);
    }
    pieces_.clear();
    pending_size_ = 0;
}

void SceneOutput::drain(const std::function<void(std::vector<OutputPiece>&&)>& print)
{
    SpillBuffer::Reader reader(spilled_);
    std::vector<OutputPiece> group;
    std::size_t group_size = 0;
    std::string head;
    while (reader.next_bytes(9, head)) {
        std::uint64_t size = 0;
        std::memcpy(&size, head.data() + 1, sizeof size);
        OutputPiece piece{head[0] == 'o' ? Channel::Out : Channel::Err, {}};
        if (!reader.next_bytes(static_cast<std::size_t>(size), piece.text))
            break;
        head.clear();
        group_size += piece.text.size();
        group.push_back(std::move(piece));
        if (group_size >= pass_on_size) {
            print(std::move(group));
            group = {};
            group_size = 0;
        }
    }
    if (!group.empty())
        print(std::move(group));
    spilled_.clear();
    if (!pieces_.empty())
        print(take_pieces());
}

void SceneOutput::flushed()
{
    if (sink_ && !pieces_.empty())
        sink_(take_pieces());
}

std::vector<OutputPiece> SceneOutput::take_pieces()
{
    std::vector<OutputPiece> taken;
    taken.swap(pieces_);
    pending_size_ = 0;
    return taken;
}

} // namespace trevanix::cli
