#include "analysis/ase_checks.hpp"

#include <string>

#include "format/asc_lines.hpp"
#include "format/ase_keywords.hpp"
#include "format/kolbrin_limits.hpp"
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

// A sub-material id as written after "*MESH_MTLID": the rest of the line must
// be a number that fits 16 bits (blanks around it are allowed).
std::optional<std::int16_t> read_submaterial_id(std::string_view text)
{
    const std::string_view body = trim_blanks(text);
    if (body.empty())
        return std::nullopt;
    std::size_t i = 0;
    if (body[i] == '+' || body[i] == '-')
        ++i;
    bool digits = false;
    while (i < body.size() && body[i] >= '0' && body[i] <= '9') {
        digits = true;
        ++i;
    }
    if (i < body.size() && body[i] == '.') {
        ++i;
        while (i < body.size() && body[i] >= '0' && body[i] <= '9') {
            digits = true;
            ++i;
        }
    }
    if (!digits || i != body.size())
        return std::nullopt;
    return to_int16(number_value(body));
}

} // namespace

ObjectCheck AseObjectChecker::examine(LineCursor& cursor)
{
    ObjectCheck result;
    if (!starts_with_upper(cursor.line(), ase_keyword::object_start))
        return result;

    auto fail = [&](RejectionReason reason, std::string_view tail) {
        log_rejected_object(log_, reason, cursor.number(), result.name, tail);
        result.verdict = ObjectVerdict::Failed;
        return result;
    };
    auto fatal = [&](std::string message) {
        result.fatal_message = std::move(message);
        result.verdict = ObjectVerdict::Fatal;
        return result;
    };
    auto broken = [&] { return fatal(messages::ase_invalid_structure); };
    // Reads lines until one matches keyword (upper-cased prefix test).
    auto read_until = [&](std::string_view keyword) {
        while (cursor.read())
            if (starts_with_upper(cursor.line(), keyword))
                return true;
        return false;
    };

    // Name: between the first two double quotes of the line after the object start.
    if (!cursor.read())
        return broken();
    {
        const auto name = asc::quoted_name(cursor.line());
        if (!name) {
            log_unnamed_object(log_, cursor.number());
            result.verdict = ObjectVerdict::Failed;
            return result;
        }
        result.name = std::string(*name);
        result.has_name = true;
    }

    if (!read_until(ase_keyword::vertex_count))
        return fatal(missing_count_message(result.name, "vertices"));
    result.vertices = number_value(mid(cursor.line(), ase_keyword::vertex_count.size() + 1));
    if (result.vertices == 0)
        return fail(RejectionReason::ZeroVertices, zero_vertices);

    if (!cursor.read())
        return broken();
    if (starts_with_upper(cursor.line(), ase_keyword::face_count)) {
        face_count_ = number_value(mid(cursor.line(), ase_keyword::face_count.size() + 1));
        if (face_count_ == 0) {
            result.faces = face_count_;
            return fail(RejectionReason::ZeroFaces, zero_faces);
        }
        if (kolbrin::too_many_faces(face_count_)) {
            result.faces = face_count_;
            return fail(RejectionReason::TooManyFaces, too_many_faces);
        }
    }
    result.faces = face_count_;

    // The face list: two lines are passed over untested (the vertex list's
    // opening line and its first vertex), then the search for the list's start.
    if (!cursor.read() || !cursor.read())
        return broken();
    while (!starts_with_upper(cursor.line(), ase_keyword::face_list))
        if (!cursor.read())
            return broken();
    if (!cursor.read())
        return broken();

    check_mtlids_.clear();
    for (std::int64_t i = 0; static_cast<double>(i) <= result.faces - 1; ++i) {
        const std::string_view line = cursor.line();
        const std::size_t at = position_of(line, ase_keyword::face_submaterial_id);
        const std::optional<std::int16_t> id =
            at ? read_submaterial_id(mid(line, at + ase_keyword::face_submaterial_id.size() + 1)) : std::nullopt;
        if (!id) {
            std::string tail = "the line indicating information about the face nr ";
            append_decimal(tail, i);
            tail += " doesn't indicate a valid sub-material reference. This whole object was skipped.";
            return fail(RejectionReason::UnreadableSubmaterialId, tail);
        }
        check_mtlids_.push_back(*id);
        if (!cursor.read())
            return broken();
    }

    if (!read_until(ase_keyword::mapping_vertex_count))
        return fatal(missing_count_message(result.name, "mapping vertices"));
    if (number_value(mid(cursor.line(), ase_keyword::mapping_vertex_count.size() + 1)) == 0)
        return fail(RejectionReason::ZeroMappingVertices, zero_mapping_vertices);

    if (!read_until(ase_keyword::mapping_face_count))
        return broken();
    if (number_value(mid(cursor.line(), ase_keyword::mapping_face_count.size() + 1)) == 0)
        return fail(RejectionReason::ZeroMappingFaces, zero_mapping_faces);

    // Closing scan: the material reference is the line right after the shadow
    // property; the wire colour there means the object has no material.
    for (;;) {
        if (starts_with_upper(cursor.line(), ase_keyword::shadow_property)) {
            if (!cursor.read())
                return broken();
            if (starts_with_upper(cursor.line(), ase_keyword::material_ref))
                break;
            if (starts_with_upper(cursor.line(), ase_keyword::wire_colour)) {
                result.verdict = ObjectVerdict::Passed;
                return result;
            }
        }
        if (!cursor.read())
            return broken();
    }

    // Sub-material check against the referenced material.
    const std::optional<std::int16_t> material = to_int16(number_value(mid(cursor.line(), ase_keyword::material_ref.size() + 1)));
    if (!material || *material < 0 || static_cast<std::size_t>(*material) >= submats_.size()) {
        std::string tail = "the line indicating the material of this object refers to a non-existant material (";
        tail += material ? format_number(static_cast<std::int64_t>(*material))
                         : format_number(number_value(mid(cursor.line(), ase_keyword::material_ref.size() + 1)));
        tail += "). This whole object was skipped.";
        return fail(RejectionReason::UnknownMaterial, tail);
    }
    const int available = submats_[static_cast<std::size_t>(*material)];
    for (std::size_t i = 0; i < check_mtlids_.size(); ++i) {
        const std::int16_t id = check_mtlids_[i];
        if (id > 0 && id >= available) {
            std::string tail = "the line indicating information about the face nr ";
            append_decimal(tail, static_cast<std::int64_t>(i));
            tail += "indicates a non-existant sub-material reference (";
            append_decimal(tail, id);
            tail += "). Please make sure that in your 3d modeller program you assign correctly every sub-material identifiers. This whole object was skipped.";
            result.invalid_submaterial = true;
            return fail(RejectionReason::InvalidSubmaterialId, tail);
        }
    }
    result.verdict = ObjectVerdict::Passed;
    return result;
}

} // namespace trevanix
