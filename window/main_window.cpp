#include "window/main_window.hpp"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>

#include "app/scene_types.hpp"
#include "state/paths.hpp"
#include "window/caption_fit.hpp"
#include "window/progress_scale.hpp"

namespace trevanix::window {

namespace {

const QColor frame_green(0, 192, 0);

QString qt_text(const std::string& text)
{
    return QString::fromLocal8Bit(text);
}

void place(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(px(left), px(top), px(width), px(height));
}

void paint_green(QWidget* widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, frame_green);
    widget->setPalette(palette);
    // Buttons (check boxes among them) fill with the Button role by default.
    widget->setBackgroundRole(QPalette::Window);
    widget->setAutoFillBackground(true);
}

// The pixel size of the classic 8.25 point dialog font at 96 dots per inch,
// and the smallest size the form is still readable at. Sizes are in pixels,
// as the control sizes are, so the captions fit whatever the desktop's
// font scaling.
constexpr int classic_font_pixels = 11;
constexpr int smallest_font_pixels = 8;

// Where the folder of the last scene analysed is kept between runs.
QSettings user_settings()
{
    return QSettings(QSettings::UserScope, QStringLiteral("trevanix"), QStringLiteral("trevanix"));
}
constexpr QLatin1StringView last_scene_folder_key("open_dialog/last_scene_folder");

// A tooltip shows the text as it is, never as markup.
QString plain_tooltip(const QString& text)
{
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap) : text;
}

} // namespace

MainWindow::MainWindow(UserServices& services, EngineSettings settings, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      form_(services, std::move(settings)), services_(services)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(captions::window));
    setFixedSize(px(8625), px(5985));
    setAcceptDrops(true);
    build();
    pick_font();
    bind();
    set_tab_order();
    // The open dialog starts in the folder of the scene analysed last, in
    // this run or an earlier one.
    remembered_scene_folder_ = QFile::encodeName(user_settings().value(last_scene_folder_key).toString()).toStdString();
    // A folder kept relative (by an earlier version) meant the folder the
    // program was started in then: it is no place to start from now.
    if (!remembered_scene_folder_.empty() && remembered_scene_folder_.front() == '/')
        form_.session().last_scene_folder = remembered_scene_folder_;
    sync_from_controls();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

// ---- construction --------------------------------------------------------

QPushButton* MainWindow::button(QWidget* parent, const char* name, const char* caption, int left, int top,
                                int width, int height, ButtonState Controls::*state)
{
    auto* widget = new QPushButton(parent);
    widget->setObjectName(QLatin1String(name));
    place(widget, left, top, width, height);
    buttons_.push_back({widget, state});
    captioned_.push_back({widget, QString::fromLatin1(caption)});
    // Enter clicks a focused button, as Space does.
    widget->installEventFilter(this);
    return widget;
}

QLineEdit* MainWindow::text_box(QWidget* parent, const char* name, int left, int top, int width, int height,
                                bool read_only, TextBoxState Controls::*state, LongText long_text)
{
    auto* widget = new QLineEdit(parent);
    widget->setObjectName(QLatin1String(name));
    place(widget, left, top, width, height);
    widget->setReadOnly(read_only);
    // A file dropped anywhere on the form is a scene to analyse, never text
    // to insert.
    widget->setAcceptDrops(false);
    texts_.push_back({widget, state, long_text, QString()});
    return widget;
}

QLabel* MainWindow::label(QWidget* parent, const char* name, const char* caption, int left, int top, int width,
                          int height)
{
    auto* widget = new QLabel(QString::fromLatin1(caption), parent);
    widget->setObjectName(QLatin1String(name));
    place(widget, left, top, width, height);
    widget->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    paint_green(widget);
    return widget;
}

QCheckBox* MainWindow::check_box(QWidget* parent, const char* name, const char* caption, int left, int top,
                                 int width, int height, CheckBoxState Controls::*state)
{
    auto* widget = new QCheckBox(parent);
    widget->setObjectName(QLatin1String(name));
    place(widget, left, top, width, height);
    paint_green(widget);
    checks_.push_back({widget, state});
    // The caption is set once the font is final (bold for Check_all).
    captioned_.push_back({widget, QString::fromLatin1(caption)});
    return widget;
}

QGroupBox* MainWindow::frame(const char* name, const char* caption, int left, int top, int width, int height)
{
    auto* widget = new QGroupBox(QString::fromLatin1(caption), this);
    widget->setObjectName(QLatin1String(name));
    place(widget, left, top, width, height);
    paint_green(widget);
    return widget;
}

