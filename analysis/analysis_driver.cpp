#include "analysis/analysis_driver.hpp"

#include <string>

#include "analysis/asc_checks.hpp"
#include "analysis/ase_checks.hpp"
#include "analysis/material_catalogue.hpp"
#include "format/asc_lines.hpp"
#include "format/ase_keywords.hpp"
#include "format/kolbrin_limits.hpp"
#include "format/line_counter.hpp"
#include "format/line_cursor.hpp"
#include "format/scene_file.hpp"
#include "format/text.hpp"
#include "state/messages.hpp"
#include "state/paths.hpp"

namespace trevanix {

std::int64_t split_count(std::int64_t objects) noexcept { return kolbrin::split_files_for(objects); }

namespace {

bool starts_ase_object(std::string_view line) { return starts_with_upper(line, ase_keyword::object_start); }

std::string utf16_message(const std::string& path)
{
    return "The file \"" + path +
           "\" is saved as UTF-16 (Unicode) text, which this program cannot read. Open it in the exporter or a "
           "text editor, save it again as 8-bit text (ANSI or Latin-1; UTF-8 also works when the names use only "
           "plain letters), and analyse it again.";
}

// Adds a count to a total without ever wrapping: a count that is not a whole
// 64-bit number adds nothing, and a total that would run past the 64-bit
// range stays at its end.
std::int64_t add_count(std::int64_t total, double count) noexcept
{
    const std::int64_t value = to_int64(count).value_or(0);
    std::int64_t sum = 0;
    if (__builtin_add_overflow(total, value, &sum))
        return value > 0 ? INT64_MAX : INT64_MIN;
    return sum;
}

class SceneAnalysis {
public:
    SceneAnalysis(SceneState& scene, ErrorLog& log, const LineSourceOptions& reading, AnalysisObserver& observer,
                  PictureRenaming renaming)
        : scene_(scene), log_(log), reading_(reading), observer_(observer), renaming_(renaming)
    {
    }

    AnalysisResult run()
    {
        scene_.line_count = 0;
        scene_.object_count = 0;
        scene_.scene_identity = {};
        scene_.lf_ends_line = reading_.lf_ends_line;
        scene_.statistics.faces = 0;
        scene_.statistics.vertices = 0;
        scene_.statistics.invalid_submaterial_objects = 0;
        if (scene_.file_type == "asc")
            analyse_asc();
        else if (scene_.file_type == "ase")
            analyse_ase();
        return result_;
    }

private:
    // ---- how a run ends -------------------------------------------------------

    bool end(AnalysisEnd how, std::string message = {})
    {
        result_.end = how;
        result_.message = std::move(message);
        return false;
    }
    bool unreadable(std::string message) { return end(AnalysisEnd::Unreadable, std::move(message)); }
    bool stopped() { return end(AnalysisEnd::Stopped); }

    // ---- the file and the counting pass ------------------------------------------

    // Opens the scene once for every pass: a file replaced or rewritten
    // between two passes is noticed, not read half old and half new.
    bool open_scene()
    {
        std::string refusal;
        if (!open_scene_file(file_, scene_.scene_path, refusal))
            return unreadable(refusal);
        scene_.scene_identity = file_.identity();
        return true;
    }

    bool count(const ObjectStartKeyword& keyword)
    {
        if (!observer_.keep_going())
            return stopped();
        LineCount count;
        std::string error;
        const CountOptions options{reading_.lf_ends_line, reading_.block_size, reading_.stop};
        switch (count_lines_and_objects(file_, options, keyword, count, error)) {
        case CountEnd::Counted:
            break;
        case CountEnd::Unreadable:
            return unreadable(error);
        case CountEnd::Stopped:
            return stopped();
        }
        // Every later pass, and the conversion, end lines where this count did.
        reading_.lf_ends_line = count.lf_ends_line;
        scene_.lf_ends_line = count.lf_ends_line;
        scene_.line_count = count.lines;
        scene_.object_count = count.object_starts;
        observer_.lines_counted();
        if (count.object_starts == 0) {
            result_.input_has_lone_line_feeds = !count.lf_ends_line && count.lone_line_feeds;
            return end(AnalysisEnd::NoObjects);
        }
        scene_.statistics.objects_found = scene_.object_count;
        scene_.statistics.split_files = split_count(scene_.object_count);
        observer_.objects_counted();
        return true;
    }

    // A pass that could not read what it needed ends the analysis: stopped,
    // or unreadable with the reader's sentence.
    bool reading_ended(const LineSource& source)
    {
        if (source.stopped())
            return stopped();
        return unreadable(source.failure_message());
    }

    // ---- the checking pass --------------------------------------------------------

    void object_passed(const ObjectCheck& check, std::int64_t start_line)
    {
        scene_.passed_objects.add(start_line, check.name);
        ++scene_.valid_objects;
        SceneStatistics& totals = scene_.statistics;
        totals.valid_objects = scene_.valid_objects;
        totals.faces = add_count(totals.faces, check.faces);
        totals.vertices = add_count(totals.vertices, check.vertices);
        observer_.object_passed();
    }

