// The export of an ".ase" scene with every option (split, both flips, the
// material file), after its analysis.
#include "scene_fuzz.hpp"
#include "support/ase_builder.hpp"

namespace {

std::string baseline_scene()
{
    using namespace trevanix::testing;
    AseObject multi;
    multi.name = "multi";
    multi.faces = ase_faces_with_ids({0, 1});
    multi.tfaces = ase_tfaces(2);
    AseObject wire;
    wire.name = "wire";
    wire.material_ref.reset();
    wire.mapping_lists = false;
    return ase_header() +
           material_list({multi_material("mm", {standard_submaterial("s0", "a_very_long_texture_name.bmp"),
                                                gta_submaterial("Map", "town_brickwall_pattern.bmp")})}) +
           ase_object(multi) + ase_object(wire);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string baseline = baseline_scene();
    trevanix::fuzzing::run_conversion(data, size, "scene.ase", baseline);
    return 0;
}
