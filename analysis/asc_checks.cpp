#include "analysis/asc_checks.hpp"

#include <string>

#include "format/asc_lines.hpp"
#include "format/asc_object_reader.hpp"
#include "format/text.hpp"

namespace trevanix {

namespace {

constexpr std::string_view counts_missing =
    "the line indicating the number of vertices and faces couldn't be found, this object was skipped.";
constexpr std::string_view counts_mistyped =
    "the line indicating the number of vertices and faces is mystiped, it's required the : indicator in both faces and vertices, this object was skipped.";
constexpr std::string_view zero_vertices =
    "the line indicating the number of vertices and faces indicates that the object has 0 vertices. This object was skipped since it would make Kb2 crash when importing it.";
constexpr std::string_view zero_faces =
    "the line indicating the number of vertices and faces indicates that the object has 0 faces. This object was skipped since it would make Kb2 crash when importing it.";
constexpr std::string_view too_many_faces =
    "the line indicating the number of vertices and faces indicates that the object has 65535 faces. This object was skipped since Kb2 doesn't import completly objects with more than 65535 faces.";
constexpr std::string_view no_mapping_nor_vertex_list =
    "the line indicating if the object is mapped or not is missing as well as the one indicating the vertex list, this object was skipped.";
constexpr std::string_view file_ends_inside =
    "the file ends before the end of this object, this object was skipped.";

std::string indexed_tail(std::string_view before, std::int64_t index, std::string_view after)
{
    std::string out(before);
    append_decimal(out, index);
    out += after;
    return out;
}

struct Rejection {
    RejectionReason reason;
    std::string tail;
};

// The rule an object broke, by where its reading stopped.
Rejection rejection_of(const AscObject& object)
{
    switch (object.stop) {
    case AscStop::CountsLineMissing:
        return {RejectionReason::CountsLineMissing, std::string(counts_missing)};
    case AscStop::CountsLineMalformed:
        return {RejectionReason::CountsLineMalformed, std::string(counts_mistyped)};
    case AscStop::ZeroVertices:
        return {RejectionReason::ZeroVertices, std::string(zero_vertices)};
    case AscStop::ZeroFaces:
        return {RejectionReason::ZeroFaces, std::string(zero_faces)};
    case AscStop::TooManyFaces:
        return {RejectionReason::TooManyFaces, std::string(too_many_faces)};
    case AscStop::MappingLineMissing:
        return {RejectionReason::MappingLineMissing, std::string(no_mapping_nor_vertex_list)};
    case AscStop::VertexLineMissing:
        return {RejectionReason::VertexLineMissing,
                indexed_tail("the line containing information about vertex nr ", object.failed_index,
                             " couldn't be found. This object was skipped since it would make Kb2 crash when importing it.")};
    case AscStop::FaceLineMissing:
        return {RejectionReason::FaceLineMissing,
                indexed_tail("the line containing information about face nr ", object.failed_index,
                             " couldn't be found. This object was skipped since it would make Kb2 crash when importing it.")};
    case AscStop::SmoothingLineMissing:
        return {RejectionReason::SmoothingLineMissing,
                indexed_tail("the line containing the smoothing groups settings in face nr ", object.failed_index,
                             " couldn't be found. Since this is a 3d scene using textures, this object was skipped.")};
    default:
        return {RejectionReason::ObjectCutShort, std::string(file_ends_inside)};
    }
}

} // namespace

ObjectCheck examine_asc_line(LineCursor& cursor, ErrorLog& log)
{
    ObjectCheck result;
    if (!asc::starts_object(cursor.line()))
        return result;
    AscObject object;
    AscObjectReader(ObjectReading::Checks).read(cursor, object);
    result.name = object.name;
    result.has_name = object.has_name;
    result.vertices = object.vertices;
    result.faces = object.faces;
    result.verdict = object.stop == AscStop::None ? ObjectVerdict::Passed : ObjectVerdict::Failed;
    if (object.stop == AscStop::NameNotQuoted) {
        log_unnamed_object(log, cursor.number());
    } else if (object.stop != AscStop::None) {
        const Rejection rejection = rejection_of(object);
        log_rejected_object(log, rejection.reason, cursor.number(), result.name, rejection.tail);
    }
    return result;
}

} // namespace trevanix
