#include "syncmodel/QVSmsElem.h"

#include "syncmodel/SmsRecords.h"

#include <QLocale>
#include <QTimeZone>
#include <atomic>

namespace {

std::atomic<quint64> g_nextSmsElemHash{1};

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

bool storedBool(const QVariant& value)
{
    return value.typeId() == QMetaType::Bool && value.toBool();
}

int compareTexts(const QString& a, const QString& b)
{
    const int c = QString::compare(a, b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace

QVSmsElem::QVSmsElem(const QVariantMap& record)
    : QVSyncElem(record, record.value(key(smsrecord::kDate)).toString(), QString(), QString(), QString())
    , _hash(g_nextSmsElemHash.fetch_add(1))
{
}

std::shared_ptr<QVSmsElem> QVSmsElem::elemWithRecord(const QVariantMap& record)
{
    QVariantMap clean = record;
    const bool read = storedBool(clean.take(key(smsrecord::kStoredMarkedRead)));
    const bool old = storedBool(clean.take(key(smsrecord::kStoredOldMessage)));
    auto elem = std::make_shared<QVSmsElem>(clean);
    elem->_markedRead = read;
    elem->_oldMessage = old;
    return elem;
}

std::shared_ptr<QVSyncElem> QVSmsElem::copy() const
{
    auto elem = std::make_shared<QVSmsElem>(record());
    elem->_markedRead = _markedRead;
    elem->_oldMessage = _oldMessage;
    return elem;
}

QVariantMap QVSmsElem::storedRecord() const
{
    QVariantMap stored = record();
    stored.insert(key(smsrecord::kStoredMarkedRead), _markedRead);
    stored.insert(key(smsrecord::kStoredOldMessage), _oldMessage);
    return stored;
}

QString QVSmsElem::field(const char* name) const
{
    const QVariant value = _vxData.toMap().value(key(name));
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

QString QVSmsElem::typeString() const
{
    return field(smsrecord::kType);
}
QString QVSmsElem::typeName() const
{
    return field(smsrecord::kName);
}
QString QVSmsElem::smsNumber() const
{
    return field(smsrecord::kNumber);
}
QString QVSmsElem::smsString() const
{
    return field(smsrecord::kText);
}
QString QVSmsElem::dateString() const
{
    return field(smsrecord::kDate);
}
QString QVSmsElem::memIndexes() const
{
    return field(smsrecord::kMemIndexes);
}

int QVSmsElem::intBoxIsLocal() const
{
    return _vxData.toMap().value(key(smsrecord::kBoxIsLocal)).toInt();
}

bool QVSmsElem::isOnPhone() const
{
    return storedBool(_vxData.toMap().value(key(smsrecord::kIsOnPhone)));
}

int QVSmsElem::boxIsLocalComparisation(const QVSmsElem& other) const
{
    const int mine = intBoxIsLocal();
    const int theirs = other.intBoxIsLocal();
    if (mine != theirs)
        return mine < theirs ? -1 : 1;
    return compareTexts(typeName(), other.typeName());
}

QString QVSmsElem::formattedDateString() const
{
    const QString date = dateString();
    if (date.startsWith(key(smsrecord::kNoDatePrefix)))
        return QString();
    QDateTime time = QDateTime::fromString(date.left(16), key(smsrecord::kGmtKeyFormat));
    if (!time.isValid())
        return QString();
    time.setTimeZone(QTimeZone::utc());
    return QLocale().toString(time.toLocalTime(), QLocale::ShortFormat);
}

QVariantMap QVSmsElem::getDragDictionary() const
{
    QVariantMap drag = record();
    drag.insert(key(smsrecord::kSelfKey), QVariant::fromValue<quint64>(_hash));
    return drag;
}

void QVSmsElem::moveToBox(const QString& box)
{
    QVariantMap changed = record();
    changed.insert(key(smsrecord::kType), box);
    _vxData = changed;
}

QString QVSmsElem::getIdentityString() const
{
    return typeString() + QLatin1Char('/') + dateString();
}

int QVSmsElem::defaultComparisation(const QVSyncElem& other) const
{
    const auto* sms = dynamic_cast<const QVSmsElem*>(&other);
    return sms ? compareTexts(dateString(), sms->dateString()) : 0;
}

int QVSmsElem::smsComparisation(const QVSyncElem& other) const
{
    const auto* sms = dynamic_cast<const QVSmsElem*>(&other);
    return sms ? compareTexts(smsString(), sms->smsString()) : 0;
}

int QVSmsElem::dateComparisation(const QVSyncElem& other) const
{
    return defaultComparisation(other);
}

QString QVSmsElem::allContentString() const
{
    return QStringList{typeName(), smsNumber(), smsString()}.join(QLatin1Char('\n'));
}

QString QVSmsElem::description() const
{
    return QStringLiteral("<QVSmsElem> %1 %2").arg(typeString(), dateString());
}
