#include "analysis/analysis_driver.hpp"

#include <optional>
#include <string>

#include "analysis/asc_checks.hpp"
#include "analysis/ase_checks.hpp"
#include "analysis/material_catalogue.hpp"
#include "format/asc_lines.hpp"
#include "format/ase_keywords.hpp"
#include "format/kolbrin_limits.hpp"
#include "format/line_counter.hpp"
#include "format/line_cursor.hpp"
#include "format/line_end_rule.hpp"
#include "format/line_tape.hpp"
#include "format/scene_file.hpp"
#include "format/text.hpp"
#include "state/messages.hpp"
#include "state/paths.hpp"

namespace trevanix {

std::int64_t split_count(std::int64_t objects) noexcept { return kolbrin::split_files_for(objects); }

namespace {

bool starts_ase_object(std::string_view line) { return starts_with_upper(line, ase_keyword::object_start); }

constexpr ObjectStartKeyword asc_object_start{asc::starts_object, 'n', 'N'};
constexpr ObjectStartKeyword ase_object_start{starts_ase_object, '*', '*'};

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
                  PictureRenaming renaming, RidingReader* rider)
        : scene_(scene), log_(log), reading_(reading), observer_(observer), renaming_(renaming), rider_(rider)
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
        if (scene_.file_type == FileType::Asc)
            analyse_asc();
        else if (scene_.file_type == FileType::Ase)
            analyse_ase();
        if (rider_ != nullptr && !riding_done_)
            rider_->dropped();
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

    // A pass that could not read what it needed ends the analysis: stopped,
    // or unreadable with the reader's sentence.
    bool reading_ended(const LineCursor& cursor)
    {
        if (cursor.stopped())
            return stopped();
        return unreadable(cursor.failure_message());
    }

    // ---- the file, its line ends and its counts -----------------------------------

    // Opens the scene once for the whole analysis: a file replaced or
    // rewritten while it is read is noticed, not read half old and half new.
    bool open_scene()
    {
        std::string refusal;
        if (!open_scene_file(file_, scene_.scene_path, refusal))
            return unreadable(refusal);
        scene_.scene_identity = file_.identity();
        return true;
    }

    // Settles which bytes end the lines before the scan. The file's first
    // bytes tell it for nearly every scene; otherwise a counting pass over
    // the whole file finds it, with the counts the scan would find.
    bool choose_line_ends(const ObjectStartKeyword& keyword)
    {
        if (!observer_.keep_going())
            return stopped();
        if (!reading_.lf_ends_line) {
            switch (line_end_rule_from_start(file_)) {
            case LineEndRule::CarriageReturn:
                break;
            case LineEndRule::LineFeedToo:
                reading_.lf_ends_line = true;
                break;
            case LineEndRule::Unknown:
                return count_first(keyword);
            }
        }
        scene_.lf_ends_line = reading_.lf_ends_line;
        return true;
    }

    bool count_first(const ObjectStartKeyword& keyword)
    {
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
        reading_.lf_ends_line = count.lf_ends_line;
        scene_.lf_ends_line = count.lf_ends_line;
        if (count.object_starts == 0)
            return no_objects(count);
        return true;
    }

    bool no_objects(const LineCount& count)
    {
        result_.input_has_lone_line_feeds = !count.lf_ends_line && count.lone_line_feeds;
        return end(AnalysisEnd::NoObjects);
    }

    // The scan found no line that starts an object: what the counting pass
    // knows of the file's line feeds goes with the verdict.
    bool no_objects_found(const ObjectStartKeyword& keyword)
    {
        LineCount count;
        std::string error;
        const CountOptions options{reading_.lf_ends_line, reading_.block_size, reading_.stop};
        if (count_lines_and_objects(file_, options, keyword, count, error) != CountEnd::Counted)
            count = {};
        count.lf_ends_line = reading_.lf_ends_line;
        return no_objects(count);
    }

    // The scan has read the whole file: its lines and objects are counted.
    void objects_counted(std::int64_t lines, std::int64_t object_starts)
    {
        scene_.line_count = lines;
        scene_.object_count = object_starts;
        scene_.statistics.objects_found = object_starts;
        scene_.statistics.split_files = split_count(object_starts);
        observer_.objects_counted();
    }

    // ---- the checks ---------------------------------------------------------------

