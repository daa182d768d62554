#pragma once
// Every message text the program shows, word for word (typos included: users
// and their documentation quote them).
namespace trevanix::messages {

// Analysis.
inline constexpr const char* discard_question =
    "Are you sure ? All information from previous loaded file will be lost, so as the error log filed! Continue?";
inline constexpr const char* open_dialog_title = "Please choose the 3d scene file you want to import in Kolbrin2...";
inline constexpr const char* open_dialog_filter =
    "ASCII scene export (*.ase)|*.ase|3D studio ASCII Mesh file (*.asc)|*.asc";
inline constexpr const char* no_file_selected = "No file selected or imported.";
inline constexpr const char* no_objects =
    "The specified file doesn't contain any objects declared correctly, so this program won't process this file, choose another file.";
inline constexpr const char* express_question =
    "Do you want the 3dscene to be processed and converted to .asc right away after being analyzed (sucessfully) into the final .asc files, USING THE SAME PATH AND FILENAME of the input .ase file and the default processing settings?";
inline constexpr const char* comments_problems =
    "Objects with problems found and skipped, check error log for more details when analyzing is finished.";
inline constexpr const char* asc_finished_with_problems =
    "Analyzing of 3d scene file finished, but because of some errors you can't process this scene.";
inline constexpr const char* finished_choose_target =
    "Analyzing of 3d scene file finished! But before processing it you need to choose the target path to save the processed file(s).";
inline constexpr const char* finished = "Analyzing of 3d scene file finished!";
inline constexpr const char* ase_finished_with_problems =
    "Analyzing of 3d scene file finished, but certain objects will not be processed and were skipped.";
inline constexpr const char* ase_finished_with_problems_choose_target =
    "Analyzing of 3d scene file finished, but certain objects will not be processed and were skipped. Also, before doing the processing you need to choose the target path to save the processed file(s).";
inline constexpr const char* ase_invalid_structure = "This .ase file is invalid, make sure you don't edit it manually.";
inline constexpr const char* not_a_scene_file =
    "This program reads ASCII scene export (.ase) and 3D studio ASCII Mesh (.asc) files, and the 3d scenes of other tools (glTF, OBJ, FBX, Collada, 3DS, Blender and the other formats Assimp reads), so it won't process this file, choose another file.";

// The general reader, offered after the exact reader refused an ".ase" file's structure.
inline constexpr const char* general_reader_question =
    "This .ase file is laid out in a way the exact reader of this program does not know (exporters such as Blender "
    "add-ons write such files). Do you want it read by the general reader instead, which reads the 3d scenes of "
    "other tools?";

// Target choice and Text2.
inline constexpr const char* save_dialog_title =
    "Please indicate location and filename of final processed asc file(s)...";
inline constexpr const char* save_dialog_filter = "3D studio ASCII Mesh file (*.asc)|*.asc";
inline constexpr const char* no_target_chosen = "No filename choosed or entered, cancelling operation.";
inline constexpr const char* cannot_overwrite_input =
    "You can't overwrite the original 3d scene file from where this program will read the information! You HAVE to choose another name or another path!";
inline constexpr const char* text2_exclamation =
    "The character ! (exclamation point) is NOT allowed to be used here since it is used in vornak2 to trigger special effects such as water volumes.";
inline constexpr const char* text2_backslash =
    "The character \\  is NOT allowed to be used here since it is used in vornak2 to trigger special effects such as water volumes.";

// Clearing.
inline constexpr const char* clear_question = "Are you sure ? The error log file will also be deleted! Continue?";

// Conversion.
inline constexpr const char* split_warning =
    "Without choosing to divid the final .asc, 3d scenes with more than 255 valid objects, Kb2 will only import 255 objects for a single .asc file, unless you aren't using this .asc file to import yet into Kolbrint2...";
inline constexpr const char* finished_express =
    "Finished exporting of the imported 3d scene file ! If you have doubts in how to import the project into kb2 just consult the documentation in the section 'HOW TO IMPORT THE PROCESSED .ASC FILE(S) INTO KOLBRIN2'.";
inline constexpr const char* finished_close_question =
    "Finished exporting of the imported 3d scene file ! If you have doubts in how to import the project into kb2 just consult the documentation in the section 'HOW TO IMPORT THE PROCESSED .ASC FILE(S) INTO KOLBRIN2'. Do you want the program to close itself immediatly ?";

// Material file.
inline constexpr const char* mat_exists_question =
    "There is already a .mat file with the same name of the final project indicated. Do you want to overwrite it ?";
inline constexpr const char* mat_exists_backup_warning =
    "This 3d scene does have materials so a .mat file is required to be created. But it already exists a .mat file with the same name as the chosen final project name. Since it's not possible to skip this, if you want to preserve it, please switch to windows explorer and backup it, or/and press OK here when done to continue the criation of the new .mat file.";
inline constexpr const char* mat_not_created_notice =
    "You choosed to NOT create a .mat file for this 3dscene, but this 3d scene DOES use materials and you didn't choosed to remote materials mapping information. This means if you try to load this .asc into Kb2 it will ask for the .mat file.";
inline constexpr const char* mat_delete_question =
    "You choosed to NOT create a .mat file for this 3dscene, but this 3d scene DOES use materials and you didn't choosed to remote materials mapping information. Altough there is a .mat file with the same filename of the target scene file, make sure you know what are you doing, and that .mat file corresponds to this 3d scene. Anyways, you want the program to delete it to avoid confusion ?";

// This program's own notices, beside the classic texts.
inline constexpr const char* express_run_not_honoured =
    "The scene was not converted right away: some objects have problems and were skipped, and only a scene without problems is converted right away. Start Process converts the valid objects once a target is chosen.";
inline constexpr const char* comments_after_conversion =
    "Objects with problems were skipped and not converted. The conversion emptied the error log: analyse the scene again to list them there.";
// The error log could not be shown: its path comes between the two parts.
inline constexpr const char* log_not_opened_start = "The error log \"";
inline constexpr const char* log_not_opened_end =
    "\" could not be opened: the desktop has no program for text files, or that program failed.";
inline constexpr const char* log_path_copied = " Its path is on the clipboard: paste it into a text editor's Open dialog.";
inline constexpr const char* log_open_by_hand = " Open it in a text editor.";
inline constexpr const char* log_missing_end =
    "\" is not there any more: it was deleted outside this program. Analyse the scene again to write it anew.";

} // namespace trevanix::messages
