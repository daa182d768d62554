#include "import/general_analysis.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <system_error>

#include "analysis/object_check.hpp"
#include "format/text.hpp"
#include "import/general_catalogue.hpp"
#include "import/imported_scene.hpp"
#include "import/mesh_instances.hpp"
#include "import/object_survey.hpp"
#include "import/scene_axes.hpp"
#include "import/scene_text.hpp"
#include "state/paths.hpp"

namespace trevanix {

std::optional<FileStamp> stamp_of(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileStamp{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                     static_cast<std::uint64_t>(info.st_size), info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
}

namespace {

constexpr std::string_view zero_vertices_tail =
    "the object has 0 vertices. This object was skipped since it would make Kb2 crash when importing it.";
constexpr std::string_view zero_faces_tail =
    "the object has 0 faces (points and lines are no faces). This object was skipped since it would make Kb2 "
    "crash when importing it.";
constexpr std::string_view unknown_material_tail =
    "the object's material is not in the scene's material list, this object was skipped.";
constexpr std::string_view invalid_number_tail =
    "a vertex position or texture coordinate is not a finite number, this object was skipped.";

std::string_view rejection_key(GeneralCheck check)
{
    switch (check) {
    case GeneralCheck::ZeroVertices:
        return reason_key(RejectionReason::ZeroVertices);
    case GeneralCheck::ZeroFaces:
        return reason_key(RejectionReason::ZeroFaces);
    case GeneralCheck::UnknownMaterial:
        return reason_key(RejectionReason::UnknownMaterial);
    case GeneralCheck::InvalidNumber:
    case GeneralCheck::Passed:
        break;
    }
    return general_reason::invalid_number;
}

std::string_view rejection_tail(GeneralCheck check)
{
    switch (check) {
    case GeneralCheck::ZeroVertices:
        return zero_vertices_tail;
    case GeneralCheck::ZeroFaces:
        return zero_faces_tail;
    case GeneralCheck::UnknownMaterial:
        return unknown_material_tail;
    case GeneralCheck::InvalidNumber:
    case GeneralCheck::Passed:
        break;
    }
    return invalid_number_tail;
}

std::string unreadable_text(const std::string& path, const std::string& reason)
{
    return "The file \"" + path + "\" could not be read as a 3d scene (" +
           (reason.empty() ? std::string("no reason given") : reason) + "), so this program won't process it.";
}

class GeneralSceneAnalysis {
public:
    GeneralSceneAnalysis(SceneState& scene, ErrorLog& log, const std::atomic<bool>* stop, AnalysisObserver& observer)
        : scene_(scene), log_(log), stop_(stop), observer_(observer), held_(std::make_shared<ImportedScene>())
    {
    }

    GeneralAnalysis run()
    {
        reset_scene();
        if (analyse()) {
            scene_.reader = SceneReader::General;
            scene_.held_scene = held_;
        }
        return std::move(out_);
    }

private:
    bool analyse()
    {
        if (!observer_.keep_going())
            return end(AnalysisEnd::Stopped);
        if (!read())
            return false;
        const std::vector<MeshInstance> instances =
            mesh_instances(held_->scene(), to_3d_studio_axes(held_->scene(), scene_.extension));
        if (instances.empty())
            return end(AnalysisEnd::NoObjects);
        scene_.line_count = general_progress_steps;
        observer_.reading_started(general_progress_steps);
        plan_objects(instances);
        if (!check_objects())
            return false;
        plan_catalogue();
        return true;
    }

    // Ends the analysis short of its verdict.
    bool end(AnalysisEnd how, std::string message = {})
    {
        out_.result.end = how;
        out_.result.message = std::move(message);
        return false;
    }

    void reset_scene()
    {
        scene_.line_count = 0;
        scene_.object_count = 0;
        scene_.statistics.faces = 0;
        scene_.statistics.vertices = 0;
        scene_.statistics.valid_objects = 0;
        scene_.statistics.invalid_submaterial_objects = 0;
        scene_.held_scene.reset();
        scene_.has_materials = false;
    }

    bool read()
    {
        held_->path = scene_.scene_path;
        held_->folder = parent_folder_of(scene_.scene_path);
        const auto stamp = stamp_of(scene_.scene_path);
        if (!stamp)
            return end(AnalysisEnd::Unreadable,
                       unreadable_text(scene_.scene_path, std::generic_category().message(errno)));
        held_->stamp = *stamp;
        SceneReadingOptions options;
        options.stop = stop_;
        options.keep_going = [this] { return observer_.keep_going(); };
        held_->reading = read_scene_with_assimp(scene_.scene_path, options);
        if (held_->reading.stopped)
            return end(AnalysisEnd::Stopped);
        if (held_->reading.scene == nullptr)
            return end(AnalysisEnd::Unreadable, unreadable_text(scene_.scene_path, held_->reading.error));
        out_.notice = not_carried_notice(held_->reading.not_carried);
        return true;
    }

    // The name an instance is written under: its node's, else its mesh's,
    // else the scene's.
    std::string object_name(const MeshInstance& instance)
    {
        std::string name = clean_name(scene_text_from_utf8(instance.node_name));
        if (name.empty())
            name = clean_name(scene_text_from_utf8(held_->scene().mMeshes[instance.mesh]->mName.C_Str()));
        if (name.empty())
            name = clean_name(scene_text_from_utf8(base_name_of(scene_.scene_path)));
        if (name.empty())
            name = "object";
        return names_.claim(name);
    }

    void plan_objects(const std::vector<MeshInstance>& instances)
    {
        ObjectSurveyor surveyor;
        for (const MeshInstance& instance : instances) {
            ObjectSurvey survey = surveyor.survey(held_->scene(), instance);
            PlannedObject object;
            object.mesh = instance.mesh;
            object.placement = instance.placement;
            object.mirrored = mirrors(instance.placement);
            object.mapped = survey.mapped;
            object.valid = survey.check == GeneralCheck::Passed;
            const std::string name = object_name(instance);
            if (survey.part_vertices.size() > 1) {
                for (std::size_t k = 1; k <= survey.part_vertices.size(); ++k) {
                    std::string part = name + "_";
                    append_decimal(part, static_cast<std::int64_t>(k));
                    object.part_names.push_back(names_.claim(part));
                }
            } else {
                object.part_names.push_back(name);
            }
            names_of_sources_.push_back(name);
            held_->objects.push_back(std::move(object));
            surveys_.push_back(std::move(survey));
        }
    }

    void log_rejected(const std::string& name, GeneralCheck check)
    {
        const std::string text = "Error in object '" + name + "' : " + std::string(rejection_tail(check));
        log_.write_problem({0, name, rejection_key(check), text});
    }

    void log_repaired(const std::string& name, std::string_view key, const std::string& tail)
    {
        const std::string text = "Repaired object '" + name + "' : " + tail;
        log_.write_line(text);
        out_.repaired.push_back({0, name, std::string(key), text});
    }

    void report_repairs(const PlannedObject& object, const ObjectSurvey& survey, const std::string& name)
    {
        if (survey.dropped_faces > 0) {
            std::string tail;
            append_decimal(tail, survey.dropped_faces);
            tail += " points, lines or degenerate faces were left out; they are no faces Kb2 can show.";
            log_repaired(name, general_reason::primitives_dropped, tail);
        }
        if (object.part_names.size() > 1) {
            std::string tail = "the object has ";
            append_decimal(tail, survey.faces);
            tail += " faces, more than the 65535 Kb2 imports in one object, so it was split into " +
                    object.part_names.front() + " to " + object.part_names.back() + ".";
            log_repaired(name, general_reason::split_into_parts, tail);
        }
    }

    void count_written(const ObjectSurvey& survey)
    {
        SceneStatistics& totals = scene_.statistics;
        for (const std::int64_t vertices : survey.part_vertices) {
            ++totals.valid_objects;
            totals.vertices += vertices;
        }
        totals.faces += survey.faces;
    }

    bool check_objects()
    {
        std::int64_t found = 0;
        for (const PlannedObject& object : held_->objects)
            found += object.valid ? static_cast<std::int64_t>(object.part_names.size()) : 1;
        scene_.object_count = found;
        scene_.statistics.objects_found = found;
        scene_.statistics.split_files = split_count(found);
        observer_.objects_counted();
        const std::size_t n = held_->objects.size();
        for (std::size_t i = 0; i < n; ++i) {
            if (!observer_.keep_going())
                return end(AnalysisEnd::Stopped);
            const PlannedObject& object = held_->objects[i];
            const ObjectSurvey& survey = surveys_[i];
            const std::string& name = names_of_sources_[i];
            ObjectCheck check;
            check.name = name;
            check.has_name = true;
            if (object.valid) {
                report_repairs(object, survey, name);
                count_written(survey);
                observer_.object_passed();
            } else {
                log_rejected(name, survey.check);
                out_.result.problems = true;
                check.verdict = ObjectVerdict::Failed;
                observer_.object_failed(check);
            }
            observer_.progress(1 + static_cast<std::int64_t>((i + 1) * (general_progress_steps - 1) / n));
        }
        return true;
    }

    // The materials the written objects with texture coordinates show.
    std::vector<bool> used_materials() const
    {
        std::vector<bool> used(held_->scene().mNumMaterials, false);
        for (const PlannedObject& object : held_->objects) {
            const unsigned material = held_->scene().mMeshes[object.mesh]->mMaterialIndex;
            if (object.valid && object.mapped && material < used.size())
                used[material] = true;
        }
        return used;
    }

    void plan_catalogue()
    {
        GeneralCatalogue catalogue =
            general_catalogue(held_->scene(), used_materials(), held_->folder, base_name_of(scene_.scene_path));
        const int largest = scene_.catalogue.largest_submaterial_count;
        scene_.catalogue = std::move(catalogue.cells);
        scene_.catalogue.largest_submaterial_count = largest;
        scene_.has_materials = scene_.catalogue.material_count > 0;
        held_->material_lines = std::move(catalogue.material_lines);
        held_->textures = std::move(catalogue.textures);
        for (PlannedTexture& texture : held_->textures) {
            std::string why;
            texture.readable = texture_is_readable(held_->scene(), texture.source, why);
            if (!texture.readable)
                out_.result.missing_pictures.push_back(where_texture_is(texture.source));
        }
    }

    std::string where_texture_is(const TextureSource& source) const
    {
        switch (source.kind) {
        case TextureSource::Kind::File:
            return source.file;
        case TextureSource::Kind::Missing:
            return source.looked_for;
        case TextureSource::Kind::Embedded:
            break;
        }
        std::string where = scene_.scene_path + " (embedded picture ";
        append_decimal(where, source.embedded);
        return where + ")";
    }

    SceneState& scene_;
    ErrorLog& log_;
    const std::atomic<bool>* stop_;
    AnalysisObserver& observer_;
    std::shared_ptr<ImportedScene> held_;
    UniqueNames names_;
    std::vector<ObjectSurvey> surveys_;
    std::vector<std::string> names_of_sources_;
    GeneralAnalysis out_;
};

} // namespace

GeneralAnalysis analyse_general_scene(SceneState& scene, ErrorLog& log, const std::atomic<bool>* stop,
                                      AnalysisObserver& observer)
{
    return GeneralSceneAnalysis(scene, log, stop, observer).run();
}

} // namespace trevanix