    void object_passed(const ObjectCheck& check, std::int64_t start_line)
    {
        scene_.passed_objects.add(start_line, check.name);
        SceneStatistics& totals = scene_.statistics;
        ++totals.valid_objects;
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

    // Takes the verdict of the step that started on `start_line`; false when
    // the analysis ends there.
    bool take_verdict(const ObjectCheck& check, std::int64_t start_line)
    {
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
        return true;
    }

    // The rest of the file after a broken structure, read only to count its
    // lines and objects, which the verdict shows.
    static void read_rest(LineCursor& cursor)
    {
        while (cursor.read()) {
        }
    }

    // The checking pass, to the end of the file: `examine` checks the object
    // that starts on the current line, if any; `after_step` follows each
    // step.
    template <typename Examine, typename AfterStep>
    bool check_objects(LineCursor& cursor, Examine examine, AfterStep after_step)
    {
        scene_.passed_objects.clear();
        scene_.statistics.valid_objects = 0;
        for (;;) {
            if (!observer_.keep_going())
                return stopped();
            if (cursor.at_end())
                break;
            cursor.read();
            const std::int64_t start_line = cursor.number();
            const ObjectCheck check = examine(cursor);
            // An object cut short by a failed or stopped read gets no verdict.
            if (cursor.read_failed())
                return reading_ended(cursor);
            if (!take_verdict(check, start_line))
                return false;
            observer_.progress(static_cast<std::int64_t>(cursor.bytes_reached()));
            after_step();
        }
        if (cursor.read_failed())
            return reading_ended(cursor);
        if (!file_.unchanged())
            return unreadable(file_.changed_message());
        return true;
    }

    // Steps the rider so that it keeps up with the checks; tells it when it
    // cannot go on.
    class Riding {
    public:
        Riding(RidingReader* rider, LineTape& tape, LineCursor* cursor, bool& told)
            : rider_(rider), tape_(tape), cursor_(cursor), told_(told), active_(rider != nullptr)
        {
        }
        void keep_up(std::int64_t line)
        {
            while (active_ && cursor_->number() < line)
                step();
        }
        // After the checks reached the end of the file.
        void to_the_end()
        {
            while (active_)
                step();
            told_ = true;
        }
        void drop()
        {
            if (!active_)
                return;
            active_ = false;
            tape_.end_follower();
            rider_->dropped();
            told_ = true;
        }

    private:
        void step()
        {
            const bool went_on = rider_->step();
            if (tape_.follower_dropped()) {
                active_ = false;
                rider_->dropped();
                told_ = true;
            } else if (!went_on) {
                active_ = false;
                tape_.end_follower();
            }
        }

        RidingReader* rider_;
        LineTape& tape_;
        LineCursor* cursor_;
        bool& told_;
        bool active_;
    };

    // The checking pass over the tape (the last of the scan), with the rider
    // beside it when there is one.
    template <typename Examine>
    bool check_through_tape(LineTape& tape, Examine examine)
    {
        LineCursor cursor(tape);
        std::optional<LineCursor> follower;
        if (rider_ != nullptr)
            follower.emplace(tape);
        tape.begin_last_pass(cursor, follower ? &*follower : nullptr);
        Riding riding(rider_, tape, follower ? &*follower : nullptr, riding_done_);
        if (rider_ != nullptr)
            rider_->begin(*follower);
        const bool checked = check_objects(cursor, examine, [&] { riding.keep_up(cursor.number()); });
        if (checked) {
            riding.to_the_end();
        } else {
            riding.drop();
            if (result_.end == AnalysisEnd::BrokenStructure)
                read_rest(cursor);
        }
        return counted(cursor, tape.tally().count, checked);
    }

    bool start_reading(LineSource& source)
    {
        std::string error;
        if (!source.open(file_, error))
            return unreadable(error);
        observer_.reading_started(static_cast<std::int64_t>(file_.size()));
        return true;
    }

    // ---- ".asc" ---------------------------------------------------------------------

    void analyse_asc()
    {
        if (!open_scene() || !choose_line_ends(asc_object_start))
            return;
        LineSource source(reading_);
        if (!start_reading(source))
            return;
        ObjectStartTally tally{asc_object_start};
        LineTape tape(source, tally);
        if (!check_through_tape(tape, [this](LineCursor& in) { return examine_asc_line(in, log_); }))
            return;
        if (tally.count == 0)
            no_objects_found(asc_object_start);
    }

    // The counts of a file read to its end, shown also beside a broken
    // structure's message (a file without objects has none to show).
    bool counted(const LineCursor& cursor, std::int64_t object_starts, bool checked)
    {
        if ((checked || result_.end == AnalysisEnd::BrokenStructure) && object_starts > 0)
            objects_counted(cursor.number(), object_starts);
        return checked;
    }

    // ---- ".ase" ---------------------------------------------------------------------

    CatalogueInput catalogue_input() const
    {
        CatalogueInput input;
        input.path = scene_.scene_path;
        input.tiff_folder = join_path(parent_folder_of(scene_.scene_path), "TIFFRGB");
        input.reading = reading_;
        input.file = &file_;
        input.renaming = renaming_;
        input.keep_going = [this] { return observer_.keep_going(); };
        return input;
    }

    // A material pass reads the tape while it holds the file from its first
    // line; otherwise it reads the file on its own.
    template <typename Pass>
    CatalogueOutcome material_pass(LineTape& tape, const CatalogueInput& input, Pass pass)
    {
        if (!tape.whole()) {
            LineSource own(input.reading);
            CatalogueOutcome refused;
            if (!own.open(file_, refused.error)) {
                refused.readable = false;
                return refused;
            }
            LineCursor cursor(own);
            return pass(cursor, input, scene_.catalogue);
        }
        LineCursor cursor(tape);
        return pass(cursor, input, scene_.catalogue);
    }

    // How a material pass ended; false when the analysis ends with it.
    bool material_pass_went_through(const CatalogueOutcome& outcome)
    {
        if (outcome.stopped)
            return stopped();
        if (!outcome.readable)
            return unreadable(outcome.error);
        return true;
    }

    // A scene without objects is told so before anything beside it is
    // touched: the first line that starts an object is looked for (through
    // the tape) before the catalogue pass renames any picture.
    bool has_objects(LineTape& tape)
    {
        if (tape.take_until_object_start())
            return true;
        if (tape.source().read_failed())
            return tape.source().stopped() ? stopped() : unreadable(tape.source().failure_message());
        return no_objects_found(ase_object_start);
    }

    bool size_materials(LineTape& tape, const CatalogueInput& input)
    {
        const CatalogueOutcome sized = material_pass(tape, input, [](LineCursor& in, const CatalogueInput& i,
                                                                     MaterialCatalogue& c) {
            return size_material_list(in, i, c);
        });
        if (!material_pass_went_through(sized))
            return false;
        if (!sized.counts_in_range)
            return has_objects(tape) && broken_material_list(tape);
        return has_objects(tape);
    }

    bool read_materials(LineTape& tape, const CatalogueInput& input)
    {
        CatalogueOutcome read = material_pass(tape, input, [](LineCursor& in, const CatalogueInput& i,
                                                              MaterialCatalogue& c) {
            return read_material_catalogue(in, i, c);
        });
        result_.renamed_pictures = std::move(read.renamed_pictures);
        result_.missing_pictures = std::move(read.missing_pictures);
        result_.unrenamed_pictures = std::move(read.unrenamed_pictures);
        if (!material_pass_went_through(read))
            return false;
        if (!read.counts_in_range)
            return broken_material_list(tape);
        // A scene without a material list has no materials, whatever an
        // earlier analysis left behind.
        scene_.has_materials = read.has_materials;
        observer_.materials_read(read.rename_failures, result_.unrenamed_pictures);
        return true;
    }

    // The checking pass reads the tape (and then the file) when the tape
    // holds the file from its first line; otherwise it reads the file on its
    // own, counting the lines and object starts itself.
    bool check_ase_objects(LineTape& tape)
    {
        AseObjectChecker checker(log_, scene_.catalogue.submaterial_counts);
        auto examine = [&checker](LineCursor& in) { return checker.examine(in); };
        if (tape.whole())
            return check_through_tape(tape, examine);
        // The rider cannot read beside a pass of its own.
        LineSource own(reading_);
        std::string error;
        if (!own.open(file_, error))
            return unreadable(error);
        ObjectStartTally tally{ase_object_start};
        LineCursor cursor(own, 0, &tally);
        const bool checked = check_objects(cursor, examine, [] {});
        if (!checked && result_.end == AnalysisEnd::BrokenStructure)
            read_rest(cursor);
        return counted(cursor, tally.count, checked);
    }

    // A material list that breaks the structure: the rest of the file is
    // read only to count its lines and objects.
    bool broken_material_list(LineTape& tape)
    {
        tape.take_rest();
        objects_counted(tape.source().lines_read(), tape.tally().count);
        return end(AnalysisEnd::BrokenStructure, messages::ase_invalid_structure);
    }

    void analyse_ase()
    {
        if (!open_scene() || !choose_line_ends(ase_object_start))
            return;
        LineSource source(reading_);
        if (!start_reading(source))
            return;
        ObjectStartTally tally{ase_object_start};
        LineTape tape(source, tally);
        const CatalogueInput input = catalogue_input();
        if (!size_materials(tape, input) || !read_materials(tape, input))
            return;
        check_ase_objects(tape);
    }

    SceneState& scene_;
    ErrorLog& log_;
    LineSourceOptions reading_; // with the line-end rule of the file
    AnalysisObserver& observer_;
    PictureRenaming renaming_;
    RidingReader* rider_;
    bool riding_done_ = false; // the rider has been told whether it read the whole scan
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
                                  AnalysisObserver& observer, PictureRenaming renaming, RidingReader* rider)
{
    return SceneAnalysis(scene, log, reading, observer, renaming, rider).run();
}

} // namespace trevanix
