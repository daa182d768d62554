#include "app/material_file_step.hpp"

#include <cerrno>
#include <system_error>

#include "convert/material_file.hpp"
#include "state/messages.hpp"
#include "state/paths.hpp"

namespace trevanix {

namespace {

// Whether a file stands at `path` in the target's folder.
bool target_folder_holds(const TargetFolder& folder, const std::string& path)
{
    return folder.holds(file_name_of(path));
}

} // namespace

bool confirm_existing_material_file(Session& session, const TargetFolder& folder, const std::string& mat_path,
                                    bool& express_run)
{
    if (!target_folder_holds(folder, mat_path))
        return true;
    express_run = false;
    return session.ask("Warning", messages::mat_exists_question, MessageIcon::None);
}

bool run_material_file_step(Session& session, const TargetFolder& folder, const std::string& mat_path,
                            const ConversionOptions& options, OutputSet& files, MaterialFileStep& step,
                            bool& express_run, std::string& error)
{
    if (!session.scene.has_materials)
        return true;
    if (options.material_file) {
        if (target_folder_holds(folder, mat_path)) {
            express_run = false;
            session.tell("Warning", messages::mat_exists_backup_warning, MessageIcon::Exclamation);
        }
        OutputFile material_file;
        if (!prepare_material_file(folder, mat_path, session.scene.catalogue, material_file, error))
            return false;
        files.add(std::move(material_file));
        step.written = true;
        return true;
    }
    express_run = false;
    session.tell("Warning", messages::mat_not_created_notice, MessageIcon::Information);
    if (target_folder_holds(folder, mat_path)) {
        express_run = false;
        step.delete_existing = session.ask("Warning", messages::mat_delete_question, MessageIcon::Information);
    }
    return true;
}

void delete_material_file(Session& session, const TargetFolder& folder, const std::string& mat_path)
{
    if (const int code = folder.remove(file_name_of(mat_path)); code != 0) {
        session.tell("Error",
                     "The file \"" + mat_path + "\" could not be deleted (" +
                         std::generic_category().message(code ? code : EIO) + ").",
                     MessageIcon::Critical);
    }
}

} // namespace trevanix
