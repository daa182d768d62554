#include "convert/material_file.hpp"

#include <cerrno>
#include <cstdio>
#include <string_view>
#include <system_error>

#include "app/messages.hpp"
#include "app/paths.hpp"
#include "convert/asc_text.hpp"
#include "convert/output_file.hpp"

namespace trevanix {

std::string material_path_for(const std::string& target)
{
    if (target.size() < 3)
        return target + "mat";
    return target.substr(0, target.size() - 3) + "mat";
}

std::string material_file_bytes(const MaterialCatalogue& catalogue, const MaterialTemplates& templates)
{
    std::string out = templates.inicio;
    for (int m = 0; m < catalogue.nr_mapped_objs; ++m) {
        const int last = static_cast<std::size_t>(m) < catalogue.last_submat.size()
                             ? catalogue.last_submat[static_cast<std::size_t>(m)]
                             : 0;
        for (int s = 0; s <= last; ++s) {
            const std::string_view cell = catalogue.cell(m, s);
            const std::size_t separator = cell.find(asc::cell_separator);
            if (separator == std::string_view::npos)
                continue;
            const std::string_view name = cell.substr(0, separator);
            if (name == asc::empty_material)
                continue;
            out += templates.inicio_mat;
            out += name;
            out += templates.rest_mat;
            out += texture_base_name(cell.substr(separator + asc::cell_separator.size()));
            out += templates.end_mat;
        }
    }
    return out;
}

bool confirm_existing_material_file(Session& session, const std::string& mat_path)
{
    if (!file_exists(mat_path))
        return true;
    session.scene.express = 0;
    return session.ask("Warning", messages::mat_exists_question, MessageIcon::None);
}

MaterialStepResult run_material_step(Session& session, const std::string& mat_path, std::string& error)
{
    if (session.scene.project_mapped != 1)
        return MaterialStepResult::NothingToDo;
    const Controls& c = session.controls;
    const bool create = c.Check_all.checked() || c.Check_createmat.checked();
    if (create) {
        if (file_exists(mat_path)) {
            session.scene.express = 0;
            session.tell("Warning", messages::mat_exists_backup_warning, MessageIcon::Exclamation);
        }
        OutputFile file;
        if (!file.open(mat_path) || !file.write(material_file_bytes(session.scene.catalogue, session.templates)) ||
            !file.commit()) {
            error = file.error();
            return MaterialStepResult::WriteFailed;
        }
        return MaterialStepResult::Written;
    }
    session.scene.express = 0;
    session.tell("Warning", messages::mat_not_created_notice, MessageIcon::Information);
    if (file_exists(mat_path)) {
        session.scene.express = 0;
        if (session.ask("Warning", messages::mat_delete_question, MessageIcon::Information) &&
            std::remove(mat_path.c_str()) != 0) {
            const int code = errno;
            session.tell("Error",
                         "The file \"" + mat_path + "\" could not be deleted (" +
                             std::generic_category().message(code ? code : EIO) + ").",
                         MessageIcon::Critical);
        }
    }
    return MaterialStepResult::NotCreated;
}

} // namespace trevanix