    void object_failed(const ObjectCheck& check)
    {
        if (check.invalid_submaterial) {
            ++scene_.invalid_submaterial_objects_since_start;
            ++scene_.statistics.invalid_submaterial_objects;
        }
        result_.problems = true;
        observer_.object_failed(check);
    }

    // Shared by both types: `examine` checks the object that starts on the
    // current line, if any.
    template <typename Examine>
    bool check_objects(Examine examine)
    {
        scene_.passed_objects.clear();
        scene_.valid_objects = 0;
        LineSource source(reading_);
        std::string error;
        if (!source.open(file_, error))
            return unreadable(error);
        LineCursor cursor(source);
        for (;;) {
            if (!observer_.keep_going())
                return stopped();
            if (cursor.number() >= scene_.line_count || cursor.at_end())
                break;
            cursor.read();
            const std::int64_t start_line = cursor.number();
            const ObjectCheck check = examine(cursor);
            // An object cut short by a failed or stopped read gets no verdict.
            if (source.read_failed())
                return reading_ended(source);
            switch (check.verdict) {
            case ObjectVerdict::NotAnObject:
                break;
            case ObjectVerdict::Passed:
                object_passed(check, start_line);
                break;
            case ObjectVerdict::Failed:
                object_failed(check);
                break;
            case ObjectVerdict::Fatal:
                return end(AnalysisEnd::BrokenStructure, check.fatal_message);
            }
            observer_.line_checked(cursor.number());
        }
        if (source.read_failed())
            return reading_ended(source);
        if (!file_.unchanged())
            return unreadable(file_.changed_message());
        return true;
    }

    // ---- ".asc" ---------------------------------------------------------------------

    void analyse_asc()
    {
        if (!open_scene() || !count({asc::starts_object, 'n', 'N'}))
            return;
        check_objects([this](LineCursor& cursor) { return examine_asc_line(cursor, log_); });
    }

    // ---- ".ase" ---------------------------------------------------------------------

    bool read_materials()
    {
        CatalogueInput input;
        input.path = scene_.scene_path;
        input.tiff_folder = join_path(parent_folder_of(scene_.scene_path), "TIFFRGB");
        input.reading = reading_;
        input.file = &file_;
        input.renaming = renaming_;
        input.keep_going = [this] { return observer_.keep_going(); };
        MaterialCatalogue& catalogue = scene_.catalogue;
        const CatalogueOutcome sized = size_material_list(input, catalogue);
        if (sized.stopped)
            return stopped();
        if (!sized.readable)
            return unreadable(sized.error);
        if (!sized.counts_in_range)
            return end(AnalysisEnd::BrokenStructure, messages::ase_invalid_structure);
        CatalogueOutcome read = read_material_catalogue(input, catalogue);
        result_.renamed_pictures = std::move(read.renamed_pictures);
        result_.missing_pictures = std::move(read.missing_pictures);
        result_.unrenamed_pictures = std::move(read.unrenamed_pictures);
        if (read.stopped)
            return stopped();
        if (!read.readable)
            return unreadable(read.error);
        if (!read.counts_in_range)
            return end(AnalysisEnd::BrokenStructure, messages::ase_invalid_structure);
        // A scene without a material list has no materials, whatever an
        // earlier analysis left behind.
        scene_.has_materials = read.has_materials;
        observer_.materials_read(read.rename_failures, result_.unrenamed_pictures);
        return true;
    }

    void analyse_ase()
    {
        if (!open_scene() || !count({starts_ase_object, '*', '*'}) || !read_materials())
            return;
        AseObjectChecker checker(log_, scene_.catalogue.submaterial_counts);
        check_objects([&checker](LineCursor& cursor) { return checker.examine(cursor); });
    }

    SceneState& scene_;
    ErrorLog& log_;
    LineSourceOptions reading_; // with the line-end rule the counting pass found
    AnalysisObserver& observer_;
    PictureRenaming renaming_;
    AnalysisResult result_;
    SceneFile file_;
};

} // namespace

bool open_scene_file(SceneFile& file, const std::string& path, std::string& refusal)
{
    if (!file.open(path, refusal))
        return false;
    char start[2] = {0, 0};
    std::size_t got = 0;
    if (file.read_at(0, start, sizeof start, got) == ReadOutcome::Read && starts_with_utf16_mark(start, got)) {
        file.close();
        refusal = utf16_message(path);
        return false;
    }
    return true;
}

AnalysisResult analyse_scene_file(SceneState& scene, ErrorLog& log, const LineSourceOptions& reading,
                                  AnalysisObserver& observer, PictureRenaming renaming)
{
    return SceneAnalysis(scene, log, reading, observer, renaming).run();
}

} // namespace trevanix
