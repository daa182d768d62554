#include "window/document_opener.hpp"

#include <QDesktopServices>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

namespace trevanix::window {

namespace {

bool launcher_failed(const QProcess& launcher)
{
    return launcher.error() == QProcess::FailedToStart || launcher.exitStatus() != QProcess::NormalExit ||
           launcher.exitCode() != 0;
}

} // namespace

bool open_with_desktop(const QString& path, std::chrono::milliseconds watch)
{
    const QString launcher_program = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (launcher_program.isEmpty())
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));

    // Without a parent: a launcher still running when the window closes
    // (its program in the foreground) is left to run, never killed.
    auto* launcher = new QProcess;
    launcher->setProgram(launcher_program);
    launcher->setArguments({path});
    launcher->setProcessChannelMode(QProcess::ForwardedChannels);
    launcher->setStandardInputFile(QProcess::nullDevice());

    QEventLoop watching;
    QObject::connect(launcher, &QProcess::finished, &watching, &QEventLoop::quit);
    QTimer::singleShot(watch, &watching, &QEventLoop::quit);
    launcher->start();
    if (launcher->state() != QProcess::NotRunning)
        watching.exec(QEventLoop::ExcludeUserInputEvents);

    if (launcher->state() != QProcess::NotRunning) {
        QObject::connect(launcher, &QProcess::finished, launcher, &QObject::deleteLater);
        return true;
    }
    const bool failed = launcher_failed(*launcher);
    launcher->deleteLater();
    return !failed;
}

} // namespace trevanix::window
