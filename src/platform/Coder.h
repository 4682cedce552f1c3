#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

// Archives of objects (the platform's coders). A keyed coder holds values by
// key and, besides, unkeyed values in the order they were written; a
// sequential coder holds only unkeyed values. An object writes itself into a
// coder and reads itself back from one; the archive's bytes are an XML
// property list. Values are property-list values (strings, numbers,
// booleans, data, lists, dictionaries).
namespace platform {

class Coder {
public:
    enum class Kind { Keyed, Sequential };

    // An empty coder to write into.
    explicit Coder(Kind kind = Kind::Keyed);

    bool allowsKeyedCoding() const { return m_kind == Kind::Keyed; }

    // Unkeyed values: written in order, read back in the same order.
    void encodeValue(const QVariant& value);
    // The next unkeyed value; invalid when none is left.
    QVariant decodeValue();

    // Keyed values; a sequential coder throws platform::Exception
    // ("NSInvalidArgumentException") for these.
    void encodeObject(const QString& key, const QVariant& value);
    bool containsValueForKey(const QString& key) const;
    // Invalid when absent.
    QVariant decodeObjectForKey(const QString& key) const;

    // The archive as a property-list value, and as XML bytes.
    QVariant archive() const;
    QByteArray archivedData() const;
    // A coder reading an archive; nullopt (with *error) for bytes that are no
    // archive of this kind.
    static std::optional<Coder> fromArchive(const QVariant& archive, Kind kind = Kind::Keyed,
                                            QString* error = nullptr);
    static std::optional<Coder> fromArchivedData(const QByteArray& data, Kind kind = Kind::Keyed,
                                                 QString* error = nullptr);

private:
    void requireKeyed(const char* method) const;

    Kind m_kind;
    QVariantMap m_keyed;
    QVariantList m_unkeyed;
    qsizetype m_nextUnkeyed = 0;
};

} // namespace platform
