#pragma once
// The ".ase" keywords the analysis and the export look for at the start of a
// line, with the leading tabs that are part of each test. Where a value
// follows a keyword, it is read from just after the keyword's last character,
// so every offset in the readers is a keyword's size().
#include <string_view>

namespace trevanix::ase_keyword {

// Geometry.
inline constexpr std::string_view object_start = "*GEOMOBJECT";
inline constexpr std::string_view object_start_line = "*GEOMOBJECT {"; // ends the material list's scans
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

// Inside a face line, found anywhere in it. A sub-material id starts one
// character after "*MESH_MTLID" (normally after a blank).
inline constexpr std::string_view face_submaterial_id = "*MESH_MTLID";
inline constexpr std::string_view face_submaterial_id_label = "*MESH_MTLID ";
inline constexpr std::string_view face_smoothing = "*MESH_SMOOTHING ";

// The material list.
inline constexpr std::string_view material_list = "*MATERIAL_LIST {";
inline constexpr std::string_view material_count = "*MATERIAL_COUNT ";
inline constexpr std::string_view material_count_end = "T "; // the count follows the first "T " of its line
inline constexpr std::string_view material_name = "\t\t*MATERIAL_NAME ";
inline constexpr std::string_view material_class = "\t\t*MATERIAL_CLASS ";
inline constexpr std::string_view material_wire_size = "\t\t*MATERIAL_WIRESIZE";
inline constexpr std::string_view material_bitmap = "\t\t\t*BITMAP ";
inline constexpr std::string_view material_map_name = "\t\t\t*MAP_NAME ";
inline constexpr std::string_view submaterial_count = "\t\t*NUMSUBMTLS ";
inline constexpr std::string_view submaterial_start = "\t\t*SUBMATERIAL ";
inline constexpr std::string_view submaterial_name = "\t\t\t*MATERIAL_NAME ";
inline constexpr std::string_view submaterial_class = "\t\t\t*MATERIAL_CLASS ";
inline constexpr std::string_view submaterial_bitmap = "\t\t\t\t*BITMAP ";
inline constexpr std::string_view submaterial_map_name = "\t\t\t\t*MAP_NAME ";
inline constexpr std::string_view material_end = "\t}";
inline constexpr std::string_view submaterial_end = "\t\t}";

} // namespace trevanix::ase_keyword
