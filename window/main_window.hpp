#pragma once
// The main window Form1: the widgets of every control, bound to the engine's
// control state. Clicks go to the Form; the widgets are refreshed from the
// Controls whenever the engine says they changed, and after every action.
#include <QWidget>
#include <string>
#include <vector>

#include "app/form.hpp"

class QCheckBox;
class QCloseEvent;
class QGroupBox;
class QLabel;
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

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct ButtonBinding {
        QPushButton* widget;
        ButtonState Controls::*state;
    };
    struct TextBinding {
        QLineEdit* widget;
        TextBoxState Controls::*state;
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
    void close_if_pending();

    QPushButton* button(QWidget* parent, const char* name, const char* caption, int left, int top, int width,
                        int height, ButtonState Controls::*state);
    QLineEdit* text_box(QWidget* parent, const char* name, int left, int top, int width, int height, bool read_only,
                        TextBoxState Controls::*state);
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
    std::vector<std::pair<int, QWidget*>> tab_stops_;
    QLabel* label_analize_ = nullptr;
    QLineEdit* text2_ = nullptr;

    int action_depth_ = 0;
    bool syncing_ = false;
    bool close_pending_ = false; // closed by the user during an action: stop it
    bool quit_pending_ = false;  // the program ends once the action has returned
    bool closed_ = false;
};

} // namespace trevanix::window
