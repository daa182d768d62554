#pragma once
// The ".ase" keywords that the checks and the export look for at the start of
// a line, with the leading tabs that are part of each test.
#include <string_view>

namespace trevanix::ase_keyword {

inline constexpr std::string_view object_start = "*GEOMOBJECT";
inline constexpr std::string_view vertex_count = "\t\t*MESH_NUMVERTEX ";
inline constexpr std::string_view face_count = "\t\t*MESH_NUMFACES ";
inline constexpr std::string_view vertex_list = "\t\t*MESH_VERTEX_LIST {";
inline constexpr std::string_view face_list = "\t\t*MESH_FACE_LIST {";
inline constexpr std::string_view mapping_vertex_count = "\t\t*MESH_NUMTVERTEX ";
inline constexpr std::string_view mapping_face_count = "\t\t*MESH_NUMTVFACES ";
inline constexpr std::string_view mapping_vertex = "\t\t\t*MESH_TVERT ";
inline constexpr std::string_view mapping_face = "\t\t\t*MESH_TFACE ";
inline constexpr std::string_view shadow_property = "\t*PROP_RECVSHA";
inline constexpr std::string_view material_ref = "\t*MATERIAL_REF ";
inline constexpr std::string_view wire_colour = "\t*WIREFRAME_COLOR";

} // namespace trevanix::ase_keyword
