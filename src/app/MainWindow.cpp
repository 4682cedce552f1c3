#include "app/MainWindow.h"

#include "app/AppController.h"
#include "app/AppKeys.h"
#include "app/TarnexActionView.h"
#include "app/TarnexImages.h"
#include "app/TarnexMainView.h"
#include "app/TarnexWindow.h"

#include "foundation/ModifierKeys.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QVBoxLayout>

namespace mainwindow {

namespace {

QAction* addItem(QMenu* menu, const QString& title, const QKeySequence& shortcut = {}, bool enabled = true)
{
    QAction* action = menu->addAction(menuTitle(title));
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::ApplicationShortcut);
    action->setEnabled(enabled);
    return action;
}

// A web address item, shown only when the string table gives the address.
void addWebItem(QMenu* menu, const QString& title, const char* key, const std::function<void()>& open)
{
    QAction* action = addItem(menu, title);
    action->setVisible(AppController::hasWebAddress(key));
    QObject::connect(action, &QAction::triggered, menu, open);
}

void showAbout(QWidget* window)
{
    QMessageBox::about(window, menuTitle(QObject::tr("About @app@")),
                       QObject::tr("<b>%1</b><br>Version %2")
                           .arg(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationVersion()));
}

} // namespace

QString menuTitle(const QString& title)
{
    QString text = title;
    return text.replace(QLatin1String("@app@"), QGuiApplication::applicationDisplayName());
}

QMenuBar* buildMenuBar(AppController& controller, QWidget* window)
{
    auto* bar = new QMenuBar(window);
    bar->setObjectName(QStringLiteral("mainMenuBar"));
    bar->setNativeMenuBar(false);
    AppController* c = &controller;

    QMenu* app = bar->addMenu(menuTitle(QObject::tr("&@app@")));
    app->setObjectName(QStringLiteral("applicationMenu"));
    QObject::connect(addItem(app, QObject::tr("&About @app@")), &QAction::triggered, window, [window] { showAbout(window); });
    addItem(app, QObject::tr("&Preferences..."), QKeySequence(Qt::CTRL | Qt::Key_Comma), false);
    app->addSeparator();
    addWebItem(app, QObject::tr("@app@ &Home Page"), appkeys::kHomePage, [c] { c->openWebAddress(appkeys::kHomePage); });
    addWebItem(app, QObject::tr("@app@ &Forum"), appkeys::kForum, [c] { c->openWebAddress(appkeys::kForum); });
    addWebItem(app, QObject::tr("@app@ &Support"), appkeys::kSupport, [c] { c->openWebAddress(appkeys::kSupport); });
    addWebItem(app, QObject::tr("Check for &Updates..."), appkeys::kUpdate, [c] { c->check4Updates(); });
    app->addSeparator();
    QAction* quit = addItem(app, QObject::tr("&Quit @app@"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setObjectName(QStringLiteral("quitAction"));
    QObject::connect(quit, &QAction::triggered, c, &AppController::requestQuit);

    QMenu* file = bar->addMenu(QObject::tr("&File"));
    QAction* close = addItem(file, QObject::tr("&Close Window"), QKeySequence(Qt::CTRL | Qt::Key_W));
    close->setObjectName(QStringLiteral("closeWindowAction"));
    QObject::connect(close, &QAction::triggered, c, &AppController::requestQuit);

    QMenu* windowMenu = bar->addMenu(QObject::tr("&Window"));
    QObject::connect(addItem(windowMenu, QObject::tr("&Minimise"), QKeySequence(Qt::CTRL | Qt::Key_M)), &QAction::triggered,
                     window, [window] { window->showMinimized(); });
    windowMenu->addSeparator();
    addItem(windowMenu, QObject::tr("Organizer &Trash"), {}, false);
    addItem(windowMenu, QObject::tr("Supported &Devices"), {}, false);

    QMenu* help = bar->addMenu(QObject::tr("&Help"));
    QAction* manual = addItem(help, QObject::tr("@app@ &Manual"), QKeySequence(Qt::Key_F1), false);
    QObject::connect(manual, &QAction::triggered, c, [c] { c->openManual(false, isShiftKeyDown()); });
    addItem(help, QObject::tr("Send &Debugging Information"), {}, false);
    help->addSeparator();
    QAction* syncML = addItem(help, QObject::tr("&SyncML Protocol"));
    syncML->setObjectName(QStringLiteral("syncMLAction"));
    syncML->setCheckable(true);
    syncML->setChecked(controller.syncProtocolEnabled());
    QObject::connect(syncML, &QAction::triggered, c, [c, syncML] {
        c->enableDebugging();
        syncML->setChecked(c->syncProtocolEnabled());
    });

    bar->setStyleSheet(QStringLiteral("QMenuBar { background: #101010; color: #e6e6e6; }"
                                      "QMenuBar::item { padding: 3px 9px; background: transparent; }"
                                      "QMenuBar::item:selected { background: #3a3a3a; }"));
    return bar;
}

TarnexWindow* create(AppController& controller)
{
    auto* window = new TarnexWindow;
    window->setObjectName(QStringLiteral("mainWindow"));
    window->setWindowTitle(QGuiApplication::applicationDisplayName());
    window->setFixedSize(kWidth, kHeight);

    auto* view = new TarnexMainView(window);
    auto* frame = new QVBoxLayout(window);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->addWidget(view);

    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(0, int(view->titleBarHeight()), 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildMenuBar(controller, window));
    auto* panes = new QWidget(view);
    panes->setObjectName(QStringLiteral("paneArea"));
    layout->addWidget(panes, 1);
    layout->addSpacing(int(view->colourLineRect().height()));
    auto* status = new QWidget(view);
    status->setFixedHeight(kStatusHeight);
    auto* statusLayout = new QHBoxLayout(status);
    statusLayout->setContentsMargins(0, 4, 0, 5);
    auto* action = new TarnexActionView(status);
    action->setObjectName(QStringLiteral("statusArea"));
    action->setFixedSize(tarnex::image(tarnex::kStatusBackground).deviceIndependentSize().toSize());
    statusLayout->addWidget(action, 0, Qt::AlignCenter);
    layout->addWidget(status);

    QObject::connect(view, &TarnexMainView::closeRequested, &controller, &AppController::requestQuit);
    QObject::connect(window, &TarnexWindow::closeRequested, &controller, &AppController::requestQuit);
    controller.setMainWindow(window);
    return window;
}

} // namespace mainwindow
