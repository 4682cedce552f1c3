#include "foundation/DictionaryHdlr.h"

#include "foundation/QuorNSDictionaryExtensions.h"
#include "platform/Values.h"

namespace values = platform::values;

namespace {

// The entry of a non-empty key; invalid when absent.
QVariant entry(const QVariantMap& dict, const QString& key)
{
    return key.isEmpty() ? QVariant() : dict.value(key);
}

template <typename Int>
Int narrowed(const QVariant& value)
{
    return static_cast<Int>(values::toLongLong(value));
}

} // namespace

DictionaryHdlr::DictionaryHdlr() = default;

DictionaryHdlr::DictionaryHdlr(std::shared_ptr<QVariantMap> dict)
    : _theDict(std::move(dict))
{
}

DictionaryHdlr::~DictionaryHdlr() = default;

std::shared_ptr<DictionaryHdlr> DictionaryHdlr::allocDictionaryHdlr(std::shared_ptr<QVariantMap> dict)
{
    if (!dict)
        return nullptr;
    return std::make_shared<DictionaryHdlr>(std::move(dict));
}

std::shared_ptr<DictionaryHdlr> DictionaryHdlr::allocDictionaryHdlr(const QVariant& object)
{
    if (object.metaType().id() != QMetaType::QVariantMap)
        return nullptr;
    return std::make_shared<DictionaryHdlr>(std::make_shared<QVariantMap>(object.toMap()));
}

QVariant DictionaryHdlr::stringValue(const QString& key) const
{
    const QVariant value = objectForKey(key);
    return value.isValid() ? value : QVariant(QString(QLatin1String("")));
}

bool DictionaryHdlr::boolValue(const QString& key) const
{
    return values::toBool(objectForKey(key));
}

double DictionaryHdlr::doubleValue(const QString& key) const
{
    return values::toDouble(objectForKey(key));
}

float DictionaryHdlr::floatValue(const QString& key) const
{
    return static_cast<float>(values::toDouble(objectForKey(key)));
}

unsigned long long DictionaryHdlr::unsignedLongLongValue(const QString& key) const
{
    return values::toULongLong(objectForKey(key));
}

long long DictionaryHdlr::longLongValue(const QString& key) const
{
    return values::toLongLong(objectForKey(key));
}

unsigned long DictionaryHdlr::unsignedLongValue(const QString& key) const
{
    return static_cast<unsigned long>(values::toULongLong(objectForKey(key)));
}

long DictionaryHdlr::longValue(const QString& key) const
{
    return static_cast<long>(values::toLongLong(objectForKey(key)));
}

unsigned int DictionaryHdlr::unsignedIntValue(const QString& key) const
{
    return narrowed<unsigned int>(objectForKey(key));
}

int DictionaryHdlr::intValue(const QString& key) const
{
    return values::toInt(objectForKey(key));
}

unsigned short DictionaryHdlr::unsignedShortValue(const QString& key) const
{
    return narrowed<unsigned short>(objectForKey(key));
}

short DictionaryHdlr::shortValue(const QString& key) const
{
    return narrowed<short>(objectForKey(key));
}

unsigned char DictionaryHdlr::unsignedCharValue(const QString& key) const
{
    return narrowed<unsigned char>(objectForKey(key));
}

signed char DictionaryHdlr::charValue(const QString& key) const
{
    return narrowed<signed char>(objectForKey(key));
}

bool DictionaryHdlr::noCaseCotainsKey(const QString& key) const
{
    return noCaseObjectForKey(key).isValid();
}

bool DictionaryHdlr::cotainsKey(const QString& key) const
{
    return objectForKey(key).isValid();
}

QVariant DictionaryHdlr::noCaseObjectForKey(const QString& key) const
{
    if (!_theDict)
        return {};
    return ::noCaseObjectForKey(*_theDict, key);
}

QVariant DictionaryHdlr::objectForKey(const QString& key) const
{
    if (!_theDict)
        return {};
    return _theDict->value(key);
}

bool DictionaryHdlr::isEmpty() const
{
    return !_theDict || _theDict->isEmpty();
}

std::shared_ptr<QVariantMap> DictionaryHdlr::theDict() const
{
    return _theDict;
}

bool getBoolValue(const QVariantMap& dict, const QString& key)
{
    return values::toBool(entry(dict, key));
}

int getIntValue(const QVariantMap& dict, const QString& key)
{
    return values::toInt(entry(dict, key));
}

double getDoubleValue(const QVariantMap& dict, const QString& key)
{
    return values::toDouble(entry(dict, key));
}

float getFloatValue(const QVariantMap& dict, const QString& key)
{
    return static_cast<float>(values::toDouble(entry(dict, key)));
}
