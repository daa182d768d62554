#include "convert/left_out_accounting.hpp"

#include <limits>

namespace trevanix {

LeftOutAccounting::LeftOutAccounting(const PassedObjects& passed, LeftOutReport& report)
    : reader_(passed), report_(report)
{
    advance();
}

void LeftOutAccounting::advance() { has_next_ = reader_.next(next_); }

bool LeftOutAccounting::reach(std::int64_t line)
{
    while (has_next_ && next_.start_line < line) {
        report_.object_left_out(next_.start_line, next_.name, LeftOutReason::ObjectStartSkipped);
        advance();
    }
    return has_next_ && next_.start_line == line;
}

void LeftOutAccounting::object_written(std::int64_t start_line)
{
    if (reach(start_line))
        advance();
}

void LeftOutAccounting::object_left_out(std::int64_t start_line, LeftOutReason reason)
{
    // An object the analysis rejected is in the error log already.
    if (!reach(start_line))
        return;
    report_.object_left_out(next_.start_line, next_.name, reason);
    advance();
}

void LeftOutAccounting::finish() { reach(std::numeric_limits<std::int64_t>::max()); }

namespace {

// Numbers seven bits a byte, lowest first, the top bit marking that more follow.
void append_number(SpillBuffer& bytes, std::uint64_t value)
{
    char out[10];
    std::size_t n = 0;
    do {
        const auto low = static_cast<unsigned char>(value & 0x7F);
        value >>= 7;
        out[n++] = static_cast<char>(value != 0 ? (low | 0x80) : low);
    } while (value != 0);
    bytes.append(std::string_view(out, n));
}

bool next_number(SpillBuffer::Reader& reader, std::uint64_t& value)
{
    value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        unsigned char byte = 0;
        if (!reader.next_byte(byte))
            return false;
        value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0)
            return true;
    }
    return false;
}

} // namespace

void OutcomeRecord::add(std::int64_t start_line, unsigned code)
{
    append_number(bytes_, static_cast<std::uint64_t>(start_line));
    append_number(bytes_, code);
}

void OutcomeRecord::replay(ObjectOutcomes& to) const
{
    SpillBuffer::Reader reader(bytes_);
    std::uint64_t line = 0;
    std::uint64_t code = 0;
    while (next_number(reader, line) && next_number(reader, code)) {
        const auto start = static_cast<std::int64_t>(line);
        if (code == 0)
            to.object_written(start);
        else
            to.object_left_out(start, static_cast<LeftOutReason>(code - 1));
    }
}

} // namespace trevanix
