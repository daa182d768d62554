#include "cli/report.hpp"

#include "state/controls.hpp"

namespace trevanix::cli {

namespace {

bool is_valid_utf8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        std::uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0) {
            extra = 1;
            code = c & 0x1Fu;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            code = c & 0x0Fu;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            code = c & 0x07u;
        } else {
            return false;
        }
        if (i + extra >= s.size())
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (d & 0x3Fu);
        }
        static constexpr std::uint32_t smallest[] = {0, 0x80, 0x800, 0x10000};
        if (code < smallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

Json text_or_null(const std::string& text)
{
    return text.empty() ? Json(nullptr) : Json(json_text(text));
}

Json rejected_json(const std::vector<LoggedProblem>& problems)
{
    Json list = Json::array();
    for (const LoggedProblem& problem : problems) {
        Json entry;
        entry["line"] = problem.line_number;
        entry["object"] = problem.object ? Json(json_text(*problem.object)) : Json(nullptr);
        entry["reason"] = problem.reason;
        entry["text"] = json_text(problem.text);
        list.push_back(std::move(entry));
    }
    return list;
}

Json renamed_pictures_json(const std::vector<PictureRename>& renames)
{
    Json list = Json::array();
    for (const PictureRename& rename : renames) {
        Json entry;
        entry["from"] = json_text(rename.from);
        entry["to"] = json_text(rename.to);
        list.push_back(std::move(entry));
    }
    return list;
}

} // namespace

std::string json_text(std::string_view bytes)
{
    if (is_valid_utf8(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

AnalysisSnapshot take_analysis_snapshot(Session& session, const std::string& scene)
{
    AnalysisSnapshot s;
    s.scene = scene;
    s.file_type = session.scene.file_type;
    s.completed = session.analysis_report.completed;
    s.problems = session.analysis_report.problems;
    s.statistics = session.scene.statistics;
    const Controls& c = session.controls;
    s.boxes = {
        {captions::Label1, c.Text_total_objects.text},
        {captions::Label2, c.Text_valid_objects.text},
        {captions::Label4, c.Text_ascsplit.text},
        {captions::Label6, c.Text_faces.text},
        {captions::Label7, c.Text_vertices.text},
        {captions::Label3, c.Text1.text},
    };
    s.log_path = session.log.path().string();
    s.rejected = session.log.take_kept_problems();
    s.renamed_pictures = session.analysis_report.renamed_pictures;
    s.missing_pictures = session.analysis_report.missing_pictures;
    return s;
}

void print_statistics(std::ostream& out, const AnalysisSnapshot& snapshot)
{
    for (const auto& [label, text] : snapshot.boxes) {
        out << label;
        if (!text.empty())
            out << ' ' << text;
        out << '\n';
    }
}

void print_picture_notes(std::ostream& out, const AnalysisSnapshot& snapshot, bool renames_listed_only)
{
    if (renames_listed_only)
        for (const PictureRename& rename : snapshot.renamed_pictures)
            out << "Picture to be renamed: " << rename.from << " -> " << rename.to << '\n';
    for (const std::string& picture : snapshot.missing_pictures)
        out << "Picture not found: " << picture << '\n';
}

void print_written_files(std::ostream& out, const ConversionReport& report)
{
    for (const auto& path : report.outputs)
        out << path << '\n';
    if (!report.mat_file.empty())
        out << report.mat_file << '\n';
}

Json analysis_json(const AnalysisSnapshot& snapshot, const std::vector<ShownMessage>& messages)
{
    Json object;
    object["scene"] = json_text(snapshot.scene);
    object["file_type"] = json_text(snapshot.file_type);
    object["analysis_completed"] = snapshot.completed;
    object["problems"] = snapshot.problems;
    object["objects_found"] = snapshot.statistics.objects_found;
    object["valid_objects"] = snapshot.statistics.valid_objects;
    object["split_files"] = snapshot.statistics.split_files;
    object["faces"] = snapshot.statistics.faces;
    object["vertices"] = snapshot.statistics.vertices;
    object["invalid_submaterial_objects"] = snapshot.statistics.invalid_submaterial_objects;
    object["log"] = json_text(snapshot.log_path);
    object["rejected"] = rejected_json(snapshot.rejected);
    object["renamed_pictures"] = renamed_pictures_json(snapshot.renamed_pictures);
    Json missing = Json::array();
    for (const std::string& picture : snapshot.missing_pictures)
        missing.push_back(json_text(picture));
    object["missing_pictures"] = std::move(missing);
    Json list = Json::array();
    for (const auto& m : messages) {
        Json entry;
        entry["caption"] = json_text(m.caption);
        entry["text"] = json_text(m.text);
        entry["answer"] = m.is_question() ? Json(m.answer ? "yes" : "no") : Json(nullptr);
        list.push_back(std::move(entry));
    }
    object["messages"] = std::move(list);
    return object;
}

void add_conversion_json(Json& object, const ConversionReport& report)
{
    object["converted"] = report.status == ConversionStatus::Completed;
    object["objects_written"] = report.objects_written;
    Json outputs = Json::array();
    for (const auto& path : report.outputs)
        outputs.push_back(json_text(path));
    object["outputs"] = std::move(outputs);
    object["mat_file"] = text_or_null(report.mat_file);
}

} // namespace trevanix::cli
