#pragma once
// A form with scripted services and its error log in a fresh folder, for
// driving analyses and conversions in tests.
#include <optional>
#include <string>
#include <vector>

#include "app/form.hpp"
#include "support/asc_builder.hpp"
#include "support/scripted_services.hpp"
#include "support/temp_dir.hpp"

namespace trevanix::testing {

// A one-object ".asc" scene that passes every check.
inline const std::string one_object_asc = asc_object({.vertices = 1});

// A problem line as the log told it.
struct KeptProblem {
    std::int64_t line_number = 0;
    std::optional<std::string> object;
    std::string reason;
    std::string text;
};

// Keeps every problem line the log is told, for tests that compare them.
class RecordedProblems : public ProblemListener {
public:
    std::vector<KeptProblem> problems;
    void problem_logged(const ProblemLine& p) override
    {
        problems.push_back({p.line_number, p.object ? std::optional<std::string>(*p.object) : std::nullopt,
                            std::string(p.reason), std::string(p.text)});
    }
};

class Harness {
public:
    Harness() : form_(services, settings_for(dir)) { form_.session().log.set_listener(&recorded_); }

    // The problem lines the log was told since the last analysis began.
    const std::vector<KeptProblem>& logged() const { return recorded_.problems; }

    TempDir dir;
    ScriptedServices services;

    Form& form() { return form_; }
    SceneState& scene() { return form_.scene(); }
    Controls& controls() { return form_.controls(); }
    Session& session() { return form_.session(); }

    std::string log_path() const { return dir.file("testfile.txt"); }
    std::string log_text() const { return read_bytes(log_path()); }
    std::vector<std::string> log_lines() const
    {
        std::vector<std::string> lines;
        const std::string text = log_text();
        std::size_t start = 0;
        while (start < text.size()) {
            const auto end = text.find("\r\n", start);
            if (end == std::string::npos) {
                lines.push_back(text.substr(start));
                break;
            }
            lines.push_back(text.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }

    // Writes the scene and analyses it through the open dialog.
    void analyse(const std::string& name, const std::string& content)
    {
        recorded_.problems.clear();
        const std::string path = dir.write(name, content);
        services.open_choices.push_back(ScriptedServices::chosen(path));
        form_.click_Analize_filename();
    }

    std::string stat_boxes() const
    {
        const Controls& c = form_.session().controls;
        return c.Text_total_objects.text + "/" + c.Text_valid_objects.text + "/" + c.Text_ascsplit.text + "/" +
               c.Text_faces.text + "/" + c.Text_vertices.text + "/" + c.Text1.text;
    }

private:
    static EngineSettings settings_for(const TempDir& d)
    {
        EngineSettings s;
        s.program_folder = d.path().string();
        s.log_path = d.file("testfile.txt");
        return s;
    }

    Form form_;
    RecordedProblems recorded_;
};

} // namespace trevanix::testing
