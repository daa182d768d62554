#include "app/session.hpp"

namespace trevanix {

Session::Session(UserServices& services, EngineSettings engine_settings)
    : ui(services), settings(std::move(engine_settings)), templates(build_material_templates()),
      log(settings.log_path)
{
}

bool Session::ask(const std::string& caption, const std::string& text, MessageIcon icon)
{
    ui.controls_changed();
    return ui.show_message({caption, text, icon, MessageButtons::YesNo});
}

void Session::tell(const std::string& caption, const std::string& text, MessageIcon icon)
{
    ui.controls_changed();
    ui.show_message({caption, text, icon, MessageButtons::Ok});
}

} // namespace trevanix
