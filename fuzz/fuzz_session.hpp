#pragma once
// What every scene fuzz target shares: a per-process work folder that holds the
// scene, its TIFFRGB pictures and the outputs, user services that answer from
// the bits of one input byte, and the checks that turn a broken promise into a
// crash the fuzzer reports.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>

#include "app/form.hpp"
#include "state/user_services.hpp"

namespace trevanix::fuzzing {

[[noreturn]] inline void broken_promise(const char* what, const std::string& detail = {})
{
    std::fprintf(stderr, "trevanix fuzz: %s %s\n", what, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

// Answers the n-th Yes/No question with bit n % 8 of `answers`; the dialogs
// return the paths set beforehand (an empty path cancels).
class FuzzServices : public UserServices {
public:
    explicit FuzzServices(std::uint8_t answers) : answers_(answers) {}

    std::string open_path;
    std::string save_path;
    int messages_shown = 0;

    bool show_message(const Message& message) override
    {
        ++messages_shown;
        if (message.caption.empty() || message.text.empty())
            broken_promise("message without caption or text:", message.caption + message.text);
        if (message.buttons != MessageButtons::YesNo)
            return true;
        return ((answers_ >> (asked_++ % 8)) & 1) != 0;
    }
    FileDialogResult open_file_dialog(const FileDialogRequest&) override { return chosen(open_path); }
    FileDialogResult save_file_dialog(const FileDialogRequest&) override { return chosen(save_path); }
    void let_events_run() override {}
    void set_busy_pointer(bool) override {}
    bool set_clipboard_text(const std::string&) override { return true; }
    bool open_document(const std::string&) override { return true; }
    void quit() override {}

private:
    static FileDialogResult chosen(const std::string& path)
    {
        FileDialogResult r;
        if (path.empty())
            return r;
        r.cancelled = false;
        r.path = path;
        r.title = std::filesystem::path(path).filename().string();
        return r;
    }

    std::uint8_t answers_;
    unsigned asked_ = 0;
};

// One folder for the whole fuzzing process, emptied before every input and
// removed when the process ends.
class Workspace {
public:
    static Workspace& get()
    {
        static Workspace workspace;
        return workspace;
    }

    std::string file(const std::string& name) const { return (root_ / name).string(); }

    // Empties the folder, then writes the scene and the pictures its long
    // texture names may rename.
    std::string prepare(const std::string& scene_name, std::string_view bytes) const
    {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(root_, ec))
            std::filesystem::remove_all(entry.path(), ec);
        std::filesystem::create_directory(root_ / "TIFFRGB", ec);
        for (const char* picture : {"town_brickwall_pattern.tif", "a_very_long_texture_name.tif", "x"})
            write(std::string("TIFFRGB/") + picture, "II*\0");
        return write(scene_name, bytes);
    }

    std::string write(const std::string& name, std::string_view bytes) const
    {
        const std::string path = file(name);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    static std::string read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // No temporary output may outlive the action that made it.
    void check_no_temporaries() const
    {
        std::error_code ec;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root_, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.find(".trevanix-") != std::string::npos || name.ends_with(".tmp"))
                broken_promise("temporary file left behind:", name);
        }
    }

    // The scene is opened for reading only: its bytes never change.
    void check_unchanged(const std::string& path, std::string_view bytes) const
    {
        if (read(path) != bytes)
            broken_promise("the input scene was changed:", path);
    }

private:
    Workspace()
    {
        root_ = std::filesystem::temp_directory_path() / ("trevanix-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(root_);
    }
    ~Workspace()
    {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    std::filesystem::path root_;
};

// The last byte of an input steers the run, so that plain scene files (the
// seeds) are valid inputs as they are: bits 0-7 answer the questions in turn,
// bit 6 also makes a lone line feed end a line, and bit 7 picks the edited
// scene mode of the conversion targets.
inline std::uint8_t control_byte(const std::uint8_t* data, std::size_t size)
{
    return size == 0 ? std::uint8_t{0} : data[size - 1];
}

inline EngineSettings settings_for(const Workspace& workspace, std::uint8_t control)
{
    EngineSettings settings;
    settings.program_folder = workspace.file("");
    settings.log_path = workspace.file("testfile.txt");
    settings.lf_ends_line = (control & 0x40) != 0;
    return settings;
}

// Analyses `path` through the open dialog; every analysis ends with a verdict
// or with a message that says why not.
inline void analyse(Form& form, FuzzServices& services, const std::string& path)
{
    services.open_path = path;
    const int before = services.messages_shown;
    form.click_Analize_filename();
    const AnalysisReport& report = form.session().analysis_report;
    // A loaded scene is only replaced after a Yes to the question about it.
    if (!report.ran && services.messages_shown == before)
        broken_promise("the chosen scene was not analysed, and nothing said why");
    if (!report.completed && services.messages_shown == before)
        broken_promise("the analysis ended without a verdict or a message");
    if (form.busy())
        broken_promise("the form stayed busy after the analysis");
}

// Chooses `target` and starts the conversion when the window would let the
// user do so; every conversion ends completed or with a message.
inline void convert(Form& form, FuzzServices& services, const std::string& target)
{
    Controls& c = form.controls();
    if (!c.Target_filename.enabled)
        return;
    services.save_path = target;
    form.click_Target_filename();
    if (!c.Start_process.enabled)
        return;
    const int before = services.messages_shown;
    form.click_Start_process();
    const ConversionReport& report = form.session().conversion_report;
    if (report.status == ConversionStatus::NotRun)
        broken_promise("the conversion did not run");
    if (report.status != ConversionStatus::Completed && services.messages_shown == before)
        broken_promise("the conversion stopped without a message");
    if (report.status == ConversionStatus::Completed)
        for (const std::string& output : report.outputs)
            if (!std::filesystem::is_regular_file(output))
                broken_promise("a reported output is missing:", output);
    if (form.busy())
        broken_promise("the form stayed busy after the conversion");
}

} // namespace trevanix::fuzzing
