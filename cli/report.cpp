#include "cli/report.hpp"

#include "analysis/texture_short_names.hpp"
#include "format/code_pages.hpp"
#include "format/text.hpp"
#include "state/controls.hpp"

namespace trevanix::cli {

namespace {

Json text_or_null(const std::string& text)
{
    return text.empty() ? Json(nullptr) : Json(json_text(text));
}

// One problem line as JSON. The general reader's objects have no input line.
Json problem_entry_json(std::int64_t line_number, const std::optional<std::string_view>& object,
                        std::string_view reason, std::string_view text)
{
    Json entry;
    entry["line"] = line_number > 0 ? Json(line_number) : Json(nullptr);
    entry["object"] = object ? Json(json_text(*object)) : Json(nullptr);
    entry["reason"] = std::string(reason);
    entry["text"] = json_text(text);
    return entry;
}

Json rejected_entry_json(const LoggedProblem& problem)
{
    std::optional<std::string_view> object;
    if (problem.object)
        object = *problem.object;
    return problem_entry_json(problem.line_number, object, problem.reason, problem.text);
}

// A value nested one level down: its indented lines move two blanks right.
// (JSON strings hold no raw line breaks, so every '\n' is a line break of the layout.)
std::string nested_dump(const Json& value, int indent, int level)
{
    std::string text = value.dump(indent);
    if (indent < 0)
        return text;
    const std::string shift(static_cast<std::size_t>(indent * level), ' ');
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        out.push_back(c);
        if (c == '\n')
            out += shift;
    }
    return out;
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

Json unrenamed_pictures_json(const std::vector<UnrenamedPicture>& pictures)
{
    Json list = Json::array();
    for (const UnrenamedPicture& picture : pictures) {
        Json entry;
        entry["from"] = json_text(picture.from);
        entry["to"] = json_text(picture.to);
        entry["reason"] = picture.reason;
        list.push_back(std::move(entry));
    }
    return list;
}

Json messages_json(const std::vector<ShownMessage>& messages)
{
    Json list = Json::array();
    for (const auto& m : messages) {
        Json entry;
        entry["caption"] = json_text(m.caption);
        // The details follow the text, one a line, as the window shows them.
        std::string text = m.text;
        for (const std::string& line : m.details)
            text += "\n" + line;
        entry["text"] = json_text(text);
        entry["answer"] = m.is_question() ? Json(m.answer ? "yes" : "no") : Json(nullptr);
        list.push_back(std::move(entry));
    }
    return list;
}

} // namespace

void JsonEntryList::add(const Json& entry)
{
    // Each entry on a line of its own, two levels in, as dump(2) puts it.
    const std::string line_start = indent_ < 0 ? "" : "\n" + std::string(static_cast<std::size_t>(indent_ * 2), ' ');
    if (!empty_)
        entries_.append(",");
    entries_.append(line_start);
    entries_.append(nested_dump(entry, indent_, 2));
    empty_ = false;
}

void JsonEntryList::clear() noexcept
{
    entries_.clear();
    empty_ = true;
}

void JsonEntryList::write(std::ostream& out) const
{
    if (empty_) {
        out << "[]";
        return;
    }
    out << '[';
    SpillBuffer::Reader reader(entries_);
    for (std::string_view piece = reader.next(); !piece.empty(); piece = reader.next())
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
    if (indent_ >= 0)
        out << '\n' << std::string(static_cast<std::size_t>(indent_), ' ');
    out << ']';
}

void ObjectLists::problem_logged(const ProblemLine& problem)
{
    rejected.add(problem_entry_json(problem.line_number, problem.object, problem.reason, problem.text));
}

void ObjectLists::object_left_out(const LeftOutObject& object)
{
    Json entry;
    entry["line"] = object.line;
    entry["object"] = json_text(object.object);
    entry["reason"] = object.reason;
    left_out.add(entry);
}

std::string shown(std::string_view text) { return printable_text(text); }

std::string json_text(std::string_view bytes)
{
    if (is_utf8(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    // Latin-1: each byte is the code point of the same number.
    for (const char c : bytes)
        append_utf8(out, static_cast<unsigned char>(c));
    return out;
}

AnalysisSnapshot take_analysis_snapshot(const Session& session, const std::string& scene)
{
    AnalysisSnapshot s;
    s.scene = scene;
    s.file_type = session.scene.extension;
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
    s.log_error = session.log.failure_reason();
    s.renamed_pictures = session.analysis_report.renamed_pictures;
    s.missing_pictures = session.analysis_report.missing_pictures;
    s.reader = session.analysis_report.reader;
    s.repaired = session.analysis_report.repaired;
    s.unrenamed_pictures = session.analysis_report.unrenamed_pictures;
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
            out << "Picture to be renamed: " << shown(rename.from) << " -> " << shown(rename.to) << '\n';
    for (const std::string& picture : snapshot.missing_pictures)
        out << "Picture not found: " << shown(picture) << '\n';
    for (const UnrenamedPicture& picture : snapshot.unrenamed_pictures)
        out << "Picture not renamed: " << shown(picture.from) << " (" << unrenamed_picture_text(picture.reason)
            << ")\n";
}

void print_written_files(std::ostream& out, const ConversionReport& report)
{
    for (const auto& path : report.outputs)
        out << shown(path) << '\n';
    if (!report.mat_file.empty())
        out << shown(report.mat_file) << '\n';
    for (const auto& path : report.pictures)
        out << shown(path) << '\n';
}

Json analysis_json(const AnalysisSnapshot& snapshot, const std::vector<ShownMessage>& messages)
{
    Json object;
    object["scene"] = json_text(snapshot.scene);
    object["file_type"] = json_text(snapshot.file_type);
    object["reader"] = snapshot.reader == SceneReader::General ? "general" : "exact";
    object["analysis_completed"] = snapshot.completed;
    object["problems"] = snapshot.problems;
    object["objects_found"] = snapshot.statistics.objects_found;
    object["valid_objects"] = snapshot.statistics.valid_objects;
    object["split_files"] = snapshot.statistics.split_files;
    object["faces"] = snapshot.statistics.faces;
    object["vertices"] = snapshot.statistics.vertices;
    object["invalid_submaterial_objects"] = snapshot.statistics.invalid_submaterial_objects;
    // A log that could not be made or written holds no (or not every) line.
    object["log"] = snapshot.log_error.empty() ? Json(json_text(snapshot.log_path)) : Json(nullptr);
    object["log_error"] = text_or_null(snapshot.log_error);
    object["rejected"] = Json::array(); // written entry by entry by write_scene_json
    Json repaired = Json::array();
    for (const LoggedProblem& problem : snapshot.repaired)
        repaired.push_back(rejected_entry_json(problem));
    object["repaired"] = std::move(repaired);
    object["renamed_pictures"] = renamed_pictures_json(snapshot.renamed_pictures);
    Json missing = Json::array();
    for (const std::string& picture : snapshot.missing_pictures)
        missing.push_back(json_text(picture));
    object["missing_pictures"] = std::move(missing);
    object["unrenamed_pictures"] = unrenamed_pictures_json(snapshot.unrenamed_pictures);
    object["messages"] = messages_json(messages);
    return object;
}

void write_scene_json(std::ostream& out, const Json& object, const ObjectLists& lists, bool one_line)
{
    // dump()'s layouts: {"key":value,...} on one line, or indented by two.
    const int indent = one_line ? -1 : 2;
    const char* key_end = one_line ? ":" : ": ";
    const std::string line_start = one_line ? "" : "\n  ";
    out << '{';
    bool first = true;
    for (const auto& [key, value] : object.items()) {
        if (!first)
            out << ',';
        first = false;
        out << line_start << Json(key).dump() << key_end;
        if (key == "rejected")
            lists.rejected.write(out);
        else if (key == "left_out")
            lists.left_out.write(out);
        else
            out << nested_dump(value, indent, 1);
    }
    if (!one_line)
        out << '\n';
    out << "}\n";
}

void add_conversion_json(Json& object, const ConversionReport& report)
{
    object["converted"] = report.status == ConversionStatus::Completed;
    object["objects_written"] = report.objects_written;
    object["left_out"] = Json::array(); // written entry by entry by write_scene_json
    Json outputs = Json::array();
    for (const auto& path : report.outputs)
        outputs.push_back(json_text(path));
    object["outputs"] = std::move(outputs);
    object["mat_file"] = text_or_null(report.mat_file);
    Json pictures = Json::array();
    for (const auto& path : report.pictures)
        pictures.push_back(json_text(path));
    object["pictures"] = std::move(pictures);
}

} // namespace trevanix::cli
