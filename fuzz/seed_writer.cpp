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

#include "support/asc_builder.hpp"
#include "support/ase_builder.hpp"
#include "support/temp_dir.hpp"

namespace {

using namespace trevanix::testing;

std::vector<std::string> ase_seeds()
{
    AseObject plain;
    AseObject multi;
    multi.name = "multi";
    multi.faces = ase_faces_with_ids({0, 1, 2});
    multi.tfaces = ase_tfaces(3);
    AseObject unmapped;
    unmapped.name = "unmapped";
    unmapped.mapping_lists = false;
    unmapped.material_ref.reset();
    AseObject lod;
    lod.name = "LOD1_tree";
    AseObject empty;
    empty.name = "empty";
    empty.vertices.clear();
    empty.faces.clear();
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

// A three-vertex object; a mapped one carries U and V and a material line.
std::string seed_object(const std::string& name, bool mapped, const std::string& vertex_keyword)
{
    return asc_object({.name = name,
                       .mapped = mapped,
                       .uv = mapped,
                       .material = mapped ? "wood" : "",
                       .vertex_keyword = vertex_keyword});
}

std::vector<std::string> asc_seeds()
{
    return {
        asc_header + seed_object("a", true, "Vertex"),
        asc_header + seed_object("b", false, "Vertex") + seed_object("c", true, "VERTEX"),
        asc_header + seed_object("d", false, "vertex") + "Named object: \"broken\r\nTri-mesh, Vertices: 0     Faces: 0\r\n",
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
