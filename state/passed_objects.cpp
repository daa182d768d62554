#include "state/passed_objects.hpp"

namespace trevanix {

// Numbers are written seven bits a byte, lowest first, the top bit marking
// that more follow; start lines as the distance from the previous one.

void PassedObjects::clear() noexcept
{
    bytes_.clear();
    last_line_ = 0;
    count_ = 0;
}

void PassedObjects::append_number(std::uint64_t value)
{
    char bytes[10];
    std::size_t n = 0;
    do {
        const auto low = static_cast<unsigned char>(value & 0x7F);
        value >>= 7;
        bytes[n++] = static_cast<char>(value != 0 ? (low | 0x80) : low);
    } while (value != 0);
    bytes_.append(std::string_view(bytes, n));
}

void PassedObjects::add(std::int64_t start_line, std::string_view name)
{
    append_number(static_cast<std::uint64_t>(start_line - last_line_));
    append_number(name.size());
    bytes_.append(name);
    last_line_ = start_line;
    ++count_;
}

bool PassedObjects::Reader::next_number(std::uint64_t& value)
{
    value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        unsigned char byte = 0;
        if (!reader_.next_byte(byte))
            return false;
        value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0)
            return true;
    }
    return false;
}

bool PassedObjects::Reader::next(Entry& entry)
{
    std::uint64_t distance = 0;
    std::uint64_t name_size = 0;
    if (!next_number(distance) || !next_number(name_size))
        return false;
    entry.name.clear();
    if (!reader_.next_bytes(static_cast<std::size_t>(name_size), entry.name))
        return false;
    last_line_ += static_cast<std::int64_t>(distance);
    entry.start_line = last_line_;
    return true;
}

} // namespace trevanix
