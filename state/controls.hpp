#pragma once
// The observable state of every control of the main window, as plain data.
// The window is a view of this state; the command line and the tests read it
// directly. Member names are the controls' own names.
#include <cstdint>
#include <string>

namespace trevanix {

struct ButtonState {
    bool enabled = true;
};

struct TextBoxState {
    std::string text;
    bool enabled = true;
};

struct LabelState {
    bool visible = true;
};

struct CheckBoxState {
    bool checked = false;
    bool enabled = true;
};

struct ProgressBarState {
    bool visible = false;
    std::int64_t min = 0;
    std::int64_t max = 100;
    std::int64_t value = 0;
};

struct Controls {
    ButtonState Analize_filename{true};
    TextBoxState Text_loadfile;
    LabelState Label_analize{false};
    ProgressBarState Analize_bar;

    TextBoxState Text_total_objects;
    TextBoxState Text_valid_objects;
    TextBoxState Text_faces;
    TextBoxState Text_vertices;
    TextBoxState Text_ascsplit;
    TextBoxState Text1;
    TextBoxState Text_comments;
    ButtonState Open_error_log{false};
    ButtonState Clear_statistics{false};

    ButtonState Target_filename{false};
    TextBoxState Text_savefile;
    CheckBoxState Check_createmat{false, false};
    CheckBoxState Check_all{true, true};
    CheckBoxState Check_splitasc{false, false};
    CheckBoxState Check_flip3daxis{false, false};
    CheckBoxState Check_vtextures{false, false};
    ButtonState Start_process{false};
    ProgressBarState Process_bar;

    TextBoxState Text2{"Text2", true};
};

// Captions and tooltips shown by the window, kept beside the state they label.
namespace captions {
inline constexpr const char* window = "Textured 3d scenes processor for Kolbrin2 v1.1.3";
inline constexpr const char* Analize_filename = "&Indicate and analyze 3d scene file";
inline constexpr const char* Label_analize = "Analyzing...";
// The same label while a conversion runs (its bar, Process_bar, is shown):
// it writes the processed files. Narrower than "Analyzing..." in every face,
// so it never makes the form pick a smaller font.
inline constexpr const char* Label_analize_converting = "Writing...";
inline constexpr const char* Frame2 = "Statistics of analized 3d scene file";
inline constexpr const char* Label1 = "Total objects found :";
inline constexpr const char* Label2 = "Valid objects found :";
inline constexpr const char* Label6 = "Total faces in 3d scene :";
inline constexpr const char* Label7 = "Total vertices in 3d scene :";
inline constexpr const char* Label4 = "Asc split files required to import in Kb2 :";
inline constexpr const char* Label3 = "Nr or objects with invalid sub-material id references :";
inline constexpr const char* Label11 = "Comments : ";
inline constexpr const char* Open_error_log = "&Open log error txt file";
inline constexpr const char* Clear_statistics = "&Clear statistics and unload 3d scene file info";
inline constexpr const char* Frame1 = "Settings for processed file creation";
inline constexpr const char* Target_filename = "&Target filename and path for processed 3d scene file";
inline constexpr const char* Check_createmat = "Create custom .mat file for the imported scene";
inline constexpr const char* Check_all = "Use all required settings for a complete 3d scene importing";
inline constexpr const char* Check_splitasc = "Split 3d scene file into 255 objects each file";
inline constexpr const char* Check_flip3daxis = "Flip 3D studio axis";
inline constexpr const char* Check_vtextures = "Flip all textures vertically";
inline constexpr const char* Start_process = "&Start Process";
inline constexpr const char* tooltip_Analize_filename =
    "Import .asc files mostly when there is no materials mapping. For 3d scene files ";
inline constexpr const char* tooltip_Frame1 =
    "This function it's for those that only need to use some functions of this program, and that don't want the full process to happen yet.";
inline constexpr const char* tooltip_Target_filename =
    "Choose the .asc file that Start Process writes: split files are numbered after it, and the .mat file goes beside it.";
inline constexpr const char* tooltip_Text_savefile =
    "The .asc file that Start Process writes, chosen with the Target button on the left.\nStart Process stays disabled until a target is chosen.";
} // namespace captions

} // namespace trevanix
