#include "app/AppController.h"

#include "app/AppKeys.h"
#include "app/PreferenceHandler.h"

#include "foundation/LaunchApplication.h"
#include "foundation/QuickLog.h"
#include "app/ManualDocument.h"
#include "foundation/QuorvalisDebugging.h"
#include "platform/Localization.h"
#include "platform/Paths.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"
#include "platform/Values.h"
#include "platform/gui/Animation.h"
#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"
#include "widgets/QVLargeSpinProgress.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSysInfo>
#include <QUrl>
#include <QVBoxLayout>

#include <limits>

#include <sys/stat.h>

namespace {

AppController* sharedInstance = nullptr;

constexpr const char* kEntityNames[] = {"Contacts", "Calendar", "Notes", "Bookmarks", "SMS", "Events", "Tasks"};
constexpr const char* kStartLogs[] = {qvlog::kXT, qvlog::kConn, qvlog::kSE, qvlog::kVCard, qvlog::kVDEV};
constexpr const char* kStartLine = "***** Application started *****\n%1, Version %2";
constexpr const char* kApplicationSupportName = "Marvesto";
constexpr const char* kDummyBytes = "nix";

QString text(const char* key)
{
    return platform::localizedString(QLatin1String(key));
}

platform::UserDefaults& defaults()
{
    return platform::UserDefaults::standard();
}

} // namespace

AppController::AppController(QObject* parent)
    : QObject(parent)
    , services_(std::make_unique<AppControllerServices>())
    , exit_([](int status) { QCoreApplication::exit(status); })
{
    for (const char* name : kEntityNames)
        dbNames_.append(QLatin1String(name));
    waitTimer_.setCallback([this] {
        if (!services_->anyBackupPending())
            endWait(true);
    });
    fadeTimer_.setCallback([this] { fadeStep(); });
}

AppController::~AppController()
{
    platform::NotificationCenter::defaultCenter().removeObserver(this);
    delete quitDialog_.data();
    if (sharedInstance == this)
        sharedInstance = nullptr;
}

AppController* AppController::sharedAppController()
{
    return sharedInstance;
}

void AppController::awakeFromNib()
{
    sharedInstance = this;
    // The refusal of a few old desktop-platform versions has nothing to check
    // here: this platform has no such versions.
    defaults().registerDefaults({{QLatin1String(appkeys::kEnableDebugging), QStringLiteral("YES")},
                                 {QLatin1String(appkeys::kEnableSyncMLProtocol), QStringLiteral("YES")}});
    debugEnabled_ = QuorvalisDebugging::sharedQuorvalisDebugging().isDebuggingON();
    if (!syncProtocolEnabled_)
        syncProtocolEnabled_ = defaults().boolValue(QLatin1String(appkeys::kEnableSyncMLProtocol));
    openLogs();

    platform::NotificationCenter& center = platform::NotificationCenter::defaultCenter();
    for (const char* name : {appkeys::kMediaCenterMainProgress, appkeys::kMarkReadChanged})
        center.addObserver(this, QLatin1String(name), nullptr, [this](const platform::Notification&) { updateDockIcon(); });
    center.addObserver(this, QLatin1String(appkeys::kReceivedNewSMS), nullptr,
                       [this](const platform::Notification& notification) { animateDockIcon(notification); });
}

void AppController::openLogs()
{
    bool opened = true;
    for (const char* name : kStartLogs)
        opened = QVLogCreateAndOpen(QLatin1String(name)) && opened;
    opened = QuickLogInit() && opened;
    if (!opened)
        platform::gui::beep();
    QuickLogToNamedLog(qvlog::kXT, QLatin1String(kStartLine), QSysInfo::prettyProductName(), QSysInfo::productVersion());
    if (syncProtocolEnabled_)
        QVLogCreateAndOpen(QLatin1String(qvlog::kSyncML));
}

void AppController::setServices(std::unique_ptr<AppControllerServices> services)
{
    services_ = services ? std::move(services) : std::make_unique<AppControllerServices>();
}

