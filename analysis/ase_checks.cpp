#include "analysis/ase_checks.hpp"

#include <string>

#include "format/ase_keywords.hpp"
#include "format/text.hpp"
#include "state/messages.hpp"

namespace trevanix {

namespace {

constexpr std::string_view zero_vertices =
    "the line indicating the number of vertices indicates that the object has 0 vertices. This object was skipped since it would make Kb2 crash when importing it.";
constexpr std::string_view zero_faces =
    "the line indicating the number of faces indicates that the object has 0 faces. This object was skipped since it would make Kb2 crash when importing it.";
constexpr std::string_view too_many_faces =
    "the line indicating the number of faces indicates that the object has 65535 faces. This object was skipped since Kb2 doesn't import completly objects with more than 65535 faces.";
constexpr std::string_view zero_mapping_vertices =
    "the line indicating the number of mapping vertices indicates that the object has 0 mapping vertices. This object was skipped since it would make Kb2 crash when importing it.";
constexpr std::string_view zero_mapping_faces =
    "the line indicating the number of mapping faces indicates that the object has 0 mapping faces. This object was skipped since it would make Kb2 crash when importing it.";

std::string missing_count_message(const std::string& name, std::string_view what)
{
    return "This .ase file is invalid (the object " + name + " doesn't have a line indicating the number of " +
           std::string(what) +
           " of this object). Unfortunately it's not possible to just skip this object, please remove this object in the 3d scene in the 3d modelling program.";
}

ObjectCheck fatal(ObjectCheck& result, std::string message)
{
    result.fatal_message = std::move(message);
    result.verdict = ObjectVerdict::Fatal;
    return result;
}

std::string unreadable_id_tail(std::int64_t face)
{
    std::string tail = "the line indicating information about the face nr ";
    append_decimal(tail, face);
    tail += " doesn't indicate a valid sub-material reference. This whole object was skipped.";
    return tail;
}

std::string unknown_material_tail(double number)
{
    const std::optional<std::int16_t> material = to_int16(number);
    std::string tail = "the line indicating the material of this object refers to a non-existant material (";
    tail += material ? format_number(static_cast<std::int64_t>(*material)) : format_number(number);
    tail += "). This whole object was skipped.";
    return tail;
}

std::string invalid_id_tail(std::size_t face, std::int16_t id)
{
    std::string tail = "the line indicating information about the face nr ";
    append_decimal(tail, static_cast<std::int64_t>(face));
    tail += "indicates a non-existant sub-material reference (";
    append_decimal(tail, id);
    tail += "). Please make sure that in your 3d modeller program you assign correctly every sub-material identifiers. This whole object was skipped.";
    return tail;
}

} // namespace

ObjectCheck AseObjectChecker::fail(const LineCursor& cursor, ObjectCheck& result, RejectionReason reason,
                                   std::string_view tail)
{
    log_rejected_object(log_, reason, cursor.number(), result.name, tail);
    result.verdict = ObjectVerdict::Failed;
    return result;
}

ObjectCheck AseObjectChecker::examine(LineCursor& cursor)
{
    ObjectCheck result;
    if (!starts_with_upper(cursor.line(), ase_keyword::object_start))
        return result;
    reader_.read(cursor, object_);
    result.name = object_.name;
    result.has_name = object_.has_name;
    result.vertices = object_.vertices;
    result.faces = object_.faces;
    if (object_.stop != AseStop::None)
        return judge_stop(cursor, result);
    return judge_material(cursor, result);
}

// The reading stopped before the object's end: the rule it broke.
ObjectCheck AseObjectChecker::judge_stop(const LineCursor& cursor, ObjectCheck& result)
{
    switch (object_.stop) {
    case AseStop::NameNotQuoted:
        log_unnamed_object(log_, cursor.number());
        result.verdict = ObjectVerdict::Failed;
        return result;
    case AseStop::VertexCountMissing:
        return fatal(result, missing_count_message(result.name, "vertices"));
    case AseStop::MappingVertexCountMissing:
        return fatal(result, missing_count_message(result.name, "mapping vertices"));
    case AseStop::ZeroVertices:
        return fail(cursor, result, RejectionReason::ZeroVertices, zero_vertices);
    case AseStop::ZeroFaces:
        return fail(cursor, result, RejectionReason::ZeroFaces, zero_faces);
    case AseStop::TooManyFaces:
        return fail(cursor, result, RejectionReason::TooManyFaces, too_many_faces);
    case AseStop::UnreadableSubmaterialId:
        return fail(cursor, result, RejectionReason::UnreadableSubmaterialId,
                    unreadable_id_tail(object_.unreadable_face));
    case AseStop::ZeroMappingVertices:
        return fail(cursor, result, RejectionReason::ZeroMappingVertices, zero_mapping_vertices);
    case AseStop::ZeroMappingFaces:
        return fail(cursor, result, RejectionReason::ZeroMappingFaces, zero_mapping_faces);
    default:
        // The file ends inside the object: the structure is broken.
        return fatal(result, messages::ase_invalid_structure);
    }
}

// The object was read whole: its material reference and its faces'
// sub-material ids must name what the material list holds.
ObjectCheck AseObjectChecker::judge_material(const LineCursor& cursor, ObjectCheck& result)
{
    if (!object_.has_material_reference) {
        result.verdict = ObjectVerdict::Passed; // a wire colour: no material
        return result;
    }
    const std::optional<std::int16_t> material = to_int16(object_.material_number);
    if (!material || *material < 0 || static_cast<std::size_t>(*material) >= submats_.size())
        return fail(cursor, result, RejectionReason::UnknownMaterial, unknown_material_tail(object_.material_number));
    const int available = submats_[static_cast<std::size_t>(*material)];
    for (std::size_t i = 0; i < object_.submaterial_ids.size(); ++i) {
        const std::int16_t id = object_.submaterial_ids[i];
        if (id > 0 && id >= available) {
            result.invalid_submaterial = true;
            return fail(cursor, result, RejectionReason::InvalidSubmaterialId, invalid_id_tail(i, id));
        }
    }
    result.verdict = ObjectVerdict::Passed;
    return result;
}

} // namespace trevanix
