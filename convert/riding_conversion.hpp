#pragma once
// The conversion that rides along the analysis' scan. When the conversion is
// known to follow the analysis directly (the command line's "convert", the
// window's express run), it reads the scene's lines beside the checks, so
// the scene is read once, and writes its outputs into unseen temporaries in
// the claimed target's folder. "Start Process" then finds them ready; the
// questions, messages and accounting keep their order, since nothing of the
// conversion is told before it runs. Whenever the scan could not give the
// conversion every line as its own reading would (the rider was dropped, or
// anything failed or stopped), its work is void and "Start Process" reads
// the scene on its own, as it always did.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "convert/conversion.hpp"
#include "convert/left_out_accounting.hpp"
#include "convert/object_placement.hpp"
#include "convert/output_file.hpp"
#include "convert/target_claim.hpp"
#include "format/line_tape.hpp"

namespace trevanix {

// What the conversion right after the analysis will be asked for.
struct ConversionRequest {
    std::string chosen_target; // "" when the target derives from the scene
    ConversionOptions options;
};

class RidingConversion : public RidingReader {
public:
    // Claims the target `request` asks for, to convert the scene the
    // analysis is about to read (its path and type; the material list is
    // read later into `scene`). Null when nothing can ride: the target is
    // busy or cannot be used, an output could be the scene itself, or a test
    // injects faults into the outputs (they belong to the conversion's own
    // reading).
    static std::unique_ptr<RidingConversion> start(const SceneState& scene, const ConversionRequest& request);
    ~RidingConversion() override;

    void begin(LineCursor& in) override;
    bool step() override;
    void dropped() override;

    // The outputs written beside the scan are complete and are those that
    // `plan` with `options` writes from the scene the analysis read.
    bool fits(const ConversionPlan& plan, const ConversionOptions& options, const SceneIdentity& identity) const;
    // The claim on the target, held since the analysis began.
    TargetClaim& claim() noexcept { return claim_; }
    // The outputs written beside the scan, as write_scene_outputs() writes
    // them; each object's outcome is told first, to `left_out` through the
    // accounting of `passed` when both are given.
    WrittenOutputs take_outputs(const ConversionPlan& plan, const PassedObjects* passed, LeftOutReport* left_out);

private:
    // Tells the loop to go on; the analysis decides whether the scan stops.
    class Pace : public WorkPace {
    public:
        bool keep_going() override { return true; }
    };

    RidingConversion(const SceneState& scene, const ConversionRequest& request, std::string target);
    void end_loop();

    const SceneState& scene_;
    ConversionRequest request_;
    std::string target_;
    TargetClaim claim_;
    std::vector<OutputFile> files_;
    std::optional<ObjectPlacement> placement_;
    Pace pace_;
    OutcomeRecord outcomes_;
    std::optional<ExportRun> run_;
    std::unique_ptr<ExportLoop> loop_;
    LineCursor* input_ = nullptr;
    bool complete_ = false; // the loop read the whole scan and wrote everything
    bool void_ = false;     // dropped, failed or stopped
};

} // namespace trevanix
