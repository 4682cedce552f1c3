#pragma once

// Contacts and events for the trash tests (over the calendar tests' device
// rows, zone and locale) and a trash store on a file of the test home.
#include "CalendarTestSupport.h"
#include "TestEnvironment.h"

#include "organizer/trash/TrashKeys.h"
#include "organizer/trash/TrashManager.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "syncmodel/QVVCardElem.h"

#include <QDir>
#include <QFile>

namespace trashtest {

inline QString contactText(const QString& last, const QString& first)
{
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:%1;%2\r\nTEL;CELL:+4930111\r\nEND:VCARD\r\n")
        .arg(last, first);
}

inline std::shared_ptr<QVVCardElem> contact(const QString& last, const QString& first)
{
    return QVVCardElem::elemWithData(contactText(last, first), QStringLiteral("7"), QStringLiteral("Phone"),
                                     QStringLiteral("Phone"), QString());
}

inline TrashPhone testPhone()
{
    return {QStringLiteral("Anna's phone"), QStringLiteral("42"), QStringLiteral("LG+KU990")};
}

// A file entry as the store writes it.
inline QVariantMap fileEntry(const QString& text, int property, const QDateTime& trashed, bool conflict = false)
{
    return {{QStringLiteral("vxData"), text},
            {QStringLiteral("deviceName"), QStringLiteral("Anna's phone")},
            {QStringLiteral("deviceID"), QStringLiteral("42")},
            {QStringLiteral("deviceIdentifier"), QStringLiteral("LG+KU990")},
            {QStringLiteral("trashedDate"), TrashElem::dateDescription(trashed)},
            {QStringLiteral("isConflict"), conflict},
            {QStringLiteral("property"), property}};
}

class TrashTest : public calendartest::CalendarTest {
protected:
    void SetUp() override
    {
        CalendarTest::SetUp();
        folder = testing_support::testHome() + QStringLiteral("/trash-") + QString::number(++s_counter);
        QDir().mkpath(folder);
        fileName = folder + QStringLiteral("/TrashFile");
        platform::UserDefaults::standard().setObject(QStringLiteral("Empty trash after"), QVariant());
    }

    void writeFile(const QVariantList& entries, const QString& version = QStringLiteral("1"))
    {
        ASSERT_TRUE(platform::plist::writeFile(
            fileName, QVariantMap{{QStringLiteral("Version"), version}, {QStringLiteral("TrashList"), entries}}));
    }
    QVariantList storedEntries() const
    {
        return platform::plist::readFile(fileName).toMap().value(QStringLiteral("TrashList")).toList();
    }
    static QString event(const QString& summary)
    {
        return vcal(
            QStringLiteral("SUMMARY:%1\r\nDTSTART:20240105T100000Z\r\nDTEND:20240105T110000Z\r\n").arg(summary));
    }

    QString folder;
    QString fileName;
    static inline int s_counter = 0;
};

} // namespace trashtest
