#include "app/TarnexController.h"

#include "app/AppController.h"
#include "app/AppKeys.h"
#include "app/AppLog.h"
#include "app/DeviceEntryMakers.h"
#include "app/MainWindow.h"
#include "app/MatrixDeviceSelectionController.h"
#include "app/MirrovanceDevice.h"
#include "app/TarnexImages.h"
#include "app/TarnexKeys.h"
#include "app/TarnexPanes.h"
#include "app/TarnexRollOverButton.h"
#include "app/TarnexSyncView.h"
#include "app/TarnexWindow.h"

#include "device/DeviceList.h"
#include "foundation/NamedLog.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"
#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"
#include "syncengine/SyncEngineSettings.h"

#include <QAction>
#include <QGraphicsOpacityEffect>
#include <QLayout>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

TarnexController* g_controller = nullptr;

using namespace tarnexkeys;

QString key(const char* text)
{
    return QLatin1String(text);
}

template <class T>
void setShown(const QPointer<T>& widget, bool shown)
{
    if (widget)
        widget->setVisible(shown);
}

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
};

constexpr PaneSpec kPlaceholderPanes[] = {
    {kConnectingNib, kConnectingPane},
    {kContactsNib, kContacts},
    {kSyncSettingsNib, kSyncSettings},
};

// The sync sheet: Escape asks the controller instead of closing the sheet.
class SyncSheet : public QDialog {
public:
    SyncSheet(QWidget* window, std::function<void()> escape)
        : QDialog(window, Qt::Sheet), escape_(std::move(escape))
    {
    }
    void reject() override { escape_(); }

private:
    std::function<void()> escape_;
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
    if (progressStopButton_) {
        connect(progressStopButton_, &QPushButton::clicked, this, [this] { stopPhoneScanPressed(); });
        // Escape stops a running search (the button is shown only then).
        progressStopButton_->setShortcut(QKeySequence(Qt::Key_Escape));
    }
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
                                   [] { return std::make_unique<MatrixDeviceSelectionController>(); }};
    for (const PaneSpec& spec : kPlaceholderPanes)
        panes.push_back([spec] { return std::make_unique<PlaceholderPaneController>(key(spec.nib), key(spec.key)); });
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

TarnexPaneController* TarnexController::pane(int index) const
{
    return index >= 0 && index < paneCount() ? controllers_[size_t(index)].get() : nullptr;
}

TarnexPaneController* TarnexController::settingsController() const
{
    return paneForKey(key(kSyncSettings));
}

TarnexPaneController* TarnexController::paneForKey(const QString& paneKey) const
{
    return pane(paneIndexForKey(paneKey));
}

int TarnexController::paneIndexForKey(const QString& paneKey) const
{
    for (int i = 0; i < paneCount(); ++i)
        if (controllers_[size_t(i)]->localizationKey() == paneKey)
            return i;
    return -1;
}

