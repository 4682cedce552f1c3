#include "app/PreferenceHandler.h"

#include "app/AppKeys.h"
#include "app/PreferenceWindow.h"

#include "device/PhoneIconFromiSyncSearcher.h"
#include "foundation/DictionaryHdlr.h"
#include "foundation/ImageCropExtensions.h"
#include "platform/Clock.h"
#include "platform/UserDefaults.h"
#include "platform/Values.h"
#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"

#include <QCoreApplication>

namespace {

constexpr const char* kSerialNoKey = "Common.SerialNo";
constexpr const char* kWorkEnvironmentKey = "Common.SyncWorkEnvironment";
constexpr const char* kSyncEngineEnabledKey = "SyncEngineEnabled";
constexpr const char* kIdentifierKey = "Common.Identifier";
constexpr const char* kDefaultHandyLogo = "DefaultHandyLogo";
constexpr int kFitMethod = 3;

bool storedFlag(const QString& key)
{
    // A flag or a number counts; any other value reads as absent: YES.
    const QVariant value = platform::UserDefaults::standard().object(key);
    return platform::values::isNumber(value) ? platform::values::toBool(value) : true;
}

void writeFlag(const QString& key, bool on)
{
    platform::UserDefaults& defaults = platform::UserDefaults::standard();
    defaults.setObject(key, on);
    defaults.synchronize();
}

PreferenceHandler::ImageLookup& imageLookup()
{
    static PreferenceHandler::ImageLookup lookup;
    return lookup;
}

PreferenceHandler::LiveEnvironmentLookup& liveLookup()
{
    static PreferenceHandler::LiveEnvironmentLookup lookup;
    return lookup;
}

} // namespace

PreferenceHandler& PreferenceHandler::sharedPreferenceHandler()
{
    static PreferenceHandler instance;
    return instance;
}

PreferenceHandler::~PreferenceHandler()
{
    // At program end the window and the timer may outlive the application
    // and the clock: they are let go, not destroyed, then.
    if (QCoreApplication::instance())
        releaseWindow();
    else
        (void)dateTimer_.release();
}

void PreferenceHandler::awakeFromNib()
{
    platform::UserDefaults& defaults = platform::UserDefaults::standard();
    for (const char* key : {appkeys::kPrefDoWarnOnQuit, appkeys::kPrefSyncImmediately}) {
        if (!defaults.object(QLatin1String(key)).isValid())
            defaults.setObject(QLatin1String(key), true);
    }
    defaults.synchronize();
    if (window_)
        window_->refresh();
}

bool PreferenceHandler::doWarnOnQuit() const
{
    return storedFlag(QLatin1String(appkeys::kPrefDoWarnOnQuit));
}

bool PreferenceHandler::doSyncImmediately() const
{
    return storedFlag(QLatin1String(appkeys::kPrefSyncImmediately));
}

void PreferenceHandler::setWarnOnQuit(bool warn)
{
    writeFlag(QLatin1String(appkeys::kPrefDoWarnOnQuit), warn);
}

void PreferenceHandler::setSyncImmediately(bool sync)
{
    writeFlag(QLatin1String(appkeys::kPrefSyncImmediately), sync);
}

void PreferenceHandler::changeWarnOnQuit(int value)
{
    setWarnOnQuit(value != 0);
}

void PreferenceHandler::changeUpdateDuration()
{
    platform::UserDefaults::standard().synchronize();
}

int PreferenceHandler::emptyTrashPeriod() const
{
    const QVariant value = platform::UserDefaults::standard().object(QLatin1String(appkeys::kEmptyTrashAfter));
    const int days = platform::values::isNumber(value) ? platform::values::toInt(value) : 0;
    return days > 0 ? std::min(days, kMaxTrashDays) : 61;
}

void PreferenceHandler::setEmptyTrashPeriod(int days)
{
    platform::UserDefaults& defaults = platform::UserDefaults::standard();
    defaults.setObject(QLatin1String(appkeys::kEmptyTrashAfter), std::clamp(days, kMinTrashDays, kMaxTrashDays));
    defaults.synchronize();
}

