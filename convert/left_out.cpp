#include "convert/left_out.hpp"

namespace trevanix {

namespace {

struct ReasonWords {
    std::string_view key;
    std::string_view text;
};

ReasonWords words_of(LeftOutReason reason) noexcept
{
    using R = LeftOutReason;
    switch (reason) {
    case R::NameNotQuoted: return {"name_not_quoted", "its name lacks its two double quotes"};
    case R::LodName: return {"lod_name", "its name begins with \"LOD\" (a level-of-detail copy)"};
    case R::ObjectCutShort: return {"object_cut_short", "the file ends inside it"};
    case R::CountsUnusable: return {"counts_unusable", "a vertex or face count is not a whole number in range"};
    case R::ZeroVertices: return {"zero_vertices", "it has 0 vertices"};
    case R::ZeroFaces: return {"zero_faces", "it has 0 faces"};
    case R::TooManyFaces: return {"too_many_faces", "it has more than 65535 faces"};
    case R::FaceCountLineMissing:
        return {"face_count_line_missing", "its face count does not follow its vertex count"};
    case R::VertexListMissing: return {"vertex_list_missing", "its vertex list does not follow its counts"};
    case R::FaceListMissing: return {"face_list_missing", "its face list does not follow its vertex list"};
    case R::VertexLineMissing: return {"vertex_line_missing", "a vertex line is missing or out of order"};
    case R::FaceLineMissing: return {"face_line_missing", "a face line is missing or out of order"};
    case R::ZeroMappingVertices: return {"zero_mapping_vertices", "it has 0 mapping vertices"};
    case R::ZeroMappingFaces: return {"zero_mapping_faces", "it has 0 mapping faces"};
    case R::MappingFaceCountDiffers:
        return {"mapping_face_count_differs", "its mapping faces and its faces differ in number"};
    case R::UnknownMaterial: return {"unknown_material", "its material reference names no material of the list"};
    case R::InvalidSubmaterialId:
        return {"invalid_submaterial_id", "a face's sub-material id is beyond its material's sub-materials"};
    case R::FaceLineUnreadable: return {"face_line_unreadable", "a face line lacks a label or its sub-material id"};
    case R::MappingFaceLineUnreadable:
        return {"mapping_face_line_unreadable", "a mapping face line lacks its keyword or a corner"};
    case R::VertexIndexOutOfRange:
        return {"vertex_index_out_of_range", "a face corner names no vertex of its vertex list"};
    case R::VertexLineUnreadable: return {"vertex_line_unreadable", "a vertex line lacks one of its three values"};
    case R::MappingVertexIndexOutOfRange:
        return {"mapping_vertex_index_out_of_range", "a mapping face corner names no mapping vertex"};
    case R::MappingVertexLineUnreadable:
        return {"mapping_vertex_line_unreadable", "a mapping vertex line lacks its keyword or a value"};
    case R::VertexValuesUnreadable:
        return {"vertex_values_unreadable", "the axis flip finds no X, Y and Z in a vertex line"};
    case R::ObjectStartSkipped:
        return {"object_start_skipped", "the conversion read its first line as part of the object before it"};
    }
    return {"unknown", "it could not be written"};
}

} // namespace

std::string_view left_out_key(LeftOutReason reason) noexcept { return words_of(reason).key; }

std::string_view left_out_text(LeftOutReason reason) noexcept { return words_of(reason).text; }

} // namespace trevanix
