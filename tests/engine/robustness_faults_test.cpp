// Faults of the file layer during a whole session: an output folder that
// cannot be written, a read-only output, a full disk, a log folder that cannot
// be written, a picture that cannot be renamed, an input that disappears or
// shrinks while it is read, an input that is a device, a pipe or a socket.
// Each must end with a clear message, keep every earlier file byte for byte,
// leave no temporary behind and leave the session usable.
//
// Permissions do not stop root (as on CI), so besides chmod the faults are
// injected: this program's own write(), rename() and renameat2() stand in
// for the C library's and fail on request for the paths a test names, and the
// output file's seam fails any step of any output, also of the unnamed
// temporaries that have no path to name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <csignal>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "analysis/analysis_driver.hpp"
#include "convert/output_file.hpp"
#include "convert/target_claim.hpp"
#include "convert/target_lock.hpp"
#include "support/ase_builder.hpp"
#include "support/scene_runs.hpp"

using namespace trevanix;
using namespace trevanix::testing;

namespace {

// What the stand-ins do; inert unless `marker` is set.
struct InjectedFaults {
    std::string marker;        // part of the path of the files that fail
    long write_budget = 0;     // bytes such a file still takes before ENOSPC
    int rename_error = 0;      // errno for renames from such a path; 0: none
};
InjectedFaults faults;

bool fd_path_has_marker(int fd)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return false;
    target[n] = '\0';
    return std::strstr(target, faults.marker.c_str()) != nullptr;
}

// Arms the stand-ins for the duration of a scope.
class FaultScope {
public:
    FaultScope(std::string marker, long write_budget, int rename_error)
    {
        faults = {std::move(marker), write_budget, rename_error};
    }
    ~FaultScope() { faults = {}; }
    FaultScope(const FaultScope&) = delete;
    FaultScope& operator=(const FaultScope&) = delete;
};

// Arms the output file's seam for the duration of a scope: with
// `named_only` the temporaries are named files, as on a file system without
// unnamed ones; `fault` decides the failing steps.
class OutputSeamScope {
public:
    OutputSeamScope(bool named_only, int (*fault)(OutputStep, const std::string&))
    {
        output_file_seams() = {named_only, fault};
    }
    ~OutputSeamScope() { output_file_seams() = {}; }
    OutputSeamScope(const OutputSeamScope&) = delete;
    OutputSeamScope& operator=(const OutputSeamScope&) = delete;
};

} // namespace

// A disk that fills up: once a marked file has taken its budget, writes to it
// fail with ENOSPC (the last one that fits is cut short, as a real disk does).
extern "C" ssize_t write(int fd, const void* data, size_t size)
{
    if (!faults.marker.empty() && fd > 2 && fd_path_has_marker(fd)) {
        if (faults.write_budget <= 0) {
            errno = ENOSPC;
            return -1;
        }
        size = std::min<size_t>(size, static_cast<size_t>(faults.write_budget));
        faults.write_budget -= static_cast<long>(size);
    }
    return static_cast<ssize_t>(::syscall(SYS_write, fd, data, size));
}

extern "C" int rename(const char* from, const char* to)
{
    if (!faults.marker.empty() && faults.rename_error != 0 && std::strstr(from, faults.marker.c_str())) {
        errno = faults.rename_error;
        return -1;
    }
    return ::renameat(AT_FDCWD, from, AT_FDCWD, to);
}

// Pictures are renamed without replacing: the same stand-in for that call.
extern "C" int renameat2(int from_dir, const char* from, int to_dir, const char* to, unsigned flags)
{
    if (!faults.marker.empty() && faults.rename_error != 0 && std::strstr(from, faults.marker.c_str())) {
        errno = faults.rename_error;
        return -1;
    }
    return static_cast<int>(::syscall(SYS_renameat2, from_dir, from, to_dir, to, flags));
}

namespace {

bool running_as_root() { return ::geteuid() == 0; }

const std::string long_texture = "a_very_long_texture_name.bmp";
const std::string long_picture = "a_very_long_texture_name.tif";

// A scene with a material whose long texture name renames a picture.
std::string scene_with_materials()
{
    AseObject box;
    box.name = "box";
    return ase_header() + material_list({gta_material("texture_map", long_texture)}) + ase_object(box);
}

// Analyses the scene (every question answered Yes), chooses `target` and
// converts.
void analyse_and_convert(Harness& h, const std::string& target)
{
    h.services.default_answer = true;
    h.analyse("scene.ase", scene_with_materials());
    ASSERT_TRUE(h.session().analysis_report.completed);
    h.services.save_choices.push_back(ScriptedServices::chosen(target));
    h.form().click_Target_filename();
    h.form().click_Start_process();
}

// The session goes on: the next conversion, to a sound target, completes.
void expect_usable(Harness& h)
{
    h.services.save_choices.push_back(ScriptedServices::chosen(h.dir.file("again.asc")));
    h.form().click_Target_filename();
    h.form().click_Start_process();
    EXPECT_EQ(h.session().conversion_report.status, ConversionStatus::Completed);
    EXPECT_FALSE(read_bytes(h.dir.file("again.asc")).empty());
    EXPECT_FALSE(read_bytes(h.dir.file("again.mat")).empty());
}

const RecordedMessage* last_error(const ScriptedServices& s)
{
    for (auto it = s.messages.rbegin(); it != s.messages.rend(); ++it)
        if (it->message.caption == "Error")
            return &*it;
    return nullptr;
}

} // namespace

