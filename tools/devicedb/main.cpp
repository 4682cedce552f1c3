// Builds the encrypted device database from its SQL source:
//   devicedb-build <output file> [--model-db <file>] <script.sql>...
// The scripts run in the order given, in one transaction, against a new file
// encrypted with the program's pass phrase. The file is written under a
// temporary name and renamed when it is complete and opens again.
//
// With --model-db it also writes the wizard's model database: an unencrypted
// SQLite file whose table MacMyPhone holds, for every model with USB ids
// (its own or inherited), the vendor, the two product ids and the model's id,
// so the wizard's fast look-up never disagrees with the device database.

#include "device/DeviceDBPassPhrase.h"
#include "device/sqlcryptQuickLiteDatabase.h"

#include <QFile>
#include <QFileInfo>
#include <QDir>

#include <cstdio>

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "devicedb-build: %s\n", qPrintable(message));
    return 1;
}

constexpr int kMaxInheritance = 16;

// A model's value of a column: its own, else its parent's (by
// identification); "-" removes an inherited value.
QString inherited(const QMap<QString, QVariantMap>& byIdentification, QVariantMap row, const QString& column)
{
    for (int depth = 0; depth < kMaxInheritance; ++depth) {
        const QString value = row.value(column).toString();
        if (value == QLatin1String("-"))
            return QString();
        if (!value.isEmpty())
            return value;
        const QString parent = row.value(QStringLiteral("InheritsFrom")).toString();
        if (parent.isEmpty() || !byIdentification.contains(parent))
            return QString();
        row = byIdentification.value(parent);
    }
    return QString();
}

int writeModelDatabase(sqlcryptQuickLiteDatabase& devices, const QString& output)
{
    const auto rows = devices.performQuery(QStringLiteral(
        "SELECT DEVICE_ID, InheritsFrom, Identification, USB_Vendor, DT_USB_Model, PS_USB_Model FROM Dorvanti"));
    if (!rows)
        return fail(QStringLiteral("cannot read the models: %1").arg(devices.lastError()));
    QMap<QString, QVariantMap> byIdentification;
    for (int i = 0; i < rows->rowCount(); ++i) {
        QVariantMap row;
        const QVariantMap values = rows->valuesForRow(i);
        for (auto it = values.constBegin(); it != values.constEnd(); ++it)
            row.insert(it.key().section(u'.', -1),
                       sqlcryptQuickLiteDatabase::isNullMarker(it.value()) ? QVariant() : it.value());
        byIdentification.insert(row.value(QStringLiteral("Identification")).toString(), row);
    }

    QDir().mkpath(QFileInfo(output).absolutePath());
    const QString temporary = output + QStringLiteral(".tmp");
    QFile::remove(temporary);
    int written = 0;
    {
        sqlcryptQuickLiteDatabase models(temporary);
        if (!models.create()
            || !models.executeScript(QStringLiteral(
                "CREATE TABLE MacMyPhone (USB_Vendor INTEGER, DT_USB_Model INTEGER, PS_USB_Model INTEGER, "
                "USB_ProductString TEXT, DEVICE_ID INTEGER);")))
            return fail(QStringLiteral("cannot create %1: %2").arg(temporary, models.lastError()));
        models.executeScript(QStringLiteral("BEGIN;"));
        for (const QVariantMap& row : std::as_const(byIdentification)) {
            bool idOk = false;
            const int id = row.value(QStringLiteral("DEVICE_ID")).toString().toInt(&idOk);
            bool vendorOk = false;
            const int vendor = inherited(byIdentification, row, QStringLiteral("USB_Vendor")).toInt(&vendorOk);
            const QString dt = inherited(byIdentification, row, QStringLiteral("DT_USB_Model"));
            const QString ps = inherited(byIdentification, row, QStringLiteral("PS_USB_Model"));
            if (!idOk || !vendorOk || (dt.isEmpty() && ps.isEmpty()))
                continue;
            const auto number = [](const QString& text) {
                return text.isEmpty() ? QVariant() : QVariant(text.toInt());
            };
            if (!models.performQuery(QStringLiteral("INSERT INTO MacMyPhone VALUES (?, ?, ?, '', ?)"),
                                     {vendor, number(dt), number(ps), id}))
                return fail(QStringLiteral("cannot write %1: %2").arg(temporary, models.lastError()));
            ++written;
        }
        models.executeScript(QStringLiteral("COMMIT;"));
    }
    QFile::remove(output);
    if (!QFile::rename(temporary, output))
        return fail(QStringLiteral("cannot rename %1 to %2").arg(temporary, output));
    std::printf("devicedb-build: %d models with USB ids in the model database\n", written);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return fail(QStringLiteral("usage: devicedb-build <output file> [--model-db <file>] <script.sql>..."));

    const QString output = QFile::decodeName(argv[1]);
    int first = 2;
    QString modelDatabase;
    if (argc > 4 && qstrcmp(argv[2], "--model-db") == 0) {
        modelDatabase = QFile::decodeName(argv[3]);
        first = 4;
    }
    QString script;
    for (int i = first; i < argc; ++i) {
        QFile file(QFile::decodeName(argv[i]));
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1").arg(file.fileName()));
        script += QString::fromUtf8(file.readAll());
        script += QLatin1Char('\n');
    }

    QDir().mkpath(QFileInfo(output).absolutePath());
    const QString temporary = output + QStringLiteral(".tmp");
    QFile::remove(temporary);
    {
        sqlcryptQuickLiteDatabase db(temporary);
        db.setPassPhrase(deviceDBPassPhrase());
        if (!db.create())
            return fail(QStringLiteral("cannot create %1: %2").arg(temporary, db.lastError()));
        if (!db.executeScript(QStringLiteral("BEGIN;\n") + script + QStringLiteral("\nCOMMIT;"))) {
            const QString error = db.lastError();
            db.close();
            QFile::remove(temporary);
            return fail(QStringLiteral("SQL error: %1").arg(error));
        }
    }
    {
        sqlcryptQuickLiteDatabase check(temporary);
        check.setPassPhrase(deviceDBPassPhrase());
        if (!check.open()) {
            QFile::remove(temporary);
            return fail(QStringLiteral("the new file does not open: %1").arg(check.lastError()));
        }
        const auto models = check.performQuery(QStringLiteral("SELECT count(*) FROM Dorvanti"));
        const auto protocols = check.performQuery(QStringLiteral("SELECT count(*) FROM SyncML"));
        if (!models || !protocols) {
            QFile::remove(temporary);
            return fail(QStringLiteral("the new file lacks its tables: %1").arg(check.lastError()));
        }
        std::printf("devicedb-build: %s models, %s sync protocols\n",
                    qPrintable(models->valuesForRow(0).first().toString()),
                    qPrintable(protocols->valuesForRow(0).first().toString()));
        if (!modelDatabase.isEmpty()) {
            if (const int status = writeModelDatabase(check, modelDatabase); status != 0) {
                QFile::remove(temporary);
                return status;
            }
        }
    }
    QFile::remove(output);
    if (!QFile::rename(temporary, output))
        return fail(QStringLiteral("cannot rename %1 to %2").arg(temporary, output));
    return 0;
}
