#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <memory>
#include <optional>

struct sqlite3;

// A small database object over SQLCipher's C API: one SQLite file, opened with
// an optional pass phrase. Rows come back as dictionaries keyed by table name,
// a point and column name ("Dorvanti.Model"); SQL NULL arrives as the null
// marker (isNullMarker()), every other value as its text.
class sqlcryptQuickLiteDatabase {
public:
    // The rows of one query, already read.
    class ResultSet {
    public:
        int rowCount() const { return static_cast<int>(m_rows.size()); }
        // The row's dictionary; empty for an index outside the result.
        QVariantMap valuesForRow(int row) const;
        void appendRow(QVariantMap row) { m_rows.append(std::move(row)); }

    private:
        QList<QVariantMap> m_rows;
    };

    // Cache methods of the wrapper's open step (kept, not used: the device
    // database is read-only and small).
    enum CacheMethod { DoNotCacheData = 0, CacheDataOnDemand = 1, CacheAllData = 2 };

    // initWithFile: an object for the file, not yet open.
    explicit sqlcryptQuickLiteDatabase(QString path);
    ~sqlcryptQuickLiteDatabase();
    sqlcryptQuickLiteDatabase(const sqlcryptQuickLiteDatabase&) = delete;
    sqlcryptQuickLiteDatabase& operator=(const sqlcryptQuickLiteDatabase&) = delete;

    static std::unique_ptr<sqlcryptQuickLiteDatabase> databaseWithFile(const QString& path);

    const QString& path() const { return m_path; }

    // Kept for the next open. An empty phrase (the default) opens the file
    // unencrypted.
    void setPassPhrase(const QByteArray& passPhrase);
    const std::optional<QByteArray>& passPhrase() const { return _passPhrase; }

    // Opens an existing file read-only, with the pass phrase applied.
    bool open();
    // The open step: createSchema asks for the schema table in a database that
    // has no tables yet (the file is then opened for writing and created when
    // missing). A wrong pass phrase or a file that is not a database fails
    // here, with lastError() telling why.
    bool open(bool createSchema, int cacheMethod, bool exposeSQL, bool debug);
    // Opens the file for writing, creating it when missing, with the pass
    // phrase applied (for building a database).
    bool create();
    void close();
    bool isOpen() const { return m_db != nullptr; }

    QString lastError() const { return m_lastError; }
    int lastErrorID() const { return m_lastErrorID; }

    // Runs one statement. Every "?" of the SQL text takes the next value of
    // bindings as a bound parameter (texts as text, numbers as numbers, an
    // invalid value as NULL). Answers nothing when the statement fails.
    std::optional<ResultSet> performQuery(const QString& sql, const QVariantList& bindings = {});
    // Runs a script of statements (building a database). False on the first
    // failing statement.
    bool executeScript(const QString& sql);

    QStringList tableNames();

    // The value that stands for SQL NULL in a row.
    static QVariant nullMarker();
    static bool isNullMarker(const QVariant& value);

private:
    bool openWithFlags(int flags, bool createSchema);
    void setLastError(const QString& text, int code);

    QString m_path;
    std::optional<QByteArray> _passPhrase;
    sqlite3* m_db = nullptr;
    QString m_lastError;
    int m_lastErrorID = 0;
    bool m_exposeSQL = false;
    bool m_debug = false;
};
