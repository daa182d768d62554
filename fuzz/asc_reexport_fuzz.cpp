// The re-export of an ".asc" scene with every option, after its analysis.
#include "scene_fuzz.hpp"
#include "support/temp_dir.hpp"

namespace {

std::string baseline_scene()
{
    using trevanix::testing::crlf;
    std::string s = crlf({"Ambient light color: Red=0.3 Green=0.3 Blue=0.3", ""});
    for (int i = 0; i < 2; ++i)
        s += crlf({"Named object: \"o" + std::to_string(i) + "\"", "Tri-mesh, Vertices: 3     Faces: 1", "Mapped",
                   "Vertex list:", "Vertex 0:  X:1     Y:2     Z:3     U:0     V:1",
                   "Vertex 1:  X:-1     Y:2     Z:3     U:1     V:1", "Vertex 2:  X:1     Y:-2     Z:3     U:1     V:0",
                   "Face list:", "Face 0:    A:0 B:1 C:2 AB:1 BC:1 CA:1", "Material:\"m\"", "Smoothing:  1", ""});
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string baseline = baseline_scene();
    trevanix::fuzzing::run_conversion(data, size, "scene.asc", baseline);
    return 0;
}
