#pragma once
// Builds ".ase" scene text the way 3ds Max's exporter lays it out: one keyword
// a line, nesting by leading tabs, CR LF line ends.
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace trevanix::testing {

using AseVertex = std::array<std::string, 3>;  // X, Y and Z texts
using AseTVertex = std::array<std::string, 2>; // U and V texts
using AseTFace = std::array<int, 3>;           // texture vertex of corners A, B and C

struct AseFace {
    int a = 0, b = 1, c = 2;     // geometric vertex of each corner
    std::string smoothing = "1"; // the group list; may be empty
    int mtlid = 0;               // sub-material id
};

// Lists of n plain entries, for objects whose values do not matter.
inline std::vector<AseVertex> ase_vertices(int n)
{
    std::vector<AseVertex> out;
    for (int i = 0; i < n; ++i)
        out.push_back({std::to_string(i) + ".0000", "-1.5000", "2.2500"});
    return out;
}

inline std::vector<AseFace> ase_faces(int n) { return std::vector<AseFace>(static_cast<std::size_t>(n)); }

// One face per id, each with that sub-material id.
inline std::vector<AseFace> ase_faces_with_ids(const std::vector<int>& ids)
{
    std::vector<AseFace> out(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i)
        out[i].mtlid = ids[i];
    return out;
}

inline std::vector<AseTVertex> ase_tvertices(int n)
{
    return std::vector<AseTVertex>(static_cast<std::size_t>(n), AseTVertex{"0.2500", "0.7500"});
}

inline std::vector<AseTFace> ase_tfaces(int n) { return std::vector<AseTFace>(static_cast<std::size_t>(n), {0, 1, 2}); }

// A mapped triangle by default; every list may be replaced or emptied.
struct AseObject {
    std::string name = "box";
    std::string node_line{}; // replaces the name line when not empty
    std::vector<AseVertex> vertices = ase_vertices(3);
    std::vector<AseFace> faces = ase_faces(1);
    bool mapping_lists = true; // false: no mapping-vertex or mapping-face lines at all
    std::vector<AseTVertex> tvertices = ase_tvertices(3);
    std::vector<AseTFace> tfaces = ase_tfaces(1);
    std::optional<int> material_ref = 0; // none: a wire colour line in its place
};

inline std::string ase_face_line(std::size_t j, const AseFace& f)
{
    return "\t\t\t*MESH_FACE    " + std::to_string(j) + ":    A:    " + std::to_string(f.a) + " B:    " +
           std::to_string(f.b) + " C:    " + std::to_string(f.c) + " AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING " +
           f.smoothing + (f.smoothing.empty() ? "" : " ") + "\t*MESH_MTLID " + std::to_string(f.mtlid);
}

inline std::string ase_object(const AseObject& o)
{
    std::string t;
    auto line = [&t](const std::string& l) { t += l + "\r\n"; };
    line("*GEOMOBJECT {");
    line(o.node_line.empty() ? "\t*NODE_NAME \"" + o.name + "\"" : o.node_line);
    line("\t*NODE_TM {");
    line("\t\t*NODE_NAME \"" + o.name + "\"");
    line("\t}");
    line("\t*MESH {");
    line("\t\t*TIMEVALUE 0");
    line("\t\t*MESH_NUMVERTEX " + std::to_string(o.vertices.size()));
    line("\t\t*MESH_NUMFACES " + std::to_string(o.faces.size()));
    line("\t\t*MESH_VERTEX_LIST {");
    for (std::size_t i = 0; i < o.vertices.size(); ++i)
        line("\t\t\t*MESH_VERTEX    " + std::to_string(i) + "\t" + o.vertices[i][0] + "\t" + o.vertices[i][1] + "\t" +
             o.vertices[i][2]);
    line("\t\t}");
    line("\t\t*MESH_FACE_LIST {");
    for (std::size_t j = 0; j < o.faces.size(); ++j)
        line(ase_face_line(j, o.faces[j]));
    line("\t\t}");
    if (o.mapping_lists) {
        line("\t\t*MESH_NUMTVERTEX " + std::to_string(o.tvertices.size()));
        line("\t\t*MESH_TVERTLIST {");
        for (std::size_t i = 0; i < o.tvertices.size(); ++i)
            line("\t\t\t*MESH_TVERT " + std::to_string(i) + "\t" + o.tvertices[i][0] + "\t" + o.tvertices[i][1] +
                 "\t0.0000");
        line("\t\t}");
        line("\t\t*MESH_NUMTVFACES " + std::to_string(o.tfaces.size()));
        line("\t\t*MESH_TFACELIST {");
        for (std::size_t j = 0; j < o.tfaces.size(); ++j)
            line("\t\t\t*MESH_TFACE " + std::to_string(j) + "\t" + std::to_string(o.tfaces[j][0]) + "\t" +
                 std::to_string(o.tfaces[j][1]) + "\t" + std::to_string(o.tfaces[j][2]));
        line("\t\t}");
    }
    line("\t}");
    line("\t*PROP_MOTIONBLUR 0");
    line("\t*PROP_CASTSHADOW 1");
    line("\t*PROP_RECVSHADOW 1");
    line(o.material_ref ? "\t*MATERIAL_REF " + std::to_string(*o.material_ref) : "\t*WIREFRAME_COLOR 0.1 0.2 0.3");
    line("}");
    return t;
}

// A material list; each entry is the text between the material's opening and
// closing lines (its own keyword lines), already tab-indented.
inline std::string material_list(const std::vector<std::string>& materials)
{
    std::string out = "*MATERIAL_LIST {\r\n\t*MATERIAL_COUNT " + std::to_string(materials.size()) + "\r\n";
    for (std::size_t m = 0; m < materials.size(); ++m)
        out += "\t*MATERIAL " + std::to_string(m) + " {\r\n" + materials[m] + "\t}\r\n";
    out += "}\r\n";
    return out;
}

inline std::string standard_material(const std::string& name, const std::string& bitmap)
{
    std::string out = "\t\t*MATERIAL_NAME \"" + name + "\"\r\n\t\t*MATERIAL_CLASS \"Standard\"\r\n"
                      "\t\t*MATERIAL_AMBIENT 0.5 0.5 0.5\r\n\t\t*MATERIAL_WIRESIZE 1.0000\r\n";
    if (!bitmap.empty())
        out += "\t\t*MAP_DIFFUSE {\r\n\t\t\t*MAP_NAME \"Map #1\"\r\n\t\t\t*MAP_CLASS \"Bitmap\"\r\n\t\t\t*BITMAP \"" + bitmap +
               "\"\r\n\t\t\t*UVW_U_OFFSET 0.0000\r\n\t\t}\r\n";
    return out;
}

inline std::string gta_material(const std::string& map_name, const std::string& bitmap)
{
    return "\t\t*MATERIAL_NAME \"gta\"\r\n\t\t*MATERIAL_CLASS \"GTA Material\"\r\n\t\t*MATERIAL_WIRESIZE 1.0000\r\n"
           "\t\t*MAP_DIFFUSE {\r\n\t\t\t*MAP_NAME \"" + map_name + "\"\r\n\t\t\t*MAP_CLASS \"Bitmap\"\r\n\t\t\t*BITMAP \"" + bitmap +
           "\"\r\n\t\t}\r\n";
}

// A sub-material block body (three tabs), for multi/sub-object materials.
inline std::string standard_submaterial(const std::string& name, const std::string& bitmap)
{
    std::string out = "\t\t\t*MATERIAL_NAME \"" + name + "\"\r\n\t\t\t*MATERIAL_CLASS \"Standard\"\r\n\t\t\t*MATERIAL_WIRESIZE 1.0000\r\n";
    if (!bitmap.empty())
        out += "\t\t\t*MAP_DIFFUSE {\r\n\t\t\t\t*MAP_NAME \"Map\"\r\n\t\t\t\t*MAP_CLASS \"Bitmap\"\r\n\t\t\t\t*BITMAP \"" + bitmap +
               "\"\r\n\t\t\t}\r\n";
    return out;
}

inline std::string gta_submaterial(const std::string& map_name, const std::string& bitmap)
{
    return "\t\t\t*MATERIAL_NAME \"sub\"\r\n\t\t\t*MATERIAL_CLASS \"GTA Material\"\r\n\t\t\t*MATERIAL_WIRESIZE 1.0000\r\n"
           "\t\t\t*MAP_DIFFUSE {\r\n\t\t\t\t*MAP_NAME \"" + map_name + "\"\r\n\t\t\t\t*MAP_CLASS \"Bitmap\"\r\n"
           "\t\t\t\t*MAP_SUBNO 1\r\n\t\t\t\t*MAP_AMOUNT 1.0000\r\n\t\t\t\t*BITMAP \"" + bitmap + "\"\r\n\t\t\t}\r\n";
}

inline std::string multi_material(const std::string& name, const std::vector<std::string>& submaterials)
{
    std::string out = "\t\t*MATERIAL_NAME \"" + name + "\"\r\n\t\t*MATERIAL_CLASS \"Multi/Sub-Object\"\r\n"
                      "\t\t*MATERIAL_WIRESIZE 1.0000\r\n\t\t*NUMSUBMTLS " + std::to_string(submaterials.size()) + "\r\n";
    for (std::size_t s = 0; s < submaterials.size(); ++s)
        out += "\t\t*SUBMATERIAL " + std::to_string(s) + " {\r\n" + submaterials[s] + "\t\t}\r\n";
    return out;
}

inline std::string ase_header() { return "*3DSMAX_ASCIIEXPORT\t200\r\n*COMMENT \"test\"\r\n"; }

// A whole scene: the header, the material list (if any), the objects.
inline std::string ase_scene(const std::vector<AseObject>& objects, const std::string& materials = "")
{
    std::string out = ase_header() + materials;
    for (const auto& o : objects)
        out += ase_object(o);
    return out;
}

} // namespace trevanix::testing
