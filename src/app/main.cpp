#include "foundation/NamedLog.h"
#include "platform/Bundle.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

const QString kAppearanceVariantKey = QStringLiteral("AppleAquaColorVariant");
const QString kCheckUpdatesAtStartKey = QStringLiteral("SUCheckAtStartup");
constexpr int kGraphiteAppearance = 6;

// The logs the application controller opens at start.
const QStringList kStartLogs = {QStringLiteral("XT"), QStringLiteral("Conn"), QStringLiteral("SE"),
                                QStringLiteral("VCard"), QStringLiteral("VDEV")};

void setGraphite()
{
    platform::UserDefaults::standard().setObject(kAppearanceVariantKey, kGraphiteAppearance);
}

void preInitStuff()
{
    platform::UserDefaults::standard().setObject(kCheckUpdatesAtStartKey, true);
}

} // namespace

int main(int argc, char** argv)
{
    setGraphite();
    preInitStuff();

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(platform::bundle::applicationName());
    QCoreApplication::setApplicationVersion(platform::bundle::applicationVersion());

    for (const QString& name : kStartLogs)
        QVLogCreateAndOpen(name);
    QVLogToNamedLog(QStringLiteral("XT"), QStringLiteral("%1 %2 started").arg(platform::bundle::applicationName(),
                                                                            platform::bundle::applicationVersion()));
    platform::UserDefaults::standard().synchronize();

    qInfo().noquote() << platform::bundle::applicationName() << platform::bundle::applicationVersion()
                      << "started; the application windows are not built yet.";
    return 0;
}
