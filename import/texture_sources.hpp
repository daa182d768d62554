#pragma once
// Where a material's texture is: inside the scene (an embedded picture of a
// ".glb", a data URI, an ".fbx"), or a file the scene names. A file is
// looked for where the reference points, relative to the scene's folder
// ("\" read as "/"), then under its file name in the scene's folder; a file
// name that differs only in letter case (as 8.3 names on Windows do) is
// found too. Files are never reached through a symbolic link.
#include <cstdint>
#include <string>
#include <vector>

#include <assimp/scene.h>

#include "import/tiff_pictures.hpp"

namespace trevanix {

struct TextureSource {
    enum class Kind { Embedded, File, Missing };
    Kind kind = Kind::Missing;
    unsigned embedded = 0;  // the scene's texture number
    std::string file;       // the file found
    std::string looked_for; // Missing: where the texture was looked for
    // The name the picture had in the scene: the file name of the file or of
    // the embedded picture; "" for an embedded picture without a name.
    std::string file_name;
};

// Files larger than this are no texture of a game scene.
inline constexpr std::uint64_t largest_texture_file = std::uint64_t{256} << 20;

TextureSource find_texture(const aiScene& scene, const std::string& scene_folder, const std::string& reference);

// The picture's bytes as stored (an embedded picture kept as raw texels is
// decoded into `raw` instead, and `bytes` stays empty). False with `why`.
bool load_texture(const aiScene& scene, const TextureSource& source, std::vector<unsigned char>& bytes,
                  RgbPicture& raw, std::string& why);

// Decodes the texture, whatever its source. False with `why`.
bool decode_texture(const aiScene& scene, const TextureSource& source, RgbPicture& picture, std::string& why);

// Whether the texture can be decoded, judged from its header. False with `why`.
bool texture_is_readable(const aiScene& scene, const TextureSource& source, std::string& why);

} // namespace trevanix
