#pragma once

#include "foundation/DictionaryHdlr.h"

// Writes to a shared settings dictionary that store a value only when it
// really changes, so the caller can tell afterwards whether anything was
// modified (isModify).
//
// The numberWith... setters read the present entry back with the getter of
// the same type and store nothing when it already equals the new value; so a
// stored value that differs only outside the type's range counts as equal (a
// stored 300 is 44 as unsigned char). Otherwise the entry is replaced.
// setObject and removeObjectForKey always mark the wrapper modified, even
// when they change nothing.
class MutableDictionaryHdlr : public DictionaryHdlr {
public:
    // A wrapper with no dictionary: writes only mark it modified.
    MutableDictionaryHdlr();
    explicit MutableDictionaryHdlr(std::shared_ptr<QVariantMap> dict);
    ~MutableDictionaryHdlr() override;

    // Around a new empty dictionary.
    static std::shared_ptr<MutableDictionaryHdlr> allocEmptyMutableDictionaryHdlr();
    // Around a new copy of the dictionary; null unless object holds one.
    static std::shared_ptr<MutableDictionaryHdlr> allocCopiedDictionaryHdlr(const QVariant& object);
    static std::shared_ptr<MutableDictionaryHdlr> allocCopiedDictionaryHdlr(const QVariantMap& dict);
    // Around the given dictionary itself; null for a null dictionary.
    static std::shared_ptr<MutableDictionaryHdlr> allocMutableDictionaryHdlr(std::shared_ptr<QVariantMap> dict);

    // Nothing happens when the key holds a string equal to value. Otherwise
    // the entry is removed and a non-null value stored: a null value removes
    // the key (and changes nothing for an absent key).
    void setStringValue(const QString& value, const QString& key);

    void numberWithBool(bool value, const QString& key);
    void numberWithDouble(double value, const QString& key);
    void numberWithFloat(float value, const QString& key);
    void numberWithUnsignedLongLong(unsigned long long value, const QString& key);
    void numberWithLongLong(long long value, const QString& key);
    void numberWithUnsignedLong(unsigned long value, const QString& key);
    void numberWithLong(long value, const QString& key);
    void numberWithUnsignedInt(unsigned int value, const QString& key);
    void numberWithInt(int value, const QString& key);
    void numberWithUnsignedShort(unsigned short value, const QString& key);
    void numberWithShort(short value, const QString& key);
    void numberWithUnsignedChar(unsigned char value, const QString& key);
    void numberWithChar(signed char value, const QString& key);

    // Marks the wrapper modified; an invalid object removes the key.
    void setObject(const QVariant& object, const QString& key);
    // Marks the wrapper modified; removes the key.
    void removeObjectForKey(const QString& key);

    bool isModify() const;

private:
    template <typename T>
    void storeIfDifferent(T value, T stored, const QString& key, const QVariant& number);

    bool _isModify = false;
};
