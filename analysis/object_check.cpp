#include "analysis/object_check.hpp"

#include "format/text.hpp"

namespace trevanix {

std::string_view reason_key(RejectionReason reason) noexcept
{
    switch (reason) {
    case RejectionReason::NameNotQuoted: return "name_not_quoted";
    case RejectionReason::CountsLineMissing: return "counts_line_missing";
    case RejectionReason::CountsLineMalformed: return "counts_line_malformed";
    case RejectionReason::ZeroVertices: return "zero_vertices";
    case RejectionReason::ZeroFaces: return "zero_faces";
    case RejectionReason::TooManyFaces: return "too_many_faces";
    case RejectionReason::MappingLineMissing: return "mapping_line_missing";
    case RejectionReason::VertexLineMissing: return "vertex_line_missing";
    case RejectionReason::FaceLineMissing: return "face_line_missing";
    case RejectionReason::SmoothingLineMissing: return "smoothing_line_missing";
    case RejectionReason::ObjectCutShort: return "object_cut_short";
    case RejectionReason::UnreadableSubmaterialId: return "unreadable_submaterial_id";
    case RejectionReason::ZeroMappingVertices: return "zero_mapping_vertices";
    case RejectionReason::ZeroMappingFaces: return "zero_mapping_faces";
    case RejectionReason::UnknownMaterial: return "unknown_material";
    case RejectionReason::InvalidSubmaterialId: return "invalid_submaterial_id";
    }
    return "unknown";
}

namespace {

std::string object_log_line(std::int64_t line_number, std::string_view name, std::string_view tail)
{
    std::string out = "Error in line ";
    append_decimal(out, line_number);
    out += " (object '";
    out += name;
    out += "') : ";
    out += tail;
    return out;
}

std::string quotes_missing_log_line(std::int64_t line_number)
{
    std::string out = "Error in line ";
    append_decimal(out, line_number);
    out += " : the quotes indicating the name of the object are missing";
    return out;
}

} // namespace

void log_rejected_object(ErrorLog& log, RejectionReason reason, std::int64_t line_number, std::string_view name,
                         std::string_view tail)
{
    const std::string text = object_log_line(line_number, name, tail);
    log.write_problem({line_number, name, reason_key(reason), text});
}

void log_unnamed_object(ErrorLog& log, std::int64_t line_number)
{
    const std::string text = quotes_missing_log_line(line_number);
    log.write_problem({line_number, std::nullopt, reason_key(RejectionReason::NameNotQuoted), text});
}

} // namespace trevanix
