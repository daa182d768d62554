#pragma once
// Writes large, realistic scenes for the bench: an ".ase" file with a
// material list and many mapped grid objects, and an ".asc" file of mapped
// object blocks with material and smoothing lines. Both end lines with CR LF
// and are written in a streaming way, so memory stays small.
#include <cstdint>
#include <string>

namespace trevanix::bench {

struct GeneratedScene {
    std::uint64_t bytes = 0;
    std::int64_t objects = 0;
};

// Each writes at least `min_bytes` bytes. Throws std::runtime_error when the
// file cannot be written.
GeneratedScene write_ase_scene(const std::string& path, std::uint64_t min_bytes);
GeneratedScene write_asc_scene(const std::string& path, std::uint64_t min_bytes);

} // namespace trevanix::bench
