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
#include "cli/cli_services.hpp"

namespace trevanix::cli {

using Json = nlohmann::ordered_json;

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
    std::vector<LoggedProblem> rejected; // kept only when the log was asked to keep them
    std::vector<PictureRename> renamed_pictures;
    std::vector<std::string> missing_pictures;
    SceneReader reader = SceneReader::Exact;
    std::vector<LoggedProblem> repaired;
};

// Takes the analysis' results from the session; the problems the log kept
// move into the snapshot.
AnalysisSnapshot take_analysis_snapshot(Session& session, const std::string& scene);

// One line per statistics box: the window's label, a blank, the box text.
void print_statistics(std::ostream& out, const AnalysisSnapshot& snapshot);
// The pictures a shortened texture name points to that are missing, and,
// when the analysis only listed renames, the renames it would have made.
void print_picture_notes(std::ostream& out, const AnalysisSnapshot& snapshot, bool renames_listed_only);
// The ".asc" files and the material file a conversion wrote, one per line.
void print_written_files(std::ostream& out, const ConversionReport& report);

// The scene's JSON object; its "rejected" list is left empty for
// write_scene_json to fill.
Json analysis_json(const AnalysisSnapshot& snapshot, const std::vector<ShownMessage>& messages);
void add_conversion_json(Json& object, const ConversionReport& report);
// Writes the object and a line end, exactly as dump() (one line) or dump(2)
// lays it out, with the rejected objects written one by one: a scene that
// rejects millions of objects never holds them all as JSON values at once.
void write_scene_json(std::ostream& out, const Json& object, const std::vector<LoggedProblem>& rejected,
                      bool one_line);

// JSON strings must be UTF-8; scene texts are 8-bit. A text that is valid
// UTF-8 is kept, any other is read as Latin-1 so that no byte is lost.
std::string json_text(std::string_view bytes);

} // namespace trevanix::cli