// A target that cannot be written (or not now, while another conversion
// writes to it) ends the conversion with an error that says why; every
// earlier file stays as it was.
TEST(RobustnessFaults, AnOutputFolderThatCannotBeWrittenKeepsTheEarlierFiles)
{
    enum class Way { ReadOnlyFolder, PathThroughAFile, TargetIsAFolder, AnotherConversionWritesThere };
    for (const Way way :
         {Way::ReadOnlyFolder, Way::PathThroughAFile, Way::TargetIsAFolder, Way::AnotherConversionWritesThere}) {
        if (way == Way::ReadOnlyFolder && running_as_root())
            continue; // root writes there anyway; the other ways still fail
        Harness h;
        std::string target;
        TargetFolder other_folder;
        TargetLock other_conversion;
        switch (way) {
        case Way::ReadOnlyFolder:
            h.dir.write("out/out.asc", "previous asc");
            h.dir.write("out/out.mat", "previous mat");
            std::filesystem::permissions(h.dir.file("out"), std::filesystem::perms(0555));
            target = h.dir.file("out/out.asc");
            break;
        case Way::PathThroughAFile:
            h.dir.write("out", "a file, not a folder");
            target = h.dir.file("out/out.asc");
            break;
        case Way::TargetIsAFolder:
            std::filesystem::create_directories(h.dir.file("out.asc/inside"));
            h.dir.write("out.mat", "previous mat");
            target = h.dir.file("out.asc");
            break;
        case Way::AnotherConversionWritesThere: {
            h.dir.write("out/out.asc", "previous asc");
            h.dir.write("out/out.mat", "previous mat");
            target = h.dir.file("out/out.asc");
            std::string error;
            ASSERT_TRUE(other_folder.open(target, error));
            ASSERT_EQ(other_conversion.take(other_folder, target, error), LockOutcome::Taken);
            break;
        }
        }
        analyse_and_convert(h, target);
        other_conversion.release();
        SCOPED_TRACE(static_cast<int>(way));
        const bool busy = way == Way::AnotherConversionWritesThere;
        EXPECT_EQ(h.session().conversion_report.status,
                  busy ? ConversionStatus::TargetBusy : ConversionStatus::WriteFailed);
        const RecordedMessage* error = last_error(h.services);
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(error->message.icon, MessageIcon::Critical);
        if (busy) {
            EXPECT_EQ(error->message.text, target_busy_text(target));
        } else {
            EXPECT_NE(error->message.text.find("could not be written"), std::string::npos) << error->message.text;
        }
        EXPECT_EQ(leftover_temporaries(h.dir.path()), std::vector<std::string>{});
        if (way == Way::ReadOnlyFolder || busy) {
            EXPECT_EQ(read_bytes(h.dir.file("out/out.asc")), "previous asc");
            EXPECT_EQ(read_bytes(h.dir.file("out/out.mat")), "previous mat");
            std::filesystem::permissions(h.dir.file("out"), std::filesystem::perms(0755));
        } else if (way == Way::PathThroughAFile) {
            EXPECT_EQ(read_bytes(h.dir.file("out")), "a file, not a folder");
        } else {
            EXPECT_TRUE(std::filesystem::is_directory(h.dir.file("out.asc/inside")));
            EXPECT_EQ(read_bytes(h.dir.file("out.mat")), "previous mat");
        }
        expect_usable(h);
    }
}

TEST(RobustnessFaults, AReadOnlyOutputIsReplacedWholeAndStaysReadOnly)
{
    Harness fresh;
    analyse_and_convert(fresh, fresh.dir.file("out.asc"));
    ASSERT_EQ(fresh.session().conversion_report.status, ConversionStatus::Completed);

    Harness h;
    h.dir.write("out.asc", "previous asc");
    h.dir.write("out.mat", "previous mat");
    for (const char* name : {"out.asc", "out.mat"})
        std::filesystem::permissions(h.dir.file(name), std::filesystem::perms(0444));
    analyse_and_convert(h, h.dir.file("out.asc"));
    // The user confirmed the replacement in the save dialog and was warned
    // about the material file: both are replaced whole, never in part.
    EXPECT_EQ(h.session().conversion_report.status, ConversionStatus::Completed);
    for (const char* name : {"out.asc", "out.mat"}) {
        EXPECT_EQ(read_bytes(h.dir.file(name)), read_bytes(fresh.dir.file(name))) << name;
        EXPECT_EQ(std::filesystem::status(h.dir.file(name)).permissions(), std::filesystem::perms(0444)) << name;
    }
    EXPECT_EQ(leftover_temporaries(h.dir.path()), std::vector<std::string>{});
}

