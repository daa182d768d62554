// trevanix: the desktop window.
//
//   trevanix [--lf-ends] [SCENE]
//
// SCENE is analysed at start-up, as if chosen with the analysis button.
// --lf-ends lets a lone line feed end a line of the input.
// --screenshot FILE (for the documentation): runs the start-up without
// anyone at the screen (messages answered OK/No on the standard error
// stream), saves the window as a picture and exits.
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
            std::fprintf(stderr, "trevanix: unknown option %s\nusage: trevanix [--lf-ends] [SCENE]\n", arg);
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
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("trevanix"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.1.3"));
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
