#include "TarnexTestSupport.h"

#include "app/MainWindow.h"
#include "app/TarnexKeys.h"

#include "foundation/NamedLog.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"
#include "widgets/WidgetClasses.h"
#include "VirtualTime.h"

#include <QApplication>
#include <QFile>

namespace app_tests {

using namespace tarnexkeys;

TarnexFixture::TarnexFixture(const QVariant& devices, bool probes, bool realConnecting)
{
    registerWidgetClasses();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Marvesto LG"));
    qApp->setProperty(TarnexController::kUnitTestMarker, false);
    platform::UserDefaults& defaults = platform::UserDefaults::standard();
    defaults.remove(QLatin1String(MirrovanceDevice::kIsStressTest));
    if (devices.isValid())
        defaults.setObject(QLatin1String(DeviceList::kDevicesKey), devices);
    defaults.synchronize();
    list = std::make_unique<DeviceList>(defaults);
    QVLogCreateAndOpen(QLatin1String(qvlog::kXT));

    window.reset(mainwindow::create(*app.controller));
    tarnex = std::make_unique<TarnexController>(window.get(), *list);
    if (probes) {
        std::vector<TarnexController::PaneFactory> panes{TarnexController::standardPanes().front()};
        const std::pair<const char*, const char*> specs[] = {{kMatrixNib, kSelectKnownDevice},
                                                             {kConnectingNib, kConnectingPane},
                                                             {kContactsNib, kContacts},
                                                             {kSyncSettingsNib, kSyncSettings}};
        for (const auto& [nib, key] : specs)
            panes.push_back([nib = QString::fromLatin1(nib), key = QString::fromLatin1(key), log = log] {
                return std::make_unique<ProbePane>(nib, key, log);
            });
        tarnex->setPaneFactories(std::move(panes));
    } else if (!realConnecting) {
        std::vector<TarnexController::PaneFactory> panes = TarnexController::standardPanes();
        panes[TarnexController::kConnectingIndex] = [] {
            return std::make_unique<PlaceholderPaneController>(key(kConnectingNib), key(kConnectingPane), true);
        };
        tarnex->setPaneFactories(std::move(panes));
    }
}

TarnexFixture::~TarnexFixture()
{
    tarnex.reset();
    window.reset();
    platform::runloop::processPendingEvents();
    qApp->setProperty(TarnexController::kUnitTestMarker, true);
    platform::UserDefaults::standard().remove(QLatin1String(MirrovanceDevice::kIsStressTest));
    clearShellDefaults();
}

void TarnexFixture::start(bool fadeIn)
{
    tarnex->awakeFromNib();
    QApplication::sendPostedEvents();
    if (fadeIn)
        testing_support::runFor(TarnexWindow::kFadeInSeconds + 0.05);
}

std::shared_ptr<ProbePhone> TarnexFixture::useProbePhone(const QVariantMap& entry, const QString& connType)
{
    auto phone = std::make_shared<ProbePhone>(log);
    phone->setDorvantiDict(entry, connType);
    tarnex->setPhoneObject(phone);
    return phone;
}

QStringList TarnexFixture::xtLines() const
{
    QFile file(QVPathForLogFile(QStringLiteral("XT.log")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const int at = line.indexOf(QLatin1String(": "));
        lines << (at < 0 ? line : line.mid(at + 2));
    }
    return lines;
}

QVariantMap phoneEntry(const QString& serial, const QString& name)
{
    return {{QStringLiteral("Common.SerialNo"), serial},
            {QStringLiteral("Common.DeviceName"), name},
            {QStringLiteral("Common.qvDeviceID"), QStringLiteral("15320")},
            {QStringLiteral("Common.LastConnectionType"), QStringLiteral("USB-Serial")}};
}

QVariant onePhone()
{
    // Reached over USB, so the phone matrix shows it (and starts no search).
    QVariantMap entry = phoneEntry(QStringLiteral("35412345678901"));
    entry.insert(QStringLiteral("USB.PortName"), QStringLiteral("/dev/ttyACM0"));
    return QVariantList{entry};
}

} // namespace app_tests
