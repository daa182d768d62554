// trevanix: the desktop window.
//
//   trevanix [--lf-ends] [SCENE]
//   trevanix --help | --version
//
// SCENE is analysed at start-up, as if chosen with the analysis button.
// --lf-ends lets a lone line feed end a line of the input.
// --screenshot FILE (for the documentation): runs the start-up without
// anyone at the screen (messages answered OK/No on the standard error
// stream), saves the window as a picture and exits.
// --help and --version answer before Qt starts, so they need no display.
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QIcon>
#include <QPixmap>
#include <cstdio>
#include <cstring>
#include <string>

#include "state/error_log.hpp"
#include "window/main_window.hpp"
#include "window/qt_user_services.hpp"

namespace {

constexpr const char* usage_text =
    "usage: trevanix [--lf-ends] [SCENE]\n"
    "       trevanix --screenshot FILE [--lf-ends] [SCENE]\n"
    "       trevanix --help | --version\n";

constexpr const char* help_text =
    "\n"
    "Opens the window \"Textured 3d scenes processor for Kolbrin2\", which analyses a 3d scene (.ase ASCII Scene\n"
    "Export, .asc 3D Studio ASCII mesh, or a scene of another tool: glTF, OBJ, FBX, Collada, 3DS and the other\n"
    "formats Assimp reads), logs its rejected objects and converts it to .asc files and a .mat file for Kolbrin2.\n"
    "SCENE, when given, is analysed at once.\n"
    "\n"
    "  --lf-ends          also end a line at a lone line feed in a file that holds CR as well\n"
    "                     (a file without any CR ends its lines at LF anyway)\n"
    "  --screenshot FILE  run the start-up with nobody at the screen, save the window as a PNG\n"
    "                     picture in FILE and exit\n"
    "  -h, --help         print this help and exit\n"
    "  --version          print the version and exit\n"
    "  --                 end of the options: what follows is the scene, even when it begins with -\n"
    "\n"
    "The standard options of Qt applications (-platform NAME, -style NAME, ...) are accepted too.\n"
    "Exit status: 0 the window was closed, the screenshot was saved, or --help or --version answered;\n"
    "1 the screenshot could not be saved; 2 an unknown option.\n"
    "trevanix-cli does the same work from the command line (man trevanix-cli).\n";

enum class Answer { None, Help, Version };

// --help and --version, looked for before Qt starts (Qt needs a display).
// The words after "--" are the scene's, and so is the value of --screenshot.
Answer answer_asked_for(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--") == 0)
            break;
        if (std::strcmp(arg, "--screenshot") == 0)
            ++i;
        else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)
            return Answer::Help;
        else if (std::strcmp(arg, "--version") == 0)
            return Answer::Version;
    }
    return Answer::None;
}

struct Arguments {
    std::string scene;
    bool lf_ends_line = false;
    std::string screenshot;
    bool ok = true;
};

// Qt has already taken its own options out of argv. The scene's path is kept
// as bytes, as the file system gives it; several words are joined back with
// blanks, as a command line given as one string would read.
Arguments parse(int argc, char** argv)
{
    Arguments args;
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!options_done && std::strcmp(arg, "--") == 0) {
            options_done = true;
        } else if (!options_done && std::strcmp(arg, "--lf-ends") == 0) {
            args.lf_ends_line = true;
        } else if (!options_done && std::strcmp(arg, "--screenshot") == 0 && i + 1 < argc) {
            args.screenshot = argv[++i];
        } else if (!options_done && arg[0] == '-' && arg[1] == '-') {
            std::fprintf(stderr, "trevanix: unknown option %s\n%s", arg, usage_text);
            args.ok = false;
        } else {
            if (!args.scene.empty())
                args.scene += ' ';
            args.scene += arg;
        }
    }
    return args;
}

} // namespace

int main(int argc, char** argv)
{
    switch (answer_asked_for(argc, argv)) {
    case Answer::Help:
        std::printf("%s%s", usage_text, help_text);
        return 0;
    case Answer::Version:
        std::printf("trevanix %s\n", TREVANIX_VERSION);
        return 0;
    case Answer::None:
        break;
    }

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("trevanix"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TREVANIX_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("trevanix"));
    // The installed icon, where the desktop's icon theme has it.
    QGuiApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("trevanix")));

    const Arguments args = parse(argc, argv);
    if (!args.ok)
        return 2;

    trevanix::EngineSettings settings;
    settings.program_folder = QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
    settings.log_path = trevanix::default_log_path(settings.program_folder).string();
    settings.lf_ends_line = args.lf_ends_line;
    // After a refusal of an ".ase" file's structure, the window offers the general reader.
    settings.reader = trevanix::ReaderChoice::OfferGeneral;

    trevanix::window::QtUserServices services;
    services.set_unattended(!args.screenshot.empty());
    trevanix::window::MainWindow window(services, settings);
    // A picture for the documentation is no scene the user analysed.
    window.keep_scene_folder_between_runs(args.screenshot.empty());
    services.attach(
        &window, [&window] { window.sync_from_controls(); }, [&window] { window.request_quit(); });

    window.show();
    window.start_up(args.scene);
    if (window.closed())
        return 0; // the start-up's conversion ended the program

    if (!args.screenshot.empty()) {
        QCoreApplication::processEvents();
        const bool saved = window.grab().save(QFile::decodeName(args.screenshot.c_str()));
        if (!saved)
            std::fprintf(stderr, "trevanix: could not save %s\n", args.screenshot.c_str());
        return saved ? 0 : 1;
    }
    return QApplication::exec();
}