QString AppController::dbName(int index) const
{
    if (index < 0 || index >= dbNames_.size())
        return QStringLiteral("ERROR");
    return dbNames_.at(index);
}

QObject* AppController::theQVUIKit()
{
    if (!wizardEntry_)
        wizardEntry_ = services_->makeWizardEntry();
    return wizardEntry_.get();
}

bool AppController::registerWindow(const void*)
{
    const bool before = anyWindowRegistered_;
    anyWindowRegistered_ = true;
    return before;
}

int AppController::getEmptyTrashPeriod()
{
    const QString key = QLatin1String(appkeys::kEmptyTrashAfter);
    const QVariant stored = defaults().object(key);
    const platform::values::Kind kind = platform::values::kindOf(stored);
    const bool numeric = kind == platform::values::Kind::Signed || kind == platform::values::Kind::Unsigned
        || kind == platform::values::Kind::Floating;
    const qlonglong days = numeric ? platform::values::toLongLong(stored) : 0;
    if (days > 0 && days <= std::numeric_limits<int>::max())
        return int(days);
    defaults().setObject(key, kDefaultEmptyTrashPeriod);
    defaults().synchronize();
    return kDefaultEmptyTrashPeriod;
}

bool AppController::isDeadAlias(const QString& path)
{
    struct stat st;
    const QByteArray name = QFile::encodeName(path);
    return ::lstat(name.constData(), &st) == 0 && S_ISLNK(st.st_mode) && ::stat(name.constData(), &st) != 0;
}

QMessageBox* AppController::makeDeadAliasQuestion(const QString& path, QWidget* window) const
{
    auto* box = new QMessageBox(window);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(text(appkeys::kAliasNotFound));
    box->setText(text(appkeys::kWarning));
    box->setInformativeText(text(appkeys::kAliasNotFoundMsg).arg(path));
    QPushButton* quit = box->addButton(text(appkeys::kAliasQuit), QMessageBox::AcceptRole);
    box->addButton(text(appkeys::kAliasDelete), QMessageBox::DestructiveRole);
    box->setDefaultButton(quit);
    box->setEscapeButton(quit);
    box->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    return box;
}

bool AppController::askKillDeadAlias(const QString& path, QWidget* window)
{
    platform::gui::beep();
    std::unique_ptr<QMessageBox> box(makeDeadAliasQuestion(path, window));
    box->exec();
    return box->clickedButton() != box->defaultButton();
}

QString AppController::updateVersionCode(const QString& version)
{
    QString code;
    static const QRegularExpression number(QStringLiteral("^\\d+"));
    for (const QString& part : version.split(QLatin1Char('.'))) {
        const QRegularExpressionMatch match = number.match(part);
        if (!match.hasMatch())
            break;
        bool ok = false;
        const qulonglong value = match.captured().toULongLong(&ok);
        if (!ok)
            break;
        code += QString::number(value, 16);
    }
    return code;
}

bool AppController::hasWebAddress(const char* key)
{
    const QString address = text(key);
    return !address.isEmpty() && address != QLatin1String(key);
}

void AppController::openWebAddress(const char* key)
{
    if (hasWebAddress(key))
        LaunchQVURL(text(key));
}

void AppController::check4Updates()
{
    if (!hasWebAddress(appkeys::kUpdate))
        return;
    LaunchQVURL(text(appkeys::kUpdate).arg(updateVersionCode(QCoreApplication::applicationVersion())));
}

bool AppControllerServices::openManualDocument(std::optional<unsigned> bookmark)
{
    return ManualDocument::openManualDocument(bookmark);
}

