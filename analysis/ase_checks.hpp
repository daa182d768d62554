#pragma once
// The rules an ".ase" geometric object must pass to be imported by Kolbrin2,
// and the structure errors that make a whole file unreadable.
#include <cstdint>
#include <vector>

#include "analysis/object_check.hpp"
#include "format/line_cursor.hpp"
#include "state/error_log.hpp"

namespace trevanix {

class AseObjectChecker {
public:
    // submaterial_counts: number of sub-materials of each material, from the material list.
    AseObjectChecker(ErrorLog& log, const std::vector<int>& submaterial_counts) : log_(log), submats_(submaterial_counts) {}

    // Examines the current line of the checking pass. When it starts an object
    // ("*GEOMOBJECT"), reads and checks the object's further lines. The cursor
    // is left on the last line read.
    ObjectCheck examine(LineCursor& cursor);

private:
    ErrorLog& log_;
    const std::vector<int>& submats_;
    // An object whose face-count line does not follow its vertex-count line
    // keeps the face count of the object before it.
    double face_count_ = 0;
    std::vector<std::int16_t> check_mtlids_; // sub-material id of each face, reused per object
};

} // namespace trevanix
