#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <memory>

// Typed reads of a settings dictionary whose values may be numbers or strings.
// The dictionary is shared, not copied: changes made through a
// MutableDictionaryHdlr on the same dictionary are seen here.
//
// Numeric reads answer 0 (false, 0.0) for an absent key; otherwise numbers
// and numeric strings convert by the platform's rules (platform::values), and
// narrower types truncate like a C conversion (a stored 300 read as unsigned
// char is 44). A string's boolean value is the program's rule: true for a
// non-zero integer value or a first character 'Y' or 'y'.
class DictionaryHdlr {
public:
    // A wrapper with no dictionary.
    DictionaryHdlr();
    // initWithDict: wraps the dictionary itself.
    explicit DictionaryHdlr(std::shared_ptr<QVariantMap> dict);
    virtual ~DictionaryHdlr();

    // Null for a null dictionary.
    static std::shared_ptr<DictionaryHdlr> allocDictionaryHdlr(std::shared_ptr<QVariantMap> dict);
    // Null unless the value holds a dictionary (wrapped as a copy of it).
    static std::shared_ptr<DictionaryHdlr> allocDictionaryHdlr(const QVariant& object);

    // The stored value unchanged (whatever its type), or "" when absent.
    QVariant stringValue(const QString& key) const;

    bool boolValue(const QString& key) const;
    double doubleValue(const QString& key) const;
    float floatValue(const QString& key) const;
    unsigned long long unsignedLongLongValue(const QString& key) const;
    long long longLongValue(const QString& key) const;
    unsigned long unsignedLongValue(const QString& key) const;
    long longValue(const QString& key) const;
    unsigned int unsignedIntValue(const QString& key) const;
    int intValue(const QString& key) const;
    unsigned short unsignedShortValue(const QString& key) const;
    short shortValue(const QString& key) const;
    unsigned char unsignedCharValue(const QString& key) const;
    signed char charValue(const QString& key) const;

    bool noCaseCotainsKey(const QString& key) const;
    bool cotainsKey(const QString& key) const;
    QVariant noCaseObjectForKey(const QString& key) const;   // invalid when absent
    QVariant objectForKey(const QString& key) const;         // invalid when absent

    // True without a dictionary or for an empty one.
    bool isEmpty() const;
    std::shared_ptr<QVariantMap> theDict() const;

protected:
    std::shared_ptr<QVariantMap> _theDict;
};

// One-off reads: 0 for an empty key or an absent entry, else the entry's
// boolean, int, double or float value.
bool getBoolValue(const QVariantMap& dict, const QString& key);
int getIntValue(const QVariantMap& dict, const QString& key);
double getDoubleValue(const QVariantMap& dict, const QString& key);
float getFloatValue(const QVariantMap& dict, const QString& key);