QProgressBar* MainWindow::progress_bar(QWidget* parent, const char* name, int left, int top, int width, int height,
                                       ProgressBarState Controls::*state)
{
    auto* widget = new QProgressBar(parent);
    widget->setObjectName(QLatin1String(name));
    place(widget, left, top, width, height);
    widget->setTextVisible(false);
    widget->hide();
    bars_.push_back({widget, state});
    return widget;
}

void MainWindow::register_tab(QWidget* widget, int tab)
{
    tab_stops_.emplace_back(tab, widget);
}

void MainWindow::build()
{
    using C = Controls;
    namespace k = captions;

    // Top band: the analysis button, the input path, the analysis progress row.
    auto* analize = button(this, "Analize_filename", k::Analize_filename, 120, 120, 2655, 255, &C::Analize_filename);
    analize->setToolTip(QString::fromLatin1(k::tooltip_Analize_filename));
    register_tab(analize, 0);
    register_tab(text_box(this, "Text_loadfile", 2880, 120, 5655, 285, true, &C::Text_loadfile, LongText::ShowEnd),
                 1);
    label_analize_ = label(this, "Label_analize", k::Label_analize, 120, 480, 855, 255);
    label_analize_->hide();
    register_tab(label_analize_, 18);
    register_tab(progress_bar(this, "Analize_bar", 1080, 480, 7455, 255, &C::Analize_bar), 17);

    // Statistics frame.
    QGroupBox* frame2 = frame("Frame2", k::Frame2, 120, 840, 8415, 2175);
    register_tab(frame2, 2);
    register_tab(label(frame2, "Label1", k::Label1, 120, 360, 1455, 255), 3);
    register_tab(text_box(frame2, "Text_total_objects", 1680, 360, 735, 285, true, &C::Text_total_objects), 21);
    register_tab(label(frame2, "Label2", k::Label2, 120, 600, 1455, 255), 4);
    register_tab(text_box(frame2, "Text_valid_objects", 1680, 600, 735, 285, true, &C::Text_valid_objects), 27);
    register_tab(label(frame2, "Label6", k::Label6, 2520, 360, 1935, 255), 6);
    register_tab(text_box(frame2, "Text_faces", 4800, 360, 1335, 285, true, &C::Text_faces), 22);
    register_tab(label(frame2, "Label7", k::Label7, 2520, 600, 2055, 255), 7);
    register_tab(text_box(frame2, "Text_vertices", 4800, 600, 1335, 285, true, &C::Text_vertices), 23);
    register_tab(label(frame2, "Label4", k::Label4, 2520, 1080, 2775, 255), 5);
    register_tab(text_box(frame2, "Text_ascsplit", 5520, 1080, 615, 285, true, &C::Text_ascsplit), 28);
    QLabel* label3 = label(frame2, "Label3", k::Label3, 120, 960, 1455, 615);
    label3->setWordWrap(true);
    register_tab(label3, 30);
    register_tab(text_box(frame2, "Text1", 1680, 1320, 735, 285, false, &C::Text1), 31);
    register_tab(label(frame2, "Label11", k::Label11, 120, 1680, 855, 255), 19);
    register_tab(
        text_box(frame2, "Text_comments", 1080, 1680, 7215, 285, true, &C::Text_comments, LongText::ShowStart), 29);
    register_tab(button(frame2, "Open_error_log", k::Open_error_log, 6240, 360, 2055, 495, &C::Open_error_log), 8);
    register_tab(button(frame2, "Clear_statistics", k::Clear_statistics, 6240, 960, 2055, 495, &C::Clear_statistics),
                 20);

    // Settings frame.
    QGroupBox* frame1 = frame("Frame1", k::Frame1, 120, 3120, 8415, 2775);
    frame1->setToolTip(QString::fromLatin1(k::tooltip_Frame1));
    register_tab(frame1, 9);
    QPushButton* target = button(frame1, "Target_filename", k::Target_filename, 120, 480, 2295, 495, &C::Target_filename);
    target->setToolTip(QString::fromLatin1(k::tooltip_Target_filename));
    register_tab(target, 24);
    QLineEdit* savefile =
        text_box(frame1, "Text_savefile", 2520, 600, 5775, 375, true, &C::Text_savefile, LongText::ShowEnd);
    texts_.back().fixed_tooltip = QString::fromLatin1(k::tooltip_Text_savefile);
    register_tab(savefile, 25);
    register_tab(check_box(frame1, "Check_createmat", k::Check_createmat, 120, 1080, 3855, 255, &C::Check_createmat),
                 12);
    QCheckBox* all = check_box(frame1, "Check_all", k::Check_all, 3960, 1080, 3495, 375, &C::Check_all);
    register_tab(all, 26);
    register_tab(check_box(frame1, "Check_splitasc", k::Check_splitasc, 120, 1320, 3615, 255, &C::Check_splitasc), 11);
    register_tab(
        check_box(frame1, "Check_flip3daxis", k::Check_flip3daxis, 120, 1560, 1935, 255, &C::Check_flip3daxis), 13);
    register_tab(check_box(frame1, "Check_vtextures", k::Check_vtextures, 120, 1800, 2415, 255, &C::Check_vtextures),
                 14);
    QPushButton* start = button(frame1, "Start_process", k::Start_process, 6960, 2280, 1335, 375, &C::Start_process);
    register_tab(start, 10);
    register_tab(progress_bar(frame1, "Process_bar", 960, 2400, 5895, 255, &C::Process_bar), 16);

    // Beyond the right edge of the client area: never seen, so never reached
    // with Tab either (see set_tab_order).
    text2_ = text_box(this, "Text2", 8760, 4680, 375, 615, false, &C::Text2);
    register_tab(text2_, 36);

    for (QWidget* bold : std::initializer_list<QWidget*>{all, start}) {
        // Only the weight is the control's own: face and size follow the form.
        QFont weight;
        weight.setWeight(QFont::Bold);
        bold->setFont(weight);
    }
}