QString TarnexController::currentControllerName() const
{
    TarnexPaneController* current = pane(currentPaneIndex_);
    return current ? current->localizationKey() : QString();
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
        window_->setWindowTitle(firstPane->localizedPaneName());
    setActionMasterPlaceHidden(phones == 0);
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

void TarnexController::showInSyncSheet(QWidget* view)
{
    if (!window_)
        return;
    if (!syncSheetWindow_) {
        // Escape: the pane first, else back to the pane before.
        auto* sheet = new SyncSheet(window_, [this] { goToPreviousPane(); });
        sheet->setObjectName(QStringLiteral("syncSheetWindow"));
        sheet->setWindowModality(Qt::WindowModal);
        sheet->setFixedSize(mainwindow::kWidth - 40, kSyncSheetHeight);
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(0, 0, 0, 0);
        syncPanelView_ = new TarnexSyncView(sheet);
        syncPanelView_->setObjectName(QStringLiteral("syncPanelView"));
        auto* panelLayout = new QVBoxLayout(syncPanelView_);
        panelLayout->setContentsMargins(12, 12, 12, 12);
        layout->addWidget(syncPanelView_);
        syncSheetWindow_ = sheet;
    }
    if (view && view->parentWidget() != syncPanelView_)
        syncPanelView_->layout()->addWidget(view);
    if (view)
        view->show();
}

void TarnexController::endSyncSheet()
{
    if (syncSheetWindow_ && syncSheetWindow_->isVisible())
        syncSheetWindow_->done(0);
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


void TarnexController::goToNextPane()
{
    TarnexPaneController* current = pane(currentPaneIndex_);
    if (current && current->handleNextButton())
        return;
    switchPanesInDirection(1);
}

void TarnexController::goToPreviousPane()
{
    TarnexPaneController* current = pane(currentPaneIndex_);
    if (current && current->handlePreviousButton())
        return;
    switchPanesInDirection(-1);
}

void TarnexController::sheetNextPressed()
{
    if (TarnexPaneController* current = pane(currentPaneIndex_))
        current->handleNextButton();
}

void TarnexController::sheetPrevPressed()
{
    if (TarnexPaneController* current = pane(currentPaneIndex_))
        current->handlePreviousButton();
}

void TarnexController::switchToNamedPane(const QString& paneKey, int direction)
{
    switchOrFallBack(paneIndexForKey(paneKey), direction);
}

void TarnexController::switchOrFallBack(int target, int direction)
{
    if (pane(target)) {
        switchFromPaneAtIndex(currentPaneIndex_, target, direction);
        return;
    }
    QVLOG(qvlog::kXT, QString::asprintf(kLogNoController, target));
    if (pane(target - 2 * direction))
        switchFromPaneAtIndex(currentPaneIndex_, target - 2 * direction, direction);
}

void TarnexController::switchPanesInDirection(int direction)
{
    int target = currentPaneIndex_ + direction;
    while (TarnexPaneController* candidate = pane(target)) {
        if (!candidate->doSkipProcessing())
            break;
        target += direction;
    }
    switchOrFallBack(target, direction);
}

void TarnexController::switchFromPaneAtIndex(int from, int to, int direction)
{
    Q_UNUSED(direction)
    TarnexPaneController* source = pane(from);
    TarnexPaneController* target = pane(to);
    if (!target)
        return;
    const QString sourceKey = source ? source->localizationKey() : QString();
    const QString targetKey = target->localizationKey();

    if (targetKey == key(kConnectingPane)) {
        const bool knownPhone = sourceKey == key(kSelectKnownDevice) && device_
            && device_->dorvantiDict().contains(key(kClipSizeWidth)) && !newPhone_;
        if (!knownPhone)
            deviceNeedsToBeStoredInDeviceList_ = true;
    }
    QVLOG(qvlog::kXT, fillFormat(key(kLogSwitching), {sourceKey.isEmpty() ? QStringLiteral("(null)") : sourceKey, targetKey}));
    enableChangeToNextPane(false);
    if (source)
        source->stopProcessing();
    previousPaneIndex_ = currentPaneIndex_;
    currentPaneIndex_ = to;

    if (targetKey == key(kSelectKnownDevice) || (targetKey == key(kConnectingPane) && syncDirectionChanged_)) {
        platform::runloop::runFor(kReleaseWait);
        if (device_)
            device_->releaseDorvantiStuff();
        for (const char* unloaded : {kContacts, kSyncSettings})
            if (TarnexPaneController* each = paneForKey(key(unloaded)))
                each->unload();
    }
    // A pane run by the wait above may have switched on already.
    if (currentPaneIndex_ != to)
        return;

    if (sourceKey == key(kSyncSettings))
        endSyncSheet();
    showPaneButtonsFor(targetKey);
    QWidget* view = target->wizardPaneView();
    if (targetKey == key(kSyncSettings)) {
        showInSyncSheet(view);
        target->prepareForDisplay();
        if (syncSheetWindow_)
            syncSheetWindow_->open();
        animationDidEnd();
        return;
    }
    if (targetKey == key(kContacts)) {
        if (view)
            view->move(0, 0);
        target->prepareForDisplay();
        if (sourceKey == key(kConnectingPane))
            platform::runloop::runFor(kContactsWait);
        addToPaneView(view);
        platform::runloop::performAfterDelay(this, QStringLiteral("animationDidEnd"), 0, [this] { animationDidEnd(); },
                                             this);
        return;
    }
    addToPaneView(view);
    target->prepareForDisplay();
    animationDidEnd();
}

void TarnexController::showPaneButtonsFor(const QString& targetKey)
{
    bool picture = false;
    if (targetKey == key(kSelectKnownDevice)) {
        setActionMasterPlaceHidden(false);
        setShown(addPhoneButton_, false);
        setShown(syncSettingsButton_, false);
        setShown(missingPhoneButton_, true);
        setShown(showPhonesButton_, false);
        setShown(tarnexLabel_, true);
    } else if (targetKey == key(kContacts)) {
        if (syncSettingsButton_) {
            syncSettingsButton_->setImageNamed(key(kSyncSettingsImage), key(kSyncSettingsOverImage));
            syncSettingsButton_->show();
        }
        setShown(showPhonesButton_, true);
        setShown(missingPhoneButton_, false);
        setShown(tarnexLabel_, false);
        picture = true;
    } else {
        setShown(syncSettingsButton_, false);
        setShown(missingPhoneButton_, false);
        setShown(showPhonesButton_, false);
        setShown(tarnexLabel_, true);
        picture = targetKey == key(kConnectingPane) || targetKey == key(kSyncSettings);
    }
    showPhoneIcon(picture);
}

void TarnexController::animationDidEnd()
{
    TarnexPaneController* current = pane(currentPaneIndex_);
    if (!current)
        return;
    // A switch to the pane already shown keeps its view.
    if (TarnexPaneController* previous = pane(previousPaneIndex_); previous && previous != current)
        if (QWidget* view = previous->wizardPaneView())
            view->hide();
    const QString name = current->localizedPaneName();
    if (window_)
        window_->setWindowTitle(name == key(kContactsPaneName) ? key(kContactsTitle) : name);
    const QString currentKey = current->localizationKey();
    if ((currentKey == key(kContacts) || currentKey == key(kMediaFiles)) && device_)
        services_->bindJobList(*device_);
    current->startProcessing();
}

void TarnexController::disconnectDevice()
{
    syncDirectionChanged_ = false;
    switchToNamedPane(key(kSelectKnownDevice), -1);
}

void TarnexController::deviceEjected()
{
    platform::runloop::performOnMainThread([this] { disconnectDevice(); }, this);
}

void TarnexController::handleSyncDirectionChange()
{
    switchToNamedPane(key(kSelectKnownDevice), -1);
}

void TarnexController::addPhonePressed()
{
    showAddPhone(false);
    switchToNamedPane(key(kSelectKnownDevice), 1);
}

void TarnexController::showAddPhone(bool show)
{
    if (show)
        setActionMasterPlaceHidden(true);
    setShown(addPhoneButton_, show);
}

void TarnexController::openSettings()
{
    switchToNamedPane(key(kSyncSettings), 1);
}

void TarnexController::settingsButtonPressed()
{
    if (TarnexPaneController* contacts = paneForKey(key(kContacts)))
        contacts->settingsButtonPressed();
}

void TarnexController::newHandset(const QString& how)
{
    if (TarnexPaneController* matrix = pane(kMatrixIndex))
        matrix->newHandset(how);
}

void TarnexController::enableChangeToNextPane(bool enable)
{
    if (nextPaneButton_)
        nextPaneButton_->setEnabled(enable);
}

void TarnexController::changeToNextPaneTitle(const QString& title)
{
    if (nextPaneButton_) {
        nextPaneButton_->setText(title);
        nextPaneButton_->setAccessibleName(title);
    }
}

void TarnexController::setPreviousButtonEnabled(bool enable)
{
    if (previousPaneButton_)
        previousPaneButton_->setEnabled(enable);
}

void TarnexController::changeToPreviousPaneTitle(const QString& title)
{
    if (previousPaneButton_) {
        previousPaneButton_->setText(title);
        previousPaneButton_->setAccessibleName(title);
    }
}

void TarnexController::hidePreviousNextButtons()
{
    setShown(nextPaneButton_, false);
    setShown(previousPaneButton_, false);
}

void TarnexController::showNextButton(bool next, bool previous)
{
    setShown(nextPaneButton_, next);
    setShown(previousPaneButton_, previous);
}

void TarnexController::showPreviousButton()
{
    setShown(previousPaneButton_, true);
}

void TarnexController::setMissingPhoneButtonEnabled(bool enable)
{
    if (missingPhoneButton_)
        missingPhoneButton_->setEnabled(enable);
}

void TarnexController::missingPhoneButtonShowsAssistant()
{
    if (missingPhoneButton_)
        missingPhoneButton_->setImageNamed(key(kAddPhoneImage), key(kAddPhoneOverImage));
}

void TarnexController::setCanUseDevice(bool canUse)
{
    // The wizard sheet's Next button; the main window shows no wizard sheet
    // of its own, so its Next button stands in.
    enableChangeToNextPane(canUse);
}

void TarnexController::stopPhoneScanPressed()
{
    stopPhoneScan_ = true;
    platform::NotificationCenter::defaultCenter().post(key(kStopScanning));
}

void TarnexController::startProgress(double min, double max)
{
    if (!progressIndicator_)
        return;
    const bool determinate = min < max;
    // Steps of a thousandth of the range, as the bar counts in integers.
    progressMin_ = determinate ? min : 0;
    progressMax_ = determinate ? max : 1;
    progressValue_ = determinate ? min : 0.5;
    progressIndicator_->setRange(0, determinate ? kProgressSteps : 0);
    showProgressValue();
    progressIndicator_->show();
    setShown(progressStopButton_, determinate);
}

void TarnexController::showProgressValue()
{
    if (!progressIndicator_ || progressIndicator_->maximum() == 0)
        return;
    const double span = progressMax_ - progressMin_;
    const double share = span > 0 ? (progressValue_ - progressMin_) / span : 0;
    progressIndicator_->setValue(int(std::lround(std::clamp(share, 0.0, 1.0) * kProgressSteps)));
}

void TarnexController::setValuePercent(double percent)
{
    progressValue_ = progressMin_ + (progressMax_ - progressMin_) * percent / 100;
    showProgressValue();
}

void TarnexController::incrementProgressBy(double step)
{
    progressValue_ += step;
    showProgressValue();
}

void TarnexController::stopProgress()
{
    setShown(progressIndicator_, false);
    setShown(progressStopButton_, false);
}

void TarnexController::stopProgressDelayed()
{
    progressValue_ = progressMax_;
    showProgressValue();
    if (progressIndicator_)
        progressIndicator_->repaint();
    platform::runloop::performAfterDelay(this, QStringLiteral("stopProgress"), kStopProgressDelay,
                                         [this] { stopProgress(); }, this);
}

void TarnexController::setMessageText(const QString& text)
{
    setShown(successImageView_, false);
    if (messageTextField_)
        messageTextField_->setText(text);
}

void TarnexController::setSuccessText(const QString& text)
{
    setShown(successImageView_, true);
    if (messageTextField_)
        messageTextField_->setText(text);
}

QString TarnexController::imageNameForQVID(int deviceID)
{
    switch (deviceID) {
    case 15320:
        return QStringLiteral("QUALCOMM INCORPORATED+KU990");
    case 15332:
        return QStringLiteral("LG Electronics+KF750");
    case 15333:
        return QStringLiteral("QUALCOMM INCORPORATED+HB620T");
    case 15450:
        return QStringLiteral("LG Elec. Inc+KS360");
    case 15451:
        return QStringLiteral("LG Electronics Inc+GD900");
    default:
        return key(kDefaultHandyLogo);
    }
}

QString TarnexController::pictureNameForEntry(const QVariantMap& entry)
{
    const QVariant identifier = entry.value(deviceentry::kIdentifier);
    const QString name = identifier.typeId() == QMetaType::QString ? identifier.toString() : QString();
    return name.isEmpty() ? imageNameForQVID(entry.value(deviceentry::kDeviceID).toInt()) : name;
}

QString TarnexController::phonePictureName() const
{
    if (!device_ || !device_->hasDorvantiDict())
        return {};
    return pictureNameForEntry(device_->dorvantiDict());
}

void TarnexController::showPhoneIcon(bool show)
{
    const QString name = show ? phonePictureName() : QString();
    if (name.isEmpty()) {
        pictureFade_.stop();
        if (deviceImage_) {
            deviceImage_->hide();
            deviceImage_->clear();
            deviceImage_->setGraphicsEffect(nullptr);
        }
        setDeviceName(QString());
        if (logoImageView_) {
            logoImageView_->setGraphicsEffect(nullptr);
            logoImageView_->show();
        }
        showingPhone_ = false;
        return;
    }
    QString pictureName = fillFormat(key(kBigPictureFormat), {name});
    if (!platform::gui::hasImage(QLatin1String(platform::gui::kProgramBundle), pictureName))
        pictureName = fillFormat(key(kBigPictureFormat), {key(kDefaultHandyLogo)});
    shownPictureName_ = pictureName;
    const QVariant deviceName = device_->dorvantiDict().value(deviceentry::kDeviceName);
    setDeviceName(deviceName.typeId() == QMetaType::QString ? deviceName.toString() : QString());
    if (deviceImage_) {
        const QImage picture = tarnex::image(pictureName);
        deviceImage_->setPixmap(QPixmap::fromImage(picture));
        const QSize size = picture.deviceIndependentSize().toSize();
        const int nameTop = deviceName_ ? deviceName_->y() : deviceImage_->parentWidget()->height();
        deviceImage_->setGeometry((mainwindow::kWidth - size.width()) / 2, nameTop - kPictureAboveName - size.height(),
                                  size.width(), size.height());
        deviceImage_->show();
    }
    if (!showingPhone_ && deviceImage_ && logoImageView_) {
        auto* pictureIn = new QGraphicsOpacityEffect(deviceImage_);
        auto* logoOut = new QGraphicsOpacityEffect(logoImageView_);
        pictureIn->setOpacity(0);
        deviceImage_->setGraphicsEffect(pictureIn);
        logoImageView_->setGraphicsEffect(logoOut);
        QPointer<QGraphicsOpacityEffect> in = pictureIn;
        QPointer<QGraphicsOpacityEffect> out = logoOut;
        pictureFade_.setProgressHandler([this, in, out](double progress) {
            const double eased = 0.5 - std::cos(progress * M_PI) / 2;
            if (in)
                in->setOpacity(eased);
            if (out)
                out->setOpacity(1 - eased);
            if (progress >= 1.0) {
                if (logoImageView_)
                    logoImageView_->hide();
                if (deviceImage_)
                    deviceImage_->setGraphicsEffect(nullptr);
            }
        });
        pictureFade_.start();
    } else if (logoImageView_) {
        logoImageView_->hide();
    }
    showingPhone_ = true;
}

void TarnexController::setDeviceName(const QString& name)
{
    if (!deviceName_)
        return;
    if (name.isEmpty()) {
        deviceName_->clear();
        deviceName_->hide();
        return;
    }
    QFont font = deviceName_->font();
    font.setPointSize(14);
    deviceName_->setFont(font);
    deviceName_->setStyleSheet(QStringLiteral("color: white;"));
    deviceName_->setText(name);
    deviceName_->show();
}
