#include "app/options_and_clearing.hpp"

#include "state/messages.hpp"

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
    if (type.empty() || converts_like_ase(session.scene)) {
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
    forget_loaded_scene(session);
}

} // namespace trevanix
