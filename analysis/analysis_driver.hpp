#pragma once
// The analysis of one scene file, in one scan: the lines and the objects are
// counted, the material list of an ".ase" scene is read and the objects are
// checked while the file is read once. The driver fills the scene state the
// conversion reads (counts, statistics, the objects passed, material
// catalogue) and writes the error log; it tells an observer what it finds as
// it goes, and what to show of it is the caller's business.
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/object_check.hpp"
#include "analysis/texture_short_names.hpp"
#include "format/line_cursor.hpp"
#include "format/line_tape.hpp"
#include "format/line_source.hpp"
#include "format/scene_file.hpp"
#include "state/error_log.hpp"
#include "state/scene_state.hpp"

namespace trevanix {

class AnalysisObserver {
public:
    virtual ~AnalysisObserver() = default;
    // Called before every step of the scan; false stops the analysis.
    virtual bool keep_going() = 0;
    // The reading has started; the work ahead is `total` steps (the exact
    // readers count the file's bytes).
    virtual void reading_started(std::int64_t total) { (void)total; }
    // statistics.objects_found and statistics.split_files are known (the
    // exact readers know them once the whole file is read).
    virtual void objects_counted() {}
    // The material list of an ".ase" scene is read: the picture renames
    // that failed, and the pictures left as they were on purpose.
    virtual void materials_read(const std::vector<PictureRenameFailure>& rename_failures,
                                const std::vector<UnrenamedPicture>& unrenamed)
    {
        (void)rename_failures;
        (void)unrenamed;
    }
    // An object passed every check; the statistics count it.
    virtual void object_passed() {}
    // An object failed a check; its log line is written.
    virtual void object_failed(const ObjectCheck& check) { (void)check; }
    // `done` of the steps announced by reading_started() are behind.
    virtual void progress(std::int64_t done) { (void)done; }
};

enum class AnalysisEnd {
    Completed,       // every object was examined
    Unreadable,      // the file could not be read; `message` says why
    NoObjects,       // no line starts an object
    BrokenStructure, // a fatal ".ase" structure error; `message` is its text
    Stopped,         // the observer asked to stop
};

struct AnalysisResult {
    AnalysisEnd end = AnalysisEnd::Completed;
    bool problems = false; // some object failed a check
    std::string message;
    bool input_has_lone_line_feeds = false; // NoObjects: the file ends lines with lone LFs
    // ".ase": the pictures of shortened texture names renamed (or to be
    // renamed, when only listing) and those not found.
    std::vector<PictureRename> renamed_pictures;
    std::vector<std::string> missing_pictures;
    std::vector<UnrenamedPicture> unrenamed_pictures;
};

// Analyses scene.scene_path as an ".asc" or ".ase" scene (scene.file_type).
// The log must be open (or have failed to open: the analysis goes on without it).
// With `rider`, the rider reads the scan's lines beside the checks; it is
// told dropped() whenever it could not read them all.
AnalysisResult analyse_scene_file(SceneState& scene, ErrorLog& log, const LineSourceOptions& reading,
                                  AnalysisObserver& observer,
                                  PictureRenaming renaming = PictureRenaming::Rename, RidingReader* rider = nullptr);

// Opens a scene for the passes of an analysis. False, with the sentence that
// refuses it, when it cannot be opened, is not a regular file or is saved as
// UTF-16 text; nothing of the scene is read beyond its first two bytes.
bool open_scene_file(SceneFile& file, const std::string& path, std::string& refusal);

// ".asc" files of 255 objects needed for `objects`: Kolbrin2 imports at most
// 255 objects a file.
std::int64_t split_count(std::int64_t objects) noexcept;

} // namespace trevanix