bool PreferenceHandler::showDeleteMessageWarning() const
{
    return storedFlag(QLatin1String(appkeys::kPrefShowDeleteMsgWarn));
}

void PreferenceHandler::setShowDeleteMessageWarning(bool warn)
{
    writeFlag(QLatin1String(appkeys::kPrefShowDeleteMsgWarn), warn);
}

void PreferenceHandler::openPreferenceWindow()
{
    if (!window_)
        window_ = new PreferenceWindow;
    window_->refresh();
    window_->show();
    window_->raise();
    window_->activateWindow();
    if (!dateTimer_) {
        dateTimer_ = std::make_unique<platform::Timer>([this] { dateTimerIdle(); });
        dateTimer_->start(kIdleInterval, true);
    }
}

void PreferenceHandler::dateTimerIdle()
{
    if (window_ && window_->isVisible())
        return;
    if (dateTimer_) {
        // Destroyed outside its own callback.
        if (dateTimer_->isActive())
            dateTimer_->stop();
        platform::Timer* timer = dateTimer_.release();
        QMetaObject::invokeMethod(QCoreApplication::instance(), [timer] { delete timer; }, Qt::QueuedConnection);
    }
}

bool PreferenceHandler::idleTimerRunning() const
{
    return dateTimer_ && dateTimer_->isActive();
}

QStringList PreferenceHandler::toolbarDefaultItemIdentifiers()
{
    return {QLatin1String(kGeneralItem), QLatin1String(kSpaceItem), QLatin1String(kUpdateItem)};
}

QStringList PreferenceHandler::toolbarSelectableItemIdentifiers()
{
    return {QLatin1String(kGeneralItem), QLatin1String(kUpdateItem)};
}

void PreferenceHandler::setImageLookup(ImageLookup lookup)
{
    imageLookup() = std::move(lookup);
}

QImage PreferenceHandler::toolbarItemImage(const QString& identifier)
{
    const QString name = QString::fromLatin1(kImageName).arg(identifier);
    QImage image;
    if (imageLookup())
        image = imageLookup()(name);
    else if (platform::gui::hasImage(QLatin1String(platform::gui::kProgramBundle), name))
        image = platform::gui::image(QLatin1String(platform::gui::kProgramBundle), name);
    return image.width() > 0 && image.height() > 0 ? image : QImage();
}

void PreferenceHandler::switchToPrefPanel(const QString& identifier)
{
    if (window_)
        window_->selectTab(identifier);
}

void PreferenceHandler::setLiveEnvironmentLookup(LiveEnvironmentLookup lookup)
{
    liveLookup() = std::move(lookup);
}

bool PreferenceHandler::isSyncEngineSwitchedOn(const QVariantMap& entry) const
{
    const QVariant serial = entry.value(QLatin1String(kSerialNoKey));
    if (liveLookup() && serial.typeId() == QMetaType::QString) {
        if (const std::optional<QVariantMap> live = liveLookup()(serial.toString()))
            return getBoolValue(*live, QLatin1String(kSyncEngineEnabledKey));
    }
    const QVariant stored = entry.value(QLatin1String(kWorkEnvironmentKey));
    if (stored.typeId() != QMetaType::QVariantMap)
        return false;
    return getBoolValue(stored.toMap(), QLatin1String(kSyncEngineEnabledKey));
}

QImage PreferenceHandler::getThePhoneIcon(const QVariantMap& entry) const
{
    QImage picture;
    const QVariant identification = entry.value(QLatin1String(kIdentifierKey));
    if (identification.typeId() == QMetaType::QString) {
        const QString path = getPhoneIconForModel(identification.toString());
        if (!path.isEmpty())
            picture.load(path);
    }
    if (picture.isNull())
        picture = platform::gui::image(QLatin1String(platform::gui::kProgramBundle), QLatin1String(kDefaultHandyLogo));
    return imageToFitSize(picture, kPhoneIconSize, kFitMethod);
}

void PreferenceHandler::releaseWindow()
{
    dateTimer_.reset();
    delete window_.data();
}