TEST(RobustnessFaults, AFullDiskKeepsTheEarlierFilesAndTellsWhichFile)
{
    // The write() stand-in knows a file by its name: the temporaries are
    // named here, as on a file system without unnamed ones.
    struct Case {
        const char* failing; // the temporary file that runs out of space
        long budget;         // bytes it takes before the disk is full
    };
    const Case cases[] = {
        {"out.asc.trevanix-", 0},
        {"out.asc.trevanix-", 100}, // a short write, then ENOSPC
        {"out.mat.trevanix-", 10},  // the ".asc" is complete, but appears only with the ".mat"
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.failing) + std::to_string(c.budget));
        Harness h;
        h.dir.write("out.asc", "previous asc");
        h.dir.write("out.mat", "previous mat");
        {
            const OutputSeamScope named(true, nullptr);
            const FaultScope full(c.failing, c.budget, 0);
            analyse_and_convert(h, h.dir.file("out.asc"));
        }
        EXPECT_EQ(h.session().conversion_report.status, ConversionStatus::WriteFailed);
        const RecordedMessage* error = last_error(h.services);
        ASSERT_NE(error, nullptr);
        const std::string failed_file = h.dir.file(std::string(c.failing).substr(0, 7));
        EXPECT_NE(error->message.text.find(failed_file), std::string::npos) << error->message.text;
        EXPECT_NE(error->message.text.find(std::strerror(ENOSPC)), std::string::npos) << error->message.text;
        EXPECT_EQ(read_bytes(h.dir.file("out.mat")), "previous mat");
        EXPECT_EQ(read_bytes(h.dir.file("out.asc")), "previous asc");
        EXPECT_TRUE(h.session().conversion_report.outputs.empty());
        EXPECT_EQ(leftover_temporaries(h.dir.path()), std::vector<std::string>{});
        expect_usable(h);
    }
}

namespace {

// What stands at the log's path before a session, and what it must end as.
struct LogPathCase {
    const char* what;
    std::function<std::string(const TempDir&)> prepare; // returns the log path
    bool root_only = false;
    const char* warning = nullptr; // a fragment of the warning the analysis must give, or none
    bool logged = true;            // the log file ends holding the rejected object's line
};

bool is_character_device(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

std::string device_node(const TempDir& dir, const char* name, unsigned minor_number)
{
    const std::string path = dir.file(name);
    return ::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, minor_number)) == 0 ? path : std::string();
}

} // namespace

TEST(RobustnessFaults, TheLogIsMadeAfreshOrRefusedButNeverWrittenThroughWhatStandsThere)
{
    const Watchdog watchdog("the log path cases", std::chrono::seconds(60));
    const std::string victim_text = "a file elsewhere\r\n";
    const LogPathCase cases[] = {
        {"a file where the log folder should be",
         [](const TempDir& d) {
             d.write("state", "a file");
             return d.file("state/testfile.txt");
         },
         false, "could not be created", false},
        {"a symbolic link to another file",
         [&](const TempDir& d) {
             std::filesystem::create_symlink(d.write("victim.txt", victim_text), d.file("testfile.txt"));
             return d.file("testfile.txt");
         }},
        {"a hard link to another file",
         [&](const TempDir& d) {
             std::filesystem::create_hard_link(d.write("victim.txt", victim_text), d.file("testfile.txt"));
             return d.file("testfile.txt");
         }},
        {"a pipe",
         [](const TempDir& d) {
             ::mkfifo(d.file("testfile.txt").c_str(), 0600);
             return d.file("testfile.txt");
         },
         false, "device, a pipe or a socket", false},
        {"the null device", [](const TempDir& d) { return device_node(d, "null", 3); }, true, nullptr, false},
        {"another device", [](const TempDir& d) { return device_node(d, "zero", 5); }, true,
         "device, a pipe or a socket", false},
        {"a disk that fills up", [](const TempDir& d) { return d.file("full-log.txt"); }, false, "could not be written",
         false},
    };
    for (const LogPathCase& c : cases) {
        if (c.root_only && !running_as_root())
            continue;
        SCOPED_TRACE(c.what);
        ScriptedServices services;
        services.default_answer = true;
        TempDir dir;
        EngineSettings settings;
        settings.program_folder = dir.path().string();
        settings.log_path = c.prepare(dir);
        if (settings.log_path.empty())
            continue; // no device nodes can be made here
        const bool special = !std::filesystem::is_regular_file(std::filesystem::symlink_status(settings.log_path)) &&
                             std::filesystem::exists(std::filesystem::symlink_status(settings.log_path)) &&
                             !std::filesystem::is_symlink(std::filesystem::symlink_status(settings.log_path));
        Form form(services, settings);
        AseObject flat;
        flat.name = "flat";
        flat.vertices = {};
        const std::string scene = dir.write("scene.ase", scene_with_materials() + ase_object(flat));
        services.open_choices.push_back(ScriptedServices::chosen(scene));
        {
            const FaultScope full(std::string(c.what) == "a disk that fills up" ? "full-log" : "", 0, 0);
            form.click_Analize_filename();
        }
        EXPECT_TRUE(form.session().analysis_report.completed);
        const auto warning = std::find_if(services.messages.begin(), services.messages.end(), [&](const auto& m) {
            return c.warning != nullptr && m.message.caption == "Warning" &&
                   m.message.text.find(c.warning) != std::string::npos;
        });
        EXPECT_EQ(warning != services.messages.end(), c.warning != nullptr);
        EXPECT_EQ(form.session().log.failed(), c.warning != nullptr);
        if (c.logged) {
            EXPECT_NE(read_bytes(settings.log_path).find("(object 'flat')"), std::string::npos);
        }
        if (std::filesystem::exists(dir.file("victim.txt"))) {
            EXPECT_EQ(read_bytes(dir.file("victim.txt")), victim_text);
        }

        // The conversion makes its log afresh too: the same link, put back, is replaced again.
        const bool linked = std::filesystem::exists(dir.file("victim.txt"));
        if (linked) {
            std::filesystem::remove(settings.log_path);
            c.prepare(dir);
        }
        services.save_choices.push_back(ScriptedServices::chosen(dir.file("out.asc")));
        form.click_Target_filename();
        form.click_Start_process();
        EXPECT_EQ(form.session().conversion_report.status, ConversionStatus::Completed);
        if (linked) {
            EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(settings.log_path)));
            EXPECT_EQ(read_bytes(settings.log_path), "");
            EXPECT_EQ(std::filesystem::hard_link_count(settings.log_path), 1u);
        }
        services.answers = {true};
        form.click_Clear_statistics();
        // Whatever special file stood there stands there still, through analysis, conversion and clearing.
        if (special) {
            struct stat info {};
            ASSERT_EQ(::lstat(settings.log_path.c_str(), &info), 0);
            EXPECT_FALSE(S_ISREG(info.st_mode));
            if (c.root_only) {
                EXPECT_TRUE(is_character_device(settings.log_path));
            }
        }
        if (std::filesystem::exists(dir.file("victim.txt"))) {
            EXPECT_EQ(read_bytes(dir.file("victim.txt")), victim_text);
        }
        EXPECT_EQ(read_bytes(dir.file("state")), std::string(c.what).find("folder") != std::string::npos ? "a file" : "");
    }
}

