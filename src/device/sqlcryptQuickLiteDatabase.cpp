#include "device/sqlcryptQuickLiteDatabase.h"

#include "device/DeviceLog.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

#include <QDebug>
#include <QFile>

namespace {

constexpr const char kSchemaTableError[] =
    "Error opening the database:could not create the table 'QLP_SchemaTable'. %1 (%2)";

} // namespace

QVariantMap sqlcryptQuickLiteDatabase::ResultSet::valuesForRow(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    return m_rows.at(row);
}

sqlcryptQuickLiteDatabase::sqlcryptQuickLiteDatabase(QString path)
    : m_path(std::move(path))
{
}

sqlcryptQuickLiteDatabase::~sqlcryptQuickLiteDatabase()
{
    close();
}

std::unique_ptr<sqlcryptQuickLiteDatabase> sqlcryptQuickLiteDatabase::databaseWithFile(const QString& path)
{
    return std::make_unique<sqlcryptQuickLiteDatabase>(path);
}

void sqlcryptQuickLiteDatabase::setPassPhrase(const QByteArray& passPhrase)
{
    if (passPhrase.isEmpty())
        _passPhrase.reset();
    else
        _passPhrase = passPhrase;
}

bool sqlcryptQuickLiteDatabase::open()
{
    return open(false, DoNotCacheData, false, false);
}

bool sqlcryptQuickLiteDatabase::open(bool createSchema, int cacheMethod, bool exposeSQL, bool debug)
{
    m_debug = debug;
    if (m_debug)
        qCInfo(lcDevice).noquote() << QStringLiteral("sqlcryptQuickLiteDatabase open: %1 (schema %2, cache %3)")
                                          .arg(m_path)
                                          .arg(createSchema)
                                          .arg(cacheMethod);
    const int flags = createSchema ? (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) : SQLITE_OPEN_READONLY;
    if (!openWithFlags(flags, createSchema))
        return false;
    m_exposeSQL = exposeSQL;
    return true;
}

bool sqlcryptQuickLiteDatabase::create()
{
    return openWithFlags(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, false);
}

bool sqlcryptQuickLiteDatabase::openWithFlags(int flags, bool createSchema)
{
    close();
    const QByteArray fsPath = QFile::encodeName(m_path);
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(fsPath.constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        setLastError(db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory"), rc);
        sqlite3_close(db);
        return false;
    }
    if (_passPhrase) {
        // The pass phrase as NUL-free bytes; the last error stays as it was
        // when the extension refuses it.
        if (sqlite3_key(db, _passPhrase->constData(), static_cast<int>(_passPhrase->size())) != SQLITE_OK) {
            sqlite3_close(db);
            return false;
        }
    }
    // SQLCipher only notices a wrong pass phrase (or a file that is no
    // database) at the first read: read the schema now so open fails instead.
    char* error = nullptr;
    const int check = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &error);
    if (check != SQLITE_OK) {
        setLastError(error ? QString::fromUtf8(error) : QString::fromUtf8(sqlite3_errmsg(db)), check);
        sqlite3_free(error);
        sqlite3_close(db);
        return false;
    }
    m_db = db;

    if (createSchema && tableNames().isEmpty()) {
        const auto made = performQuery(QStringLiteral(
            "CREATE TABLE QLP_SchemaTable (QLP_TableIdentifier QLString, QLP_ColumnIdentifier QLString, "
            "QLP_DatatypeIdentifier QLString)"));
        if (!made) {
            qCWarning(lcDevice).noquote() << QString::fromLatin1(kSchemaTableError).arg(m_lastError).arg(m_lastErrorID);
            close();
            return false;
        }
    }
    setLastError(QString(), SQLITE_OK);
    return true;
}

