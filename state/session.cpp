#include "state/session.hpp"

namespace trevanix {

Session::Session(UserServices& services, EngineSettings engine_settings)
    : ui(services), settings(std::move(engine_settings)), log(settings.log_path)
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

void Session::tell(Message message)
{
    ui.controls_changed();
    message.buttons = MessageButtons::Ok;
    ui.show_message(message);
}

void forget_loaded_scene(Session& session)
{
    SceneState& scene = session.scene;
    Controls& c = session.controls;
    scene.statistics = {};
    for (TextBoxState* box : {&c.Text_loadfile, &c.Text_total_objects, &c.Text_valid_objects, &c.Text_ascsplit,
                              &c.Text_faces, &c.Text_vertices, &c.Text1, &c.Text_savefile, &c.Text_comments})
        box->text.clear();
    scene.line_count = 0;
    scene.object_count = 0;
    scene.scene_path.clear();
    scene.scene_identity = {};
    scene.target_path.clear();
    scene.chosen_target.clear();
    scene.file_type = FileType::None;
    scene.extension.clear();
    scene.has_materials = false;
    scene.reader = SceneReader::Exact;
    scene.held_scene.reset();
    session.log.remove();
    scene.passed_objects.clear();
    c.Start_process.enabled = false;
    c.Open_error_log.enabled = false;
    c.Clear_statistics.enabled = false;
    scene.file_loaded = false;
    session.refresh();
}

} // namespace trevanix
