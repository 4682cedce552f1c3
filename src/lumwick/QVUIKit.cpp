#include "lumwick/QVUIKit.h"

#include "lumwick/LumwickLog.h"
#include "platform/Bundle.h"
#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QThread>

QVUIKit::QVUIKit() = default;
QVUIKit::~QVUIKit() = default;

void QVUIKit::setPaneFactories(AKMainController::PaneFactory deviceSelection,
                               AKMainController::PaneFactory bluetoothPairing)
{
    m_deviceSelection = std::move(deviceSelection);
    m_bluetoothPairing = std::move(bluetoothPairing);
}

bool QVUIKit::startWizardWithOwner(std::shared_ptr<LumwickProtocol> owner)
{
    lumwick::lumwickLog(QStringLiteral("startWizardWithOwner reached"));
    if (!owner || m_mainController)
        return false;
    m_mainController = std::make_unique<AKMainController>(
        std::move(owner), AKMainController::standardPanes(m_deviceSelection, m_bluetoothPairing));
    m_mainController->awakeFromNib();
    m_mainController->doCustomize();
    QDialog* window = m_mainController->IBwindow();
    if (!window)
        return false;
    window->show();
    window->raise();
    window->activateWindow();
    return true;
}

void QVUIKit::stop()
{
    QObject* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        QMetaObject::invokeMethod(app, [this] { m_mainController.reset(); }, Qt::BlockingQueuedConnection);
        return;
    }
    m_mainController.reset();
}

QDialog* QVUIKit::wizardWindow() const
{
    return m_mainController ? m_mainController->IBwindow() : nullptr;
}

QString QVUIKitTools::bluetoothCachePath()
{
    // The application's reverse-domain prefix: its identifier without the
    // last component ("com.marvesto").
    QString prefix = platform::bundle::mainBundleIdentifier();
    prefix.truncate(prefix.lastIndexOf(QLatin1Char('.')));
    return platform::paths::mapHomePath(QStringLiteral("~/Library/Preferences/") + prefix
                                        + QStringLiteral(".BluetoothIDCache.sqlite"));
}

void QVUIKitTools::clearQuorvalisBluetoothCache()
{
    const QString path = bluetoothCachePath();
    if (QFile::exists(path))
        QFile::remove(path);
}