TEST(RobustnessFaults, APictureThatCannotBeRenamedIsReportedAndKept)
{
    enum class Way { ReadOnlyFolder, InjectedFailure };
    for (const Way way : {Way::ReadOnlyFolder, Way::InjectedFailure}) {
        if (way == Way::ReadOnlyFolder && running_as_root())
            continue;
        SCOPED_TRACE(static_cast<int>(way));
        Harness h;
        h.services.default_answer = true;
        h.dir.write("TIFFRGB/" + long_picture, "picture bytes");
        {
            if (way == Way::ReadOnlyFolder)
                std::filesystem::permissions(h.dir.file("TIFFRGB"), std::filesystem::perms(0555));
            // Renames are made relative to the folder: the picture's own name is the mark.
            const FaultScope denied(way == Way::InjectedFailure ? "a_very_long_texture" : "", 0, EACCES);
            h.analyse("scene.ase", scene_with_materials());
            std::filesystem::permissions(h.dir.file("TIFFRGB"), std::filesystem::perms(0755));
        }
        EXPECT_TRUE(h.session().analysis_report.completed);
        const auto warning = std::find_if(h.services.messages.begin(), h.services.messages.end(), [](const auto& m) {
            return m.message.text.find("could not be renamed") != std::string::npos;
        });
        ASSERT_NE(warning, h.services.messages.end());
        EXPECT_EQ(warning->message.caption, "Warning");
        EXPECT_NE(warning->message.text.find(long_picture), std::string::npos);
        EXPECT_EQ(read_bytes(h.dir.file("TIFFRGB/" + long_picture)), "picture bytes");

        // Once the folder can be written, the next analysis renames it.
        h.analyse("scene.ase", scene_with_materials());
        EXPECT_FALSE(std::filesystem::exists(h.dir.file("TIFFRGB/" + long_picture)));
        EXPECT_EQ(read_bytes(h.dir.file("TIFFRGB/a_very_long\xC2\xAB" "0.tif")), "picture bytes");
    }
}

// The conversion reads only the file the analysis read: a scene removed,
// replaced by another file, or written to between the analysis and "Start
// Process" is reported, and nothing is written from it.
TEST(RobustnessFaults, AnInputThatDisappearsOrChangesBeforeTheConversionIsReported)
{
    enum class Way { Removed, ReplacedByAnotherFile, RewrittenInPlace };
    for (const Way way : {Way::Removed, Way::ReplacedByAnotherFile, Way::RewrittenInPlace}) {
        SCOPED_TRACE(static_cast<int>(way));
        Harness h;
        h.services.default_answer = true;
        h.dir.write("out.asc", "previous asc");
        h.dir.write("out.mat", "previous mat");
        h.analyse("scene.ase", scene_with_materials());
        ASSERT_TRUE(h.session().analysis_report.completed);
        h.services.save_choices.push_back(ScriptedServices::chosen(h.dir.file("out.asc")));
        h.form().click_Target_filename();
        const std::string path = h.dir.file("scene.ase");
        std::string other = scene_with_materials();
        other.replace(other.find("\"box\""), 5, "\"xob\""); // the same size, other bytes
        if (way == Way::Removed) {
            std::filesystem::remove(path);
        } else if (way == Way::ReplacedByAnotherFile) {
            std::filesystem::rename(h.dir.write("other.ase", other), path);
        } else {
            const auto modified = std::filesystem::last_write_time(path);
            h.dir.write("scene.ase", other);
            std::filesystem::last_write_time(path, modified + std::chrono::seconds(5));
        }
        h.form().click_Start_process();

        EXPECT_EQ(h.session().conversion_report.status, ConversionStatus::InputFailed);
        const RecordedMessage* error = last_error(h.services);
        ASSERT_NE(error, nullptr);
        EXPECT_NE(error->message.text.find(path), std::string::npos) << error->message.text;
        if (way != Way::Removed) {
            EXPECT_NE(error->message.text.find("changed while it was read"), std::string::npos);
        }
        EXPECT_EQ(read_bytes(h.dir.file("out.asc")), "previous asc");
        EXPECT_EQ(read_bytes(h.dir.file("out.mat")), "previous mat");
        EXPECT_EQ(leftover_temporaries(h.dir.path()), std::vector<std::string>{});

        // Analysed again, the scene as it is now is converted.
        h.analyse("scene.ase", way == Way::Removed ? scene_with_materials() : other);
        EXPECT_TRUE(h.session().analysis_report.completed);
        expect_usable(h);
        if (way != Way::Removed) {
            EXPECT_NE(read_bytes(h.dir.file("again.asc")).find("xob"), std::string::npos);
        }
    }
}

