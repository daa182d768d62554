#include "app/shown_analysis.hpp"

#include "app/notices.hpp"
#include "format/text.hpp"
#include "state/messages.hpp"

namespace trevanix {

namespace {

std::string decimal(std::int64_t value) { return format_number(value); }

} // namespace

bool ShownAnalysis::keep_going()
{
    s_.ui.let_events_run();
    return !s_.stop_requested;
}

void ShownAnalysis::reading_started(std::int64_t total)
{
    c_.Label_analize.visible = true;
    c_.Analize_bar.visible = true;
    c_.Analize_bar.min = 0;
    // An empty file still needs a valid range.
    c_.Analize_bar.max = total > 0 ? total : 1;
    c_.Analize_bar.value = 0;
    s_.refresh();
}

void ShownAnalysis::objects_counted()
{
    c_.Text_total_objects.text = decimal(scene_.statistics.objects_found);
    c_.Text_ascsplit.text = decimal(scene_.statistics.split_files);
    s_.refresh();
}

void ShownAnalysis::materials_read(const std::vector<PictureRenameFailure>& rename_failures,
                                   const std::vector<UnrenamedPicture>& unrenamed)
{
    for (const PictureRenameFailure& failure : rename_failures)
        s_.tell("Warning",
                "The picture \"" + failure.from + "\" could not be renamed to \"" + failure.to + "\" (" +
                    failure.reason + "). Please rename it by hand.",
                MessageIcon::Exclamation);
    if (!unrenamed.empty())
        s_.tell(unrenamed_pictures_notice(unrenamed));
}

void ShownAnalysis::object_passed()
{
    const SceneStatistics& totals = scene_.statistics;
    c_.Text_valid_objects.text = decimal(totals.valid_objects);
    c_.Text_faces.text = decimal(totals.faces);
    c_.Text_vertices.text = decimal(totals.vertices);
}

void ShownAnalysis::object_failed(const ObjectCheck& check)
{
    if (check.invalid_submaterial)
        c_.Text1.text = decimal(scene_.statistics.invalid_submaterial_objects);
    c_.Text_comments.text = messages::comments_problems;
    c_.Open_error_log.enabled = true;
    s_.refresh();
}

} // namespace trevanix
