#pragma once
// Why an object loop leaves an object out, and where it says so. The loops
// read objects by rules of their own (the names, lists and indices they need
// to write a block), so an object can pass the analysis and still not be
// written; each such case has a stable key that reports name it by. The keys
// are spelled as the rule of the object's reading that fails, so that they
// stay the same when those rules move into one reader per format.
#include <array>
#include <cstdint>
#include <string_view>

namespace trevanix {

enum class LeftOutReason {
    NameNotQuoted,                 // no two double quotes around the name
    LodName,                       // ".ase": the name begins with "LOD"
    ObjectCutShort,                // the file ends inside the object
    CountsUnusable,                // a count is not a whole number the loop can use
    ZeroVertices,
    ZeroFaces,
    TooManyFaces,                  // more than 65535 faces
    FaceCountLineMissing,          // ".ase": the face count does not follow the vertex count
    VertexListMissing,             // ".ase": no vertex list where the counts end
    FaceListMissing,               // ".ase": no face list after the vertex list
    VertexLineMissing,             // ".asc": no vertex section, or a vertex line missing or out of order
    FaceLineMissing,               // ".asc": no face section, or a face line missing or out of order
    ZeroMappingVertices,           // ".ase"
    ZeroMappingFaces,              // ".ase"
    MappingFaceCountDiffers,       // ".ase": mapping faces and faces differ in number
    UnknownMaterial,               // ".ase": the material reference names no material of the list
    InvalidSubmaterialId,          // ".ase": a face's sub-material id beyond its material's
    FaceLineUnreadable,            // ".ase": a face line lacks a label or its sub-material id
    MappingFaceLineUnreadable,     // ".ase": a mapping face line lacks its keyword or a corner
    VertexIndexOutOfRange,         // ".ase": a face corner names no vertex of the list
    VertexLineUnreadable,          // ".ase": a vertex line lacks one of its three values
    MappingVertexIndexOutOfRange,  // ".ase": a mapping corner names no mapping vertex
    MappingVertexLineUnreadable,   // ".ase": a mapping vertex line lacks its keyword or a value
    VertexValuesUnreadable,        // the axis flip finds no X, Y and Z labels in a vertex line
    ObjectStartSkipped,            // the loop read the object's first line as part of the lines before it
};

inline constexpr std::array all_left_out_reasons = {
    LeftOutReason::NameNotQuoted,         LeftOutReason::LodName,
    LeftOutReason::ObjectCutShort,        LeftOutReason::CountsUnusable,
    LeftOutReason::ZeroVertices,          LeftOutReason::ZeroFaces,
    LeftOutReason::TooManyFaces,          LeftOutReason::FaceCountLineMissing,
    LeftOutReason::VertexListMissing,     LeftOutReason::FaceListMissing,
    LeftOutReason::VertexLineMissing,     LeftOutReason::FaceLineMissing,
    LeftOutReason::ZeroMappingVertices,   LeftOutReason::ZeroMappingFaces,
    LeftOutReason::MappingFaceCountDiffers, LeftOutReason::UnknownMaterial,
    LeftOutReason::InvalidSubmaterialId,  LeftOutReason::FaceLineUnreadable,
    LeftOutReason::MappingFaceLineUnreadable, LeftOutReason::VertexIndexOutOfRange,
    LeftOutReason::VertexLineUnreadable,  LeftOutReason::MappingVertexIndexOutOfRange,
    LeftOutReason::MappingVertexLineUnreadable, LeftOutReason::VertexValuesUnreadable,
    LeftOutReason::ObjectStartSkipped,
};

// The snake_case key, e.g. "lod_name". Keys never change.
std::string_view left_out_key(LeftOutReason reason) noexcept;
// What the reason means, as a clause for the user ("its name begins with LOD").
std::string_view left_out_text(LeftOutReason reason) noexcept;

// Told by an object loop about every object it meets, in the order of the
// scene, by the line that starts the object.
class ObjectOutcomes {
public:
    virtual ~ObjectOutcomes() = default;
    virtual void object_written(std::int64_t start_line) = 0;
    virtual void object_left_out(std::int64_t start_line, LeftOutReason reason) = 0;
};

} // namespace trevanix
