// The main window controller: construction, start-up (outlets, menus, the
// panes and the first one) and the fade-in.
#include "app/TarnexController.h"

#include "app/AppController.h"
#include "app/AppKeys.h"
#include "app/AppLog.h"
#include "app/ConnectingFeedbackController.h"
#include "app/MainWindow.h"
#include "app/MatrixDeviceSelectionController.h"
#include "app/MirrovanceDevice.h"
#include "app/TarnexControllerParts.h"
#include "app/TarnexImages.h"
#include "app/TarnexKeys.h"
#include "app/TarnexPanes.h"
#include "app/TarnexRollOverButton.h"
#include "app/TarnexWindow.h"

#include "device/DeviceList.h"
#include "foundation/NamedLog.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"
#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"
#include "syncengine/SyncEngineSettings.h"

#include <QAction>
#include <QGuiApplication>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

TarnexController* g_controller = nullptr;

using namespace tarnexkeys;
using tarnexparts::key;
using tarnexparts::setShown;

// Clicks a button the window offers now (shown and enabled); false when it
// offers none.
bool clickIfOffered(QAbstractButton* button)
{
    if (!button || button->isHidden() || !button->isEnabled())
        return false;
    button->click();
    return true;
}

struct PaneSpec {
    const char* nib;
    const char* key;
    // The contacts pane has Show Phones and the sync-settings sheet Escape
    // to leave by.
    bool offersPrevious;
};

constexpr PaneSpec kPlaceholderPanes[] = {
    {kContactsNib, kContacts, false},
    {kSyncSettingsNib, kSyncSettings, false},
};

} // namespace

QString TarnexController::fillFormat(QString format, const QStringList& arguments)
{
    int from = 0;
    for (const QString& argument : arguments) {
        const int at = format.indexOf(QLatin1String("%@"), from);
        if (at < 0)
            break;
        format.replace(at, 2, argument);
        from = at + int(argument.size());
    }
    return format;
}

TarnexController::TarnexController(TarnexWindow* window, DeviceList& list, QObject* parent)
    : QObject(parent)
    , window_(window)
    , list_(list)
    , services_(std::make_unique<TarnexControllerServices>())
{
    pictureFade_.setDuration(kPhonePictureFade);
    findOutlets();
}

TarnexController::~TarnexController()
{
    platform::NotificationCenter::defaultCenter().removeObserver(this);
    platform::runloop::cancelPreviousPerformRequests(this);
    if (g_controller == this)
        g_controller = nullptr;
    // The panes' views live in the window: the panes go first.
    controllers_.clear();
}

TarnexController* TarnexController::sTarnexController()
{
    return g_controller;
}

void TarnexController::unregisterTarnexController()
{
    g_controller = nullptr;
}

void TarnexController::setServices(std::unique_ptr<TarnexControllerServices> services)
{
    services_ = services ? std::move(services) : std::make_unique<TarnexControllerServices>();
}

QString TarnexController::localized(const char* text) const
{
    return platform::localizedString(key(text));
}

void TarnexController::findOutlets()
{
    using platform::gui::outlet;
    paneView_ = outlet<QWidget>(window_, QStringLiteral("paneView"));
    nextPaneButton_ = outlet<QPushButton>(window_, QStringLiteral("nextPaneButton"));
    previousPaneButton_ = outlet<QPushButton>(window_, QStringLiteral("previousPaneButton"));
    specialPurposeButton_ = outlet<QPushButton>(window_, QStringLiteral("specialPurposeButton"));
    disconnectButton_ = outlet<QPushButton>(window_, QStringLiteral("disconnectButton"));
    addPhoneButton_ = outlet<TarnexRollOverButton>(window_, QStringLiteral("addPhoneButton"));
    missingPhoneButton_ = outlet<TarnexRollOverButton>(window_, QStringLiteral("missingPhoneButton"));
    syncSettingsButton_ = outlet<TarnexRollOverButton>(window_, QStringLiteral("syncSettingsButton"));
    showPhonesButton_ = outlet<TarnexRollOverButton>(window_, QStringLiteral("showPhonesButton"));
    tarnexLabel_ = outlet<QLabel>(window_, QStringLiteral("tarnexLabel"));
    deviceImage_ = outlet<QLabel>(window_, QStringLiteral("deviceImage"));
    deviceName_ = outlet<QLabel>(window_, QStringLiteral("deviceName"));
    logoImageView_ = outlet<QLabel>(window_, QStringLiteral("logoImageView"));
    messageTextField_ = outlet<QLabel>(window_, QStringLiteral("messageTextField"));
    successImageView_ = outlet<QLabel>(window_, QStringLiteral("successImageView"));
    actionMasterPlace_ = outlet<QWidget>(window_, QStringLiteral("actionMasterPlace"));
    progressIndicator_ = outlet<QProgressBar>(window_, QStringLiteral("progressIndicator"));
    progressStopButton_ = outlet<QPushButton>(window_, QStringLiteral("progressStopButton"));
}

