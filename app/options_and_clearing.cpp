#include "app/options_and_clearing.hpp"

#include "state/messages.hpp"

namespace trevanix {

ConversionOptions chosen_options(const Controls& c) noexcept
{
    const bool all = c.Check_all.checked;
    return {all || c.Check_splitasc.checked, all || c.Check_flip3daxis.checked, all || c.Check_vtextures.checked,
            all || c.Check_createmat.checked};
}

void check_all_clicked(Session& session)
{
    Controls& c = session.controls;
    const FileType type = session.scene.file_type;
    if (c.Check_all.checked) {
        c.Check_createmat.enabled = false;
        c.Check_splitasc.enabled = false;
        c.Check_flip3daxis.enabled = false;
        c.Check_vtextures.enabled = false;
        return;
    }
    if (type == FileType::None || converts_like_ase(session.scene)) {
        c.Check_vtextures.enabled = true;
        c.Check_createmat.enabled = true;
    }
    if (type == FileType::Asc) {
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
