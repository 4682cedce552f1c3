#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <ctime>

// Sets the machine's time zone for the life of the object (Europe/Berlin by
// default) and puts the old one back.
class PinnedTimeZone {
public:
    explicit PinnedTimeZone(const char* zone = "Europe/Berlin") : m_old(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~PinnedTimeZone()
    {
        if (m_old.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", m_old);
        tzset();
    }
    PinnedTimeZone(const PinnedTimeZone&) = delete;
    PinnedTimeZone& operator=(const PinnedTimeZone&) = delete;

private:
    QByteArray m_old;
};
