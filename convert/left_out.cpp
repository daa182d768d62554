#include "convert/left_out.hpp"

#include <iterator>

namespace trevanix {

namespace {

struct ReasonWords {
    std::string_view key;
    std::string_view text;
};

// In the order of the enumeration.
constexpr ReasonWords reason_words[] = {
    {"name_not_quoted", "its name lacks its two double quotes"},
    {"lod_name", "its name begins with \"LOD\" (a level-of-detail copy)"},
    {"object_cut_short", "the file ends inside it"},
    {"counts_unusable", "a vertex or face count is not a whole number in range"},
    {"zero_vertices", "it has 0 vertices"},
    {"zero_faces", "it has 0 faces"},
    {"too_many_faces", "it has more than 65535 faces"},
    {"face_count_line_missing", "its face count does not follow its vertex count"},
    {"vertex_list_missing", "its vertex list does not follow its counts"},
    {"face_list_missing", "its face list does not follow its vertex list"},
    {"vertex_line_missing", "a vertex line is missing or out of order"},
    {"face_line_missing", "a face line is missing or out of order"},
    {"zero_mapping_vertices", "it has 0 mapping vertices"},
    {"zero_mapping_faces", "it has 0 mapping faces"},
    {"mapping_face_count_differs", "its mapping faces and its faces differ in number"},
    {"unknown_material", "its material reference names no material of the list"},
    {"invalid_submaterial_id", "a face's sub-material id is beyond its material's sub-materials"},
    {"face_line_unreadable", "a face line lacks a label or its sub-material id"},
    {"mapping_face_line_unreadable", "a mapping face line lacks its keyword or a corner"},
    {"vertex_index_out_of_range", "a face corner names no vertex of its vertex list"},
    {"vertex_line_unreadable", "a vertex line lacks one of its three values"},
    {"mapping_vertex_index_out_of_range", "a mapping face corner names no mapping vertex"},
    {"mapping_vertex_line_unreadable", "a mapping vertex line lacks its keyword or a value"},
    {"vertex_values_unreadable", "the axis flip finds no X, Y and Z in a vertex line"},
    {"object_start_skipped", "the conversion read its first line as part of the object before it"},
};
static_assert(std::size(reason_words) == all_left_out_reasons.size(), "one entry a reason");
static_assert(static_cast<std::size_t>(LeftOutReason::ObjectStartSkipped) + 1 == std::size(reason_words),
              "the last reason is the last entry");

ReasonWords words_of(LeftOutReason reason) noexcept
{
    const auto at = static_cast<std::size_t>(reason);
    return at < std::size(reason_words) ? reason_words[at] : ReasonWords{"unknown", "it could not be written"};
}

} // namespace

std::string_view left_out_key(LeftOutReason reason) noexcept { return words_of(reason).key; }

std::string_view left_out_text(LeftOutReason reason) noexcept { return words_of(reason).text; }

} // namespace trevanix
