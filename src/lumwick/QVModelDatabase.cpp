#include "lumwick/QVModelDatabase.h"

#include <QFile>

#include <sqlite3.h>

namespace {
QString& pathOverride()
{
    static QString path;
    return path;
}
} // namespace

QVModelDatabase::~QVModelDatabase()
{
    if (_db)
        sqlite3_close(_db);
}

QString QVModelDatabase::defaultPath()
{
    if (!pathOverride().isEmpty())
        return pathOverride();
    const QString fromEnvironment = qEnvironmentVariable("MARVESTO_MODEL_DB");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
#ifdef MARVESTO_MODELDB_FILE
    return QStringLiteral(MARVESTO_MODELDB_FILE);
#else
    return QString::fromLatin1(kResourceName) + u'.' + QString::fromLatin1(kResourceType);
#endif
}

void QVModelDatabase::setDefaultPath(const QString& path)
{
    pathOverride() = path;
}

bool QVModelDatabase::open(const QString& path)
{
    if (_db)
        return true;
    const QByteArray file = QFile::encodeName(path.isEmpty() ? defaultPath() : path);
    sqlite3* db = nullptr;
    const int status = sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    // A file that is no database (or none at all) fails at the first read.
    if (status == SQLITE_OK
        && sqlite3_exec(db, "SELECT count(*) FROM MacMyPhone", nullptr, nullptr, nullptr) == SQLITE_OK) {
        _db = db;
        return true;
    }
    _lastError = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(status));
    sqlite3_close(db);
    return false;
}

std::optional<QList<QVariantMap>> QVModelDatabase::rowsForUSB(int vendor, int product)
{
    if (!_db) {
        _lastError = QStringLiteral("not open");
        return std::nullopt;
    }
    const QByteArray sql = QString::asprintf(kByUSBQuery, vendor, product, product).toUtf8();
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(_db, sql.constData(), int(sql.size()), &statement, nullptr) != SQLITE_OK) {
        _lastError = QString::fromUtf8(sqlite3_errmsg(_db));
        return std::nullopt;
    }
    QList<QVariantMap> rows;
    int status = SQLITE_ROW;
    while (rows.size() < kMaxRows && (status = sqlite3_step(statement)) == SQLITE_ROW) {
        QVariantMap row;
        for (int column = 0; column < sqlite3_column_count(statement); ++column) {
            const QString key = QStringLiteral("MacMyPhone.")
                + QString::fromUtf8(sqlite3_column_name(statement, column));
            switch (sqlite3_column_type(statement, column)) {
            case SQLITE_INTEGER:
                row.insert(key, qint64(sqlite3_column_int64(statement, column)));
                break;
            case SQLITE_NULL:
                break;
            default:
                row.insert(key,
                           QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column))));
                break;
            }
        }
        rows.append(row);
    }
    const bool failed = status != SQLITE_ROW && status != SQLITE_DONE;
    _lastError = failed ? QString::fromUtf8(sqlite3_errmsg(_db)) : QStringLiteral("not an error");
    sqlite3_finalize(statement);
    if (failed)
        return std::nullopt;
    return rows;
}
