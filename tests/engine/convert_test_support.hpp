#pragma once
// A session over a temporary folder, with the scene state filled by hand as an
// analysis would leave it, and small builders of ".ase" text.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "state/session.hpp"
#include "support/scripted_services.hpp"
#include "support/temp_dir.hpp"

namespace trevanix::convert_testing {

using testing::read_bytes;
using testing::ScriptedServices;
using testing::TempDir;
using testing::crlf;

class ConversionFixture {
public:
    ConversionFixture() : session(ui, settings_for(dir)) {}

    // Writes the input scene and fills the state the analysis hands over.
    std::string load(const std::string& name, const std::string& bytes, std::int64_t split_files = 1)
    {
        const std::string path = dir.write(name, bytes);
        SceneState& s = session.scene;
        s.scene_path = path;
        const auto dot = name.rfind('.');
        s.file_type = name.substr(dot + 1);
        s.line_count = 0;
        for (char c : bytes)
            s.line_count += c == '\r';
        s.statistics.split_files = split_files;
        return path;
    }

    // Unchecks Check_all and sets the four options one by one.
    void options(bool split, bool axis, bool texture, bool createmat)
    {
        Controls& c = session.controls;
        c.Check_all.value = 0;
        c.Check_splitasc.value = split ? 1 : 0;
        c.Check_flip3daxis.value = axis ? 1 : 0;
        c.Check_vtextures.value = texture ? 1 : 0;
        c.Check_createmat.value = createmat ? 1 : 0;
    }

    // One material (index 0) whose cells are given; submaterial_counts follows them.
    void materials(std::vector<std::string> cells, bool multi)
    {
        SceneState& s = session.scene;
        s.has_materials = 1;
        s.catalogue.material_count = 1;
        s.catalogue.submaterial_counts = {multi ? static_cast<int>(cells.size()) : 0};
        s.catalogue.last_submaterial = {static_cast<int>(cells.size()) - 1, 0};
        cells.resize(std::max<std::size_t>(cells.size(), 4));
        s.catalogue.cells = {cells, std::vector<std::string>(cells.size())};
    }

    std::string output(const std::string& name) const { return read_bytes(dir.file(name)); }

    ScriptedServices ui;
    TempDir dir;
    Session session;

private:
    static EngineSettings settings_for(const TempDir& d)
    {
        EngineSettings e;
        e.program_folder = d.path().string();
        e.log_path = (d.path() / "testfile.txt").string();
        return e;
    }
};

struct AseFace {
    int a, b, c;
    std::string smoothing = "1";
    int mtlid = 0;
};

struct AseObject {
    std::string name = "box";
    std::vector<std::array<std::string, 3>> vertices;
    std::vector<AseFace> faces;
    std::vector<std::array<std::string, 2>> tvertices;
    std::vector<std::array<int, 3>> tfaces;
    std::optional<int> material_ref;
};

inline std::string ase_face_line(int j, const AseFace& f)
{
    return "\t\t\t*MESH_FACE    " + std::to_string(j) + ":    A:    " + std::to_string(f.a) + " B:    " +
           std::to_string(f.b) + " C:    " + std::to_string(f.c) + " AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING " +
           f.smoothing + (f.smoothing.empty() ? "" : " ") + "\t*MESH_MTLID " + std::to_string(f.mtlid);
}

// An object laid out as 3ds Max writes it.
inline std::string ase_object_text(const AseObject& o)
{
    std::string t;
    auto line = [&](const std::string& l) { t += l + "\r\n"; };
    line("*GEOMOBJECT {");
    line("\t*NODE_NAME \"" + o.name + "\"");
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
        line(ase_face_line(static_cast<int>(j), o.faces[j]));
    line("\t\t}");
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
    line("\t}");
    line("\t*PROP_MOTIONBLUR 0");
    line("\t*PROP_CASTSHADOW 1");
    line("\t*PROP_RECVSHADOW 1");
    if (o.material_ref)
        line("\t*MATERIAL_REF " + std::to_string(*o.material_ref));
    line("}");
    return t;
}

inline std::string ase_scene(const std::vector<AseObject>& objects)
{
    std::string t = "*3DSMAX_ASCIIEXPORT\t200\r\n*MATERIAL_LIST {\r\n\t*MATERIAL_COUNT 1\r\n}\r\n";
    for (const auto& o : objects)
        t += ase_object_text(o);
    return t;
}

} // namespace trevanix::convert_testing