void AppController::openManual(bool fromHelpKey, bool shift, std::optional<unsigned> bookmark)
{
    if (!fromHelpKey && shift && services_->sendDebuggingInfo())
        return;
    if (services_->openManualDocument(bookmark))
        return;
    const QString beside = QFileInfo(QCoreApplication::applicationDirPath()).absoluteFilePath() + QLatin1Char('/')
        + text(appkeys::kManual);
    if (hasWebAddress(appkeys::kManual) && QFileInfo(beside).isFile() && LaunchQVURL(QUrl::fromLocalFile(beside).toString()) == 0)
        return;
    // No help system to fall back on here: say where the manual was looked for.
    if (!manualMessage_) {
        manualMessage_ = new QMessageBox(QMessageBox::Information, text(appkeys::kManualNotInstalled),
                                         text(appkeys::kManualNotInstalled), QMessageBox::Ok, mainWindow_);
        manualMessage_->setObjectName(QStringLiteral("manualMissingMessage"));
        manualMessage_->setAttribute(Qt::WA_DeleteOnClose);
    }
    manualMessage_->setInformativeText(
        text(appkeys::kManualNotInstalledInfo).arg(ManualDocument::manualSearchPaths().join(QLatin1Char('\n'))));
    manualMessage_->show();
    manualMessage_->raise();
}

void AppController::enableDebugging()
{
    if (syncProtocolEnabled_) {
        QFile::remove(QuorvalisDebugging::homeMarkerPath(QLatin1String(appkeys::kSyncMLDebuggingMarker)));
        syncProtocolEnabled_ = false;
    } else {
        syncProtocolEnabled_ = true;
        QVLogCreateAndOpen(QLatin1String(qvlog::kSyncML));
    }
    defaults().setObject(QLatin1String(appkeys::kEnableSyncMLProtocol), syncProtocolEnabled_);
    defaults().synchronize();
}

dockbadges::Counts AppController::badgeCounts() const
{
    dockbadges::Counts counts;
    counts.unreadSMS = services_->checkUnreadSMS();
    counts.media = services_->checkForMediaProzesses(counts.conversions, counts.transfers);
    return counts;
}

void AppController::updateDockIcon()
{
    const QImage plain = platform::gui::image(QLatin1String(platform::gui::kProgramBundle), QLatin1String(appkeys::kApplicationIcon));
    dockIcon_ = dockbadges::drawIcon(plain, badgeCounts());
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(dockIcon_)));
}

void AppController::animateDockIcon(const platform::Notification& notification)
{
    if (!notification.sender)
        return;
    const std::optional<QVariantMap> settings = services_->deviceSettings(notification.sender);
    if (!settings)
        return;
    const bool sound = platform::values::toBool(settings->value(QLatin1String(appkeys::kShowInfoPanel)));
    if (platform::values::toBool(settings->value(QLatin1String(appkeys::kDockNotify))))
        QApplication::alert(mainWindow_, 0);
    if (sound)
        platform::gui::beep();
}

void AppController::requestQuit()
{
    if (terminating_)
        return;
    if (quitDialog_) {
        quitDialog_->raise();
        return;
    }
    if (quittingDocuments_)
        return;
    services_->setQuitRequested(true);
    quittingDocuments_ = true;
    const bool closing = services_->closeAllDocuments([this](bool closed) {
        quittingDocuments_ = false;
        if (closed) {
            continueQuit();
            return;
        }
        // A phone window stays open: the quit stops, and its window shows why.
        services_->setQuitRequested(false);
        platform::gui::beep();
    });
    if (!closing) {
        quittingDocuments_ = false;
        continueQuit();
    }
}

void AppController::continueQuit()
{
    if (PreferenceHandler::sharedPreferenceHandler().doWarnOnQuit() && services_->anyBackupPending())
        askToWait();
    else
        terminate();
}

