#include "import/general_conversion.hpp"

#include "convert/object_placement.hpp"
#include "convert/output_file.hpp"
#include "import/general_analysis.hpp"
#include "import/object_writer.hpp"
#include "import/tiff_pictures.hpp"
#include "state/paths.hpp"

namespace trevanix {

namespace {

WrittenOutputs failed(ConversionStatus status, std::string error)
{
    return conversion_failure(status, std::move(error));
}

std::string changed_text(const std::string& path)
{
    return "The file \"" + path + "\" changed since it was analysed. Nothing was written; analyse it again.";
}

// Writes every texture that can be decoded into the TIFFRGB folder beside
// the target. False (with the sentence in `error`) when the folder cannot
// be used; a texture that cannot be written is noted and the others go on.
bool prepare_pictures(const ConversionPlan& plan, const ImportedScene& scene, WorkPace& pace,
                      GeneralPictures& pictures, std::string& error)
{
    bool any = false;
    for (const PlannedTexture& texture : scene.textures)
        any = any || texture.readable;
    if (!any)
        return true;
    if (!pictures.folder.open(parent_folder_of(plan.target), error))
        return false;
    for (const PlannedTexture& texture : scene.textures) {
        if (!texture.readable)
            continue; // the analysis listed it among the missing pictures
        if (!pace.keep_going())
            return true;
        RgbPicture picture;
        std::string why;
        const std::string path = pictures.folder.path_of(texture.picture);
        if (!decode_texture(scene.scene(), texture.source, picture, why)) {
            pictures.failed.push_back("The picture \"" + path + "\" was not written: its texture cannot be decoded (" +
                                      why + ").");
            continue;
        }
        const std::string bytes = tiff_file_bytes(picture);
        std::string write_error;
        switch (pictures.folder.prepare(texture.picture, bytes, write_error)) {
        case PictureFolder::Prepared::Pending:
        case PictureFolder::Prepared::AlreadyThere:
            break;
        case PictureFolder::Prepared::OtherContent:
            pictures.kept.push_back(path);
            break;
        case PictureFolder::Prepared::Failed:
            pictures.failed.push_back(write_error);
            break;
        }
    }
    return true;
}

// The progress bar runs over the objects.
class ObjectProgress : public WorkPace {
public:
    ObjectProgress(WorkPace& pace, std::size_t objects) : pace_(pace), objects_(objects) {}
    bool keep_going() override { return pace_.keep_going(); }
    void object_done(std::size_t done)
    {
        const std::size_t objects = std::max<std::size_t>(objects_, 1);
        pace_.progress(1 + static_cast<std::int64_t>(done * (general_progress_steps - 1) / objects));
    }

private:
    WorkPace& pace_;
    std::size_t objects_;
};

} // namespace

WrittenOutputs write_general_outputs(const ConversionPlan& plan, const ImportedScene& scene,
                                     const ExportOptions& options, const TargetFolder& folder, WorkPace& pace,
                                     GeneralPictures& pictures)
{
    if (stamp_of(scene.path) != scene.stamp)
        return failed(ConversionStatus::InputFailed, changed_text(scene.path));
    std::vector<OutputFile> files;
    ObjectPlacement placement(folder, files, plan.split, plan.target, scene.path);
    ObjectWriter writer;
    ObjectProgress progress(pace, scene.objects.size());
    for (std::size_t i = 0; i < scene.objects.size(); ++i) {
        const PlannedObject& object = scene.objects[i];
        if (object.valid) {
            switch (writer.write(scene, object, options, placement, progress)) {
            case ObjectWriter::Result::Written:
                break;
            case ObjectWriter::Result::Stopped:
                return failed(ConversionStatus::NotRun, {});
            case ObjectWriter::Result::WriteFailed:
                return failed(placement.refused_input() ? ConversionStatus::RefusedTarget
                                                        : ConversionStatus::WriteFailed,
                              placement.error());
            }
        }
        progress.object_done(i + 1);
    }
    if (!placement.create_remaining(plan.outputs.size()))
        return failed(placement.refused_input() ? ConversionStatus::RefusedTarget : ConversionStatus::WriteFailed,
                      placement.error());

    WrittenOutputs result = written_set(files, placement, {});
    if (result.status != ConversionStatus::Completed)
        return result;
    std::string error;
    if (!prepare_pictures(plan, scene, pace, pictures, error))
        return failed(ConversionStatus::WriteFailed, error);
    if (!pace.keep_going())
        return failed(ConversionStatus::NotRun, {});
    return result;
}

} // namespace trevanix
