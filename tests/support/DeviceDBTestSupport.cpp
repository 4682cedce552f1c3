#include "DeviceDBTestSupport.h"

#include "TestEnvironment.h"
#include "device/DeviceDBPassPhrase.h"
#include "device/sqlcryptQuickLiteDatabase.h"

#include <QDir>
#include <QFile>

QString buildTestDeviceDB(const QString& name, const QString& rowsSQL, const QByteArray& passPhrase)
{
    QFile schema(QStringLiteral(MARVESTO_SOURCE_DIR "/data/devicedb/00-schema.sql"));
    if (!schema.open(QIODevice::ReadOnly))
        return QString();
    const QString folder = testing_support::testHome() + QStringLiteral("/devicedb");
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".db");
    QFile::remove(path);
    sqlcryptQuickLiteDatabase db(path);
    db.setPassPhrase(passPhrase);
    if (!db.create())
        return QString();
    if (!db.executeScript(QString::fromUtf8(schema.readAll()) + QLatin1Char('\n') + rowsSQL))
        return QString();
    return path;
}

QString buildTestDeviceDB(const QString& name, const QString& rowsSQL)
{
    return buildTestDeviceDB(name, rowsSQL, deviceDBPassPhrase());
}
