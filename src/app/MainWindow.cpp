#include "app/MainWindow.h"

#include "app/AppController.h"
#include "app/AppKeys.h"
#include "app/CompatibleDevices.h"
#include "app/GuiGapWatch.h"
#include "app/OrganizerHostImpl.h"
#include "app/PreferenceHandler.h"
#include "app/TarnexActionView.h"
#include "app/TarnexImages.h"
#include "app/TarnexMainView.h"
#include "app/TarnexRollOverButton.h"
#include "app/TarnexWindow.h"

#include "app/TarnexKeys.h"

#include "foundation/ModifierKeys.h"
#include "platform/Localization.h"
#include "widgets/AboutPanelController.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace mainwindow {

namespace {

using platform::localizedString;

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
    AboutPanelController::setMainWindowProvider([main = QPointer<QWidget>(window)] { return main.data(); });
    AboutPanelController::sharedInstance().orderFrontStandardAboutPanel();
}

template <class T>
T* named(QWidget* parent, const char* name)
{
    auto* widget = new T(parent);
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel* label(QWidget* parent, const char* name, const QString& accessible)
{
    auto* field = named<QLabel>(parent, name);
    field->setAccessibleName(accessible);
    return field;
}

// The phone's picture, its name and the product logo in their place.
QWidget* buildPhoneBox(QWidget* parent)
{
    auto* box = named<QWidget>(parent, "phoneBox");
    box->setFixedHeight(kPhoneBoxHeight);
    label(box, "logoImageView", QObject::tr("Marvesto"));
    label(box, "deviceImage", QObject::tr("Phone picture"))->hide();
    QLabel* name = label(box, "deviceName", QObject::tr("Phone name"));
    name->setGeometry(20, kPhoneBoxHeight - 26, kWidth - 40, 20);
    name->setAlignment(Qt::AlignCenter);
    name->hide();
    return box;
}

// The scan progress bar and its stop button.
QWidget* buildProgressRow(QWidget* parent)
{
    auto* row = named<QWidget>(parent, "progressRow");
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(40, 0, 40, 0);
    auto* bar = named<QProgressBar>(row, "progressIndicator");
    bar->setTextVisible(false);
    bar->setFixedHeight(12);
    bar->setAccessibleName(QObject::tr("Progress"));
    bar->hide();
    auto* stop = named<QPushButton>(row, "progressStopButton");
    stop->setText(QObject::tr("Stop"));
    stop->setAccessibleName(QObject::tr("Stop"));
    stop->hide();
    layout->addWidget(bar, 1);
    layout->addWidget(stop);
    row->setFixedHeight(28);
    return row;
}

TarnexRollOverButton* rollOver(QWidget* parent, const char* name, const char* image, const char* over,
                               const QString& title)
{
    auto* button = named<TarnexRollOverButton>(parent, name);
    button->setImageNamed(QLatin1String(image), QLatin1String(over));
    button->setText(title);
    button->setAccessibleName(title);
    button->setToolTip(title);
    button->hide();
    return button;
}

// The product label, the wizard buttons and the four roll-over buttons.
QWidget* buildButtonRow(QWidget* parent)
{
    auto* row = named<QWidget>(parent, "buttonRow");
    row->setFixedHeight(kButtonRowHeight);
    row->setStyleSheet(QStringLiteral(
        "TarnexRollOverButton { color: #f0f0f0; font-weight: bold; }"
        "QPushButton:!flat { color: #f0f0f0; background: #3a3a3c; border: 1px solid #6a6a6a;"
        " border-radius: 5px; padding: 4px 14px; }"
        "QPushButton:!flat:disabled { color: #8a8a8a; }"
        "QPushButton:!flat:focus { border-color: #9cc2ff; }"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(20, 0, 12, 8);
    layout->setSpacing(6);
    layout->addWidget(label(row, "tarnexLabel", QObject::tr("Product")));
    layout->addStretch(1);
    QPushButton* buttons[] = {named<QPushButton>(row, "specialPurposeButton"), named<QPushButton>(row, "disconnectButton"),
                              named<QPushButton>(row, "previousPaneButton"), named<QPushButton>(row, "nextPaneButton")};
    for (QPushButton* button : buttons) {
        button->hide();
        layout->addWidget(button);
    }
    buttons[1]->setText(QObject::tr("Disconnect"));
    TarnexRollOverButton* rollOvers[] = {
        rollOver(row, "missingPhoneButton", tarnexkeys::kMissingPhoneImage, tarnexkeys::kMissingPhoneOverImage,
                 localizedString(QLatin1String(tarnexkeys::kMissingPhone))),
        rollOver(row, "syncSettingsButton", tarnexkeys::kSyncSettingsImage, tarnexkeys::kSyncSettingsOverImage,
                 localizedString(QLatin1String(tarnexkeys::kSyncSettings))),
        rollOver(row, "showPhonesButton", tarnexkeys::kShowPhonesImage, tarnexkeys::kShowPhonesOverImage,
                 localizedString(QLatin1String(tarnexkeys::kShowPhones))),
        rollOver(row, "addPhoneButton", tarnexkeys::kAddPhoneImage, tarnexkeys::kAddPhoneOverImage,
                 localizedString(QLatin1String(tarnexkeys::kAddPhone)))};
    for (TarnexRollOverButton* button : rollOvers)
        layout->addWidget(button);
    // Tab goes from the pane's controls to the wizard buttons, then the
    // roll-over buttons.
    QWidget* previous = buttons[0];
    for (QWidget* next : {static_cast<QWidget*>(buttons[1]), static_cast<QWidget*>(buttons[2]),
                          static_cast<QWidget*>(buttons[3]), static_cast<QWidget*>(rollOvers[0]),
                          static_cast<QWidget*>(rollOvers[1]), static_cast<QWidget*>(rollOvers[2]),
                          static_cast<QWidget*>(rollOvers[3])}) {
        QWidget::setTabOrder(previous, next);
        previous = next;
    }
    return row;
}

// The status line, its success tick and the job list's place share the
// status area.
void buildStatusParts(QWidget* area)
{
    QLabel* message = label(area, "messageTextField", QObject::tr("Status"));
    message->setGeometry(24, kHiddenY, area->width() - 34, 28);
    message->setStyleSheet(QStringLiteral("color: #e6e6e6;"));
    QLabel* tick = label(area, "successImageView", QObject::tr("Done"));
    tick->setPixmap(QPixmap::fromImage(tarnex::image(tarnexkeys::kSuccessTick)));
    tick->setFixedSize(14, 14);
    tick->hide();
    auto* place = named<QWidget>(area, "actionMasterPlace");
    place->setAccessibleName(QObject::tr("Jobs"));
    place->setGeometry(0, kHiddenY, area->width(), area->height());
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
    QAction* preferences = addItem(app, QObject::tr("&Preferences..."), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    preferences->setObjectName(QStringLiteral("preferencesAction"));
    QObject::connect(preferences, &QAction::triggered, c,
                     [] { PreferenceHandler::sharedPreferenceHandler().openPreferenceWindow(); });
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
    // Closes the window it belongs to: a phone's window has its own Ctrl+W.
    close->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(close, &QAction::triggered, c, &AppController::requestQuit);

    QMenu* windowMenu = bar->addMenu(QObject::tr("&Window"));
    QObject::connect(addItem(windowMenu, QObject::tr("&Minimise"), QKeySequence(Qt::CTRL | Qt::Key_M)), &QAction::triggered,
                     window, [window] { window->showMinimized(); });
    windowMenu->addSeparator();
    QAction* trash = addItem(windowMenu, QObject::tr("Organizer &Trash"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
    trash->setObjectName(QStringLiteral("organizerTrashAction"));
    QObject::connect(trash, &QAction::triggered, c, [] { organizerhost::openOrganizerTrash(); });
    QAction* supported = addItem(windowMenu, QObject::tr("Supported &Devices"));
    supported->setObjectName(QStringLiteral("supportedDevicesAction"));
    QObject::connect(supported, &QAction::triggered, c, [c] {
        GuiGapWatch::begin(QStringLiteral("opening the supported devices"));
        CompatibleDevices::showCompatibleDevices();
        QTimer::singleShot(1000, c, [] { GuiGapWatch::end(QStringLiteral("opening the supported devices")); });
    });

    QMenu* help = bar->addMenu(QObject::tr("&Help"));
    QAction* manual = addItem(help, QObject::tr("@app@ &Manual"), QKeySequence(Qt::Key_F1));
    manual->setObjectName(QStringLiteral("manualAction"));
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
    auto* paneLayout = new QVBoxLayout(panes);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    paneLayout->setSpacing(0);
    paneLayout->addWidget(buildPhoneBox(panes));
    auto* paneView = named<QWidget>(panes, "paneView");
    // The pane on show fills the pane view.
    auto* paneViewLayout = new QVBoxLayout(paneView);
    paneViewLayout->setContentsMargins(0, 0, 0, 0);
    paneLayout->addWidget(paneView, 1);
    paneLayout->addWidget(buildProgressRow(panes));
    paneLayout->addWidget(buildButtonRow(panes));
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
    buildStatusParts(action);
    layout->addWidget(status);

    QObject::connect(view, &TarnexMainView::closeRequested, &controller, &AppController::requestQuit);
    QObject::connect(window, &TarnexWindow::closeRequested, &controller, &AppController::requestQuit);
    controller.setMainWindow(window);
    return window;
}

} // namespace mainwindow
