#include "convert/riding_conversion.hpp"

#include "convert/asc_reexport.hpp"
#include "convert/ase_export.hpp"
#include "convert/material_file.hpp"
#include "state/paths.hpp"

namespace trevanix {

namespace {

// The target the conversion will write: the one chosen, else the scene's
// name beside it.
std::string target_for(const SceneState& scene, const ConversionRequest& request)
{
    if (!request.chosen_target.empty())
        return request.chosen_target;
    return join_path(parent_folder_of(scene.scene_path), base_name_of(scene.scene_path) + ".asc");
}

// An output that could be the scene itself: the target, its material file or
// its first split file (later split files are refused as they are opened,
// which voids the ride).
bool could_replace_scene(const std::string& target, const std::string& scene_path)
{
    return same_file(target, scene_path) || same_file(material_path_for(target), scene_path) ||
           same_file(split_file_name(target, 1), scene_path);
}

bool faults_injected()
{
    const OutputFileSeams& seams = output_file_seams();
    return seams.fault != nullptr || seams.named_temporaries_only;
}

ExportOptions export_options(const SceneState& scene, const ConversionOptions& options)
{
    return {options.axis_flip, options.texture_flip && converts_like_ase(scene)};
}

} // namespace

RidingConversion::RidingConversion(const SceneState& scene, const ConversionRequest& request, std::string target)
    : scene_(scene), request_(request), target_(std::move(target))
{
}

RidingConversion::~RidingConversion() = default;

std::unique_ptr<RidingConversion> RidingConversion::start(const SceneState& scene, const ConversionRequest& request)
{
    if (faults_injected())
        return nullptr;
    std::string target = target_for(scene, request);
    if (could_replace_scene(target, scene.scene_path))
        return nullptr;
    std::unique_ptr<RidingConversion> riding(new RidingConversion(scene, request, std::move(target)));
    std::string error;
    if (riding->claim_.claim(riding->target_, error) != ClaimOutcome::Claimed)
        return nullptr;
    return riding;
}

void RidingConversion::begin(LineCursor& in)
{
    input_ = &in;
    // Placed as split files until the scene's object count settles the
    // names (see ObjectPlacement::settle_split).
    placement_.emplace(claim_.folder(), files_, request_.options.split, target_, scene_.scene_path);
    run_.emplace(ExportRun{in, *placement_, pace_, export_options(scene_, request_.options), scene_.catalogue,
                           scene_.has_materials, {}});
    run_->outcomes = &outcomes_;
    const bool ase = scene_.file_type == FileType::Ase;
    loop_ = ase ? ase_export_loop(*run_) : asc_reexport_loop(*run_);
}

bool RidingConversion::step()
{
    if (loop_ == nullptr || void_)
        return false;
    if (loop_->step())
        return true;
    end_loop();
    return false;
}

void RidingConversion::end_loop()
{
    const LoopEnd end = loop_->finish();
    loop_.reset();
    complete_ = end == LoopEnd::Finished && !input_->read_failed() && !input_->stopped();
    void_ = !complete_;
}

void RidingConversion::dropped()
{
    if (loop_ != nullptr) {
        (void)loop_->finish(); // waits for what is being written
        loop_.reset();
    }
    complete_ = false;
    void_ = true;
    files_.clear(); // the temporaries go
}

bool RidingConversion::fits(const ConversionPlan& plan, const ConversionOptions& options,
                            const SceneIdentity& identity) const
{
    return complete_ && !void_ && plan.target == target_ && options == request_.options &&
           identity == scene_.scene_identity;
}

WrittenOutputs RidingConversion::take_outputs(const ConversionPlan& plan, const PassedObjects* passed,
                                              LeftOutReport* left_out)
{
    if (passed != nullptr && left_out != nullptr) {
        LeftOutAccounting accounting(*passed, *left_out);
        outcomes_.replay(accounting);
        accounting.finish();
    }
    placement_->settle_split(plan.split);
    if (!placement_->create_remaining(plan.outputs.size()))
        return conversion_failure(placement_->refused_input() ? ConversionStatus::RefusedTarget
                                                              : ConversionStatus::WriteFailed,
                                  placement_->error());
    return written_set(files_, *placement_, std::move(run_->clipboard_line));
}

} // namespace trevanix
