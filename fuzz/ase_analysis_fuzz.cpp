// The analysis of an ".ase" scene: material catalogue (with the renaming of
// TIFFRGB pictures) and geometry checks, and the express conversion when the
// question about it is answered Yes.
#include "scene_fuzz.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    trevanix::fuzzing::run_analysis(data, size, "scene.ase");
    return 0;
}
