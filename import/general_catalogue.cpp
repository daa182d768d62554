#include "import/general_catalogue.hpp"

#include <map>
#include <tuple>

#include "analysis/texture_short_names.hpp"
#include "format/asc_lines.hpp"
#include "format/text.hpp"
#include "import/scene_text.hpp"
#include "state/paths.hpp"

namespace trevanix {

namespace {

// A name fit for a file: not empty, and not a name of the folder itself.
bool is_usable_base(const std::string& base) { return !base.empty() && base != "." && base != ".."; }

// Where the bytes come from: one texture however many materials show it.
std::tuple<int, unsigned, std::string> identity(const TextureSource& source, const std::string& reference)
{
    switch (source.kind) {
    case TextureSource::Kind::Embedded:
        return {0, source.embedded, {}};
    case TextureSource::Kind::File:
        return {1, 0, source.file};
    case TextureSource::Kind::Missing:
        break;
    }
    return {2, 0, reference};
}

class CatalogueBuilder {
public:
    CatalogueBuilder(const aiScene& scene, std::string folder, std::string base)
        : scene_(scene), folder_(std::move(folder)), base_(std::move(base))
    {
    }

    GeneralCatalogue build(const std::vector<bool>& used)
    {
        out_.material_lines.assign(scene_.mNumMaterials, std::string());
        for (unsigned m = 0; m < scene_.mNumMaterials && m < used.size(); ++m)
            if (used[m] && scene_.mMaterials[m] != nullptr)
                add_material(m, *scene_.mMaterials[m]);
        MaterialCatalogue& cells = out_.cells;
        cells.material_count = static_cast<int>(cells.cells.size());
        cells.last_submaterial.assign(cells.cells.size(), 0);
        cells.submaterial_counts.assign(std::max<std::size_t>(cells.cells.size(), 1), 0);
        return std::move(out_);
    }

private:
    void add_material(unsigned m, const aiMaterial& material)
    {
        const std::string reference = base_colour_reference(material);
        if (reference.empty())
            return;
        const auto texture = texture_index(reference);
        if (!texture)
            return;
        aiString name;
        material.Get(AI_MATKEY_NAME, name);
        std::string cell_name = clean_name(scene_text_from_utf8(name.C_Str()));
        if (cell_name.empty())
            cell_name = "material";
        cell_name = material_names_.claim(cell_name);
        out_.material_lines[m] = cell_name;
        std::string cell = cell_name;
        cell += asc::cell_separator;
        cell += out_.textures[*texture].name;
        out_.cells.cells.push_back({std::move(cell)});
    }

    // The file name a texture is known by in the scene.
    std::string texture_file_name(const TextureSource& source) const
    {
        if (!source.file_name.empty() || source.kind != TextureSource::Kind::Embedded)
            return source.file_name;
        std::string name = base_ + "_";
        append_decimal(name, source.embedded);
        const aiTexture* texture = scene_.mTextures[source.embedded];
        if (texture->mHeight == 0 && texture->achFormatHint[0] != '\0')
            name += "." + std::string(texture->achFormatHint);
        return name;
    }

    std::optional<std::size_t> texture_index(const std::string& reference)
    {
        TextureSource source = find_texture(scene_, folder_, reference);
        const auto key = identity(source, reference);
        if (const auto known = known_.find(key); known != known_.end())
            return known->second;
        std::string name = clean_name(scene_text_from_utf8(texture_file_name(source)));
        std::string base = texture_base_name(name);
        if (!is_usable_base(base))
            return std::nullopt;
        // The pictures are named by the base name: two textures may not share it.
        if (const std::string unique = picture_names_.claim(base); unique != base) {
            name = unique + name.substr(base.size());
            base = unique;
        }
        bool added = false;
        name = short_texture_name(out_.cells.short_texture_names, name, added);
        PlannedTexture texture;
        texture.source = std::move(source);
        texture.name = name;
        texture.picture = file_name_from_scene_text(texture_base_name(name) + ".tif");
        out_.textures.push_back(std::move(texture));
        known_.emplace(key, out_.textures.size() - 1);
        return out_.textures.size() - 1;
    }

    const aiScene& scene_;
    std::string folder_, base_;
    GeneralCatalogue out_;
    UniqueNames material_names_, picture_names_;
    std::map<std::tuple<int, unsigned, std::string>, std::size_t> known_;
};

} // namespace

std::string base_colour_reference(const aiMaterial& material)
{
    aiString path;
    for (const aiTextureType type : {aiTextureType_BASE_COLOR, aiTextureType_DIFFUSE})
        if (material.GetTextureCount(type) > 0 && material.GetTexture(type, 0, &path) == AI_SUCCESS &&
            path.length > 0)
            return path.C_Str();
    return {};
}

GeneralCatalogue general_catalogue(const aiScene& scene, const std::vector<bool>& used,
                                   const std::string& scene_folder, const std::string& scene_base_name)
{
    return CatalogueBuilder(scene, scene_folder, scene_base_name).build(used);
}

} // namespace trevanix