void sqlcryptQuickLiteDatabase::close()
{
    if (m_db) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

void sqlcryptQuickLiteDatabase::setLastError(const QString& text, int code)
{
    m_lastError = text;
    m_lastErrorID = code;
}

std::optional<sqlcryptQuickLiteDatabase::ResultSet>
sqlcryptQuickLiteDatabase::performQuery(const QString& sql, const QVariantList& bindings)
{
    if (!m_db) {
        setLastError(QStringLiteral("database not open"), SQLITE_MISUSE);
        return std::nullopt;
    }
    if (m_debug || m_exposeSQL)
        qCInfo(lcDevice).noquote() << "SQL:" << sql;

    sqlite3_stmt* stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    int rc = sqlite3_prepare_v2(m_db, text.constData(), static_cast<int>(text.size()), &stmt, nullptr);
    // Finalized on every way out.
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(stmt, &sqlite3_finalize);
    if (rc != SQLITE_OK) {
        setLastError(QString::fromUtf8(sqlite3_errmsg(m_db)), rc);
        return std::nullopt;
    }
    const int parameterCount = sqlite3_bind_parameter_count(stmt);
    if (parameterCount != bindings.size()) {
        setLastError(QStringLiteral("%1 parameters for %2 values").arg(parameterCount).arg(bindings.size()),
                     SQLITE_RANGE);
        return std::nullopt;
    }
    for (int i = 0; i < bindings.size(); ++i) {
        const QVariant& value = bindings.at(i);
        const int index = i + 1;
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::Bool:
            rc = sqlite3_bind_int64(stmt, index, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(stmt, index, value.toDouble());
            break;
        default:
            if (!value.isValid() || isNullMarker(value)) {
                rc = sqlite3_bind_null(stmt, index);
            } else {
                const QByteArray bytes = value.toString().toUtf8();
                rc = sqlite3_bind_text(stmt, index, bytes.constData(), static_cast<int>(bytes.size()),
                                       SQLITE_TRANSIENT);
            }
            break;
        }
        if (rc != SQLITE_OK) {
            setLastError(QString::fromUtf8(sqlite3_errmsg(m_db)), rc);
            return std::nullopt;
        }
    }

    ResultSet result;
    const int columns = sqlite3_column_count(stmt);
    QStringList keys;
    keys.reserve(columns);
    for (int c = 0; c < columns; ++c) {
        const char* table = sqlite3_column_table_name(stmt, c);
        const QString column = QString::fromUtf8(sqlite3_column_name(stmt, c));
        keys.append(table ? QString::fromUtf8(table) + QLatin1Char('.') + column : column);
    }
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        QVariantMap row;
        for (int c = 0; c < columns; ++c) {
            if (sqlite3_column_type(stmt, c) == SQLITE_NULL) {
                row.insert(keys.at(c), nullMarker());
            } else {
                const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
                const int size = sqlite3_column_bytes(stmt, c);
                row.insert(keys.at(c), QString::fromUtf8(bytes, size));
            }
        }
        result.appendRow(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        setLastError(QString::fromUtf8(sqlite3_errmsg(m_db)), rc);
        return std::nullopt;
    }
    return result;
}

bool sqlcryptQuickLiteDatabase::executeScript(const QString& sql)
{
    if (!m_db) {
        setLastError(QStringLiteral("database not open"), SQLITE_MISUSE);
        return false;
    }
    char* error = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        setLastError(error ? QString::fromUtf8(error) : QString::fromUtf8(sqlite3_errmsg(m_db)), rc);
        sqlite3_free(error);
        return false;
    }
    return true;
}

QStringList sqlcryptQuickLiteDatabase::tableNames()
{
    QStringList names;
    const auto rows = performQuery(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
    if (!rows)
        return names;
    for (int i = 0; i < rows->rowCount(); ++i) {
        const QVariantMap row = rows->valuesForRow(i);
        if (!row.isEmpty())
            names.append(row.first().toString());
    }
    return names;
}

QVariant sqlcryptQuickLiteDatabase::nullMarker()
{
    return QVariant::fromValue(nullptr);
}

bool sqlcryptQuickLiteDatabase::isNullMarker(const QVariant& value)
{
    return value.typeId() == QMetaType::Nullptr;
}
