#include "import/scene_reading.hpp"

#include <exception>
#include <vector>

#include <assimp/ProgressHandler.hpp>
#include <assimp/config.h>
#include <assimp/postprocess.h>

#include "import/confined_files.hpp"

namespace trevanix {

namespace {

class ReadingPace : public Assimp::ProgressHandler {
public:
    ReadingPace(const SceneReadingOptions& options, bool& stopped) : options_(options), stopped_(stopped) {}

    bool Update(float) override
    {
        const bool stop_asked = options_.stop != nullptr && options_.stop->load(std::memory_order_relaxed);
        if (stop_asked || (options_.keep_going && !options_.keep_going()))
            stopped_ = true;
        return !stopped_;
    }

private:
    const SceneReadingOptions& options_;
    bool& stopped_;
};

constexpr unsigned post_processing = aiProcess_ValidateDataStructure | aiProcess_RemoveComponent |
                                     aiProcess_JoinIdenticalVertices | aiProcess_FindDegenerates |
                                     aiProcess_TransformUVCoords;

int removed_components()
{
    int components = aiComponent_COLORS | aiComponent_TANGENTS_AND_BITANGENTS | aiComponent_BONEWEIGHTS |
                     aiComponent_ANIMATIONS | aiComponent_LIGHTS | aiComponent_CAMERAS;
    // The flags name the sets up to the seventh; an eighth set stays, unused.
    for (unsigned set = 1; set + 25u < 32u && set < AI_MAX_NUMBER_OF_TEXTURECOORDS; ++set)
        components |= static_cast<int>(aiComponent_TEXCOORDSn(set));
    return components;
}

bool is_base_colour(aiTextureType type) noexcept
{
    return type == aiTextureType_DIFFUSE || type == aiTextureType_BASE_COLOR;
}

// A material's maps beyond its one base colour texture.
bool has_other_maps(const aiMaterial& material)
{
    unsigned base_colour_maps = 0;
    for (int type = aiTextureType_NONE + 1; type <= AI_TEXTURE_TYPE_MAX; ++type) {
        const unsigned count = material.GetTextureCount(static_cast<aiTextureType>(type));
        if (count == 0)
            continue;
        if (!is_base_colour(static_cast<aiTextureType>(type)))
            return true;
        base_colour_maps = std::max(base_colour_maps, count);
    }
    return base_colour_maps > 1;
}

NotCarried survey_not_carried(const aiScene& scene)
{
    NotCarried found;
    found.animation = scene.mNumAnimations > 0;
    found.cameras = scene.mNumCameras > 0;
    found.lights = scene.mNumLights > 0;
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        const aiMesh* mesh = scene.mMeshes[m];
        if (mesh == nullptr)
            continue;
        found.animation = found.animation || mesh->HasBones() || mesh->mNumAnimMeshes > 0;
        found.vertex_colours = found.vertex_colours || mesh->HasVertexColors(0);
    }
    for (unsigned m = 0; m < scene.mNumMaterials; ++m)
        if (scene.mMaterials[m] != nullptr && has_other_maps(*scene.mMaterials[m]))
            found.other_material_maps = true;
    return found;
}

void configure(Assimp::Importer& importer)
{
    importer.SetPropertyInteger(AI_CONFIG_PP_RVC_FLAGS, removed_components());
    // Degenerate faces become the points and lines they are, so that they
    // are counted where the objects report what was dropped.
    importer.SetPropertyBool(AI_CONFIG_PP_FD_REMOVE, false);
    // A small face is no degenerate face: scenes in metres have many.
    importer.SetPropertyBool(AI_CONFIG_PP_FD_CHECKAREA, false);
}

} // namespace

SceneReading read_scene_with_assimp(const std::string& path, const SceneReadingOptions& options)
{
    SceneReading reading;
    reading.importer = std::make_unique<Assimp::Importer>();
    Assimp::Importer& importer = *reading.importer;
    configure(importer);
    // The importer owns both handlers until they are taken back below.
    importer.SetIOHandler(new ConfinedFiles(path, options.stop));
    auto* pace = new ReadingPace(options, reading.stopped);
    importer.SetProgressHandler(pace);
    try {
        const aiScene* scene = importer.ReadFile(path, 0);
        if (scene != nullptr) {
            reading.not_carried = survey_not_carried(*scene);
            scene = importer.ApplyPostProcessing(post_processing);
        }
        reading.scene = scene;
        if (scene == nullptr)
            reading.error = importer.GetErrorString();
    } catch (const std::exception& e) {
        reading.scene = nullptr;
        reading.error = e.what();
    }
    if (options.stop != nullptr && options.stop->load(std::memory_order_relaxed))
        reading.stopped = true;
    // Taking the handlers back hands their ownership to us: the progress
    // handler refers to `options`, which does not outlive this call.
    Assimp::IOSystem* files = importer.GetIOHandler();
    importer.SetIOHandler(nullptr);
    delete files;
    importer.SetProgressHandler(nullptr);
    delete pace;
    if (reading.stopped)
        reading.scene = nullptr;
    return reading;
}

std::string not_carried_notice(const NotCarried& not_carried)
{
    std::vector<const char*> parts;
    if (not_carried.animation)
        parts.push_back("animation");
    if (not_carried.cameras)
        parts.push_back("cameras");
    if (not_carried.lights)
        parts.push_back("lights");
    if (not_carried.vertex_colours)
        parts.push_back("vertex colours");
    if (not_carried.other_material_maps)
        parts.push_back("material maps other than the base colour texture");
    if (parts.empty())
        return {};
    std::string list = parts[0];
    for (std::size_t i = 1; i < parts.size(); ++i)
        list += (i + 1 == parts.size() ? " and " : ", ") + std::string(parts[i]);
    return "This 3d scene holds " + list +
           ", which the .asc files for Kb2 cannot carry: only the meshes, their texture coordinates and the base "
           "colour texture of each material are converted.";
}

} // namespace trevanix