namespace {

// A split conversion: two ".asc" files and the ".mat", written, then put in
// place together.
const char* const split_outputs[] = {"out_01.asc", "out_02.asc", "out.mat"};

std::string scene_of_256_objects()
{
    std::string scene = ase_header() + material_list({gta_material("texture_map", "brick.bmp")});
    for (int i = 0; i < 256; ++i) {
        AseObject o;
        o.name = "box" + std::to_string(i);
        scene += ase_object(o);
    }
    return scene;
}

// The temporaries in the folder, leaving out the lock of a run that died
// holding it (the next conversion to the target removes it).
std::vector<std::string> temporaries_but_the_lock(const std::filesystem::path& folder)
{
    std::vector<std::string> found = leftover_temporaries(folder);
    std::erase_if(found, [](const std::string& name) { return name.ends_with(".trevanix-lock"); });
    return found;
}

// The step of one output that fails, and what the folder showed then.
struct ChosenOutputFault {
    std::string target;
    OutputStep step = OutputStep::Create;
    int code = EIO;
    bool kill = false; // the process dies there, as by kill -9 or a power cut
    std::string folder;
    std::vector<std::string> visible; // temporaries in the folder when the step came
};
ChosenOutputFault chosen_fault;

int fail_chosen_step(OutputStep step, const std::string& target)
{
    if (step != chosen_fault.step || target != chosen_fault.target)
        return 0;
    chosen_fault.visible = temporaries_but_the_lock(chosen_fault.folder);
    if (chosen_fault.kill)
        ::raise(SIGKILL);
    return chosen_fault.code;
}

// Analyses the split scene (the express question answered No, the others
// Yes), chooses out.asc and converts, with the seam armed.
void convert_split_scene(Harness& h, const std::string& scene, bool named_temporaries,
                         int (*fault)(OutputStep, const std::string&) = fail_chosen_step)
{
    h.services.answers = {false};
    h.services.default_answer = true;
    h.analyse("scene.ase", scene);
    ASSERT_TRUE(h.session().analysis_report.completed);
    ASSERT_EQ(h.session().scene.statistics.split_files, 2);
    h.services.save_choices.push_back(ScriptedServices::chosen(h.dir.file("out.asc")));
    h.form().click_Target_filename();
    const OutputSeamScope seam(named_temporaries, fault);
    h.form().click_Start_process();
}

const char* step_name(OutputStep step)
{
    switch (step) {
    case OutputStep::Create:
        return "create";
    case OutputStep::Write:
        return "write";
    case OutputStep::Sync:
        return "sync";
    case OutputStep::Stage:
        return "stage";
    case OutputStep::Journal:
        return "journal";
    case OutputStep::Place:
        return "place";
    case OutputStep::Settle:
        return "settle";
    }
    return "?";
}

} // namespace

// Whichever output fails at whichever step (the temporary not created, a
// write or the flush refused, the file not put in place after the others
// were), every output is as it was before: the earlier ones are put back,
// none appears on its own, no temporary is left. Unnamed temporaries are
// never seen in the folder; named ones are, while they are written.
TEST(RobustnessFaults, AFailureAtAnyStepOfAnyOutputLeavesEveryOutputAsItWas)
{
    const std::string scene = scene_of_256_objects();
    for (const bool named : {false, true}) {
        for (const bool previous : {true, false}) {
            for (const char* failing : split_outputs) {
                for (const OutputStep step :
                     {OutputStep::Create, OutputStep::Write, OutputStep::Sync, OutputStep::Place}) {
                    SCOPED_TRACE(std::string(named ? "named " : "unnamed ") + (previous ? "over previous " : "") +
                                 failing + " " + step_name(step));
                    Harness h;
                    if (previous) {
                        for (const char* name : split_outputs)
                            h.dir.write(name, std::string("previous ") + name);
                    }
                    chosen_fault = {h.dir.file(failing), step, EIO, false, h.dir.path().string(), {}};
                    convert_split_scene(h, scene, named);

                    EXPECT_EQ(h.session().conversion_report.status, ConversionStatus::WriteFailed);
                    EXPECT_TRUE(h.session().conversion_report.outputs.empty());
                    const RecordedMessage* error = last_error(h.services);
                    ASSERT_NE(error, nullptr);
                    EXPECT_NE(error->message.text.find(h.dir.file(failing)), std::string::npos);
                    EXPECT_NE(error->message.text.find(std::strerror(EIO)), std::string::npos);
                    for (const char* name : split_outputs) {
                        if (previous) {
                            EXPECT_EQ(read_bytes(h.dir.file(name)), std::string("previous ") + name) << name;
                        } else {
                            EXPECT_FALSE(std::filesystem::exists(h.dir.file(name))) << name;
                        }
                    }
                    EXPECT_EQ(leftover_temporaries(h.dir.path()), std::vector<std::string>{});
                    if (step == OutputStep::Write || step == OutputStep::Sync) {
                        EXPECT_EQ(chosen_fault.visible.empty(), !named);
                    }
                }
            }
        }
    }
    // Without a fault the same conversion puts all three in place.
    Harness h;
    chosen_fault = {};
    convert_split_scene(h, scene, false);
    EXPECT_EQ(h.session().conversion_report.status, ConversionStatus::Completed);
    for (const char* name : split_outputs)
        EXPECT_FALSE(read_bytes(h.dir.file(name)).empty()) << name;
}