// ---- the font --------------------------------------------------------------

QStringList MainWindow::preferred_font_families()
{
    // The classic dialog font, then faces of Arial's metrics, then the
    // narrow DejaVu face before the wide one.
    return {QStringLiteral("MS Sans Serif"),         QStringLiteral("Microsoft Sans Serif"),
            QStringLiteral("Liberation Sans"),       QStringLiteral("Arimo"),
            QStringLiteral("Arial"),                 QStringLiteral("DejaVu Sans Condensed"),
            QStringLiteral("DejaVu Sans")};
}

// Sets the form's font and wraps the captions of the buttons and check boxes
// anew: too long for one line, they take two where the control is tall
// enough, as the classic controls do.
void MainWindow::apply_font(const QFont& font)
{
    setFont(font);
    for (const CaptionedControl& c : captioned_) {
        const bool is_check_box = qobject_cast<QCheckBox*>(c.widget) != nullptr;
        const int room = c.widget->width() - (is_check_box ? 20 : 8);
        c.widget->setText(wrap_caption(c.caption, c.widget->fontMetrics(), room, c.widget->height()));
    }
}

// Every caption fits, the progress label's with either of its two texts.
bool MainWindow::every_caption_fits()
{
    const QString shown = label_analize_->text();
    bool fits = true;
    for (const char* caption : {captions::Label_analize, captions::Label_analize_converting}) {
        label_analize_->setText(QString::fromLatin1(caption));
        fits = fits && cut_captions(this).isEmpty();
    }
    label_analize_->setText(shown);
    return fits;
}

bool MainWindow::use_font_family(const QString& family)
{
    const QFont before = font();
    for (int pixels = classic_font_pixels; pixels >= smallest_font_pixels; --pixels) {
        QFont candidate(family);
        candidate.setStyleHint(QFont::SansSerif);
        candidate.setPixelSize(pixels);
        apply_font(candidate);
        if (every_caption_fits())
            return true;
    }
    apply_font(before);
    return false;
}

// The form was laid out for a narrow 8-point face. Of the installed faces it
// prefers, and then the desktop's own, the one whose captions all fit at the
// largest size is used (the earlier in the list on a tie). Should none fit,
// the first is used at the smallest size.
void MainWindow::pick_font()
{
    QStringList families;
    for (const QString& family : preferred_font_families())
        if (QFontDatabase::hasFamily(family))
            families << family;
    families << QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();

    QFont best;
    int best_pixels = 0;
    for (const QString& family : families) {
        if (!use_font_family(family) || font().pixelSize() <= best_pixels)
            continue;
        best = font();
        best_pixels = best.pixelSize();
        if (best_pixels == classic_font_pixels)
            break;
    }
    if (best_pixels == 0) {
        best = QFont(families.constFirst());
        best.setStyleHint(QFont::SansSerif);
        best.setPixelSize(smallest_font_pixels);
    }
    apply_font(best);
}

