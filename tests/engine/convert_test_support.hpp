#pragma once
// A session over a temporary folder, with the scene state filled by hand as an
// analysis would leave it.
#include <algorithm>
#include <string>
#include <vector>

#include "format/scene_file.hpp"
#include "state/session.hpp"
#include "support/asc_builder.hpp"
#include "support/ase_builder.hpp"
#include "support/scripted_services.hpp"
#include "support/temp_dir.hpp"

namespace trevanix::convert_testing {

using namespace trevanix::testing;

// The identity an analysis records for the scene at `path`.
inline SceneIdentity identity_of(const std::string& path)
{
    SceneFile file;
    std::string error;
    return file.open(path, error) ? file.identity() : SceneIdentity{};
}

class ConversionFixture {
public:
    ConversionFixture() : session(ui, settings_for(dir)) {}

    // Writes the input scene and fills the state the analysis hands over.
    std::string load(const std::string& name, const std::string& bytes, std::int64_t split_files = 1)
    {
        const std::string path = dir.write(name, bytes);
        SceneState& s = session.scene;
        s.scene_path = path;
        const auto dot = name.rfind('.');
        s.extension = name.substr(dot + 1);
        s.file_type = file_type_of(s.extension);
        s.line_count = 0;
        for (char c : bytes)
            s.line_count += c == '\r';
        s.statistics.split_files = split_files;
        s.scene_identity = identity_of(path);
        pass_every_object(bytes, s.file_type == FileType::Ase);
        return path;
    }

    // Lists the objects as an analysis that passed all of them would: each
    // line that starts an object, with its name, so that the conversion
    // accounts for every object it does not write.
    void pass_every_object(const std::string& bytes, bool ase)
    {
        PassedObjects& passed = session.scene.passed_objects;
        passed.clear();
        std::vector<std::string> lines;
        for (std::size_t start = 0, end; start < bytes.size(); start = end + 2) {
            end = std::min(bytes.find("\r\n", start), bytes.size());
            lines.push_back(bytes.substr(start, end - start));
        }
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const bool starts = ase ? lines[i].rfind("*GEOMOBJECT", 0) == 0 : lines[i].rfind("Named object", 0) == 0;
            if (!starts)
                continue;
            const std::string& named = ase && i + 1 < lines.size() ? lines[i + 1] : lines[i];
            const auto first = named.find('"');
            const auto second = first == std::string::npos ? first : named.find('"', first + 1);
            passed.add(static_cast<std::int64_t>(i) + 1,
                       second == std::string::npos ? std::string() : named.substr(first + 1, second - first - 1));
        }
    }

    // The objects the conversion reported as left out: "line name reason" each.
    std::vector<std::string> left_out() const
    {
        std::vector<std::string> out;
        for (const LeftOutObject& o : session.conversion_report.first_left_out)
            out.push_back(std::to_string(o.line) + " " + o.object + " " + o.reason);
        return out;
    }

    // Unchecks Check_all and sets the four options one by one.
    void options(bool split, bool axis, bool texture, bool createmat)
    {
        Controls& c = session.controls;
        c.Check_all.checked = false;
        c.Check_splitasc.checked = split;
        c.Check_flip3daxis.checked = axis;
        c.Check_vtextures.checked = texture;
        c.Check_createmat.checked = createmat;
    }

    // One material (index 0) whose cells are given; submaterial_counts follows them.
    void materials(std::vector<std::string> cells, bool multi)
    {
        SceneState& s = session.scene;
        s.has_materials = 1;
        s.catalogue.material_count = 1;
        s.catalogue.submaterial_counts = {multi ? static_cast<int>(cells.size()) : 0};
        s.catalogue.last_submaterial = {static_cast<int>(cells.size()) - 1, 0};
        cells.resize(std::max<std::size_t>(cells.size(), 4));
        s.catalogue.cells = {cells, std::vector<std::string>(cells.size())};
    }

    std::string output(const std::string& name) const { return read_bytes(dir.file(name)); }

    ScriptedServices ui;
    TempDir dir;
    Session session;

private:
    static EngineSettings settings_for(const TempDir& d)
    {
        EngineSettings e;
        e.program_folder = d.path().string();
        e.log_path = (d.path() / "testfile.txt").string();
        return e;
    }
};

} // namespace trevanix::convert_testing