namespace {

// The steps of putting a set in place, counted over all its files (the
// journal's own included); the process dies at the chosen one.
struct PlacementKill {
    int at = 0;
    int seen = 0;
};
PlacementKill placement_kill;

int die_at_chosen_placement_step(OutputStep step, const std::string&)
{
    const bool placing = step == OutputStep::Stage || step == OutputStep::Journal || step == OutputStep::Place ||
                         step == OutputStep::Settle;
    if (placing && ++placement_kill.seen == placement_kill.at)
        ::raise(SIGKILL);
    return 0;
}

// Runs `work` in a child process: true when the child was killed, false
// when it ended on its own.
bool killed_in_child(const std::function<void()>& work)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        work();
        ::_exit(0);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) ? WTERMSIG(status) == SIGKILL : WEXITSTATUS(status) == 0) << status;
    return WIFSIGNALED(status);
}

// What one output holds: "old" (its previous bytes, or nothing when it had
// none), "new" (what a whole conversion writes) or "partial".
std::string output_state(const Harness& h, const std::string& name, const std::string& fresh, bool previous)
{
    const std::string path = h.dir.file(name);
    if (!std::filesystem::exists(path))
        return previous ? "partial" : "old";
    const std::string bytes = read_bytes(path);
    if (bytes == fresh)
        return "new";
    return previous && bytes == "previous " + name ? "old" : "partial";
}

// "old" or "new" when every output is, otherwise the state of each.
std::string set_state(const Harness& h, const std::vector<std::string>& fresh, bool previous)
{
    std::string states;
    for (std::size_t k = 0; k < fresh.size(); ++k)
        states += output_state(h, split_outputs[k], fresh[k], previous) + " ";
    if (states == "old old old " || states == "new new new ")
        return states.substr(0, 3);
    return states;
}

// What the next conversion to the target does first: claim it.
void claim_target_again(const Harness& h)
{
    std::string error;
    TargetClaim claim;
    EXPECT_EQ(claim.claim(h.dir.file("out.asc"), error), ClaimOutcome::Claimed) << error;
}

} // namespace

// A conversion killed (kill -9, a power cut) while it writes leaves the
// previous outputs and nothing of its own but its lock: its temporaries have
// no name. Killed at any step of putting the set in place, it leaves every
// output old or new, never cut short; the next conversion to the target
// finishes or undoes the placement from the journal, so that the set is all
// old or all new, and removes whatever the killed run left.
TEST(RobustnessFaults, AConversionKilledAtAnyStepLeavesAWholeSetAfterTheNextRun)
{
    const std::string scene = scene_of_256_objects();
    Harness whole;
    chosen_fault = {};
    convert_split_scene(whole, scene, false);
    std::vector<std::string> fresh;
    for (const char* name : split_outputs)
        fresh.push_back(read_bytes(whole.dir.file(name)));

    const std::pair<const char*, OutputStep> while_writing[] = {{"out_02.asc", OutputStep::Write},
                                                                {"out.mat", OutputStep::Sync}};
    for (const auto& [dying_at, step] : while_writing) {
        SCOPED_TRACE(std::string(dying_at) + " " + step_name(step));
        Harness h;
        for (const char* name : split_outputs)
            h.dir.write(name, std::string("previous ") + name);
        chosen_fault = {h.dir.file(dying_at), step, 0, true, h.dir.path().string(), {}};
        EXPECT_TRUE(killed_in_child([&] { convert_split_scene(h, scene, false); }));
        EXPECT_EQ(set_state(h, fresh, true), "old");
        EXPECT_EQ(temporaries_but_the_lock(h.dir.path()), std::vector<std::string>{});
        claim_target_again(h);
        EXPECT_EQ(leftover_temporaries(h.dir.path()), std::vector<std::string>{});
    }
    chosen_fault = {};
    for (const bool named : {false, true}) {
        for (const bool previous : {true, false}) {
            int step = 1;
            for (;; ++step) {
                SCOPED_TRACE(std::string(named ? "named " : "unnamed ") + (previous ? "over previous, " : "") +
                             "killed at placement step " + std::to_string(step));
                Harness h;
                for (const char* name : split_outputs) {
                    if (previous)
                        h.dir.write(name, std::string("previous ") + name);
                }
                placement_kill = {step, 0};
                if (!killed_in_child([&] { convert_split_scene(h, scene, named, die_at_chosen_placement_step); }))
                    break;
                for (std::size_t k = 0; k < fresh.size(); ++k)
                    EXPECT_NE(output_state(h, split_outputs[k], fresh[k], previous), "partial") << split_outputs[k];
                claim_target_again(h);
                const std::string state = set_state(h, fresh, previous);
                EXPECT_TRUE(state == "old" || state == "new") << state;
                EXPECT_EQ(leftover_temporaries(h.dir.path()), std::vector<std::string>{});
                ASSERT_LT(step, 40) << "the placement never ended";
            }
            // Three files staged, the journal written (staged and placed
            // itself), three placed, three settled, the journal removed.
            EXPECT_EQ(step, 15);
        }
    }
    // Killed once the first file is in place (after the three stages, the
    // journal's four steps and the first placement), and the second new
    // file lost meanwhile: the set cannot be finished, so it is undone.
    {
        Harness h;
        for (const char* name : split_outputs)
            h.dir.write(name, std::string("previous ") + name);
        placement_kill = {9, 0};
        ASSERT_TRUE(killed_in_child([&] { convert_split_scene(h, scene, false, die_at_chosen_placement_step); }));
        ASSERT_EQ(output_state(h, "out_01.asc", fresh[0], true), "new");
        for (const auto& entry : std::filesystem::directory_iterator(h.dir.path())) {
            if (entry.path().filename().string().starts_with("out_02.asc.trevanix-"))
                std::filesystem::remove(entry.path());
        }
        claim_target_again(h);
        EXPECT_EQ(set_state(h, fresh, true), "old");
        EXPECT_EQ(leftover_temporaries(h.dir.path()), std::vector<std::string>{});
    }
    // A journal that another program left beside the outputs, naming files
    // that are no outputs of the target, is not acted on.
    {
        Harness h;
        h.dir.write("scene.ase", scene);
        h.dir.write("out.asc.trevanix-2147483647-1.tmp", "forged");
        h.dir.write("out.asc.trevanix-journal",
                    journal_text({{1, "out.asc.trevanix-2147483647-1.tmp", "scene.ase"}}));
        claim_target_again(h);
        EXPECT_EQ(read_bytes(h.dir.file("scene.ase")), scene);
        EXPECT_EQ(leftover_temporaries(h.dir.path()), std::vector<std::string>{});
    }
}

