#include "window/qt_user_services.hpp"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <cstdio>
#include <string>

#include "window/dialog_filter.hpp"
#include "window/document_opener.hpp"

namespace trevanix::window {

namespace {

QMessageBox::Icon qt_icon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

// While a message box or a file dialog waits for an answer, the pointer is the
// ordinary one; the busy pointer comes back when the work goes on.
class QtUserServices::OrdinaryPointerWhileWaiting {
public:
    explicit OrdinaryPointerWhileWaiting(bool busy) : busy_(busy)
    {
        if (busy_)
            QGuiApplication::restoreOverrideCursor();
    }
    ~OrdinaryPointerWhileWaiting()
    {
        if (busy_)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    OrdinaryPointerWhileWaiting(const OrdinaryPointerWhileWaiting&) = delete;
    OrdinaryPointerWhileWaiting& operator=(const OrdinaryPointerWhileWaiting&) = delete;

private:
    bool busy_;
};

void QtUserServices::attach(QWidget* window, std::function<void()> sync_widgets, std::function<void()> end_program)
{
    window_ = window;
    sync_widgets_ = std::move(sync_widgets);
    end_program_ = std::move(end_program);
}

bool QtUserServices::show_message(const Message& message)
{
    const bool yes_no = message.buttons == MessageButtons::YesNo;
    // The details (a list of objects or pictures) follow the text, one a line.
    std::string text = message.text;
    for (const std::string& line : message.details)
        text += "\n" + line;
    if (unattended_) {
        std::fprintf(stderr, "%s: %s%s\n", message.caption.c_str(), text.c_str(), yes_no ? " [No]" : "");
        return !yes_no;
    }
    QMessageBox box(qt_icon(message.icon), QString::fromLocal8Bit(message.caption), QString::fromLocal8Bit(text),
                    yes_no ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, window_);
    // Texts and paths are shown as they are, never read as markup, and can
    // be selected and copied (a path to open by hand, say).
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (yes_no) {
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    }
    const OrdinaryPointerWhileWaiting pointer(busy_pointer_);
    const int answer = box.exec();
    return !yes_no || answer == QMessageBox::Yes;
}

FileDialogResult QtUserServices::open_file_dialog(const FileDialogRequest& request)
{
    return run_file_dialog(request, false);
}

FileDialogResult QtUserServices::save_file_dialog(const FileDialogRequest& request)
{
    return run_file_dialog(request, true);
}

FileDialogResult QtUserServices::run_file_dialog(const FileDialogRequest& request, bool save)
{
    if (unattended_)
        return {};
    QFileDialog dialog(window_, QString::fromLocal8Bit(request.title), QFile::decodeName(request.initial_folder.c_str()));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(!save && request.must_exist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    const QStringList filters = qt_name_filters(request.filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    if (save) {
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirm_overwrite);
        // The overwrite question then names the file that will really be written.
        dialog.setDefaultSuffix(first_pattern_suffix(request.filter));
    }
    const OrdinaryPointerWhileWaiting pointer(busy_pointer_);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString chosen = dialog.selectedFiles().constFirst();
    FileDialogResult result;
    result.cancelled = false;
    result.path = QFile::encodeName(chosen).toStdString();
    result.title = QFile::encodeName(QFileInfo(chosen).fileName()).toStdString();
    return result;
}

void QtUserServices::let_events_run()
{
    // Called once per line step, millions of times on a huge scene: look at the
    // clock only every 256th call, and repaint at most every event_interval_ms.
    if ((event_calls_++ & 255u) != 0)
        return;
    if (since_events_.isValid() && since_events_.elapsed() < event_interval_ms)
        return;
    since_events_.start();
    if (sync_widgets_)
        sync_widgets_();
    QCoreApplication::processEvents();
}

void QtUserServices::set_busy_pointer(bool busy)
{
    if (busy == busy_pointer_)
        return;
    busy_pointer_ = busy;
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

bool QtUserServices::set_clipboard_text(const std::string& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->clear();
    clipboard->setText(QString::fromLocal8Bit(text));
    return true;
}

bool QtUserServices::open_document(const std::string& path)
{
    if (unattended_)
        return false;
    return open_with_desktop(QFile::decodeName(path.c_str()));
}

void QtUserServices::quit()
{
    if (end_program_)
        end_program_();
    else
        QCoreApplication::quit();
}

void QtUserServices::controls_changed()
{
    if (sync_widgets_)
        sync_widgets_();
}

} // namespace trevanix::window
