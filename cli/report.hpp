#pragma once
// What the command line prints: the statistics as the window's boxes show
// them, the files a conversion wrote, and the same facts as one JSON object.
#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "state/session.hpp"
#include "state/spill_buffer.hpp"
#include "cli/cli_services.hpp"

namespace trevanix::cli {

using Json = nlohmann::ordered_json;

// A JSON array of entries laid out as dump() lays out an array one level
// down, each entry rendered as it comes and kept in a SpillBuffer: a scene
// that rejects millions of objects never holds them as JSON values, nor
// their text in memory.
class JsonEntryList {
public:
    explicit JsonEntryList(bool one_line) : indent_(one_line ? -1 : 2) {}
    void add(const Json& entry);
    void clear() noexcept;
    // Writes "[", the entries, "]".
    void write(std::ostream& out) const;

private:
    int indent_;
    SpillBuffer entries_;
    bool empty_ = true;
};

// The per-object lists of a scene's JSON object, filled as the analysis logs
// each rejected object and the conversion leaves out each object.
class ObjectLists : public ProblemListener, public LeftOutListener {
public:
    explicit ObjectLists(bool one_line) : rejected(one_line), left_out(one_line) {}
    void problem_logged(const ProblemLine& problem) override;
    void object_left_out(const LeftOutObject& object) override;

    JsonEntryList rejected;
    JsonEntryList left_out;
};

// The analysis' results, taken right after it so that a conversion that
// follows cannot change them.
struct AnalysisSnapshot {
    std::string scene; // the scene's path
    std::string file_type;
    bool completed = false;
    bool problems = false;
    SceneStatistics statistics;
    // Statistics boxes in the window's reading order, each with its label.
    std::vector<std::pair<std::string, std::string>> boxes;
    std::string log_path;
    std::string log_error; // why the log could not be made or written; "" when it could
    std::vector<PictureRename> renamed_pictures;
    std::vector<std::string> missing_pictures;
    SceneReader reader = SceneReader::Exact;
    std::vector<LoggedProblem> repaired;
    std::vector<UnrenamedPicture> unrenamed_pictures;
};

// Takes the analysis' results from the session.
AnalysisSnapshot take_analysis_snapshot(const Session& session, const std::string& scene);

// One line per statistics box: the window's label, a blank, the box text.
void print_statistics(std::ostream& out, const AnalysisSnapshot& snapshot);
// The pictures a shortened texture name points to that are missing or were
// not renamed, and, when the analysis only listed renames, the renames it
// would have made.
void print_picture_notes(std::ostream& out, const AnalysisSnapshot& snapshot, bool renames_listed_only);
// The ".asc" files and the material file a conversion wrote, one per line.
void print_written_files(std::ostream& out, const ConversionReport& report);

// The scene's JSON object; its "rejected" list is left empty for
// write_scene_json to fill.
Json analysis_json(const AnalysisSnapshot& snapshot, const std::vector<ShownMessage>& messages);
// Adds the conversion's keys; its "left_out" list is left empty for
// write_scene_json to fill.
void add_conversion_json(Json& object, const ConversionReport& report);
// Writes the object and a line end, exactly as dump() (one line) or dump(2)
// lays it out, with the "rejected" and "left_out" lists taken from `lists`.
void write_scene_json(std::ostream& out, const Json& object, const ObjectLists& lists, bool one_line);

// A path or a name as text output and notes show it: control bytes escaped.
std::string shown(std::string_view text);

// JSON strings must be UTF-8; scene texts are 8-bit. A text that is valid
// UTF-8 is kept, any other is read as Latin-1 so that no byte is lost.
std::string json_text(std::string_view bytes);

} // namespace trevanix::cli
