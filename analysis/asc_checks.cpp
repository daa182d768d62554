#include "analysis/asc_checks.hpp"

#include <string>

#include "format/asc_lines.hpp"
#include "format/kolbrin_limits.hpp"
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

class AscObjectExamination {
public:
    AscObjectExamination(LineCursor& cursor, ErrorLog& log) : cursor_(cursor), log_(log) {}

    ObjectCheck run()
    {
        if (!read_name())
            return fail_unnamed();
        if (!advance())
            return result_;
        const std::string_view counts = cursor_.line();
        if (!starts_with_lower(counts, asc::counts))
            return fail(RejectionReason::CountsLineMissing, counts_missing);
        if (!read_counts(counts))
            return fail(RejectionReason::CountsLineMalformed, counts_mistyped);
        if (result_.vertices == 0)
            return fail(RejectionReason::ZeroVertices, zero_vertices);
        if (result_.faces == 0)
            return fail(RejectionReason::ZeroFaces, zero_faces);
        if (kolbrin::too_many_faces(result_.faces))
            return fail(RejectionReason::TooManyFaces, too_many_faces);
        if (!advance())
            return result_;
        const std::string_view header = cursor_.line();
        const bool mapped = starts_with_lower(header, asc::mapped);
        if (!mapped && !starts_with_lower(header, asc::vertex_list))
            return fail(RejectionReason::MappingLineMissing, no_mapping_nor_vertex_list);
        if (mapped && !advance())
            return result_;
        if (!advance())
            return result_;
        if (!check_vertex_lines() || !check_face_lines())
            return result_;
        result_.verdict = ObjectVerdict::Passed;
        return result_;
    }

private:
    bool read_name()
    {
        const auto name = asc::quoted_name(cursor_.line());
        if (!name)
            return false;
        result_.name = std::string(*name);
        result_.has_name = true;
        return true;
    }

    // Counts line: vertices between the first ":" and the first letter of
    // "faces" (included), faces after the second ":".
    bool read_counts(std::string_view line)
    {
        const auto texts = asc::count_texts(line);
        if (!texts)
            return false;
        result_.vertices = number_value(texts->vertices);
        result_.faces = number_value(texts->faces);
        return true;
    }

    bool check_vertex_lines()
    {
        if (!starts_with_lower(cursor_.line(), asc::vertex))
            return true;
        for (asc::RunningIndex i; static_cast<double>(i.value()) <= result_.vertices - 1; i.next()) {
            if (!asc::starts_with_indexed(cursor_.line(), asc::vertex, i)) {
                fail(RejectionReason::VertexLineMissing,
                     indexed_tail("the line containing information about vertex nr ", i.value(),
                                  " couldn't be found. This object was skipped since it would make Kb2 crash when importing it."));
                return false;
            }
            if (!advance())
                return false;
        }
        return true;
    }

    bool check_face_lines()
    {
        if (starts_with_lower(cursor_.line(), asc::face_list) && !advance())
            return false;
        if (!starts_with_lower(cursor_.line(), asc::face))
            return true;
        for (asc::RunningIndex i; static_cast<double>(i.value()) <= result_.faces - 1; i.next()) {
            if (!asc::starts_with_indexed(cursor_.line(), asc::face, i)) {
                fail(RejectionReason::FaceLineMissing,
                     indexed_tail("the line containing information about face nr ", i.value(),
                                  " couldn't be found. This object was skipped since it would make Kb2 crash when importing it."));
                return false;
            }
            if (!advance())
                return false;
            if (starts_with_lower(cursor_.line(), asc::material) && !advance())
                return false;
            if (!starts_with_lower(cursor_.line(), asc::smoothing)) {
                fail(RejectionReason::SmoothingLineMissing,
                     indexed_tail("the line containing the smoothing groups settings in face nr ", i.value(),
                                  " couldn't be found. Since this is a 3d scene using textures, this object was skipped."));
                return false;
            }
            // The read after the last face only moves past the object: a file
            // that ends right there holds the whole object.
            const bool last_face = static_cast<double>(i.value() + 1) > result_.faces - 1;
            if (!cursor_.read() && !last_face) {
                fail(RejectionReason::ObjectCutShort, file_ends_inside);
                return false;
            }
        }
        return true;
    }

    static std::string indexed_tail(std::string_view before, std::int64_t index, std::string_view after)
    {
        std::string out(before);
        append_decimal(out, index);
        out += after;
        return out;
    }

    // Reads the next line of the object; the end of the file here means the
    // object is incomplete, and it fails.
    bool advance()
    {
        if (cursor_.read())
            return true;
        fail(RejectionReason::ObjectCutShort, file_ends_inside);
        return false;
    }

    ObjectCheck fail(RejectionReason reason, std::string_view tail)
    {
        log_rejected_object(log_, reason, cursor_.number(), result_.name, tail);
        result_.verdict = ObjectVerdict::Failed;
        return result_;
    }

    ObjectCheck fail_unnamed()
    {
        log_unnamed_object(log_, cursor_.number());
        result_.verdict = ObjectVerdict::Failed;
        return result_;
    }

    LineCursor& cursor_;
    ErrorLog& log_;
    ObjectCheck result_;
};

} // namespace

ObjectCheck examine_asc_line(LineCursor& cursor, ErrorLog& log)
{
    if (!asc::starts_object(cursor.line()))
        return {};
    return AscObjectExamination(cursor, log).run();
}

} // namespace trevanix
