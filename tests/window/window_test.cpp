// The desktop window on the offscreen platform: real widgets, bound to the
// engine, with scripted answers in place of the person at the screen.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QScopeGuard>
#include <QFileDialog>
#include <QFontDatabase>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/scene_types.hpp"
#include "state/messages.hpp"
#include "window/caption_fit.hpp"
#include "window/dialog_filter.hpp"
#include "window/document_opener.hpp"
#include "window/main_window.hpp"
#include "window/progress_scale.hpp"
#include "window/qt_user_services.hpp"
#include "support/asc_builder.hpp"
#include "support/ase_builder.hpp"
#include "support/scripted_services.hpp"
#include "support/temp_dir.hpp"

using namespace trevanix;
using trevanix::testing::ScriptedServices;
using trevanix::testing::TempDir;
using trevanix::window::MainWindow;
using trevanix::window::px;

namespace {

// Scripted services that can act while the engine waits on them, as a person
// clicking during long work or while a message is up would.
class HookedServices : public ScriptedServices {
public:
    std::function<void()> on_events;
    std::function<void()> on_message;
    std::function<void()> on_quit;

    void let_events_run() override
    {
        ScriptedServices::let_events_run();
        if (on_events)
            on_events();
    }
    bool show_message(const Message& message) override
    {
        if (on_message)
            on_message();
        return ScriptedServices::show_message(message);
    }
    void quit() override
    {
        ScriptedServices::quit();
        if (on_quit)
            on_quit();
    }
};

// A valid one-object scene of each kind; the ".ase" one has no materials.
const std::string asc_scene = trevanix::testing::asc_scene({{.name = "Box"}});
const std::string ase_scene = trevanix::testing::ase_scene({{.name = "Box01", .material_ref = std::nullopt}},
                                                           trevanix::testing::material_list({}));

// One window over scripted services, with its log in a fresh folder.
struct Fixture {
    TempDir dir;
    HookedServices services;
    std::unique_ptr<MainWindow> window;

    Fixture()
    {
        EngineSettings settings;
        settings.program_folder = dir.path().string();
        settings.log_path = dir.file("testfile.txt");
        window = std::make_unique<MainWindow>(services, settings);
        window->show();
    }

    template <typename W>
    W* widget(const char* name) const
    {
        auto* found = window->findChild<W*>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }
    QPushButton* button(const char* name) const { return widget<QPushButton>(name); }
    QLineEdit* text(const char* name) const { return widget<QLineEdit>(name); }
    QCheckBox* check(const char* name) const { return widget<QCheckBox>(name); }
    QString shown(const char* name) const { return text(name)->text(); }

    void click(const char* name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    void click_check(const char* name) const
    {
        QCheckBox* box = check(name);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    }

    // Analyses a scene chosen in the (scripted) open dialog.
    std::string analyse(const std::string& name, const std::string& bytes)
    {
        const std::string path = dir.write(name, bytes);
        services.open_choices.push_back(ScriptedServices::chosen(path));
        click("Analize_filename");
        return path;
    }
    Controls& controls() const { return window->form().controls(); }
    SceneState& scene() const { return window->form().scene(); }
};

QStringList shown_texts(const ScriptedServices& services)
{
    QStringList out;
    for (const std::string& text : services.texts())
        out << QString::fromStdString(text);
    return out;
}

// Acts on the next modal dialog once it is up (the dialogs run their own loop).
template <typename Dialog>
void when_modal(std::function<void(Dialog*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
            // A failed check inside `act` returns early: never leave the
            // dialog waiting.
            if (dialog->isVisible())
                static_cast<QDialog*>(dialog)->done(QDialog::Rejected);
        }
    });
    timer->start();
}

QString caption_of(QAbstractButton* button) { return button->text().replace(QLatin1Char('\n'), QLatin1Char(' ')); }

// What a tooltip shows, whether it was given as plain text or as markup.
QString tooltip_shown(const QString& tooltip)
{
    if (!Qt::mightBeRichText(tooltip))
        return tooltip;
    QTextDocument document;
    document.setHtml(tooltip);
    return document.toPlainText();
}

