#pragma once
// How the examination of one line of a checking pass ended, the checks an
// object can fail, and the form of the log line of a rejected object.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "state/error_log.hpp"

namespace trevanix {

enum class ObjectVerdict {
    NotAnObject, // the line starts no object
    Passed,
    Failed,      // the object is skipped; its log line is written
    Fatal,       // the file's structure is broken: the analysis ends
};

// The check a rejected object failed: one per form of log line. Each has a
// stable key that reports name it by (see reason_key).
enum class RejectionReason {
    NameNotQuoted,            // both formats: no two double quotes around the name
    CountsLineMissing,        // ".asc": no "Tri-mesh" line after the name
    CountsLineMalformed,      // ".asc": the counts line lacks its ":" or "faces"
    ZeroVertices,             // both formats
    ZeroFaces,                // both formats
    TooManyFaces,             // both formats: more than 65535 faces
    MappingLineMissing,       // ".asc": neither "Mapped" nor "Vertex list" after the counts
    VertexLineMissing,        // ".asc"
    FaceLineMissing,          // ".asc"
    SmoothingLineMissing,     // ".asc"
    ObjectCutShort,           // ".asc": the file ends inside the object
    UnreadableSubmaterialId,  // ".ase": a face line without a readable "*MESH_MTLID"
    ZeroMappingVertices,      // ".ase"
    ZeroMappingFaces,         // ".ase"
    UnknownMaterial,          // ".ase": the material reference names no material of the list
    InvalidSubmaterialId,     // ".ase": a face's sub-material id beyond its material's
};

inline constexpr std::array all_rejection_reasons = {
    RejectionReason::NameNotQuoted,        RejectionReason::CountsLineMissing,
    RejectionReason::CountsLineMalformed,  RejectionReason::ZeroVertices,
    RejectionReason::ZeroFaces,            RejectionReason::TooManyFaces,
    RejectionReason::MappingLineMissing,   RejectionReason::VertexLineMissing,
    RejectionReason::FaceLineMissing,      RejectionReason::SmoothingLineMissing,
    RejectionReason::ObjectCutShort,       RejectionReason::UnreadableSubmaterialId,
    RejectionReason::ZeroMappingVertices,  RejectionReason::ZeroMappingFaces,
    RejectionReason::UnknownMaterial,      RejectionReason::InvalidSubmaterialId,
};

// The snake_case key of a reason, e.g. "zero_faces". Keys never change.
std::string_view reason_key(RejectionReason reason) noexcept;

struct ObjectCheck {
    ObjectVerdict verdict = ObjectVerdict::NotAnObject;
    std::string name;                 // the object's name, once read
    bool has_name = false;
    double vertices = 0;
    double faces = 0;
    bool invalid_submaterial = false; // failed the sub-material id check
    std::string fatal_message;        // for Fatal: the message to show
};

// Writes the log line of an object, known by its name, that failed `reason`:
// "Error in line L (object 'NAME') : " + tail.
void log_rejected_object(ErrorLog& log, RejectionReason reason, std::int64_t line_number, std::string_view name,
                         std::string_view tail);
// Writes the log line of an object whose name could not be read:
// "Error in line L : the quotes indicating the name of the object are missing".
void log_unnamed_object(ErrorLog& log, std::int64_t line_number);

} // namespace trevanix
