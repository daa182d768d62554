#pragma once
// One open scene session: the scene state, the control state, the error log
// and the user services, shared by every click action of the window and the
// command line.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "state/controls.hpp"
#include "state/outcome_types.hpp"
#include "state/error_log.hpp"
#include "state/scene_state.hpp"
#include "state/user_services.hpp"

namespace trevanix {

// Which reader reads ".ase" and ".asc" scenes; every other scene has only the
// general reader.
enum class ReaderChoice {
    Exact,        // the exact readers only
    General,      // the general reader
    Auto,         // the exact reader, then the general one when it refuses the structure
    OfferGeneral, // the exact reader; after it refuses the structure, the user is asked
};

struct EngineSettings {
    std::string program_folder; // initial folder of the open dialog
    std::string log_path;       // where the error log lives
    bool lf_ends_line = false;  // also end lines at a lone line feed
    std::size_t read_block_size = std::size_t{1} << 20;
    // Set from outside the action (a signal handler): every reading of the
    // scene ends at its next block, even inside a long line.
    const std::atomic<bool>* stop = nullptr;
    PictureRenaming picture_renaming = PictureRenaming::Rename;
    ReaderChoice reader = ReaderChoice::Exact;
};

// What the last analysis ended with, for the command line and the tests.
struct AnalysisReport {
    bool ran = false;        // got past the file choice
    bool completed = false;  // reached its verdict
    bool problems = false;   // some object failed a check (also when the analysis ended early)
    bool not_analysable = false; // unreadable, no objects, or broken structure
    bool no_objects = false;
    bool input_has_lone_line_feeds = false;
    // Pictures renamed (or, when only listing, to be renamed), and pictures a
    // shortened texture name points to that the TIFFRGB folder does not hold.
    std::vector<PictureRename> renamed_pictures;
    std::vector<std::string> missing_pictures;
    SceneReader reader = SceneReader::Exact; // the reader that read (or tried) the scene
    // The general reader's objects that were changed to be written (split,
    // points and lines dropped): one entry per log line, in log order.
    std::vector<LoggedProblem> repaired;
    std::vector<UnrenamedPicture> unrenamed_pictures;
};

// An object that passed the analysis and that the conversion did not write.
struct LeftOutObject {
    std::int64_t line = 0;   // the line that starts the object
    std::string object;      // its name
    std::string reason;      // a stable key, e.g. "lod_name"
    std::string reason_text; // what the key means, for the user
};

// Learns of each object left out as the conversion meets it (e.g. to list
// them all in a report without keeping them in memory).
class LeftOutListener {
public:
    virtual ~LeftOutListener() = default;
    virtual void object_left_out(const LeftOutObject& object) = 0;
};

struct ConversionReport {
    // The objects left out that the report keeps; the count goes on beyond.
    static constexpr std::size_t kept_left_out = 20;

    ConversionStatus status = ConversionStatus::NotRun;
    std::int64_t objects_written = 0;
    // Objects that passed the analysis and were not written, and the first of them.
    std::int64_t objects_left_out = 0;
    std::vector<LeftOutObject> first_left_out;
    std::vector<std::string> outputs; // ".asc" files written, in order
    std::string mat_file;             // the material file written, or ""
    std::vector<std::string> pictures; // TIFF pictures written (general reader), in order
    std::int64_t next_split_file = 0; // the split file the next object would have gone to
};

struct Session {
    explicit Session(UserServices& services, EngineSettings engine_settings = {});

    UserServices& ui;
    EngineSettings settings;
    SceneState scene;
    Controls controls;
    ErrorLog log;

    AnalysisReport analysis_report;
    ConversionReport conversion_report;
    // Told of every object a conversion leaves out; none unless a face asks.
    LeftOutListener* left_out_listener = nullptr;

    // The folder of the last scene analysed: the open dialog starts there
    // (in the program folder while it is empty). The window keeps it from
    // one run to the next.
    std::string last_scene_folder;

    // The conversion's closing "close the program?" message; the command line
    // leaves it out.
    bool show_final_message = true;
    // Set when the window closes during long work: the running action stops at
    // its next line step and leaves no half-written output.
    bool stop_requested = false;

    // Shows a message and tells the views that the controls may have changed.
    bool ask(const std::string& caption, const std::string& text, MessageIcon icon = MessageIcon::None);
    void tell(const std::string& caption, const std::string& text, MessageIcon icon);
    // A notice with its list of details (see Message).
    void tell(Message message);
    void refresh() { ui.controls_changed(); }
};

// Forgets the loaded scene: statistics, counts, paths and the texts that show
// them, the error log, and the buttons that only a loaded scene enables. The
// discard question of a new analysis and the clearing both end with this.
void forget_loaded_scene(Session& session);

} // namespace trevanix