void TarnexController::awakeFromNib()
{
    syncDirectionChanged_ = false;
    deviceNeedsToBeStoredInDeviceList_ = false;
    draggedFile_.clear();
    hidePreviousNextButtons();
    setShown(specialPurposeButton_, false);
    setActionMasterPlaceHidden(true);
    g_controller = this;
    syncing_ = 0;

    platform::syncengine::ensureMassChangeGuardDefaults();
    if (isRunningUnitTests()) {
        QPointer<QWidget> window = window_;
        platform::runloop::performAfterDelay(this, QStringLiteral("orderOut"), kUnitTestOrderOutDelay, [window] {
            if (window)
                window->hide();
        }, this);
        return;
    }

    prepareGUI();
    QVLOG(qvlog::kXT, QString::asprintf(kLogAwake, static_cast<unsigned long>(reinterpret_cast<quintptr>(window_))));
    if (window_)
        window_->setWindowTitle(key(kWindowTitle));
    observe();
    fixMenuApplicationName();
    startFadeInOfWindow();
}

bool TarnexController::isRunningUnitTests()
{
    return qApp && qApp->property(kUnitTestMarker).toBool();
}

void TarnexController::observe()
{
    platform::NotificationCenter& center = platform::NotificationCenter::defaultCenter();
    // The window's close asks the quit protocol; once the program really
    // quits, the pane on show stops.
    center.addObserver(this, key(appkeys::kAppWillQuit), nullptr, [this](const platform::Notification&) {
        if (TarnexPaneController* current = pane(currentPaneIndex_))
            current->stopProcessing();
        unregisterTarnexController();
    });
    if (qApp)
        connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { applicationWillTerminate(); });
    center.addObserver(this, key(kSyncTooManyItems), nullptr,
                       [this](const platform::Notification& note) { syncTooManyItems(note.userInfo); });
    center.addObserver(this, key(kSyncSuccessful), nullptr, [this](const platform::Notification&) { syncSuccessful(); });
    center.addObserver(this, key(kSyncFailed), nullptr, [this](const platform::Notification&) { syncFailed(); });
    center.addObserver(this, key(kDeviceDisconnected), nullptr, [this](const platform::Notification&) { deviceEjected(); });
}

QString TarnexController::fixMenuTitle(const QString& title, const QString& name)
{
    const int at = title.indexOf(QLatin1String("@app@"));
    if (at < 0)
        return title;
    const QString fixed = title.left(at) + name + title.mid(at + 5);
    return fixed.isEmpty() ? title : fixed;
}

void TarnexController::fixMenuApplicationName()
{
    if (!window_)
        return;
    const QString name = QGuiApplication::applicationDisplayName();
    for (QMenuBar* bar : window_->findChildren<QMenuBar*>()) {
        for (QAction* menu : bar->actions()) {
            if (!menu->menu())
                continue;
            for (QAction* item : menu->menu()->actions())
                item->setText(fixMenuTitle(item->text(), name));
        }
    }
}

void TarnexController::prepareGUI()
{
    if (previousPaneButton_) {
        previousPaneButton_->setText(localized(kPrevious));
        previousPaneButton_->setAccessibleName(previousPaneButton_->text());
        connect(previousPaneButton_, &QPushButton::clicked, this, [this] { goToPreviousPane(); });
    }
    if (nextPaneButton_) {
        nextPaneButton_->setText(localized(kNext));
        nextPaneButton_->setAccessibleName(nextPaneButton_->text());
        connect(nextPaneButton_, &QPushButton::clicked, this, [this] { goToNextPane(); });
    }
    if (addPhoneButton_)
        connect(addPhoneButton_, &QPushButton::clicked, this, [this] { addPhonePressed(); });
    if (showPhonesButton_)
        connect(showPhonesButton_, &QPushButton::clicked, this, [this] { disconnectDevice(); });
    if (disconnectButton_)
        connect(disconnectButton_, &QPushButton::clicked, this, [this] { disconnectDevice(); });
    if (syncSettingsButton_)
        connect(syncSettingsButton_, &QPushButton::clicked, this, [this] { settingsButtonPressed(); });
    if (missingPhoneButton_)
        connect(missingPhoneButton_, &QPushButton::clicked, this, [this] { newHandset(QStringLiteral("add")); });
    if (progressStopButton_)
        connect(progressStopButton_, &QPushButton::clicked, this, [this] { stopPhoneScanPressed(); });
    if (window_) {
        // Return presses the pane's button: Add Phone on the welcome pane, else Next.
        for (Qt::Key enter : {Qt::Key_Return, Qt::Key_Enter}) {
            auto* shortcut = new QShortcut(QKeySequence(enter), window_);
            connect(shortcut, &QShortcut::activated, this, [this] {
                if (!clickIfOffered(addPhoneButton_))
                    clickIfOffered(nextPaneButton_);
            });
        }
        auto* next = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Right), window_);
        connect(next, &QShortcut::activated, this, [this] { clickIfOffered(nextPaneButton_); });
        auto* previous = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Left), window_);
        connect(previous, &QShortcut::activated, this, [this] { clickIfOffered(previousPaneButton_); });
        // Escape stops a running search (its Stop button is shown only
        // then), else goes back as Previous does.
        auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window_);
        connect(escape, &QShortcut::activated, this, [this] {
            if (!clickIfOffered(progressStopButton_))
                clickIfOffered(previousPaneButton_);
        });
    }
    if (logoImageView_) {
        const QImage logo = tarnex::image(kProductLogo);
        logoImageView_->setPixmap(QPixmap::fromImage(logo));
        const QSize size = logo.deviceIndependentSize().toSize();
        logoImageView_->setGeometry((mainwindow::kWidth - size.width()) / 2, kLogoTop, size.width(), size.height());
    }
    loadPaneControllersAndViews();
    showFirstView();
    setShown(specialPurposeButton_, false);
    if (tarnexLabel_) {
        tarnexLabel_->setText(platform::localizedString(key(appkeys::kTitleLabel)));
        QFont font = tarnexLabel_->font();
        font.setPointSize(16);
        tarnexLabel_->setFont(font);
        tarnexLabel_->setStyleSheet(QStringLiteral("color: white;"));
        tarnexLabel_->setFixedWidth(tarnexLabel_->fontMetrics().horizontalAdvance(tarnexLabel_->text()) + 4);
    }
}

