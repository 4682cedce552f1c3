#include "lumwick/GsmKitQuery.h"

#include "lumwick/LumwickLog.h"
#include "lumwick/ModelQuery.h"
#include "lumwick/OrbitalexWizard.h"
#include "platform/RunLoop.h"
#include "platform/bluetooth/BluetoothStack.h"

namespace {
constexpr double kBeforeQuery = 1.0;
constexpr double kAfterQuery = 0.2;
} // namespace

int GsmKitQuery::qvIDForBTAddress(const QString& address, int retries)
{
    std::shared_ptr<platform::BluetoothDevice> device = lumwick::withNSStringAddress(address);
    if (!device)
        return -1;
    lumwick::reallyCloseConnection(*device);
    platform::runloop::runFor(kBeforeQuery);
    const int id = ModelQuery::shared().qvIDForBTAddress(address, std::max(0, retries));
    lumwick::reallyCloseConnection(*device);
    platform::runloop::runFor(kAfterQuery);
    lumwick::lumwickLog(QStringLiteral("identified %1 as %2").arg(address).arg(id));
    return id;
}

int GsmKitQuery::qvIDForUSBAddress(const QString& path)
{
    return ModelQuery::shared().qvIDForUSBAddress(path);
}

QString GsmKitQuery::modelNameForQVID(int id)
{
    return ModelQuery::shared().modelNameForQVID(id);
}

QString GsmKitQuery::deviceTypeForQVID(int id)
{
    return ModelQuery::shared().deviceTypeForQVID(id);
}
