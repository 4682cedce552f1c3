#include "kestrova/core/Kestrova.h"

#include "kestrova/core/KitErrors.h"
#include "kestrova/core/KitLog.h"

#include <QHash>

using kestrova::kitLogWith;

namespace {
const QString kLgVendor = QStringLiteral("lg");
const QString kMotorolaVendor = QStringLiteral("motorola");

QHash<QString, Kestrova::VendorChainMaker>& chainMakers()
{
    static QHash<QString, Kestrova::VendorChainMaker> makers;
    return makers;
}
} // namespace

SLTCommDevice& KestrovaVendorChain::engine()
{
    return _kit.engine();
}

organizerKitAsync* KestrovaVendorChain::callback()
{
    return _kit._organizerCallback;
}

std::weak_ptr<const void> KestrovaVendorChain::lifeToken()
{
    return _kit.lifeToken();
}

void Kestrova::registerVendorChain(const QString& vendor, VendorChainMaker maker)
{
    chainMakers().insert(vendor, std::move(maker));
}

KestrovaVendorChain* Kestrova::vendorChain(const QString& vendor)
{
    auto found = _vendorChains.find(vendor);
    if (found != _vendorChains.end())
        return found->second.get();
    const auto maker = chainMakers().constFind(vendor);
    if (maker == chainMakers().constEnd() || !maker.value())
        return nullptr;
    return _vendorChains.emplace(vendor, maker.value()(*this)).first->second.get();
}

void Kestrova::lgOrganizerAbortAction()
{
    const QString vendor = SLTStateMachine::isLgFamily(_family) ? kLgVendor
                           : isMotorolaFamily()                 ? kMotorolaVendor
                                                                : QString();
    KestrovaVendorChain* chain = vendor.isEmpty() ? nullptr : vendorChain(vendor);
    if (!chain || !chain->abortAction())
        QVSmsKitAsync::lgOrganizerAbortAction();
}

Kestrova::Kestrova()
    : Kestrova(std::make_unique<SLTCommDevice>())
{
}

Kestrova::Kestrova(std::unique_ptr<SLTCommDevice> engine)
    : QVSmsKitAsync(std::move(engine))
{
}

Kestrova::~Kestrova()
{
    // The chains go first: their stages and timers refer to the kit.
    _vendorChains.clear();
}

void Kestrova::setCallback(organizerKitAsync* callback)
{
    _organizerCallback = callback;
    engine().setWillCloseCallback(callback);
}

bool Kestrova::isMotorolaFamily() const
{
    return _family == QLatin1String("motorola") || _family == QLatin1String("motorola2");
}

void Kestrova::failLater(const char* request,
                         void (organizerKitAsync::*finalCallback)(Kestrova*, const std::optional<QVariantMap>&, int))
{
    kitLogWith([&] { return QStringLiteral("Kit: %1 - no chain for family %2").arg(QLatin1String(request), _family); });
    later([this, finalCallback] {
        if (_organizerCallback)
            (_organizerCallback->*finalCallback)(this, std::nullopt, kestrova::kit::kFailed);
    });
}

void Kestrova::getPhonebookEntries()
{
    if (SLTStateMachine::isLgFamily(_family))
        getLgViewtyPhonebookEntries();
    else if (isMotorolaFamily())
        getMotorolaPhonebookEntries();
    else
        failLater("getPhonebookEntries", &organizerKitAsync::organizerKitPhonebookRead);
}

void Kestrova::writePhonebookEntries(const QVariantMap& entries)
{
    if (SLTStateMachine::isLgFamily(_family))
        writeLgViewtyPhonebookEntries(entries);
    else if (isMotorolaFamily())
        writeMotorolaPhonebookEntries(entries);
    else
        failLater("writePhonebookEntries", &organizerKitAsync::organizerKitPhonebookEntriesWritten);
}

void Kestrova::getCalendarEntries()
{
    if (isMotorolaFamily())
        getMotorolaCalendarEntries();
    else if (SLTStateMachine::isLgFamily(_family))
        getLgViewtyCalendarEntries();
    else
        failLater("getCalendarEntries", &organizerKitAsync::organizerKitCalendarRead);
}

void Kestrova::writeCalendarEntries(const QVariantMap& entries)
{
    if (isMotorolaFamily())
        writeMotorolaCalendarEntries(entries);
    else if (SLTStateMachine::isLgFamily(_family))
        writeLgViewtyCalendarEntries(entries);
    else
        failLater("writeCalendarEntries", &organizerKitAsync::organizerKitCalendarEntriesWritten);
}

void Kestrova::getTasks()
{
    if (SLTStateMachine::isLgFamily(_family))
        getLgViewtyTasks();
    else
        failLater("getTasks", &organizerKitAsync::organizerKitTasksRead);
}

void Kestrova::getLgViewtyPhonebookEntries()
{
    if (KestrovaVendorChain* chain = vendorChain(kLgVendor); chain && chain->getPhonebookEntries())
        return;
    failLater("getLgViewtyPhonebookEntries", &organizerKitAsync::organizerKitPhonebookRead);
}

void Kestrova::writeLgViewtyPhonebookEntries(const QVariantMap& entries)
{
    if (KestrovaVendorChain* chain = vendorChain(kLgVendor); chain && chain->writePhonebookEntries(entries))
        return;
    failLater("writeLgViewtyPhonebookEntries", &organizerKitAsync::organizerKitPhonebookEntriesWritten);
}

void Kestrova::getLgViewtyCalendarEntries()
{
    if (KestrovaVendorChain* chain = vendorChain(kLgVendor); chain && chain->getCalendarEntries())
        return;
    failLater("getLgViewtyCalendarEntries", &organizerKitAsync::organizerKitCalendarRead);
}

void Kestrova::writeLgViewtyCalendarEntries(const QVariantMap& entries)
{
    if (KestrovaVendorChain* chain = vendorChain(kLgVendor); chain && chain->writeCalendarEntries(entries))
        return;
    failLater("writeLgViewtyCalendarEntries", &organizerKitAsync::organizerKitCalendarEntriesWritten);
}

void Kestrova::getLgViewtyTasks()
{
    if (KestrovaVendorChain* chain = vendorChain(kLgVendor); chain && chain->getTasks())
        return;
    failLater("getLgViewtyTasks", &organizerKitAsync::organizerKitTasksRead);
}

void Kestrova::getMotorolaPhonebookEntries()
{
    if (KestrovaVendorChain* chain = vendorChain(kMotorolaVendor); chain && chain->getPhonebookEntries())
        return;
    failLater("getMotorolaPhonebookEntries", &organizerKitAsync::organizerKitPhonebookRead);
}

void Kestrova::writeMotorolaPhonebookEntries(const QVariantMap& entries)
{
    if (KestrovaVendorChain* chain = vendorChain(kMotorolaVendor); chain && chain->writePhonebookEntries(entries))
        return;
    failLater("writeMotorolaPhonebookEntries", &organizerKitAsync::organizerKitPhonebookEntriesWritten);
}

void Kestrova::getMotorolaCalendarEntries()
{
    if (KestrovaVendorChain* chain = vendorChain(kMotorolaVendor); chain && chain->getCalendarEntries())
        return;
    failLater("getMotorolaCalendarEntries", &organizerKitAsync::organizerKitCalendarRead);
}

void Kestrova::writeMotorolaCalendarEntries(const QVariantMap& entries)
{
    if (KestrovaVendorChain* chain = vendorChain(kMotorolaVendor); chain && chain->writeCalendarEntries(entries))
        return;
    failLater("writeMotorolaCalendarEntries", &organizerKitAsync::organizerKitCalendarEntriesWritten);
}