void MainWindow::bind()
{
    const std::pair<const char*, void (Form::*)()> clicks[] = {
        {"Analize_filename", &Form::click_Analize_filename}, {"Target_filename", &Form::click_Target_filename},
        {"Start_process", &Form::click_Start_process},       {"Clear_statistics", &Form::click_Clear_statistics},
        {"Open_error_log", &Form::click_Open_error_log},
    };
    for (const auto& [name, click] : clicks) {
        auto* widget = findChild<QPushButton*>(QLatin1String(name));
        connect(widget, &QPushButton::clicked, this, [this, click = click] { run_action([&] { (form_.*click)(); }); });
    }

    // The form toggles the box's value (and Check_all switches the four
    // options), or ignores the click while an action runs; either way the
    // box then shows the value the form holds.
    for (const CheckBinding& binding : checks_)
        connect(binding.widget, &QCheckBox::clicked, this,
                [this, state = binding.state] { run_action([&] { form_.click_check_box(state); }); });

    // What the user types into the editable Text1 is kept in the control
    // state, so the view never disagrees with it.
    auto* text1 = findChild<QLineEdit*>(QStringLiteral("Text1"));
    connect(text1, &QLineEdit::textEdited, this,
            [this](const QString& text) { form_.controls().Text1.text = text.toLocal8Bit().toStdString(); });

    // Every change of Text2 runs its character check, except the changes the
    // view makes itself when it shows the checked text ("Group").
    connect(text2_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (syncing_)
            return;
        run_action([&] { form_.change_Text2(text.toLocal8Bit().toStdString()); });
    });
}

bool MainWindow::outside_client_area(const QWidget* widget) const
{
    const QRect shown(widget->mapTo(this, QPoint(0, 0)), widget->size());
    return !rect().intersects(shown);
}

