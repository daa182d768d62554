#pragma once
// Shows an analysis as it runs: the progress row, the totals as they grow,
// the comment and the log button once an object fails, and the notices of
// pictures that were not renamed.
#include "analysis/analysis_driver.hpp"
#include "state/session.hpp"

namespace trevanix {

class ShownAnalysis : public AnalysisObserver {
public:
    explicit ShownAnalysis(Session& session) : s_(session), scene_(session.scene), c_(session.controls) {}

    bool keep_going() override;
    void reading_started(std::int64_t total) override;
    void objects_counted() override;
    void materials_read(const std::vector<PictureRenameFailure>& rename_failures,
                        const std::vector<UnrenamedPicture>& unrenamed) override;
    void object_passed() override;
    void object_failed(const ObjectCheck& check) override;
    void progress(std::int64_t done) override { c_.Analize_bar.value = done; }

private:
    Session& s_;
    SceneState& scene_;
    Controls& c_;
};

} // namespace trevanix
