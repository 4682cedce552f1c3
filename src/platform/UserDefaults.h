#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <memory>

namespace platform {

// The program's user defaults: registered defaults under a persistent domain
// kept as a property list at configHome()/MarvestoLG/<domain>.plist.
// Lookups search the persistent domain first, then the registered defaults.
// Main thread only (like the original, writers serialise on the main loop).
class UserDefaults {
public:
    static UserDefaults& standard();

    explicit UserDefaults(QString domain);
    ~UserDefaults();

    QString filePath() const;

    void registerDefaults(const QVariantMap& defaults);

    QVariant object(const QString& key) const;       // invalid when absent
    void setObject(const QString& key, const QVariant& value); // invalid removes
    void remove(const QString& key);
    bool contains(const QString& key) const;         // in either domain

    QString string(const QString& key) const;        // strings only, else ""
    bool boolValue(const QString& key) const;        // platform::values::toBool
    int integer(const QString& key) const;
    double doubleValue(const QString& key) const;
    QVariantList array(const QString& key) const;    // lists only, else empty
    QVariantMap dictionary(const QString& key) const;// maps only, else empty

    QVariantMap persistentDomain() const;

    // Writes the persistent domain atomically when it changed. Answers false
    // when the write failed.
    bool synchronize();
    // Re-reads the file, dropping unsaved changes (tests, and a fresh HOME).
    void reload();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace platform
