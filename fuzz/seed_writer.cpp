// Writes the generated seed scenes of the fuzz targets: small ".ase" scenes
// laid out as 3ds Max writes them, ".asc" scenes and single vertex lines, each
// covering a feature the targets should start from.
//
//   trevanix-seed-writer FOLDER   writes FOLDER/ase, FOLDER/asc and FOLDER/lines
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "support/ase_builder.hpp"
#include "support/temp_dir.hpp"

namespace {

using namespace trevanix::testing;

std::vector<std::string> ase_seeds()
{
    AseObject plain;
    AseObject multi;
    multi.name = "multi";
    multi.faces = 3;
    multi.tfaces = 3;
    multi.face_ids = {0, 1, 2};
    AseObject unmapped;
    unmapped.name = "unmapped";
    unmapped.tvertices = -1;
    unmapped.material_ref = -1;
    AseObject lod;
    lod.name = "LOD1_tree";
    AseObject empty;
    empty.name = "empty";
    empty.vertices = 0;
    empty.faces = 0;
    AseObject bad_name;
    bad_name.node_line = "\t*NODE_NAME \"half";

    // Edge flags too large for any integer type.
    std::string huge_flags = ase_object(plain);
    huge_flags.replace(huge_flags.find("BC:    1"), 8, "BC:    " + std::string(88, '8') + "0");
    huge_flags.replace(huge_flags.find("CA:    0"), 8, "CA:    -1e300");

    const std::string gta = material_list({gta_material("texture_map", "a_very_long_texture_name.bmp")});
    const std::string multis = material_list(
        {multi_material("mm", {standard_submaterial("s0", "C:\\maps\\stone.bmp"),
                               gta_submaterial("sub", "town_brickwall_pattern.bmp"), standard_submaterial("s2", "")}),
         standard_material("std", "wall.bmp")});
    return {
        ase_header() + material_list({standard_material("m", "wall.bmp")}) + ase_object(plain),
        ase_header() + multis + ase_object(multi) + ase_object(plain),
        ase_header() + gta + ase_object(plain) + ase_object(unmapped),
        ase_header() + material_list({}) + ase_object(unmapped) + ase_object(lod),
        ase_header() + ase_object(empty) + ase_object(bad_name) + ase_object(plain),
        ase_header() + multis + ase_object(multi) + ase_object(lod) + ase_object(unmapped),
        ase_header() + material_list({standard_material("m", "wall.bmp")}) + huge_flags,
    };
}

std::string asc_object(const std::string& name, bool mapped, const std::string& vertex_keyword)
{
    std::vector<std::string> l = {"Named object: \"" + name + "\"", "Tri-mesh, Vertices: 3     Faces: 1"};
    if (mapped)
        l.push_back("Mapped");
    l.push_back("Vertex list:");
    for (int i = 0; i < 3; ++i)
        l.push_back(vertex_keyword + " " + std::to_string(i) + ":  X:1.5     Y:-2     Z:7.25" +
                    (mapped ? "     U:0.25     V:0.75" : ""));
    l.push_back("Face list:");
    l.push_back("Face 0:    A:0 B:1 C:2 AB:1 BC:1 CA:0");
    if (mapped)
        l.push_back("Material:\"wood\"");
    l.push_back("Smoothing:  1");
    l.push_back("");
    std::string out;
    for (const auto& line : l)
        out += line + "\r\n";
    return out;
}

std::vector<std::string> asc_seeds()
{
    const std::string head = "Ambient light color: Red=0.3 Green=0.3 Blue=0.3\r\n\r\n";
    return {
        head + asc_object("a", true, "Vertex"),
        head + asc_object("b", false, "Vertex") + asc_object("c", true, "VERTEX"),
        head + asc_object("d", false, "vertex") + "Named object: \"broken\r\nTri-mesh, Vertices: 0     Faces: 0\r\n",
    };
}

std::vector<std::string> line_seeds()
{
    return {
        ":  X:1.5     Y:-2     Z:7.25",
        ":  X:0     Y:0     Z:0     U:0.25     V:0.75",
        "Vertex 3:  X:1.0     Y:2.0     Z:3.0     U:0.5     V:0.5",
        ":  X:1     Y:2     Z:3 ",
        "X:Y:Z:U:V:",
    };
}

void write_all(const std::filesystem::path& folder, const std::string& extension, const std::vector<std::string>& seeds)
{
    std::filesystem::create_directories(folder);
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        std::ofstream out(folder / ("seed" + std::to_string(i) + extension), std::ios::binary | std::ios::trunc);
        out << seeds[i];
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: trevanix-seed-writer FOLDER\n";
        return 2;
    }
    const std::filesystem::path root = argv[1];
    write_all(root / "ase", ".ase", ase_seeds());
    write_all(root / "asc", ".asc", asc_seeds());
    write_all(root / "lines", ".txt", line_seeds());
    return 0;
}