// Offers dropped data to the window as a drag over it and then a drop;
// returns whether the window took the drag.
bool drag_and_drop(MainWindow& window, const QMimeData& data)
{
    const QPoint inside(20, 20);
    QDragEnterEvent enter(inside, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QDropEvent drop(QPointF(inside), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    QCoreApplication::processEvents(); // the analysis starts once the drop is answered
    return enter.isAccepted();
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The remembered folder goes to a folder of the test's own, never to
        // the user's configuration.
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(settings_dir_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings_dir_.path());
    }
    void init() { QSettings(QSettings::UserScope, QStringLiteral("trevanix"), QStringLiteral("trevanix")).clear(); }

    void progress_scaling_data()
    {
        QTest::addColumn<qint64>("min");
        QTest::addColumn<qint64>("max");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<int>("barMin");
        QTest::addColumn<int>("barMax");
        QTest::addColumn<int>("barValue");
        const int steps = window::scaled_bar_steps;
        QTest::newRow("fits int") << qint64{1} << qint64{500} << qint64{20} << 1 << 500 << 20;
        QTest::newRow("value below") << qint64{1} << qint64{500} << qint64{0} << 1 << 500 << 1;
        QTest::newRow("value above") << qint64{1} << qint64{500} << qint64{900} << 1 << 500 << 500;
        QTest::newRow("one-line file") << qint64{1} << qint64{1} << qint64{1} << 0 << 1 << 1;
        QTest::newRow("inverted, not done") << qint64{1} << qint64{0} << qint64{-5} << 0 << 1 << 0;
        QTest::newRow("huge, half") << qint64{1} << qint64{8'000'000'001} << qint64{4'000'000'001} << 0 << steps
                                    << steps / 2;
        QTest::newRow("huge, end") << qint64{1} << qint64{8'000'000'001} << qint64{8'000'000'001} << 0 << steps
                                   << steps;
        QTest::newRow("full int64") << qint64{INT64_MIN} << qint64{INT64_MAX} << qint64{INT64_MAX} << 0 << steps << steps;
    }
    void progress_scaling()
    {
        QFETCH(qint64, min);
        QFETCH(qint64, max);
        QFETCH(qint64, value);
        QFETCH(int, barMin);
        QFETCH(int, barMax);
        QFETCH(int, barValue);
        QCOMPARE(window::scale_progress(min, max, value), (window::BarRange{barMin, barMax, barValue}));
    }

    void dialog_filters()
    {
        using window::qt_name_filters;
        QCOMPARE(qt_name_filters(messages::open_dialog_filter),
                 QStringList({"ASCII scene export (*.ase)", "3D studio ASCII Mesh file (*.asc)"}));
        QCOMPARE(qt_name_filters("Pictures|*.tif;*.png|All"), QStringList({"Pictures (*.tif *.png)", "All (*)"}));
        QCOMPARE(qt_name_filters("Scenes (any)|*.ase"), QStringList({"Scenes (any) (*.ase)"}));
        QCOMPARE(qt_name_filters(""), QStringList());
        QCOMPARE(window::first_pattern_suffix(messages::save_dialog_filter), QStringLiteral("asc"));
        QCOMPARE(window::first_pattern_suffix("All|*"), QString());
    }

    void window_looks()
    {
        Fixture f;
        MainWindow& w = *f.window;
        QCOMPARE(w.objectName(), QStringLiteral("Form1"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Textured 3d scenes processor for Kolbrin2 v1.1.3"));
        QCOMPARE(w.minimumSize(), QSize(575, 399));
        QCOMPARE(w.maximumSize(), QSize(575, 399));
        QVERIFY(!(w.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(w.windowFlags() & Qt::WindowCloseButtonHint);

        QCOMPARE(f.button("Analize_filename")->toolTip(), QString::fromLatin1(captions::tooltip_Analize_filename));
        QVERIFY(f.button("Analize_filename")->toolTip().endsWith(QLatin1Char(' ')));
        QCOMPARE(f.widget<QGroupBox>("Frame1")->toolTip(), QString::fromLatin1(captions::tooltip_Frame1));
        QCOMPARE(f.text("Text_savefile")->toolTip(), QString::fromLatin1(captions::tooltip_Text_savefile));
        QCOMPARE(f.button("Target_filename")->toolTip(), QString::fromLatin1(captions::tooltip_Target_filename));

        QVERIFY(f.check("Check_all")->font().bold());
        QVERIFY(f.button("Start_process")->font().bold());
        QVERIFY(!f.button("Analize_filename")->font().bold());
        QVERIFY(!f.check("Check_splitasc")->font().bold());
        // Bold or not, every control has the form's face and size.
        QCOMPARE(f.check("Check_all")->font().family(), w.font().family());
        QCOMPARE(f.check("Check_all")->font().pixelSize(), w.font().pixelSize());
        QVERIFY(w.font().pixelSize() >= 8 && w.font().pixelSize() <= 11);

        const QColor green(0, 192, 0);
        for (const char* name : {"Frame1", "Frame2", "Label1", "Label_analize", "Check_all", "Check_vtextures"}) {
            auto* widget = f.widget<QWidget>(name);
            QVERIFY2(widget->autoFillBackground(), name);
            QCOMPARE(widget->palette().color(widget->backgroundRole()), green);
        }
        // Text2 lies beyond the right edge of the client area.
        QVERIFY(f.text("Text2")->x() >= w.width());
    }

    // Every caption shows whole: in the font the window picks, and in each of
    // the faces it prefers that this machine has.
    void captions_fit_data()
    {
        QTest::addColumn<QString>("family"); // "": the one the window picks
        QTest::newRow("picked") << QString();
        for (const QString& family : MainWindow::preferred_font_families())
            QTest::newRow(qPrintable(family)) << family;
    }
    void captions_fit()
    {
        QFETCH(QString, family);
        Fixture f;
        if (!family.isEmpty()) {
            if (!QFontDatabase::hasFamily(family))
                QSKIP("not installed here");
            QVERIFY(f.window->use_font_family(family));
        }
        QCOMPARE(window::cut_captions(f.window.get()), QStringList());
        // The form was laid out for an 8-point face: no caption needs a
        // smaller size than a narrow face at 8 pixels.
        QVERIFY(f.window->font().pixelSize() >= 8);
        // The progress label's text while a conversion runs fits as well.
        f.controls().Process_bar.visible = true;
        f.window->sync_from_controls();
        QCOMPARE(f.widget<QLabel>("Label_analize")->text(), QString::fromLatin1(captions::Label_analize_converting));
        QCOMPARE(window::cut_captions(f.window.get()), QStringList());
    }
    // The check itself sees a cut caption (and only that one).
    void cut_captions_are_seen()
    {
        Fixture f;
        auto* label = f.widget<QLabel>("Label1");
        label->setText(label->text() + QStringLiteral(" and a good deal more"));
        auto* box = f.check("Check_createmat");
        box->setText(box->text() + QStringLiteral(" right now"));
        QCOMPARE(window::cut_captions(f.window.get()), QStringList({"Label1", "Check_createmat"}));
    }

    void startup_states_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<int>("checked"); // -1: not a check box
        struct Row {
            const char* name;
            const char* container;
            QRect twips;
            const char* text;
            bool enabled;
            bool visible;
            int checked;
        };
        const Row rows[] = {
            {"Analize_filename", "Form1", {120, 120, 2655, 255}, captions::Analize_filename, true, true, -1},
            {"Text_loadfile", "Form1", {2880, 120, 5655, 285}, "", true, true, -1},
            {"Label_analize", "Form1", {120, 480, 855, 255}, "Analyzing...", true, false, -1},
            {"Analize_bar", "Form1", {1080, 480, 7455, 255}, "", true, false, -1},
            {"Frame2", "Form1", {120, 840, 8415, 2175}, captions::Frame2, true, true, -1},
            {"Label1", "Frame2", {120, 360, 1455, 255}, captions::Label1, true, true, -1},
            {"Text_total_objects", "Frame2", {1680, 360, 735, 285}, "", true, true, -1},
            {"Label2", "Frame2", {120, 600, 1455, 255}, captions::Label2, true, true, -1},
            {"Text_valid_objects", "Frame2", {1680, 600, 735, 285}, "", true, true, -1},
            {"Label6", "Frame2", {2520, 360, 1935, 255}, captions::Label6, true, true, -1},
            {"Text_faces", "Frame2", {4800, 360, 1335, 285}, "", true, true, -1},
            {"Label7", "Frame2", {2520, 600, 2055, 255}, captions::Label7, true, true, -1},
            {"Text_vertices", "Frame2", {4800, 600, 1335, 285}, "", true, true, -1},
            {"Label4", "Frame2", {2520, 1080, 2775, 255}, captions::Label4, true, true, -1},
            {"Text_ascsplit", "Frame2", {5520, 1080, 615, 285}, "", true, true, -1},
            {"Label3", "Frame2", {120, 960, 1455, 615}, captions::Label3, true, true, -1},
            {"Text1", "Frame2", {1680, 1320, 735, 285}, "", true, true, -1},
            {"Label11", "Frame2", {120, 1680, 855, 255}, captions::Label11, true, true, -1},
            {"Text_comments", "Frame2", {1080, 1680, 7215, 285}, "", true, true, -1},
            {"Open_error_log", "Frame2", {6240, 360, 2055, 495}, captions::Open_error_log, false, true, -1},
            {"Clear_statistics", "Frame2", {6240, 960, 2055, 495}, captions::Clear_statistics, false, true, -1},
            {"Frame1", "Form1", {120, 3120, 8415, 2775}, captions::Frame1, true, true, -1},
            {"Target_filename", "Frame1", {120, 480, 2295, 495}, captions::Target_filename, false, true, -1},
            {"Text_savefile", "Frame1", {2520, 600, 5775, 375}, "", true, true, -1},
            {"Check_createmat", "Frame1", {120, 1080, 3855, 255}, captions::Check_createmat, false, true, 0},
            {"Check_all", "Frame1", {3960, 1080, 3495, 375}, captions::Check_all, true, true, 1},
            {"Check_splitasc", "Frame1", {120, 1320, 3615, 255}, captions::Check_splitasc, false, true, 0},
            {"Check_flip3daxis", "Frame1", {120, 1560, 1935, 255}, captions::Check_flip3daxis, false, true, 0},
            {"Check_vtextures", "Frame1", {120, 1800, 2415, 255}, captions::Check_vtextures, false, true, 0},
            {"Start_process", "Frame1", {6960, 2280, 1335, 375}, captions::Start_process, false, true, -1},
            {"Process_bar", "Frame1", {960, 2400, 5895, 255}, "", true, false, -1},
            {"Text2", "Form1", {8760, 4680, 375, 615}, "Text2", true, true, -1},
        };
        for (const Row& r : rows)
            QTest::newRow(r.name) << QString::fromLatin1(r.name) << QString::fromLatin1(r.container) << r.twips
                                  << QString::fromLatin1(r.text) << r.enabled << r.visible << r.checked;
    }
    void startup_states()
    {
        QFETCH(QString, name);
        QFETCH(QString, container);
        QFETCH(QRect, twips);
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        QFETCH(bool, visible);
        QFETCH(int, checked);
        Fixture f;
        auto* widget = f.window->findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->parentWidget()->objectName(), container);
        QCOMPARE(widget->geometry(), QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
        QCOMPARE(widget->isEnabled(), enabled);
        QCOMPARE(widget->isVisibleTo(f.window.get()), visible);
        if (auto* b = qobject_cast<QAbstractButton*>(widget))
            QCOMPARE(caption_of(b), text);
        else if (auto* l = qobject_cast<QLineEdit*>(widget))
            QCOMPARE(l->text(), text);
        else if (auto* g = qobject_cast<QGroupBox*>(widget))
            QCOMPARE(g->title(), text);
        else if (auto* label = qobject_cast<QLabel*>(widget))
            QCOMPARE(label->text(), text);
        if (auto* l = qobject_cast<QLineEdit*>(widget))
            QCOMPARE(l->isReadOnly(), name != QLatin1String("Text1") && name != QLatin1String("Text2"));
        if (checked >= 0)
            QCOMPARE(qobject_cast<QCheckBox*>(widget)->isChecked(), checked == 1);
        QVERIFY(f.services.messages.empty());
    }

    // Tab walks the shown controls in tab-index order and never reaches a
    // control nobody can see (Text2 lies outside the client area).
    void tab_walk_stays_on_shown_controls()
    {
        Fixture f;
        QApplication::setActiveWindow(f.window.get());
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        f.button("Analize_filename")->setFocus();
        // The enabled stops at start-up, in tab-index order.
        const QStringList expected = {"Text_loadfile", "Text_total_objects", "Text_faces", "Text_vertices",
                                      "Text_savefile", "Check_all", "Text_valid_objects", "Text_ascsplit",
                                      "Text_comments", "Text1", "Analize_filename"};
        QStringList walked;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            walked << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(walked, expected);
        // Once everything is enabled, a whole round both ways still stays on
        // controls that lie inside the window.
        Controls& c = f.controls();
        for (ButtonState* b : {&c.Open_error_log, &c.Clear_statistics, &c.Target_filename, &c.Start_process})
            b->enabled = true;
        f.window->sync_from_controls();
        for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab})
            for (int i = 0; i < 40; ++i) {
                QTest::keyClick(QApplication::focusWidget(), key);
                QWidget* focused = QApplication::focusWidget();
                const QRect shown(focused->mapTo(f.window.get(), QPoint(0, 0)), focused->size());
                QVERIFY2(f.window->rect().contains(shown) && focused->isVisible(), qPrintable(focused->objectName()));
            }

        // Alt with the underlined letter clicks the button.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_I, Qt::AltModifier);
        QTRY_COMPARE(f.services.open_requests.size(), std::size_t{1});
    }

    // Space and Enter both click the focused button.
    void keys_click_the_focused_button_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Space") << int(Qt::Key_Space) << int(Qt::NoModifier);
        QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    }
    void keys_click_the_focused_button()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        Fixture f;
        QApplication::setActiveWindow(f.window.get());
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QPushButton* analize = f.button("Analize_filename");
        analize->setFocus();
        QTest::keyClick(analize, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QTRY_COMPARE(f.services.open_requests.size(), std::size_t{1});
        // A disabled button takes no key.
        QPushButton* start = f.button("Start_process");
        QTest::keyClick(start, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(f.window->form().session().conversion_report.status, ConversionStatus::NotRun);
    }

    // Long texts show whole in their tooltip; a path that does not fit shows
    // its end, the file name.
    void long_texts_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("showsEnd");
        QTest::addColumn<QString>("tooltip");
        const QString path = QStringLiteral("/home/someone/very/long/folder/names/that/go/on/and/on/for/a/while/"
                                            "scenes/of/the/harbour/town/with/many/houses/harbour_town.ase");
        const QString hint = QString::fromLatin1(captions::tooltip_Text_savefile);
        QTest::newRow("scene path") << "Text_loadfile" << path << true << path;
        QTest::newRow("target path") << "Text_savefile" << path << true << path + "\n" + hint;
        QTest::newRow("no target") << "Text_savefile" << "" << true << hint;
        QTest::newRow("comment") << "Text_comments" << QString::fromLatin1(messages::comments_problems) << false
                                 << QString::fromLatin1(messages::comments_problems);
        QTest::newRow("a path that looks like markup") << "Text_loadfile" << "/tmp/<b>bold</b>.asc" << true
                                                       << "/tmp/<b>bold</b>.asc";
    }
    void long_texts()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(bool, showsEnd);
        QFETCH(QString, tooltip);
        Fixture f;
        const std::string name = box.toStdString();
        Controls& c = f.controls();
        TextBoxState& state = name == "Text_loadfile" ? c.Text_loadfile
                              : name == "Text_savefile" ? c.Text_savefile
                                                        : c.Text_comments;
        state.text = text.toStdString();
        f.window->sync_from_controls();
        QLineEdit* shown = f.text(name.c_str());
        QCOMPARE(shown->text(), text);
        QCOMPARE(shown->cursorPosition(), showsEnd ? int(text.size()) : 0);
        QCOMPARE(tooltip_shown(shown->toolTip()), tooltip);
    }

    void text2_check_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("result");
        const QString excl = QString::fromLatin1(messages::text2_exclamation);
        const QString back = QString::fromLatin1(messages::text2_backslash);
        QTest::newRow("plain") << "Walls" << QStringList{} << "Walls";
        QTest::newRow("exclamation") << "Wat!er" << QStringList{excl} << "Group";
        QTest::newRow("backslash") << "a\\b" << QStringList{back} << "Group";
        QTest::newRow("both, backslash first") << "\\!" << QStringList{excl} << "Group";
    }
    void text2_check()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        QFETCH(QString, result);
        Fixture f;
        f.text("Text2")->setText(typed);
        QCOMPARE(f.shown("Text2"), result);
        QCOMPARE(QString::fromStdString(f.controls().Text2.text), result);
        QCOMPARE(shown_texts(f.services), expected);
        for (const auto& m : f.services.messages)
            QCOMPARE(m.message.icon, MessageIcon::Critical);
    }

    void check_all_table_data()
    {
        QTest::addColumn<QString>("scene");
        QTest::addColumn<bool>("materialOptions"); // Check_createmat, Check_vtextures
        QTest::newRow("no scene") << "" << true;
        QTest::newRow("ase scene") << "scene.ase" << true;
        QTest::newRow("asc scene") << "scene.asc" << false;
    }
    void check_all_table()
    {
        QFETCH(QString, scene);
        QFETCH(bool, materialOptions);
        Fixture f;
        if (!scene.isEmpty()) {
            f.analyse(scene.toStdString(), scene.endsWith(QLatin1String("ase")) ? ase_scene : asc_scene);
            QVERIFY2(f.window->form().session().analysis_report.completed, "the analysis did not complete");
        }
        f.click_check("Check_all");
        QVERIFY(!f.check("Check_all")->isChecked());
        QCOMPARE(f.controls().Check_all.checked, false);
        QCOMPARE(f.check("Check_createmat")->isEnabled(), materialOptions);
        QCOMPARE(f.check("Check_vtextures")->isEnabled(), materialOptions);
        QVERIFY(f.check("Check_splitasc")->isEnabled());
        QVERIFY(f.check("Check_flip3daxis")->isEnabled());

        // The options only store their value.
        f.click_check("Check_splitasc");
        QCOMPARE(f.controls().Check_splitasc.checked, true);
        QVERIFY(f.check("Check_splitasc")->isChecked());
        f.click_check("Check_splitasc");
        QCOMPARE(f.controls().Check_splitasc.checked, false);

        f.click_check("Check_all");
        QCOMPARE(f.controls().Check_all.checked, true);
        for (const char* name : {"Check_createmat", "Check_splitasc", "Check_flip3daxis", "Check_vtextures"})
            QVERIFY2(!f.check(name)->isEnabled(), name);
    }

    void clearing_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes") << true;
        QTest::newRow("No") << false;
    }
    void clearing()
    {
        QFETCH(bool, yes);
        Fixture f;
        const std::string log = f.dir.write("testfile.txt", "Error in line 3 : x\r\n");
        Controls& c = f.controls();
        for (TextBoxState* box : {&c.Text_loadfile, &c.Text_total_objects, &c.Text_valid_objects, &c.Text_ascsplit,
                                  &c.Text_faces, &c.Text_vertices, &c.Text1, &c.Text_comments, &c.Text_savefile})
            box->text = "7";
        c.Start_process.enabled = c.Open_error_log.enabled = c.Clear_statistics.enabled = true;
        c.Target_filename.enabled = true;
        f.scene().file_loaded = true;
        f.window->sync_from_controls();

        f.services.answers = {yes};
        f.click("Clear_statistics");
        QCOMPARE(f.services.messages.size(), std::size_t{1});
        QCOMPARE(f.services.messages[0].message.text, std::string(messages::clear_question));
        QCOMPARE(f.services.messages[0].message.buttons, MessageButtons::YesNo);

        const QString left = yes ? QString() : QStringLiteral("7");
        for (const char* name : {"Text_loadfile", "Text_total_objects", "Text_valid_objects", "Text_ascsplit",
                                 "Text_faces", "Text_vertices", "Text1", "Text_comments", "Text_savefile"})
            QCOMPARE(f.shown(name), left);
        for (const char* name : {"Start_process", "Open_error_log", "Clear_statistics"})
            QCOMPARE(f.button(name)->isEnabled(), !yes);
        QVERIFY(f.button("Target_filename")->isEnabled());
        QCOMPARE(std::filesystem::exists(log), !yes);
        QCOMPARE(f.scene().file_loaded, !yes);
    }

    void target_choice_data()
    {
        QTest::addColumn<QString>("choice"); // "cancel" or a path under the folder
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("loaded"); // a scene is loaded
        QTest::newRow("cancelled") << "cancel" << "" << false << true;
        QTest::newRow("empty") << "" << messages::no_target_chosen << false << true;
        QTest::newRow("the input") << "town.asc" << messages::cannot_overwrite_input << false << true;
        QTest::newRow("the input's name in capitals: another file here") << "TOWN.ASC" << "" << true << true;
        QTest::newRow("another file") << "out.asc" << "" << true << true;
        // Kept for the next scene, but there is nothing to start yet.
        QTest::newRow("another file, no scene loaded") << "out.asc" << "" << true << false;
    }
    void target_choice()
    {
        QFETCH(QString, choice);
        QFETCH(QString, message);
        QFETCH(bool, accepted);
        QFETCH(bool, loaded);
        Fixture f;
        f.scene().scene_path = f.dir.file("town.asc");
        f.scene().file_loaded = loaded;
        f.controls().Target_filename.enabled = true;
        f.window->sync_from_controls();
        if (choice == QLatin1String("cancel"))
            f.services.save_choices.push_back({});
        else if (choice.isEmpty())
            f.services.save_choices.push_back({false, "", ""});
        else
            f.services.save_choices.push_back(ScriptedServices::chosen(f.dir.file(choice.toStdString())));

        f.click("Target_filename");
        QCOMPARE(f.services.save_requests.size(), std::size_t{1});
        const FileDialogRequest& request = f.services.save_requests[0];
        QCOMPARE(request.title, std::string(messages::save_dialog_title));
        QCOMPARE(request.filter, std::string(messages::save_dialog_filter));
        QVERIFY(request.confirm_overwrite);
        QCOMPARE(std::filesystem::path(request.initial_folder), f.dir.path());

        QCOMPARE(shown_texts(f.services), message.isEmpty() ? QStringList{} : QStringList{message});
        QCOMPARE(f.button("Start_process")->isEnabled(), accepted && loaded);
        QCOMPARE(f.shown("Text_savefile").isEmpty(), !accepted);
    }

    void analysis_by_click_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("asc") << "box.asc" << QStringList{messages::finished_choose_target};
        QTest::newRow("ase") << "box.ase" << QStringList{messages::express_question, messages::finished_choose_target};
    }
    void analysis_by_click()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, expected);
        Fixture f;
        const std::string path = f.analyse(name.toStdString(), name.endsWith(QLatin1String("ase")) ? ase_scene : asc_scene);
        QVERIFY2(f.window->form().session().analysis_report.completed, "the analysis did not complete");
        QCOMPARE(f.services.open_requests.size(), std::size_t{1});
        const FileDialogRequest& request = f.services.open_requests[0];
        QCOMPARE(request.title, std::string(messages::open_dialog_title));
        QCOMPARE(request.filter, scene_dialog_filter());
        QVERIFY(request.must_exist);

        QCOMPARE(shown_texts(f.services), expected);
        QCOMPARE(f.shown("Text_loadfile"), QString::fromStdString(path));
        QCOMPARE(f.shown("Text_total_objects"), QStringLiteral("1"));
        QCOMPARE(f.shown("Text_valid_objects"), QStringLiteral("1"));
        QCOMPARE(f.shown("Text_faces"), QStringLiteral("1"));
        QCOMPARE(f.shown("Text_vertices"), QStringLiteral("3"));
        QCOMPARE(f.shown("Text_ascsplit"), QStringLiteral("1"));
        QVERIFY(f.button("Target_filename")->isEnabled());
        QVERIFY(f.button("Clear_statistics")->isEnabled());
        QVERIFY(!f.button("Open_error_log")->isEnabled());
        QVERIFY(!f.check("Check_createmat")->isEnabled());
        QVERIFY(!f.widget<QProgressBar>("Analize_bar")->isVisibleTo(f.window.get()));
        QVERIFY(!f.widget<QLabel>("Label_analize")->isVisibleTo(f.window.get()));
        QVERIFY(!f.services.busy);
    }

    void conversion_by_click_data()
    {
        QTest::addColumn<bool>("closeAtEnd");
        QTest::addColumn<bool>("lodObject");
        QTest::newRow("stay open") << false << false;
        QTest::newRow("close") << true << false;
        QTest::newRow("an object left out") << false << true;
    }
    void conversion_by_click()
    {
        QFETCH(bool, closeAtEnd);
        QFETCH(bool, lodObject);
        Fixture f;
        f.services.on_quit = [&f] { f.window->request_quit(); };
        // While a run lets events through, what the window shows, as its
        // services repaint it: the label, and the controls a click reaches.
        QString label;
        QStringList enabled;
        f.services.on_events = [&] {
            f.window->sync_from_controls();
            auto* shown = f.widget<QLabel>("Label_analize");
            label = shown->isVisible() ? shown->text() : QString();
            enabled.clear();
            for (const char* name : {"Analize_filename", "Target_filename", "Start_process", "Clear_statistics",
                                     "Open_error_log", "Check_all"})
                if (f.widget<QWidget>(name)->isEnabled())
                    enabled << name;
        };
        const std::string one_skipped = trevanix::testing::ase_scene(
            {{.name = "Box01", .material_ref = std::nullopt}, {.name = "Flat", .faces = {}, .material_ref = std::nullopt}},
            trevanix::testing::material_list({}));
        f.analyse("box.ase", lodObject ? one_skipped + trevanix::testing::ase_object({.name = "LOD2_box",
                                                                                      .material_ref = std::nullopt})
                                       : one_skipped);
        QVERIFY2(f.window->form().session().analysis_report.completed, "the analysis did not complete");
        QCOMPARE(label, QString::fromLatin1(captions::Label_analize));
        QCOMPARE(enabled, QStringList{"Open_error_log"}); // the log of a running analysis can be opened
        QCOMPARE(f.shown("Text_comments"), QString::fromLatin1(messages::comments_problems));
        f.services.save_choices.push_back(ScriptedServices::chosen(f.dir.file("box.asc")));
        f.click("Target_filename");
        QVERIFY(f.button("Start_process")->isEnabled());

        f.services.messages.clear();
        f.services.default_answer = closeAtEnd; // the closing question is the last one
        f.button("Start_process")->setFocus();
        f.click("Start_process");
        QCOMPARE(label, QString::fromLatin1(captions::Label_analize_converting));
        QCOMPARE(enabled, QStringList());
        QCOMPARE(f.window->form().session().conversion_report.status, ConversionStatus::Completed);
        QVERIFY(std::filesystem::exists(f.dir.file("box.asc")));
        QVERIFY(!f.services.messages.empty());
        QCOMPARE(f.services.messages.back().message.text, std::string(messages::finished_close_question));
        // An object that passed and was not written is named in one warning, just before.
        const auto warnings = std::count_if(f.services.messages.begin(), f.services.messages.end(),
                                            [](const auto& m) { return m.message.caption == "Warning"; });
        QCOMPARE(warnings, lodObject ? 1 : 0);
        if (lodObject) {
            const Message& warning = f.services.messages[f.services.messages.size() - 2].message;
            QVERIFY(warning.text.rfind("Some objects that passed the analysis were not written", 0) == 0);
            QCOMPARE(warning.details.size(), std::size_t{1});
            QVERIFY(warning.details[0].find("'LOD2_box'") != std::string::npos);
        }
        QCOMPARE(f.services.quit_called, closeAtEnd);
        QCOMPARE(f.window->closed(), closeAtEnd);
        QVERIFY(!f.widget<QProgressBar>("Process_bar")->isVisibleTo(f.window.get()));

        // Afterwards: the buttons are back, the log the conversion emptied is
        // neither offered nor pointed to, and the focus is where it was.
        for (const char* name : {"Analize_filename", "Target_filename", "Start_process", "Clear_statistics"})
            QVERIFY2(f.button(name)->isEnabled(), name);
        QVERIFY(!f.button("Open_error_log")->isEnabled());
        QCOMPARE(f.shown("Text_comments"), QString::fromLatin1(messages::comments_after_conversion));
        QVERIFY(!f.widget<QLabel>("Label_analize")->isVisibleTo(f.window.get()));
        QCOMPARE(f.window->focusWidget(), f.button("Start_process"));
    }

    // A second click while an action waits (on a question, or between line
    // steps) must not start a second action.
    void no_second_action_while_one_runs()
    {
        Fixture f;
        f.controls().Clear_statistics.enabled = true;
        f.window->sync_from_controls();
        f.services.open_choices.push_back(ScriptedServices::chosen(f.dir.write("box.asc", asc_scene)));
        f.services.on_message = [&f] {
            f.services.on_message = nullptr;
            f.click("Analize_filename");
            f.click("Clear_statistics");
        };
        f.services.answers = {false};
        f.click("Clear_statistics");
        QCOMPARE(f.services.messages.size(), std::size_t{1});
        QVERIFY(f.services.open_requests.empty());
        QVERIFY(!f.window->form().busy());

        // Now during the line steps of an analysis; the check boxes take no
        // click either, and drops are refused.
        int clicks = 0;
        bool drag_taken = false;
        QMimeData dropped;
        dropped.setUrls({QUrl::fromLocalFile(QString::fromStdString(f.dir.write("other.asc", asc_scene)))});
        f.services.on_events = [&] {
            ++clicks;
            f.click("Analize_filename");
            f.click_check("Check_all");
            drag_taken = drag_and_drop(*f.window, dropped) || drag_taken;
        };
        f.click("Analize_filename");
        QVERIFY2(f.services.events_run > 0, "the analysis let no events run");
        QVERIFY(clicks > 0);
        QCOMPARE(f.services.open_requests.size(), std::size_t{1});
        QVERIFY(!drag_taken);
        QCOMPARE(f.scene().scene_path, f.dir.file("box.asc"));
        QCOMPARE(f.controls().Check_all.checked, true);
        QVERIFY(f.check("Check_all")->isChecked());
    }

    // Closing the window during an action stops the action and closes the
    // window once it has returned; so does the program's own quit.
    void close_during_action_data()
    {
        QTest::addColumn<bool>("byQuit");
        QTest::newRow("window closed") << false;
        QTest::newRow("program quits") << true;
    }
    void close_during_action()
    {
        QFETCH(bool, byQuit);
        Fixture f;
        f.controls().Clear_statistics.enabled = true;
        f.window->sync_from_controls();
        bool closed_while_busy = true;
        f.services.on_message = [&] {
            if (byQuit) {
                f.window->request_quit();
                // The engine repaints after asking to quit; the action must
                // still end normally.
                f.window->sync_from_controls();
            } else
                QVERIFY(!f.window->close());
            closed_while_busy = f.window->closed() || !f.window->isVisible();
        };
        f.click("Clear_statistics");
        QVERIFY(!closed_while_busy);
        QCOMPARE(f.window->form().session().stop_requested, !byQuit);
        QVERIFY(f.window->closed());
        QVERIFY(!f.window->isVisible());
    }

    // One scene file dropped on the window is analysed as a command-line
    // scene is, after the question to forget the loaded one; anything else is
    // refused and leaves the loaded scene and its log alone.
    void drops_data()
    {
        // Under the folder; "http:" a remote address, "dir:" a folder, "dev:" a link to a device.
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("taken");
        QTest::newRow(".asc") << QStringList{"box.asc"} << true;
        QTest::newRow(".ASE, capitals") << QStringList{"BOX.ASE"} << true;
        QTest::newRow("another type") << QStringList{"box.txt"} << false;
        QTest::newRow("two scenes") << QStringList{"box.asc", "box2.asc"} << false;
        QTest::newRow("not a local file") << QStringList{"http:"} << false;
        QTest::newRow("a folder named like a scene") << QStringList{"dir:folder.ase"} << false;
        QTest::newRow("a link to a device") << QStringList{"dev:null.asc"} << false;
    }
    void drops()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, taken);
        Fixture f;
        const std::string loaded = f.analyse("loaded.asc", trevanix::testing::asc_scene({{.faces = 0}}));
        QCOMPARE(f.scene().file_loaded, true);
        const std::string log_before = trevanix::testing::read_bytes(f.dir.file("testfile.txt"));
        QVERIFY(!log_before.empty());
        f.services.messages.clear();
        f.services.answers = {true};

        QList<QUrl> urls;
        for (const QString& file : files) {
            const std::string name = file.section(QLatin1Char(':'), -1).toStdString();
            if (file == QLatin1String("http:")) {
                urls << QUrl(QStringLiteral("http://example.org/box.asc"));
                continue;
            }
            if (file.startsWith(QLatin1String("dir:")))
                std::filesystem::create_directory(f.dir.file(name));
            else if (file.startsWith(QLatin1String("dev:")))
                std::filesystem::create_symlink("/dev/null", f.dir.file(name));
            else
                f.dir.write(name, file.endsWith(QLatin1String("ASE")) ? ase_scene : asc_scene);
            urls << QUrl::fromLocalFile(QString::fromStdString(f.dir.file(name)));
        }
        f.dir.write("BOX.asc", ""); // no express question for the .ase scene
        QMimeData data;
        data.setUrls(urls);
        QCOMPARE(drag_and_drop(*f.window, data), taken);
        QCOMPARE(f.services.open_requests.size(), std::size_t{1});
        if (taken) {
            QCOMPARE(f.shown("Text_loadfile"), urls[0].toLocalFile());
            QCOMPARE(shown_texts(f.services), QStringList({messages::discard_question, messages::finished_choose_target}));
        } else {
            QVERIFY(f.services.messages.empty());
            QCOMPARE(f.shown("Text_loadfile"), QString::fromStdString(loaded));
            QCOMPARE(trevanix::testing::read_bytes(f.dir.file("testfile.txt")), log_before);
            QCOMPARE(f.scene().file_loaded, true);
        }
    }

    // The open dialog starts where the last scene was analysed, also in the
    // next run of the program, started in any folder: the folder is kept, and
    // the path shown, absolute.
    void open_dialog_remembers_the_last_folder_data()
    {
        QTest::addColumn<QString>("given"); // "dialog", "stored relative", or the start-up argument
        QTest::newRow("chosen in the dialog") << "dialog";
        QTest::newRow("relative start path") << "scenes/box.asc";
        QTest::newRow("quoted, with dots and doubled slashes") << "\"./scenes//box.asc\"";
        QTest::newRow("a folder stored relative by an earlier version") << "stored relative";
    }
    void open_dialog_remembers_the_last_folder()
    {
        QFETCH(QString, given);
        TempDir work; // the folder the program is started in
        const std::string scene = work.write("scenes/box.asc", asc_scene);
        const std::string scenes = (work.path() / "scenes").string();
        const QString started_in = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QString::fromStdString(work.path().string())));
        const auto back = qScopeGuard([&] { QDir::setCurrent(started_in); });
        QSettings settings(QSettings::UserScope, QStringLiteral("trevanix"), QStringLiteral("trevanix"));
        {
            Fixture first;
            if (given == QLatin1String("stored relative")) {
                settings.setValue("open_dialog/last_scene_folder", "scenes");
            } else {
                if (given == QLatin1String("dialog")) {
                    first.services.open_choices.push_back(ScriptedServices::chosen(scene));
                    first.click("Analize_filename");
                } else {
                    first.window->start_up(given.toStdString());
                }
                QCOMPARE(first.shown("Text_loadfile"), QString::fromStdString(scene));
                settings.sync();
                QCOMPARE(settings.value("open_dialog/last_scene_folder").toString(), QString::fromStdString(scenes));
            }
        }
        Fixture next_run;
        next_run.click("Analize_filename");
        const std::string expected = given == QLatin1String("stored relative") ? next_run.dir.path().string() : scenes;
        QCOMPARE(next_run.services.open_requests.back().initial_folder, expected);
    }

    // When the desktop cannot show the log, a message names it, and its
    // path is on the clipboard.
    void open_error_log()
    {
        Fixture f;
        const std::string log = f.dir.write("testfile.txt", "Error in line 3 : x\r\n");
        f.controls().Open_error_log.enabled = true;
        f.window->sync_from_controls();
        f.services.documents_open = false;
        f.click("Open_error_log");
        QCOMPARE(f.services.opened_documents, std::vector<std::string>{log});
        QCOMPARE(f.services.clipboard_history, std::vector<std::string>{log});
        QCOMPARE(f.services.messages.size(), std::size_t{1});
        QVERIFY(f.services.messages[0].message.text.find('"' + log + '"') != std::string::npos);
    }

    void progress_rows_follow_controls()
    {
        Fixture f;
        Controls& c = f.controls();
        c.Label_analize.visible = true;
        c.Analize_bar = {true, 1, 6'000'000'000, 3'000'000'000};
        c.Process_bar = {true, 0, 10, 4};
        f.window->sync_from_controls();
        auto* analize = f.widget<QProgressBar>("Analize_bar");
        QVERIFY(analize->isVisible());
        QVERIFY(f.widget<QLabel>("Label_analize")->isVisible());
        QVERIFY(std::abs(double(analize->value()) / analize->maximum() - 0.5) < 1e-6);
        auto* process = f.widget<QProgressBar>("Process_bar");
        QVERIFY(process->isVisible());
        QCOMPARE(process->value(), 4);
        c.Analize_bar.visible = c.Label_analize.visible = false;
        f.window->sync_from_controls();
        QVERIFY(!analize->isVisible());
    }

    // ---- the Qt services themselves ----------------------------------------

    void qt_messages_data()
    {
        QTest::addColumn<int>("icon");
        QTest::addColumn<bool>("yesNo");
        QTest::addColumn<bool>("clickYes");
        QTest::addColumn<int>("qtIcon");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("details");
        QTest::newRow("critical OK") << int(MessageIcon::Critical) << false << false << int(QMessageBox::Critical)
                                     << true << QStringList{};
        QTest::newRow("exclamation OK") << int(MessageIcon::Exclamation) << false << false
                                        << int(QMessageBox::Warning) << true << QStringList{};
        QTest::newRow("information OK") << int(MessageIcon::Information) << false << false
                                        << int(QMessageBox::Information) << true << QStringList{};
        QTest::newRow("question Yes") << int(MessageIcon::None) << true << true << int(QMessageBox::NoIcon) << true
                                      << QStringList{};
        QTest::newRow("question No") << int(MessageIcon::None) << true << false << int(QMessageBox::NoIcon) << false
                                     << QStringList{};
        QTest::newRow("a list of details") << int(MessageIcon::Exclamation) << false << false
                                           << int(QMessageBox::Warning) << true
                                           << QStringList{QStringLiteral("line 3, 'a': why"), QStringLiteral("and 2 more.")};
    }
    void qt_messages()
    {
        QFETCH(int, icon);
        QFETCH(bool, yesNo);
        QFETCH(bool, clickYes);
        QFETCH(int, qtIcon);
        QFETCH(bool, answer);
        QFETCH(QStringList, details);
        window::QtUserServices services;
        QString title, text;
        int shown_icon = -1;
        QMessageBox::StandardButtons buttons;
        when_modal<QMessageBox>([&](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
            shown_icon = int(box->icon());
            buttons = box->standardButtons();
            box->button(yesNo ? (clickYes ? QMessageBox::Yes : QMessageBox::No) : QMessageBox::Ok)->click();
        });
        Message message{"Warning", "<b>a & b</b>", MessageIcon(icon), yesNo ? MessageButtons::YesNo : MessageButtons::Ok};
        for (const QString& line : details)
            message.details.push_back(line.toStdString());
        const bool result = services.show_message(message);
        QCOMPARE(result, answer);
        QCOMPARE(title, QStringLiteral("Warning"));
        // The details follow the text, one a line.
        QCOMPARE(text, (QStringList{QStringLiteral("<b>a & b</b>")} + details).join(QLatin1Char('\n')));
        QCOMPARE(shown_icon, qtIcon);
        QCOMPARE(buttons, yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    void qt_file_dialogs()
    {
        TempDir dir;
        const std::string scene = dir.write("town.ase", "x");
        window::QtUserServices services;

        FileDialogRequest open;
        open.title = messages::open_dialog_title;
        open.filter = messages::open_dialog_filter;
        open.initial_folder = dir.path().string();
        open.must_exist = true;
        when_modal<QFileDialog>([&](QFileDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QString::fromLatin1(messages::open_dialog_title));
            QCOMPARE(dialog->nameFilters(),
                     QStringList({"ASCII scene export (*.ase)", "3D studio ASCII Mesh file (*.asc)"}));
            QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
            QCOMPARE(dialog->directory().absolutePath(), QString::fromStdString(dir.path().string()));
            dialog->selectFile(QString::fromStdString(scene));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        FileDialogResult chosen = services.open_file_dialog(open);
        QVERIFY(!chosen.cancelled);
        QCOMPARE(chosen.path, scene);
        QCOMPARE(chosen.title, std::string("town.ase"));

        when_modal<QFileDialog>([](QFileDialog* dialog) { static_cast<QDialog*>(dialog)->done(QDialog::Rejected); });
        QVERIFY(services.open_file_dialog(open).cancelled);

        FileDialogRequest save;
        save.title = messages::save_dialog_title;
        save.filter = messages::save_dialog_filter;
        save.initial_folder = dir.path().string();
        save.confirm_overwrite = true;
        when_modal<QFileDialog>([&](QFileDialog* dialog) {
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
            QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
            QCOMPARE(dialog->defaultSuffix(), QStringLiteral("asc"));
            dialog->selectFile(QString::fromStdString(dir.file("out")));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        chosen = services.save_file_dialog(save);
        QVERIFY(!chosen.cancelled);
        QCOMPARE(chosen.path, dir.file("out.asc"));
        QCOMPARE(chosen.title, std::string("out.asc"));
    }

    void qt_services_plumbing()
    {
        window::QtUserServices services;
        QWidget owner;
        int syncs = 0;
        int quits = 0;
        services.attach(&owner, [&] { ++syncs; }, [&] { ++quits; });

        services.controls_changed();
        QCOMPARE(syncs, 1);
        // Long work: the first line step repaints, the next thousand within the
        // interval do not.
        services.let_events_run();
        QCOMPARE(syncs, 2);
        for (int i = 0; i < 1000; ++i)
            services.let_events_run();
        QCOMPARE(syncs, 2);

        services.set_busy_pointer(true);
        services.set_busy_pointer(true);
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        // A message that waits for an answer has the ordinary pointer; the
        // busy one comes back when the work goes on.
        bool busy_over_message = true;
        when_modal<QMessageBox>([&](QMessageBox* box) {
            busy_over_message = QGuiApplication::overrideCursor() != nullptr;
            box->button(QMessageBox::No)->click();
        });
        QVERIFY(!services.show_message({"Question", "Go on?", MessageIcon::None, MessageButtons::YesNo}));
        QVERIFY(!busy_over_message);
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        services.set_busy_pointer(false);
        QVERIFY(!QGuiApplication::overrideCursor());

        QVERIFY(services.set_clipboard_text("Vertex 2:  X:1.0"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Vertex 2:  X:1.0"));

        services.quit();
        QCOMPARE(quits, 1);
    }
    // The desktop's launcher is watched: a failure it reports at once is
    // told, one that goes on running shows the document.
    void qt_open_document_data()
    {
        QTest::addColumn<QString>("launcher"); // the body of the xdg-open script; "": none installed
        QTest::addColumn<bool>("opened");
        QTest::newRow("opens it") << "printf %s \"$1\" > \"$0.args\"; exit 0" << true;
        QTest::newRow("no program for text files") << "exit 3" << false;
        QTest::newRow("its program keeps running") << "exec /bin/sleep 1" << true;
        QTest::newRow("no launcher") << "" << false;
    }
    void qt_open_document()
    {
        QFETCH(QString, launcher);
        QFETCH(bool, opened);
        TempDir bin;
        const std::string log = bin.write("testfile.txt", "x\r\n");
        if (!launcher.isEmpty()) {
            const std::string script = bin.write("xdg-open", "#!/bin/sh\n" + launcher.toStdString() + "\n");
            std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QByteArray::fromStdString(bin.path().string()));
        const auto back = qScopeGuard([&] { qputenv("PATH", path); });
        QCOMPARE(window::open_with_desktop(QString::fromStdString(log), std::chrono::milliseconds(300)), opened);
        if (launcher.contains(QLatin1String("args")))
            QCOMPARE(trevanix::testing::read_bytes(bin.file("xdg-open.args")), log);
    }

    // With the real services: a close during an analysis stops it at a line
    // step and closes the window once the action has returned.
    void close_stops_real_analysis()
    {
        TempDir dir;
        std::string scene;
        for (int i = 0; i < 20000; ++i)
            scene += "Named object: \"B" + std::to_string(i) + "\"\r\n" + asc_scene.substr(asc_scene.find("Tri-mesh"));
        const std::string path = dir.write("big.asc", scene);
        EngineSettings settings;
        settings.program_folder = dir.path().string();
        settings.log_path = dir.file("testfile.txt");
        window::QtUserServices services;
        MainWindow w(services, settings);
        services.attach(&w, [&w] { w.sync_from_controls(); }, [&w] { w.request_quit(); });
        w.show();
        // Should a message come up after all, answer it rather than hang.
        QTimer safety(&w);
        QObject::connect(&safety, &QTimer::timeout, [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->done(QDialog::Rejected);
        });
        safety.start(50);
        QTimer::singleShot(0, &w, [&w] { QVERIFY(!w.close()); });

        w.start_up(path);
        QVERIFY(w.closed());
        QVERIFY(w.form().session().stop_requested);
        QVERIFY(!w.form().session().analysis_report.completed);
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    // The program's own options: --help and --version answer on standard
    // output and exit 0 before Qt starts, so with no display at all (where
    // Qt would abort) no window is opened; an unknown option exits 2.
    void program_options_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("display");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");
        QTest::newRow("--help") << QStringList{"--help"} << false << 0 << "usage: trevanix [--lf-ends] [SCENE]";
        QTest::newRow("-h") << QStringList{"-h"} << false << 0 << "--screenshot FILE";
        QTest::newRow("after another option") << QStringList{"--lf-ends", "--help"} << false << 0 << "--version";
        QTest::newRow("--version") << QStringList{"--version"} << false << 0 << "trevanix " TREVANIX_VERSION "\n";
        QTest::newRow("unknown") << QStringList{"--bogus"} << true << 2 << "unknown option --bogus";
    }
    void program_options()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, display);
        QFETCH(int, status);
        QFETCH(QString, output);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        if (display)
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(TREVANIX_WINDOW_PROGRAM), arguments);
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), status);
        const QString text = QString::fromUtf8(status == 0 ? program.readAllStandardOutput()
                                                           : program.readAllStandardError());
        QVERIFY2(text.contains(output), qPrintable(text));
    }

private:
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
