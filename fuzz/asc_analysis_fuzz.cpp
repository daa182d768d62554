// The analysis of an ".asc" scene: counting pass and object checks.
#include "scene_fuzz.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    trevanix::fuzzing::run_analysis(data, size, "scene.asc");
    return 0;
}
