#include "cli/run_plan.hpp"

#include <sys/stat.h>

#include <set>

#include "app/target_choice.hpp"
#include "cli/scene_list.hpp"
#include "convert/material_file.hpp"
#include "format/text.hpp"
#include "state/paths.hpp"

namespace trevanix::cli {

namespace {

// Device and inode of an existing file or folder, "" otherwise.
std::string identity_on_disk(const std::string& path)
{
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0)
        return {};
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

// A path as the clash checks compare it. Existing files are compared by
// device and inode, as the file system knows them. Files still to be written
// are compared by folder and name, the name with letter case ignored: the
// run cannot know whether the file system will tell "A.asc" from "a.asc".
struct ComparedPath {
    std::string path;
    std::string normal;   // the normalised path
    std::string identity; // "" when the file does not exist
    std::string folder;   // the folder's identity, or its normalised path
    std::string lower_name;
};

ComparedPath compared(const std::string& path)
{
    ComparedPath c;
    c.path = path;
    c.normal = normalised_path(path);
    c.identity = identity_on_disk(path);
    const std::string folder = parent_folder_of(path).empty() ? "." : parent_folder_of(path);
    c.folder = identity_on_disk(folder);
    if (c.folder.empty())
        c.folder = normalised_path(folder);
    c.lower_name = to_lower_copy(file_name_of(path));
    return c;
}

// One file: by identity when both exist, else by normalised path.
bool is_one_file(const ComparedPath& a, const ComparedPath& b)
{
    if (!a.identity.empty() && !b.identity.empty())
        return a.identity == b.identity;
    return a.normal == b.normal;
}

// One file once written: as above, with letter case ignored for files that
// do not exist yet.
bool same_place(const ComparedPath& a, const ComparedPath& b)
{
    if (!a.identity.empty() || !b.identity.empty())
        return a.identity == b.identity;
    return a.folder == b.folder && a.lower_name == b.lower_name;
}

// Whether `path` could be split file "_0k" of `target` (k = 1, 2, ...).
bool could_be_split_file_of(const ComparedPath& path, const ComparedPath& target)
{
    return path.folder == target.folder && extension_of(path.lower_name) == "asc" &&
           stem_before_split_number(base_name_of(path.lower_name)) == base_name_of(target.lower_name);
}

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

std::string find_duplicate_scene(const std::vector<std::string>& scenes)
{
    std::vector<ComparedPath> seen;
    for (const std::string& scene : scenes) {
        ComparedPath c = compared(scene);
        for (const ComparedPath& earlier : seen)
            if (is_one_file(c, earlier))
                return "the scene " + quoted(scene) + " is given twice (also as " + quoted(earlier.path) + ")";
        seen.push_back(std::move(c));
    }
    return {};
}

std::string find_log_replacing_a_scene(const std::vector<ScenePlan>& plans)
{
    std::vector<ComparedPath> scenes;
    for (const ScenePlan& plan : plans)
        scenes.push_back(compared(plan.scene));
    for (const ScenePlan& plan : plans) {
        const ComparedPath log = compared(plan.log_path);
        for (const ComparedPath& scene : scenes)
            if (is_one_file(log, scene))
                return "the error log " + quoted(plan.log_path) + " would replace the scene " + quoted(scene.path);
    }
    return {};
}

// The ".asc" target the conversion of a scene writes, and its split files'
// pattern; the material file shares the target's folder and stem.
struct SceneWrites {
    ComparedPath target;
    ComparedPath material_file;
};

std::string find_output_clash(const std::vector<ScenePlan>& plans, bool split_chosen)
{
    std::vector<SceneWrites> writes;
    std::vector<ComparedPath> inputs;
    for (const ScenePlan& plan : plans) {
        const std::string target =
            !plan.target.empty() ? normalised_target(plan.target)
                                 : join_path(parent_folder_of(plan.scene), base_name_of(plan.scene) + ".asc");
        writes.push_back({compared(target), compared(material_path_for(target))});
        inputs.push_back(compared(plan.scene));
    }
    for (std::size_t a = 0; a < plans.size(); ++a) {
        for (std::size_t b = 0; b < plans.size(); ++b) {
            if (a == b)
                continue; // a scene's own input is guarded by its conversion
            const SceneWrites& wa = writes[a];
            if (same_place(wa.target, inputs[b]) || same_place(wa.material_file, inputs[b]) ||
                (split_chosen && could_be_split_file_of(inputs[b], wa.target)))
                return "converting " + quoted(plans[a].scene) + " would replace the scene " + quoted(plans[b].scene);
            if (b < a)
                continue;
            const SceneWrites& wb = writes[b];
            if (same_place(wa.target, wb.target) ||
                (split_chosen && (could_be_split_file_of(wa.target, wb.target) ||
                                  could_be_split_file_of(wb.target, wa.target))))
                return "the scenes " + quoted(plans[a].scene) + " and " + quoted(plans[b].scene) +
                       " would write the same output " + quoted(wa.target.path);
        }
    }
    return {};
}

} // namespace

std::vector<std::string> log_paths(const PlanRequest& request)
{
    const bool several = request.batch || request.scenes.size() > 1;
    const bool away = !request.away_from_scenes.empty() && request.log_dir.empty();
    if (!request.log_file.empty())
        return {request.log_file};
    if (away && !several)
        return {join_path(request.away_from_scenes, "testfile.txt")};
    if (several || !request.log_dir.empty())
        return several_scene_logs(request.scenes, away ? request.away_from_scenes : request.log_dir);
    return {request.default_log};
}

std::vector<std::string> several_scene_logs(const std::vector<std::string>& scenes, const std::string& log_dir)
{
    std::vector<std::string> logs;
    std::set<std::string> taken; // "folder|lower-cased name"
    for (const std::string& scene : scenes) {
        const std::string folder = log_dir.empty() ? parent_folder_of(scene) : log_dir;
        const std::string name = file_name_of(scene);
        std::string log_name = name + ".log.txt";
        for (int k = 2; !taken.insert(normalised_path(folder.empty() ? "." : folder) + "|" + to_lower_copy(log_name)).second;
             ++k)
            log_name = name + "." + std::to_string(k) + ".log.txt";
        logs.push_back(folder.empty() ? log_name : join_path(folder, log_name));
    }
    return logs;
}

RunPlan plan_run(const PlanRequest& request)
{
    RunPlan plan;
    const bool several = request.batch || request.scenes.size() > 1;
    if (several && !request.log_file.empty()) {
        plan.error = "--log FILE is for one scene file only; give a folder or several scenes --log-dir DIR, or let "
                     "each log lie beside its scene";
        return plan;
    }
    if (several && !request.target.empty()) {
        plan.error = "--target FILE is for one scene file only; give a folder or several scenes --out-dir DIR";
        return plan;
    }
    if (plan.error = find_duplicate_scene(request.scenes); !plan.error.empty())
        return plan;

    const std::vector<std::string> logs = log_paths(request);
    for (std::size_t i = 0; i < request.scenes.size(); ++i) {
        ScenePlan scene{request.scenes[i], logs[i], {}};
        if (request.converting) {
            if (!request.target.empty())
                scene.target = request.target;
            else if (!request.out_dir.empty())
                scene.target = join_path(request.out_dir, base_name_of(scene.scene) + ".asc");
        }
        plan.scenes.push_back(std::move(scene));
    }
    if (plan.error = find_log_replacing_a_scene(plan.scenes); !plan.error.empty())
        return plan;
    if (request.converting)
        plan.error = find_output_clash(plan.scenes, request.split_chosen);
    return plan;
}

} // namespace trevanix::cli
