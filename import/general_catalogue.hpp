#pragma once
// The materials of a general scene as the ".mat" file and the "Material:"
// lines name them: every material with a base colour (or diffuse) texture
// that the faces of a written object with texture coordinates use becomes
// a catalogue cell "name , texture". A material without a texture is left
// out, as "[{empty material}]" is.
#include <string>
#include <vector>

#include <assimp/scene.h>

#include "import/imported_scene.hpp"
#include "state/scene_state.hpp"

namespace trevanix {

struct GeneralCatalogue {
    MaterialCatalogue cells;
    std::vector<std::string> material_lines; // per Assimp material, "" for no line
    std::vector<PlannedTexture> textures;    // per distinct texture of the cells
};

// `used[m]`: material m is used by a written object with texture
// coordinates. Names become 8-bit scene text, free of double quotes and
// unique. A texture's name is its file name (for an unnamed embedded
// picture: the scene's name, "_" and its number), unique by its name
// without extension (the pictures' names) and shortened by the texture name
// rule when longer than 19 characters.
GeneralCatalogue general_catalogue(const aiScene& scene, const std::vector<bool>& used,
                                   const std::string& scene_folder, const std::string& scene_base_name);

// The texture a material's faces show: its base colour texture, else its
// first diffuse texture; "" when it has none.
std::string base_colour_reference(const aiMaterial& material);

} // namespace trevanix
