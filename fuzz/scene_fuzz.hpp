#pragma once
// The two kinds of scene fuzz run: an analysis alone, and an analysis followed
// by a conversion to a target in the work folder with every option chosen.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_session.hpp"

namespace trevanix::fuzzing {

inline void run_analysis(const std::uint8_t* data, std::size_t size, const std::string& scene_name)
{
    const Workspace& workspace = Workspace::get();
    const std::string_view scene(reinterpret_cast<const char*>(data), size);
    const std::string path = workspace.prepare(scene_name, scene);
    const std::uint8_t control = control_byte(data, size);
    FuzzServices services(control);
    Form form(services, settings_for(workspace, control));
    analyse(form, services, path);
    workspace.check_unchanged(path, scene);
    workspace.check_no_temporaries();
}

// Bits 4 and 5 of the control byte pick the target: a plain ".asc" name, a
// name without extension (".asc" is added), or the input's own name spelled
// another way (refused for an ".asc" input; an ".ase" one gets ".asc" added). With bit 7 set the analysis sees
// `baseline` and the input is written over it before the conversion, as when
// the user edits the scene between the two clicks.
inline void run_conversion(const std::uint8_t* data, std::size_t size, const std::string& scene_name,
                           std::string_view baseline)
{
    const Workspace& workspace = Workspace::get();
    const std::string_view scene(reinterpret_cast<const char*>(data), size);
    const std::uint8_t control = control_byte(data, size);
    const bool edited = (control & 0x80) != 0;
    const std::string path = workspace.prepare(scene_name, edited ? baseline : scene);
    FuzzServices services(control);
    Form form(services, settings_for(workspace, control));
    analyse(form, services, path);
    if (edited)
        workspace.write(scene_name, scene);

    std::string target;
    switch ((control >> 4) & 3) {
    case 2:
        target = workspace.file("Out");
        break;
    case 3:
        target = workspace.file("./" + scene_name);
        break;
    default:
        target = workspace.file("out.asc");
        break;
    }
    convert(form, services, target);
    for (const std::string& output : form.session().conversion_report.outputs)
        if (std::filesystem::equivalent(output, path))
            broken_promise("an output replaced the input:", output);
    workspace.check_unchanged(path, scene);
    workspace.check_no_temporaries();

    // The session stays usable: the same scene can be analysed again.
    if (form.session().analysis_report.completed)
        analyse(form, services, path);
}

} // namespace trevanix::fuzzing
