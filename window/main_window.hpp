#pragma once
// The main window Form1: the widgets of every control, bound to the engine's
// control state. Clicks go to the Form; the widgets are refreshed from the
// Controls whenever the engine says they changed, and after every action.
#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

#include "app/form.hpp"

class QCheckBox;
class QCloseEvent;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QGroupBox;
class QMimeData;
class QLabel;
class QAbstractButton;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace trevanix::window {

// Positions and sizes are given in twips: 15 twips a pixel at 96 dpi. Qt
// scales device-independent pixels for denser screens.
constexpr int px(int twips) noexcept { return (twips + 7) / 15; }

class MainWindow : public QWidget {
    Q_OBJECT
public:
    MainWindow(UserServices& services, EngineSettings settings, QWidget* parent = nullptr);

    Form& form() noexcept { return form_; }

    // Runs the start-up of the form: the analysis of the scene named on the
    // command line, if any. Call once the window is shown.
    void start_up(const std::string& command_line);

    // Refreshes every widget from the control state. Cheap when nothing changed.
    void sync_from_controls();

    // Ends the program: closes the window now, or as soon as the running
    // action has returned.
    void request_quit();
    // True once the window has been closed for good.
    bool closed() const noexcept { return closed_; }

    // Whether the folder of the last scene analysed is kept for the next run
    // of the program (in the user's settings). On by default.
    void keep_scene_folder_between_runs(bool keep) noexcept { keep_scene_folder_ = keep; }

    // Gives the form the largest size of `family` at which every caption
    // fits its control; false (the font unchanged) when none does.
    bool use_font_family(const QString& family);
    // The faces the form prefers, narrowest metrics first after the classic
    // dialog font; the first installed one whose captions fit is used.
    static QStringList preferred_font_families();

    // The one scene file (".ase" or ".asc") that dropped data names, or ""
    // when it names anything else.
    static QString dropped_scene(const QMimeData* data);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct ButtonBinding {
        QPushButton* widget;
        ButtonState Controls::*state;
    };
    // How a text box shows a text too long for it.
    enum class LongText {
        Cut,         // short numbers: never too long
        ShowStart,   // a comment reads from its start; the whole text in the tooltip
        ShowEnd,     // a path shows its end, the file name; the whole path in the tooltip
    };
    struct TextBinding {
        QLineEdit* widget;
        TextBoxState Controls::*state;
        LongText long_text;
        QString fixed_tooltip; // shown below the text, or alone while the box is empty
    };
    struct CaptionedControl {
        QAbstractButton* widget;
        QString caption;
    };
    struct CheckBinding {
        QCheckBox* widget;
        CheckBoxState Controls::*state;
    };
    struct BarBinding {
        QProgressBar* widget;
        ProgressBarState Controls::*state;
    };

    template <typename Action>
    void run_action(Action action);

    void build();
    void bind();
    void set_tab_order();
    void pick_font();
    void apply_font(const QFont& font);
    bool every_caption_fits();
    void close_if_pending();
    bool action_running() const noexcept { return action_depth_ > 0 || form_.busy(); }
    void show_text(const TextBinding& binding, const TextBoxState& state);
    void keep_focus_through_run(bool running);
    bool outside_client_area(const QWidget* widget) const;
    void remember_scene_folder();

    QPushButton* button(QWidget* parent, const char* name, const char* caption, int left, int top, int width,
                        int height, ButtonState Controls::*state);
    QLineEdit* text_box(QWidget* parent, const char* name, int left, int top, int width, int height, bool read_only,
                        TextBoxState Controls::*state, LongText long_text = LongText::Cut);
    QLabel* label(QWidget* parent, const char* name, const char* caption, int left, int top, int width, int height);
    QCheckBox* check_box(QWidget* parent, const char* name, const char* caption, int left, int top, int width,
                         int height, CheckBoxState Controls::*state);
    QGroupBox* frame(const char* name, const char* caption, int left, int top, int width, int height);
    QProgressBar* progress_bar(QWidget* parent, const char* name, int left, int top, int width, int height,
                               ProgressBarState Controls::*state);
    void register_tab(QWidget* widget, int tab);

    Form form_;
    UserServices& services_;

    std::vector<ButtonBinding> buttons_;
    std::vector<TextBinding> texts_;
    std::vector<CheckBinding> checks_;
    std::vector<BarBinding> bars_;
    std::vector<CaptionedControl> captioned_;
    std::vector<std::pair<int, QWidget*>> tab_stops_;
    QLabel* label_analize_ = nullptr;
    QLineEdit* text2_ = nullptr;

    int action_depth_ = 0;
    bool syncing_ = false;
    bool close_pending_ = false; // closed by the user during an action: stop it
    bool quit_pending_ = false;  // the program ends once the action has returned
    bool closed_ = false;
    bool keep_scene_folder_ = true;
    bool greyed_for_run_ = false;
    QPointer<QWidget> focus_before_run_;
    std::string remembered_scene_folder_;
};

} // namespace trevanix::window
