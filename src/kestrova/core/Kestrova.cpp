#include "kestrova/core/Kestrova.h"

#include "kestrova/core/KitErrors.h"
#include "kestrova/core/KitLog.h"

using kestrova::kitLogWith;

Kestrova::Kestrova()
    : Kestrova(std::make_unique<SLTCommDevice>())
{
}

Kestrova::Kestrova(std::unique_ptr<SLTCommDevice> engine)
    : QVSmsKitAsync(std::move(engine))
{
}

Kestrova::~Kestrova() = default;

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
    failLater("getLgViewtyPhonebookEntries", &organizerKitAsync::organizerKitPhonebookRead);
}

void Kestrova::writeLgViewtyPhonebookEntries(const QVariantMap&)
{
    failLater("writeLgViewtyPhonebookEntries", &organizerKitAsync::organizerKitPhonebookEntriesWritten);
}

void Kestrova::getLgViewtyCalendarEntries()
{
    failLater("getLgViewtyCalendarEntries", &organizerKitAsync::organizerKitCalendarRead);
}

void Kestrova::writeLgViewtyCalendarEntries(const QVariantMap&)
{
    failLater("writeLgViewtyCalendarEntries", &organizerKitAsync::organizerKitCalendarEntriesWritten);
}

void Kestrova::getLgViewtyTasks()
{
    failLater("getLgViewtyTasks", &organizerKitAsync::organizerKitTasksRead);
}

void Kestrova::getMotorolaPhonebookEntries()
{
    failLater("getMotorolaPhonebookEntries", &organizerKitAsync::organizerKitPhonebookRead);
}

void Kestrova::writeMotorolaPhonebookEntries(const QVariantMap&)
{
    failLater("writeMotorolaPhonebookEntries", &organizerKitAsync::organizerKitPhonebookEntriesWritten);
}

void Kestrova::getMotorolaCalendarEntries()
{
    failLater("getMotorolaCalendarEntries", &organizerKitAsync::organizerKitCalendarRead);
}

void Kestrova::writeMotorolaCalendarEntries(const QVariantMap&)
{
    failLater("writeMotorolaCalendarEntries", &organizerKitAsync::organizerKitCalendarEntriesWritten);
}
