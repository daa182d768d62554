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
    std::string file_type;
    bool completed = false;
    bool problems = false;
    SceneStatistics statistics;
    // Statistics boxes in the window's reading order, each with its label.
    std::vector<std::pair<std::string, std::string>> boxes;
    std::string log_path;
};

AnalysisSnapshot snapshot_analysis(const Session& session);

// One line per statistics box: the window's label, a blank, the box text.
void print_statistics(std::ostream& out, const AnalysisSnapshot& snapshot);
// The ".asc" files and the material file a conversion wrote, one per line.
void print_written_files(std::ostream& out, const ConversionReport& report);

Json analysis_json(const AnalysisSnapshot& snapshot, const std::vector<ShownMessage>& messages);
void add_conversion_json(Json& object, const ConversionReport& report);

// JSON strings must be UTF-8; scene texts are 8-bit. A text that is valid
// UTF-8 is kept, any other is read as Latin-1 so that no byte is lost.
std::string json_text(std::string_view bytes);

} // namespace trevanix::cli
