#include "app/target_choice.hpp"

#include "format/text.hpp"
#include "state/messages.hpp"
#include "state/paths.hpp"

namespace trevanix {

std::string normalised_target(const std::string& chosen)
{
    if (to_lower_copy(extension_of(chosen)) == "asc")
        return chosen;
    return chosen + ".asc";
}

void choose_target(Session& session)
{
    FileDialogRequest request;
    request.title = messages::save_dialog_title;
    request.filter = messages::save_dialog_filter;
    request.initial_folder = parent_folder_of(session.scene.scene_path);
    request.confirm_overwrite = true;
    const FileDialogResult choice = session.ui.save_file_dialog(request);
    if (choice.cancelled)
        return;
    if (choice.path.empty() || choice.title.empty()) {
        session.tell("Warning", messages::no_target_chosen, MessageIcon::Critical);
        return;
    }
    const std::string target = normalised_target(choice.path);
    // The file system decides what is the same file: on a case-sensitive one
    // "TOWN.ASC" beside "Town.asc" is another file.
    const std::string& input = session.scene.scene_path;
    if (!input.empty() && (same_file(input, choice.path) || same_file(input, target))) {
        session.tell("Error", messages::cannot_overwrite_input, MessageIcon::Critical);
        return;
    }
    // Without a loaded scene there is nothing to convert yet: the target is
    // kept for the next scene, and Start_process waits for its analysis.
    session.scene.chosen_target = target;
    session.scene.target_path = target;
    session.controls.Start_process.enabled = session.scene.file_loaded;
    session.controls.Text_savefile.text = session.scene.target_path;
}

void check_text2(Session& session, const std::string& text)
{
    TextBoxState& box = session.controls.Text2;
    box.text = text;
    if (box.text.find('!') != std::string::npos) {
        session.tell("Error", messages::text2_exclamation, MessageIcon::Critical);
        box.text = "Group";
    }
    if (box.text.find('\\') != std::string::npos) {
        session.tell("Error", messages::text2_backslash, MessageIcon::Critical);
        box.text = "Group";
    }
}

} // namespace trevanix