void AppController::askToWait()
{
    if (quitDialog_)
        return;
    auto* dialog = new QDialog(mainWindow_);
    dialog->setObjectName(QStringLiteral("quitDialog"));
    dialog->setWindowTitle(tr("Quit"));
    dialog->setWindowModality(Qt::WindowModal);
    auto* spinner = new QVLargeSpinProgress(dialog);
    spinner->setSpinColor(QColor(90, 90, 90));
    spinner->setFixedSize(32, 32);
    auto* label = new QLabel(tr("A phone is still making its backup. The program quits as soon as it has finished."), dialog);
    label->setWordWrap(true);
    auto* cancel = new QPushButton(tr("&Cancel"), dialog);
    cancel->setObjectName(QStringLiteral("quitCancel"));
    auto* now = new QPushButton(tr("&Quit Now"), dialog);
    now->setObjectName(QStringLiteral("quitNow"));
    cancel->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &AppController::quitCancel);
    connect(now, &QPushButton::clicked, this, &AppController::quitNow);
    connect(dialog, &QDialog::rejected, this, [this] {
        if (quitDialog_)
            quitCancel();
    });
    auto* top = new QHBoxLayout;
    top->addWidget(spinner, 0, Qt::AlignTop);
    top->addWidget(label, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(now);
    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(top);
    layout->addLayout(buttons);
    quitDialog_ = dialog;
    quitSpinner_ = spinner;
    spinner->startAnimation();
    dialog->show();
    waitTimer_.start(kAskToWaitSlice, true);
}

void AppController::quitNow()
{
    endWait(true);
}

void AppController::quitCancel()
{
    if (quitSpinner_)
        quitSpinner_->stopAnimation();
    endWait(false);
}

void AppController::endWait(bool stopped)
{
    waitTimer_.stop();
    if (QDialog* dialog = quitDialog_) {
        quitDialog_ = nullptr;
        dialog->hide();
        dialog->deleteLater();
    }
    if (!stopped) {
        services_->setOverwriteBackupWait(false);
        services_->setQuitRequested(false);
        return;
    }
    if (services_->anyBackupPending())
        doSafeQuit();
    services_->setOverwriteBackupWait(true);
    platform::runloop::performOnMainThread([this] { terminate(); }, this);
}

void AppController::doSafeQuit()
{
    services_->doCancelDocuments();
    platform::runloop::waitUntil([this] { return !services_->closeSafeFirstDoc(); }, kSafeQuitSlice, kSafeQuitMaxPasses);
}

void AppController::terminate()
{
    if (terminating_)
        return;
    terminating_ = true;
    waitTimer_.stop();
    services_->terminateUSBCopies();
    services_->saveTrashChangesIfAny();
    platform::NotificationCenter::defaultCenter().post(QLatin1String(appkeys::kAppWillQuit));
    if (mainWindow_ && mainWindow_->isVisible()) {
        fadeAlpha_ = mainWindow_->windowOpacity();
        fadeTimer_.start(kFadeInterval, true);
        return;
    }
    exit_(0);
}

void AppController::fadeStep()
{
    if (!mainWindow_) {
        fadeTimer_.stop();
        exit_(0);
        return;
    }
    fadeAlpha_ -= kFadeStep;
    if (fadeAlpha_ > 1e-6) {
        mainWindow_->setWindowOpacity(fadeAlpha_);
        return;
    }
    fadeTimer_.stop();
    mainWindow_->setWindowOpacity(0);
    mainWindow_->hide();
    exit_(0);
}

void AppController::setMainWindow(QWidget* window)
{
    mainWindow_ = window;
}

void AppController::setExitHandler(std::function<void(int)> handler)
{
    exit_ = std::move(handler);
}

QString AppController::ourApplicationSupportFolder()
{
    return platform::paths::mapHomePath(QStringLiteral("~/Library/Application Support/") + QLatin1String(kApplicationSupportName));
}

void AppController::createPristineEnvironment()
{
    defaults().remove(QLatin1String(appkeys::kDevices));
    defaults().remove(QLatin1String(appkeys::kHistoryDevices));
    defaults().synchronize();
    QDir(ourApplicationSupportFolder()).removeRecursively();
}

bool AppController::createDummyFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    return file.write(kDummyBytes, 3) == 3;
}
