#pragma once

#include <QList>
#include <QString>
#include <QVariantMap>

#include <optional>

struct sqlite3;

// The wizard's model database (resource "quor-uncrypted" of type "sqlite"):
// the table MacMyPhone names a model's id by its USB vendor and product ids.
// Opened read-only, unencrypted.
class QVModelDatabase {
public:
    static constexpr const char* kResourceName = "quor-uncrypted";
    static constexpr const char* kResourceType = "sqlite";
    static constexpr const char* kByUSBQuery =
        "SELECT * FROM MacMyPhone where USB_Vendor=%d and (DT_USB_Model=%d or PS_USB_Model=%d)";
    // A look-up never hands back more rows than this.
    static constexpr int kMaxRows = 64;

    QVModelDatabase() = default;
    ~QVModelDatabase();
    QVModelDatabase(const QVModelDatabase&) = delete;
    QVModelDatabase& operator=(const QVModelDatabase&) = delete;

    // The built file, unless MARVESTO_MODEL_DB or setDefaultPath() names
    // another (an empty path returns to that choice).
    static QString defaultPath();
    static void setDefaultPath(const QString& path);

    bool open(const QString& path = QString());
    bool isOpen() const { return _db != nullptr; }
    // The rows for a vendor and product id ("MacMyPhone.<column>" keys);
    // nullopt when the query failed.
    std::optional<QList<QVariantMap>> rowsForUSB(int vendor, int product);
    QString lastError() const { return _lastError; }

private:
    sqlite3* _db = nullptr;
    QString _lastError;
};
