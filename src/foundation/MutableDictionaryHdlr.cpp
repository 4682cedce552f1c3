#include "foundation/MutableDictionaryHdlr.h"

#include "platform/Values.h"

#include <limits>

namespace {

// Numbers are stored the way a property list reads them back: integers as
// qlonglong (qulonglong above its range), reals as double, booleans as bool.
QVariant integerNumber(long long value)
{
    return QVariant(static_cast<qlonglong>(value));
}

QVariant unsignedNumber(unsigned long long value)
{
    if (value > static_cast<unsigned long long>(std::numeric_limits<qlonglong>::max()))
        return QVariant(static_cast<qulonglong>(value));
    return QVariant(static_cast<qlonglong>(value));
}

} // namespace

MutableDictionaryHdlr::MutableDictionaryHdlr() = default;

MutableDictionaryHdlr::MutableDictionaryHdlr(std::shared_ptr<QVariantMap> dict)
    : DictionaryHdlr(std::move(dict))
{
}

MutableDictionaryHdlr::~MutableDictionaryHdlr() = default;

std::shared_ptr<MutableDictionaryHdlr> MutableDictionaryHdlr::allocEmptyMutableDictionaryHdlr()
{
    return std::make_shared<MutableDictionaryHdlr>(std::make_shared<QVariantMap>());
}

std::shared_ptr<MutableDictionaryHdlr> MutableDictionaryHdlr::allocCopiedDictionaryHdlr(const QVariant& object)
{
    if (object.metaType().id() != QMetaType::QVariantMap)
        return nullptr;
    return allocCopiedDictionaryHdlr(object.toMap());
}

std::shared_ptr<MutableDictionaryHdlr> MutableDictionaryHdlr::allocCopiedDictionaryHdlr(const QVariantMap& dict)
{
    return std::make_shared<MutableDictionaryHdlr>(std::make_shared<QVariantMap>(dict));
}

std::shared_ptr<MutableDictionaryHdlr>
MutableDictionaryHdlr::allocMutableDictionaryHdlr(std::shared_ptr<QVariantMap> dict)
{
    if (!dict)
        return nullptr;
    return std::make_shared<MutableDictionaryHdlr>(std::move(dict));
}

void MutableDictionaryHdlr::setStringValue(const QString& value, const QString& key)
{
    const bool present = cotainsKey(key);
    if (present && !value.isNull()) {
        const QVariant stored = objectForKey(key);
        if (platform::values::isString(stored) && stored.toString() == value)
            return;
    }
    if (present)
        removeObjectForKey(key);
    if (!value.isNull())
        setObject(value, key);
}

template <typename T>
void MutableDictionaryHdlr::storeIfDifferent(T value, T stored, const QString& key, const QVariant& number)
{
    if (cotainsKey(key)) {
        if (stored == value)
            return;
        removeObjectForKey(key);
    }
    setObject(number, key);
}

void MutableDictionaryHdlr::numberWithBool(bool value, const QString& key)
{
    storeIfDifferent(value, boolValue(key), key, QVariant(value));
}

void MutableDictionaryHdlr::numberWithDouble(double value, const QString& key)
{
    storeIfDifferent(value, doubleValue(key), key, QVariant(value));
}

void MutableDictionaryHdlr::numberWithFloat(float value, const QString& key)
{
    storeIfDifferent(value, floatValue(key), key, QVariant(static_cast<double>(value)));
}

void MutableDictionaryHdlr::numberWithUnsignedLongLong(unsigned long long value, const QString& key)
{
    storeIfDifferent(value, unsignedLongLongValue(key), key, unsignedNumber(value));
}

void MutableDictionaryHdlr::numberWithLongLong(long long value, const QString& key)
{
    storeIfDifferent(value, longLongValue(key), key, integerNumber(value));
}

void MutableDictionaryHdlr::numberWithUnsignedLong(unsigned long value, const QString& key)
{
    storeIfDifferent(value, unsignedLongValue(key), key, unsignedNumber(value));
}

void MutableDictionaryHdlr::numberWithLong(long value, const QString& key)
{
    storeIfDifferent(value, longValue(key), key, integerNumber(value));
}

void MutableDictionaryHdlr::numberWithUnsignedInt(unsigned int value, const QString& key)
{
    storeIfDifferent(value, unsignedIntValue(key), key, integerNumber(value));
}

void MutableDictionaryHdlr::numberWithInt(int value, const QString& key)
{
    storeIfDifferent(value, intValue(key), key, integerNumber(value));
}

void MutableDictionaryHdlr::numberWithUnsignedShort(unsigned short value, const QString& key)
{
    storeIfDifferent(value, unsignedShortValue(key), key, integerNumber(value));
}

void MutableDictionaryHdlr::numberWithShort(short value, const QString& key)
{
    storeIfDifferent(value, shortValue(key), key, integerNumber(value));
}

void MutableDictionaryHdlr::numberWithUnsignedChar(unsigned char value, const QString& key)
{
    storeIfDifferent(value, unsignedCharValue(key), key, integerNumber(value));
}

void MutableDictionaryHdlr::numberWithChar(signed char value, const QString& key)
{
    storeIfDifferent(value, charValue(key), key, integerNumber(value));
}

void MutableDictionaryHdlr::setObject(const QVariant& object, const QString& key)
{
    _isModify = true;
    if (!_theDict)
        return;
    if (!object.isValid())
        _theDict->remove(key);
    else
        _theDict->insert(key, object);
}

void MutableDictionaryHdlr::removeObjectForKey(const QString& key)
{
    _isModify = true;
    if (_theDict)
        _theDict->remove(key);
}

bool MutableDictionaryHdlr::isModify() const
{
    return _isModify;
}
