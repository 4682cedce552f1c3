// Builds the encrypted device database from its SQL source:
//   devicedb-build <output file> <script.sql>...
// The scripts run in the order given, in one transaction, against a new file
// encrypted with the program's pass phrase. The file is written under a
// temporary name and renamed when it is complete and opens again.

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

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return fail(QStringLiteral("usage: devicedb-build <output file> <script.sql>..."));

    const QString output = QFile::decodeName(argv[1]);
    QString script;
    for (int i = 2; i < argc; ++i) {
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
    }
    QFile::remove(output);
    if (!QFile::rename(temporary, output))
        return fail(QStringLiteral("cannot rename %1 to %2").arg(temporary, output));
    return 0;
}
