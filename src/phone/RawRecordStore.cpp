#include "phone/RawRecordStore.h"

#include "foundation/NamedLog.h"
#include "phone/HistoryName.h"
#include "phone/PhoneLog.h"
#include "platform/Clock.h"
#include "platform/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace rawrecords {

QString pathFor(const QString& deviceSyncDataPath)
{
    return deviceSyncDataPath.isEmpty() ? QString() : deviceSyncDataPath + QLatin1String(kSuffix);
}

QString keyFor(const QString& database)
{
    return QString::fromLatin1(kKeyFormat).arg(database);
}

QVariantMap readDeviceRecords(const QString& rawPath, const QString& database)
{
    if (rawPath.isEmpty() || !QFileInfo(rawPath).isFile())
        return {};
    return platform::plist::readFile(rawPath).toMap().value(keyFor(database)).toMap();
}

bool writeDeviceRecords(const QString& rawPath, const QString& database, const QVariantMap& records)
{
    if (rawPath.isEmpty())
        return false;
    QVariantMap stored;
    if (QFileInfo::exists(rawPath)) {
        QString why;
        const QVariant read = platform::plist::readFile(rawPath, &why);
        if (read.typeId() == QMetaType::QVariantMap) {
            stored = read.toMap();
        } else {
            const QFileInfo info(rawPath);
            const QString aside = historyname::freeDatedPath(info.path(), info.fileName(),
                                                             platform::Clock::instance().currentDateTime());
            const bool moved = !aside.isEmpty() && QFile::rename(rawPath, aside);
            qCWarning(lcPhone) << "raw records unreadable:" << rawPath << why << "set aside as" << aside;
            QVLOG(qvlog::kXT, QStringLiteral("raw records %1 unreadable (%2), set aside as %3")
                                  .arg(rawPath, why, moved ? aside : QStringLiteral("(failed)")));
            if (!moved)
                return false;
        }
    }
    stored.insert(keyFor(database), records);
    QDir().mkpath(QFileInfo(rawPath).path());
    QString why;
    if (!platform::plist::writeFile(rawPath, stored, &why)) {
        qCWarning(lcPhone) << "raw records not written:" << rawPath << why;
        return false;
    }
    return true;
}

} // namespace rawrecords
