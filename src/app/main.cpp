#include "app/AppLog.h"
#include "foundation/NamedLog.h"
#include "platform/Bundle.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>

namespace {

const QString kAppearanceVariantKey = QStringLiteral("AppleAquaColorVariant");
const QString kCheckUpdatesAtStartKey = QStringLiteral("SUCheckAtStartup");
constexpr int kGraphiteAppearance = 6;

// The logs the application controller opens at start.
constexpr const char* kStartLogs[] = {qvlog::kXT, qvlog::kConn, qvlog::kSE, qvlog::kVCard, qvlog::kVDEV};

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

    for (const char* name : kStartLogs)
        QVLogCreateAndOpen(QString::fromLatin1(name));
    QVLOG(qvlog::kXT, QStringLiteral("%1 %2 started").arg(platform::bundle::applicationName(),
                                                        platform::bundle::applicationVersion()));
    platform::UserDefaults::standard().synchronize();

    qCInfo(lcApp).noquote() << platform::bundle::applicationName() << platform::bundle::applicationVersion()
                            << "started; the application windows are not built yet.";
    return 0;
}