namespace {

// Swaps the target folder for a link to another folder when the conversion
// creates the chosen output, as another program could while it runs.
struct FolderSwap {
    std::string trigger;  // the output whose creation swaps the folder
    std::string folder;   // the target folder
    std::string moved_to; // where the target folder goes
    std::string link_to;  // what the link in its place leads to
    bool done = false;
};
FolderSwap folder_swap;

int swap_folder_at_creation(OutputStep step, const std::string& target)
{
    if (folder_swap.done || step != OutputStep::Create || target != folder_swap.trigger)
        return 0;
    std::filesystem::rename(folder_swap.folder, folder_swap.moved_to);
    std::filesystem::create_directory_symlink(folder_swap.link_to, folder_swap.folder);
    folder_swap.done = true;
    return 0;
}

} // namespace

// Links never lead the outputs elsewhere: neither a target folder swapped
// for a link while the conversion runs (the outputs go to the folder it
// opened, without questions about the other folder's files), nor links at
// the names of the lock and the journal beside the outputs.
TEST(RobustnessFaults, LinksNeverLeadTheOutputsElsewhere)
{
    Harness h;
    for (const char* name : split_outputs)
        h.dir.write(std::string("elsewhere/") + name, std::string("elsewhere ") + name);
    h.dir.write("victim.txt", "victim");
    std::filesystem::create_directories(h.dir.file("out"));
    for (const char* name : {"out/out.asc.trevanix-lock", "out/out.asc.trevanix-journal"})
        std::filesystem::create_symlink(h.dir.file("victim.txt"), h.dir.file(name));
    h.services.answers = {false}; // no express conversion
    h.services.default_answer = true;
    h.analyse("scene.ase", scene_of_256_objects());
    ASSERT_EQ(h.session().scene.statistics.split_files, 2);
    h.services.save_choices.push_back(ScriptedServices::chosen(h.dir.file("out/out.asc")));
    h.form().click_Target_filename();
    const std::size_t messages_before = h.services.messages.size();
    folder_swap = {h.dir.file("out/out_02.asc"), h.dir.file("out"), h.dir.file("moved"), h.dir.file("elsewhere")};
    {
        const OutputSeamScope seam(false, swap_folder_at_creation);
        h.form().click_Start_process();
    }
    ASSERT_TRUE(folder_swap.done);
    EXPECT_EQ(h.session().conversion_report.status, ConversionStatus::Completed);
    EXPECT_EQ(h.services.messages.size(), messages_before + 1) << "only the final message";
    for (const char* name : split_outputs) {
        EXPECT_EQ(read_bytes(h.dir.file(std::string("elsewhere/") + name)), std::string("elsewhere ") + name);
        EXPECT_NE(read_bytes(h.dir.file(std::string("moved/") + name)).size(), 0u) << name;
    }
    EXPECT_EQ(read_bytes(h.dir.file("victim.txt")), "victim");
    EXPECT_EQ(leftover_temporaries(h.dir.path()), std::vector<std::string>{});
}

namespace {

// User services that call a hook at every event step of an action: a test
// changes the scene there, as another program would while it is read.
class HookedServices : public ScriptedServices {
public:
    std::function<void(int)> on_event_step; // gets the number of steps so far
    void let_events_run() override
    {
        ScriptedServices::let_events_run();
        if (on_event_step)
            on_event_step(events_run);
    }
};

void cut_to_half(const std::string& path)
{
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
}

// Enough objects that every pass takes many small blocks and many steps.
std::string many_object_scene(bool ase)
{
    std::string scene = ase ? ase_header() + material_list({standard_material("m", "wall.bmp")}) : std::string();
    for (int i = 0; i < 40; ++i) {
        if (ase) {
            AseObject o;
            o.name = "o" + std::to_string(i);
            scene += ase_object(o);
        } else {
            scene += crlf({"Named object: \"o" + std::to_string(i) + "\"", "Tri-mesh, Vertices: 1     Faces: 1",
                           "Vertex list:", "Vertex 0:  X:1     Y:2     Z:3", "Face list:",
                           "Face 0:    A:0 B:0 C:0 AB:1 BC:1 CA:1", "Smoothing:  1"});
        }
    }
    return scene;
}

// Cuts the scene to half its size at one moment of an analysis.
class ShrinkingObserver : public AnalysisObserver {
public:
    ShrinkingObserver(std::string path, int at_step) : path_(std::move(path)), at_step_(at_step) {}
    bool keep_going() override
    {
        if (++steps_ == at_step_)
            cut_to_half(path_);
        return true;
    }
    void reading_started(std::int64_t) override
    {
        if (at_step_ == 0)
            cut_to_half(path_);
    }

private:
    std::string path_;
    int at_step_; // 0: as the reading starts
    int steps_ = 0;
};

bool says_changed(const std::string& text) { return text.find("changed while it was read") != std::string::npos; }

} // namespace

