#pragma once
// The rules an ".ase" geometric object must pass to be imported by Kolbrin2,
// and the structure errors that make a whole file unreadable. The object is
// read by the one ".ase" object reader, as the checks read it.
#include <vector>

#include "analysis/object_check.hpp"
#include "format/ase_object_reader.hpp"
#include "format/line_cursor.hpp"
#include "state/error_log.hpp"

namespace trevanix {

class AseObjectChecker {
public:
    // submaterial_counts: number of sub-materials of each material, from the material list.
    AseObjectChecker(ErrorLog& log, const std::vector<int>& submaterial_counts)
        : log_(log), submats_(submaterial_counts), reader_(ObjectReading::Checks)
    {
    }

    // Examines the current line of the checking pass. When it starts an object
    // ("*GEOMOBJECT"), reads and checks the object's further lines. The cursor
    // is left on the last line read.
    ObjectCheck examine(LineCursor& cursor);

private:
    ObjectCheck judge_stop(const LineCursor& cursor, ObjectCheck& result);
    ObjectCheck judge_material(const LineCursor& cursor, ObjectCheck& result);
    ObjectCheck fail(const LineCursor& cursor, ObjectCheck& result, RejectionReason reason, std::string_view tail);

    ErrorLog& log_;
    const std::vector<int>& submats_;
    AseObjectReader reader_;
    AseObject object_; // reused from object to object
};

} // namespace trevanix