void MainWindow::set_tab_order()
{
    std::stable_sort(tab_stops_.begin(), tab_stops_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    // Labels, frames and bars take no focus: the focus passes to the next stop.
    // A control placed outside the window's client area can never be seen,
    // and typing into it would answer with messages about a box nobody sees:
    // it takes no focus at all. (Hidden and disabled controls Qt skips.)
    QWidget* previous = nullptr;
    for (const auto& [tab, widget] : tab_stops_) {
        if (outside_client_area(widget))
            widget->setFocusPolicy(Qt::NoFocus);
        if (!(widget->focusPolicy() & Qt::TabFocus))
            continue;
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }
}

// ---- running actions -----------------------------------------------------

template <typename Action>
void MainWindow::run_action(Action action)
{
    ++action_depth_;
    try {
        action();
    } catch (const std::exception& e) {
        // Whatever went wrong inside the engine reaches the user as a message,
        // never as a crash of the window.
        services_.set_busy_pointer(false);
        services_.show_message({"Error", e.what(), MessageIcon::Critical, MessageButtons::Ok});
    } catch (...) {
        services_.set_busy_pointer(false);
        services_.show_message({"Error", "Unexpected error.", MessageIcon::Critical, MessageButtons::Ok});
    }
    --action_depth_;
    sync_from_controls();
    remember_scene_folder();
    close_if_pending();
}

void MainWindow::remember_scene_folder()
{
    // Kept absolute: the next run may start in any folder.
    const std::string folder = absolute_path(form_.session().last_scene_folder);
    if (!keep_scene_folder_ || folder.empty() || folder == remembered_scene_folder_)
        return;
    remembered_scene_folder_ = folder;
    user_settings().setValue(last_scene_folder_key, QFile::decodeName(folder.c_str()));
}

// ---- keys and drops ----------------------------------------------------------

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        auto* pressed = qobject_cast<QPushButton*>(watched);
        if (enter && pressed != nullptr && !key->isAutoRepeat() &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (pressed->isEnabled())
                pressed->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QString MainWindow::dropped_scene(const QMimeData* data)
{
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1)
        return {};
    const QUrl url = data->urls().constFirst();
    if (!url.isLocalFile())
        return {};
    const QString path = url.toLocalFile();
    if (!is_scene_file_type(QFileInfo(path).suffix().toStdString()))
        return {};
    // What the path is decides, not its name: a folder called "x.ase" or a
    // device is no scene. A link to a scene file is read as that file.
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(QFile::encodeName(path).toStdString(), ignored))
        return {};
    return path;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    // Refused (the pointer shows it) while an action runs, and for anything
    // but one scene file.
    if (!action_running() && !dropped_scene(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (!action_running() && !dropped_scene(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QString path = dropped_scene(event->mimeData());
    if (action_running() || path.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The analysis runs once the drop has been answered, so the program the
    // file came from is not kept waiting through its questions.
    const std::string scene = QFile::encodeName(path).toStdString();
    QTimer::singleShot(0, this, [this, scene] { run_action([&] { form_.drop_scene(scene); }); });
}

void MainWindow::start_up(const std::string& command_line)
{
    // A scene named relative to the folder the program was started in is
    // shown, and its folder remembered, by its absolute path.
    const std::string scene = absolute_path(without_surrounding_quotes(command_line));
    run_action([&] { form_.start_up(scene); });
}

void MainWindow::request_quit()
{
    // The program's own end (after the conversion's last question) lets the
    // running action finish normally: no stop is requested.
    quit_pending_ = true;
    close_if_pending();
}

void MainWindow::close_if_pending()
{
    if ((close_pending_ || quit_pending_) && action_depth_ == 0 && !form_.busy())
        close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (form_.busy() || action_depth_ > 0) {
        // The running analysis or conversion stops at its next line step,
        // leaving no half-written output; the window closes once it has
        // returned.
        form_.request_stop();
        close_pending_ = true;
        event->ignore();
        return;
    }
    closed_ = true;
    event->accept();
}

// ---- view of the control state -------------------------------------------

void MainWindow::show_text(const TextBinding& binding, const TextBoxState& state)
{
    QLineEdit* box = binding.widget;
    const QString text = qt_text(state.text);
    if (box->text() != text) {
        box->setText(text);
        // A path too long for its box shows its end, the file name; other
        // texts read from their start.
        if (box->isReadOnly())
            box->setCursorPosition(binding.long_text == LongText::ShowEnd ? static_cast<int>(text.size()) : 0);
    }
    if (box->isEnabled() != state.enabled)
        box->setEnabled(state.enabled);
    if (binding.long_text == LongText::Cut)
        return;
    QString tooltip = text;
    if (!binding.fixed_tooltip.isEmpty())
        tooltip = text.isEmpty() ? binding.fixed_tooltip : text + QLatin1Char('\n') + binding.fixed_tooltip;
    tooltip = plain_tooltip(tooltip);
    if (box->toolTip() != tooltip)
        box->setToolTip(tooltip);
}

void MainWindow::sync_from_controls()
{
    // A close that came in before the running action began (the start-up
    // lets events run just before its analysis) must stop that action too.
    if (close_pending_ && form_.busy())
        form_.request_stop();
    const Controls& c = form_.controls();
    syncing_ = true;
    const bool running = form_.busy();
    if (running)
        keep_focus_through_run(true);
    for (const ButtonBinding& b : buttons_) {
        const bool enabled = (c.*b.state).enabled && (!running || b.state == &Controls::Open_error_log);
        if (b.widget->isEnabled() != enabled)
            b.widget->setEnabled(enabled);
    }
    for (const TextBinding& t : texts_)
        show_text(t, c.*t.state);
    for (const CheckBinding& k : checks_) {
        const CheckBoxState& state = c.*k.state;
        if (k.widget->isChecked() != state.checked)
            k.widget->setChecked(state.checked);
        const bool enabled = state.enabled && !running;
        if (k.widget->isEnabled() != enabled)
            k.widget->setEnabled(enabled);
    }
    for (const BarBinding& b : bars_) {
        const ProgressBarState& state = c.*b.state;
        const BarRange range = scale_progress(state.min, state.max, state.value);
        if (b.widget->minimum() != range.min || b.widget->maximum() != range.max)
            b.widget->setRange(range.min, range.max);
        b.widget->setValue(range.value);
        if (b.widget->isHidden() == state.visible)
            b.widget->setVisible(state.visible);
    }
    if (label_analize_->isHidden() == c.Label_analize.visible)
        label_analize_->setVisible(c.Label_analize.visible);
    // The label is shared by both long actions; the conversion's bar tells
    // which one runs.
    const QString caption = QString::fromLatin1(c.Process_bar.visible ? captions::Label_analize_converting
                                                                       : captions::Label_analize);
    if (label_analize_->text() != caption)
        label_analize_->setText(caption);
    syncing_ = false;
    if (!running)
        keep_focus_through_run(false);
}

// A run greys the buttons it ignores, which moves the focus off a greyed
// one; the focus goes back to it once the run is over.
void MainWindow::keep_focus_through_run(bool running)
{
    if (running && !greyed_for_run_) {
        greyed_for_run_ = true;
        focus_before_run_ = focusWidget();
    } else if (!running && greyed_for_run_) {
        greyed_for_run_ = false;
        if (focus_before_run_ && focus_before_run_->isEnabled() && focus_before_run_->isVisible() &&
            focusWidget() != focus_before_run_)
            focus_before_run_->setFocus(Qt::OtherFocusReason);
        focus_before_run_ = nullptr;
    }
}

} // namespace trevanix::window
