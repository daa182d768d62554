#pragma once
// One reading of a scene for several passes that each read it from its
// first line, as the passes of an ".ase" analysis do (the material list's
// two passes, then the checks).
//
// The lines a pass takes from the file are kept, up to a bound, for the
// passes after it: those read the kept lines and then go on reading the
// file, so the file is read once. Each line is taken from the file once,
// and the lines that start an object are counted there. A pass that starts
// after the tape has overflowed its bound must read the file on its own.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "format/line_source.hpp"
#include "format/object_starts.hpp"

namespace trevanix {

class LineTape {
public:
    static constexpr std::size_t default_bound = std::size_t{8} << 20; // bytes of kept lines

    LineTape(LineSource& source, ObjectStartTally& tally, std::size_t bound = default_bound)
        : source_(source), tally_(tally), bound_(bound)
    {
    }
    LineTape(const LineTape&) = delete;
    LineTape& operator=(const LineTape&) = delete;

    // Every line taken from the file so far is kept: a new pass can read the
    // file from its first line through the tape.
    bool whole() const noexcept { return whole_; }
    // The pass about to start is the last one: it reads the kept lines, and
    // then the file directly, keeping nothing more.
    void last_pass() noexcept { keeping_ = false; }
    // Takes lines from the file (keeping them while the tape is whole) until
    // one starts an object or the file ends; true when some line taken so
    // far starts an object.
    bool take_until_object_start();
    // Takes the rest of the file, counting its lines and object starts only.
    void take_rest();

    LineSource& source() noexcept { return source_; }
    ObjectStartTally& tally() noexcept { return tally_; }

private:
    friend class LineCursor;

    struct Kept {
        std::size_t begin = 0;
        std::size_t size = 0;
        bool cut = false;
    };

    // Line `index` (0-based) for a cursor: a kept line, or the next line of
    // the file. `direct` tells the cursor to read the file itself from now on
    // (nothing more is kept). False at the end of the file.
    bool line(std::int64_t index, std::string_view& text, bool& cut, bool& direct);
    bool take(std::string_view& text);
    void keep(std::string_view text);

    LineSource& source_;
    ObjectStartTally& tally_;
    std::size_t bound_;
    std::string bytes_;
    std::vector<Kept> kept_;
    std::int64_t taken_ = 0; // lines taken from the file
    bool keeping_ = true;
    bool whole_ = true;
};

} // namespace trevanix
