#pragma once
// The objects an analysis passed, each by the line that starts it and its
// name, in the order of the scene. The conversion walks this list beside the
// objects it writes, so that every object that passed and is not written can
// be named with its line. The list costs a few bytes an object and moves to a
// temporary file when it grows (see SpillBuffer), so a scene of any size is
// listed in bounded memory.
#include <cstdint>
#include <string>
#include <string_view>

#include "state/spill_buffer.hpp"

namespace trevanix {

class PassedObjects {
public:
    void clear() noexcept;
    // Start lines come in increasing order.
    void add(std::int64_t start_line, std::string_view name);
    std::int64_t count() const noexcept { return count_; }

    struct Entry {
        std::int64_t start_line = 0;
        std::string name;
    };

    // Reads the list from its first object.
    class Reader {
    public:
        explicit Reader(const PassedObjects& list) : reader_(list.bytes_) {}
        // The next object; false at the end of the list.
        bool next(Entry& entry);

    private:
        bool next_number(std::uint64_t& value);

        SpillBuffer::Reader reader_;
        std::int64_t last_line_ = 0;
    };

private:
    void append_number(std::uint64_t value);

    SpillBuffer bytes_;
    std::int64_t last_line_ = 0;
    std::int64_t count_ = 0;
};

} // namespace trevanix
