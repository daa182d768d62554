#pragma once
// Builds ".ase" scene text the way 3ds Max's exporter lays it out: one keyword
// a line, nesting by leading tabs, CR LF line ends.
#include <string>
#include <vector>

namespace trevanix::testing {

struct AseObject {
    std::string name = "box";
    int vertices = 3;
    int faces = 1;
    std::vector<int> face_ids;   // sub-material id per face (0 when shorter)
    int tvertices = 3;           // -1: no mapping-vertex lines at all
    int tfaces = 1;
    int material_ref = 0;        // -1: wire colour instead of a material reference
    std::string node_line;       // replaces the name line when not empty
};

inline std::string ase_object(const AseObject& o)
{
    std::vector<std::string> l;
    l.push_back("*GEOMOBJECT {");
    l.push_back(o.node_line.empty() ? "\t*NODE_NAME \"" + o.name + "\"" : o.node_line);
    l.push_back("\t*NODE_TM {");
    l.push_back("\t\t*NODE_NAME \"" + o.name + "\"");
    l.push_back("\t}");
    l.push_back("\t*MESH {");
    l.push_back("\t\t*TIMEVALUE 0");
    l.push_back("\t\t*MESH_NUMVERTEX " + std::to_string(o.vertices));
    l.push_back("\t\t*MESH_NUMFACES " + std::to_string(o.faces));
    l.push_back("\t\t*MESH_VERTEX_LIST {");
    for (int i = 0; i < o.vertices; ++i)
        l.push_back("\t\t\t*MESH_VERTEX    " + std::to_string(i) + "\t" + std::to_string(i) + ".0000\t-1.5000\t2.2500");
    l.push_back("\t\t}");
    l.push_back("\t\t*MESH_FACE_LIST {");
    for (int i = 0; i < o.faces; ++i) {
        const int id = i < static_cast<int>(o.face_ids.size()) ? o.face_ids[static_cast<std::size_t>(i)] : 0;
        l.push_back("\t\t\t*MESH_FACE    " + std::to_string(i) + ":    A:    0 B:    1 C:    2 AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING 1 \t*MESH_MTLID " + std::to_string(id));
    }
    l.push_back("\t\t}");
    if (o.tvertices >= 0) {
        l.push_back("\t\t*MESH_NUMTVERTEX " + std::to_string(o.tvertices));
        l.push_back("\t\t*MESH_TVERTLIST {");
        for (int i = 0; i < o.tvertices; ++i)
            l.push_back("\t\t\t*MESH_TVERT " + std::to_string(i) + "\t0.2500\t0.7500\t0.0000");
        l.push_back("\t\t}");
        l.push_back("\t\t*MESH_NUMTVFACES " + std::to_string(o.tfaces));
        l.push_back("\t\t*MESH_TFACELIST {");
        for (int i = 0; i < o.tfaces; ++i)
            l.push_back("\t\t\t*MESH_TFACE " + std::to_string(i) + "\t0\t1\t2");
        l.push_back("\t\t}");
    }
    l.push_back("\t}");
    l.push_back("\t*PROP_MOTIONBLUR 0");
    l.push_back("\t*PROP_CASTSHADOW 1");
    l.push_back("\t*PROP_RECVSHADOW 1");
    if (o.material_ref >= 0)
        l.push_back("\t*MATERIAL_REF " + std::to_string(o.material_ref));
    else
        l.push_back("\t*WIREFRAME_COLOR 0.1 0.2 0.3");
    l.push_back("}");
    std::string out;
    for (const auto& line : l)
        out += line + "\r\n";
    return out;
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

} // namespace trevanix::testing