TEST(RobustnessFaults, ASceneThatShrinksWhileItIsReadEndsWithAMessageAndNoOutputs)
{
    const LineSourceOptions small_blocks{false, 256};
    for (const bool ase : {false, true}) {
        const std::string name = ase ? "scene.ase" : "scene.asc";
        SCOPED_TRACE(name);
        // The analysis alone: as its reading starts, and inside the scan.
        for (const int at_step : {0, 2, 30}) {
            TempDir dir;
            SceneState scene;
            scene.scene_path = dir.write(name, many_object_scene(ase));
            scene.extension = ase ? "ase" : "asc";
            scene.file_type = file_type_of(scene.extension);
            ErrorLog log(dir.file("log.txt"));
            std::string error;
            ASSERT_TRUE(log.create(error));
            ShrinkingObserver observer(scene.scene_path, at_step);
            const AnalysisResult result = analyse_scene_file(scene, log, small_blocks, observer);
            EXPECT_EQ(result.end, AnalysisEnd::Unreadable) << at_step;
            EXPECT_TRUE(says_changed(result.message)) << at_step << ": " << result.message;
            EXPECT_NE(result.message.find(scene.scene_path), std::string::npos) << result.message;
        }
        // Through the window's actions: the message is shown, and an ".ase"
        // scene whose express conversion was asked for writes nothing.
        {
            TempDir dir;
            HookedServices services;
            services.default_answer = true;
            EngineSettings settings;
            settings.program_folder = dir.path().string();
            settings.log_path = dir.file("testfile.txt");
            settings.read_block_size = 256;
            Form form(services, settings);
            const std::string path = dir.write(name, many_object_scene(ase));
            services.on_event_step = [&](int step) {
                if (step == 30)
                    cut_to_half(path);
            };
            services.open_choices.push_back(ScriptedServices::chosen(path));
            form.click_Analize_filename();
            EXPECT_FALSE(form.session().analysis_report.completed);
            const RecordedMessage* error = last_error(services);
            ASSERT_NE(error, nullptr);
            EXPECT_EQ(error->message.icon, MessageIcon::Critical);
            EXPECT_TRUE(says_changed(error->message.text)) << error->message.text;
            EXPECT_FALSE(std::filesystem::exists(dir.file("scene.asc")) && ase);
            EXPECT_EQ(leftover_temporaries(dir.path()), std::vector<std::string>{});
        }
        // The conversion: it re-reads the scene, which shrinks meanwhile.
        {
            TempDir dir;
            HookedServices services;
            services.default_answer = true;
            EngineSettings settings;
            settings.program_folder = dir.path().string();
            settings.log_path = dir.file("testfile.txt");
            settings.read_block_size = 256;
            Form form(services, settings);
            const std::string path = dir.write(name, many_object_scene(ase));
            dir.write("out.asc", "previous asc");
            services.answers = {false}; // no express conversion
            services.open_choices.push_back(ScriptedServices::chosen(path));
            form.click_Analize_filename();
            ASSERT_TRUE(form.session().analysis_report.completed);
            services.save_choices.push_back(ScriptedServices::chosen(dir.file("out.asc")));
            form.click_Target_filename();
            const int steps_before = services.events_run;
            services.on_event_step = [&](int step) {
                if (step == steps_before + 30)
                    cut_to_half(path);
            };
            form.click_Start_process();
            EXPECT_EQ(form.session().conversion_report.status, ConversionStatus::InputFailed);
            const RecordedMessage* error = last_error(services);
            ASSERT_NE(error, nullptr);
            EXPECT_TRUE(says_changed(error->message.text)) << error->message.text;
            EXPECT_EQ(read_bytes(dir.file("out.asc")), "previous asc");
            EXPECT_FALSE(std::filesystem::exists(dir.file("out.mat")));
            EXPECT_EQ(leftover_temporaries(dir.path()), std::vector<std::string>{});
        }
    }
}

TEST(RobustnessFaults, DevicesPipesAndSocketsAreRefusedWithoutBlocking)
{
    const Watchdog watchdog("the refusal of special files", std::chrono::seconds(60));
    TempDir dir;
    const std::string device = dir.file("zero.ase");
    std::filesystem::create_symlink("/dev/zero", device);
    const std::string pipe = dir.file("pipe.ase");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string socket_path = dir.file("socket.asc");
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket_path.c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

    const std::pair<std::string, std::string> cases[] = {
        {device, "is a device"}, {pipe, "is a pipe (FIFO)"}, {socket_path, "is a socket"}};
    for (const auto& [path, says] : cases) {
        Harness h;
        h.services.open_choices.push_back(ScriptedServices::chosen(path));
        h.form().click_Analize_filename();
        EXPECT_TRUE(h.session().analysis_report.not_analysable) << path;
        const RecordedMessage* error = last_error(h.services);
        ASSERT_NE(error, nullptr) << path;
        EXPECT_NE(error->message.text.find("\"" + path + "\" " + says), std::string::npos) << error->message.text;
        EXPECT_FALSE(h.form().busy());
    }
    ::close(listener);
}