std::vector<TarnexController::PaneFactory> TarnexController::standardPanes()
{
    std::vector<PaneFactory> panes{[] { return std::make_unique<WelcomeController>(); },
                                   [] { return std::make_unique<MatrixDeviceSelectionController>(); },
                                   [] { return std::make_unique<ConnectingFeedbackController>(); }};
    for (const PaneSpec& spec : kPlaceholderPanes)
        panes.push_back([spec] {
            return std::make_unique<PlaceholderPaneController>(key(spec.nib), key(spec.key), spec.offersPrevious);
        });
    return panes;
}

void TarnexController::loadPaneControllersAndViews()
{
    controllers_.clear();
    if (paneFactories_.empty())
        paneFactories_ = standardPanes();
    for (const PaneFactory& make : paneFactories_) {
        std::unique_ptr<TarnexPaneController> pane = make();
        if (!pane->initWithDefaultNib())
            qCWarning(lcApp).noquote() << "the pane" << pane->defaultNibName() << "did not load";
        pane->setMainController(this);
        if (QWidget* view = pane->wizardPaneView()) {
            view->hide();
            whitenTextFields(view);
        }
        controllers_.push_back(std::move(pane));
    }
    auto phone = std::make_shared<MirrovanceDevice>(pane(kMatrixIndex));
    for (const std::unique_ptr<TarnexPaneController>& each : controllers_)
        each->setDevice(phone);
}

void TarnexController::whitenTextFields(QWidget* view)
{
    for (QLabel* field : view->findChildren<QLabel*>()) {
        if (field->autoFillBackground() || field->property("tag").toInt() == 1)
            continue;
        QPalette palette = field->palette();
        palette.setColor(QPalette::WindowText, Qt::white);
        field->setPalette(palette);
    }
}

void TarnexController::showFirstView()
{
    const int phones = list_.count();
    setShown(previousPaneButton_, false);
    const int first = phones > 0 ? kMatrixIndex : kWelcomeIndex;
    TarnexPaneController* firstPane = pane(first);
    if (!firstPane)
        return;
    addToPaneView(firstPane->wizardPaneView());
    currentPaneIndex_ = first;
    if (window_)
        setWindowTitle(firstPane->localizedPaneName());
    // The welcome pane and the phone list show the status line.
    setActionMasterPlaceHidden(true);
    setShown(addPhoneButton_, phones == 0);
    setShown(syncSettingsButton_, false);
    setShown(missingPhoneButton_, phones > 0);
    setShown(showPhonesButton_, false);
    setShown(tarnexLabel_, true);
    showPhoneIcon(phones > 0);
}

void TarnexController::addToPaneView(QWidget* view)
{
    if (!view || !paneView_)
        return;
    if (view->parentWidget() != paneView_ && paneView_->layout())
        paneView_->layout()->addWidget(view);
    view->show();
}

void TarnexController::startFadeInOfWindow()
{
    if (window_)
        window_->showAndFadeIn([this] { fadeInEnded(); });
}

void TarnexController::fadeInEnded()
{
    if (TarnexPaneController* current = pane(currentPaneIndex_))
        current->startProcessing();
    services_->syncFunctionalityRequired();
}

void TarnexController::applicationWillTerminate()
{
    services_->removeSyncClients(device_ ? device_->dorvantiDict() : QVariantMap());
}
