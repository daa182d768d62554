#include "app/options_and_clearing.hpp"

#include "app/messages.hpp"

namespace trevanix {

void check_all_clicked(Session& session)
{
    Controls& c = session.controls;
    const std::string& type = session.scene.file_type;
    if (c.Check_all.value == 1) {
        c.Check_createmat.enabled = false;
        c.Check_splitasc.enabled = false;
        c.Check_flip3daxis.enabled = false;
        c.Check_vtextures.enabled = false;
        return;
    }
    if (type.empty() || type == "ase") {
        c.Check_vtextures.enabled = true;
        c.Check_createmat.enabled = true;
    }
    if (type == "asc") {
        c.Check_createmat.enabled = false;
        c.Check_vtextures.enabled = false;
    }
    c.Check_splitasc.enabled = true;
    c.Check_flip3daxis.enabled = true;
}

void clear_statistics(Session& session)
{
    if (!session.ask("Warning", messages::clear_question))
        return;
    SceneState& s = session.scene;
    Controls& c = session.controls;
    s.stats = {};
    for (TextBoxState* box : {&c.Text_loadfile, &c.Text_total_objects, &c.Text_valid_objects, &c.Text_ascsplit,
                              &c.Text_faces, &c.Text_vertices})
        box->text.clear();
    s.nr_line2 = 0;
    s.nr_objects = 0;
    s.valid_objects = 0;
    s.fich.clear();
    s.fich_dest.clear();
    s.chosen_target.clear();
    s.file_type.clear();
    s.project_mapped = 0;
    c.Text_savefile.text.clear();
    s.object_mapped = 0;
    session.log.remove();
    s.obj_names.assign(1, std::string());
    c.Text1.text.clear();
    c.Start_process.enabled = false;
    c.Open_error_log.enabled = false;
    c.Clear_statistics.enabled = false;
    c.Text_comments.text.clear();
    s.file_loaded = 0;
    session.refresh();
}

} // namespace trevanix
