#include "organizer/trash/TrashElem.h"

#include "device/PhoneIconFromiSyncSearcher.h"
#include "organizer/trash/TrashKeys.h"
#include "platform/Clock.h"
#include "platform/gui/Images.h"
#include "syncmodel/QVVCalendarElem.h"
#include "syncmodel/QVVCardElem.h"

#include <QIcon>
#include <QLocale>
#include <QRegularExpression>

namespace {

constexpr int kTrashIconSide = 32;
const QString kTitleWithoutItem = QStringLiteral("???");

QString keyText(const char* key)
{
    return QString::fromLatin1(key);
}

bool isString(const QVariant& value)
{
    return value.typeId() == QMetaType::QString;
}

bool isInteger(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

QImage iconImage(const char* name)
{
    const QImage image = platform::gui::image(QStringLiteral("program"), QLatin1String(name));
    return image.isNull() ? image
                          : image.scaled(kTrashIconSide, kTrashIconSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// The desktop's icon for vCard files, else the program's phone-book picture.
QImage vCardFileIcon()
{
    const QIcon icon = QIcon::fromTheme(QStringLiteral("text-vcard"),
                                        QIcon::fromTheme(QStringLiteral("x-office-address-book")));
    if (!icon.isNull())
        return icon.pixmap(kTrashIconSide, kTrashIconSide).toImage();
    return iconImage("PhoneIcon");
}

} // namespace

TrashPhone TrashPhone::fromSettings(const QVariantMap& settings)
{
    auto text = [&](const char* key) {
        const QString value = settings.value(keyText(key)).toString();
        return value.isNull() ? QStringLiteral("") : value;
    };
    return {text(trashkeys::kSettingDeviceName), text(trashkeys::kSettingDeviceID),
            text(trashkeys::kSettingIdentifier)};
}

TrashElem::TrashElem(std::shared_ptr<QVSyncElem> elem, const TrashPhone& phone, bool isConflict,
                     const QDateTime& trashedDate)
    : _syncElem(std::move(elem))
    , _phone(phone)
    , _trashedDate(trashedDate)
    , _isConflict(isConflict)
    , _property(propertyOf(_syncElem.get()))
{
}

std::shared_ptr<TrashElem> TrashElem::trashElemListFromSyncElemAndDevice(std::shared_ptr<QVSyncElem> elem,
                                                                         const TrashPhone& phone,
                                                                         bool reasonWasConflict)
{
    return std::make_shared<TrashElem>(std::move(elem), phone, reasonWasConflict,
                                       platform::Clock::instance().currentDateTime());
}

std::shared_ptr<TrashElem> TrashElem::trashElemFromDictionary(const QVariantMap& entry, QString* why)
{
    auto fail = [why](const QString& reason) -> std::shared_ptr<TrashElem> {
        if (why)
            *why = reason;
        return nullptr;
    };
    for (const char* key : {trashkeys::kVxData, trashkeys::kDeviceName, trashkeys::kDeviceID,
                            trashkeys::kDeviceIdentifier, trashkeys::kTrashedDate}) {
        if (!isString(entry.value(keyText(key))))
            return fail(QStringLiteral("\"%1\" is missing or not a string").arg(keyText(key)));
    }
    const QVariant conflict = entry.value(keyText(trashkeys::kIsConflict));
    if (conflict.typeId() != QMetaType::Bool)
        return fail(QStringLiteral("\"isConflict\" is missing or not a boolean"));
    const QVariant property = entry.value(keyText(trashkeys::kProperty));
    const qlonglong wide = property.toLongLong();
    const int propertyValue = int(wide);
    if (!isInteger(property) || wide != propertyValue)
        return fail(QStringLiteral("\"property\" is missing or not an integer"));
    const QDateTime date = dateFromDescription(entry.value(keyText(trashkeys::kTrashedDate)).toString());
    if (!date.isValid())
        return fail(QStringLiteral("\"trashedDate\" is no date"));

    std::shared_ptr<TrashElem> made(new TrashElem);
    made->_phone = {entry.value(keyText(trashkeys::kDeviceName)).toString(),
                    entry.value(keyText(trashkeys::kDeviceID)).toString(),
                    entry.value(keyText(trashkeys::kDeviceIdentifier)).toString()};
    made->_trashedDate = date;
    made->_isConflict = conflict.toBool();
    made->_property = propertyValue;
    const QString text = entry.value(keyText(trashkeys::kVxData)).toString();
    if (propertyValue == 0)
        made->_syncElem = QVVCardElem::elemWithData(text, QString(), QString(), QString(), QString());
    else if (propertyValue == 1)
        made->_syncElem = QVVCalendarElem::elemWithData(text, QString(), QString(), QString(), QString());
    if ((propertyValue == 0 || propertyValue == 1) && !made->_syncElem)
        return fail(QStringLiteral("its text gives no item"));
    return made;
}

std::optional<QVariantMap> TrashElem::dictionaryForArchive() const
{
    if (!_syncElem)
        return std::nullopt;
    QVariantMap entry;
    entry.insert(keyText(trashkeys::kVxData), vxData());
    entry.insert(keyText(trashkeys::kDeviceName), _phone.deviceName);
    entry.insert(keyText(trashkeys::kDeviceID), _phone.deviceID);
    entry.insert(keyText(trashkeys::kDeviceIdentifier), _phone.deviceIdentifier);
    entry.insert(keyText(trashkeys::kTrashedDate), dateDescription(_trashedDate));
    entry.insert(keyText(trashkeys::kIsConflict), _isConflict);
    entry.insert(keyText(trashkeys::kProperty), _property);
    return entry;
}

QString TrashElem::vxData() const
{
    if (!_syncElem)
        return QString();
    const QString text = _syncElem->vxDataForDescription(nullptr).toString();
    return text.isNull() ? QStringLiteral("") : text;
}

QString TrashElem::formattedDate() const
{
    return QLocale().toString(_trashedDate.toLocalTime(), QStringLiteral("dd. MMM yy, HH:mm"));
}

QString TrashElem::getTitleForList() const
{
    return _syncElem ? _syncElem->elemDescription() : kTitleWithoutItem;
}

std::optional<TrashElem::FieldsAndContents> TrashElem::getFieldsAndContents() const
{
    if (!_syncElem)
        return std::nullopt;
    FieldsAndContents result;
    QList<quint32> types;
    result.fields.reserve(16);
    result.contents.reserve(16);
    if (!_syncElem->getFullDisplayData(result.fields, result.contents, types))
        return std::nullopt;
    return result;
}

QImage TrashElem::getPhoneIcon()
{
    if (!_deviceIcon) {
        QImage icon;
        const QString path = getPhoneIconForModel(_phone.deviceIdentifier);
        if (!path.isEmpty())
            icon = QImage(path);
        if (icon.isNull())
            icon = iconImage("PhoneIcon");
        _deviceIcon = icon;
    }
    return *_deviceIcon;
}

QImage TrashElem::getItemIcon()
{
    if (_itemIcon)
        return *_itemIcon;
    QImage icon;
    switch (_property) {
    case 0:
        if (auto* contact = dynamic_cast<QVVCardElem*>(_syncElem.get()))
            icon = contact->imageWithSize(QSize(kTrashIconSide, kTrashIconSide));
        if (icon.isNull())
            icon = vCardFileIcon();
        break;
    case 1: {
        auto* event = dynamic_cast<QVVCalendarElem*>(_syncElem.get());
        icon = iconImage(event && event->isToDo() ? trashkeys::kImageTask : trashkeys::kImageEventType);
        break;
    }
    case 2:
        icon = iconImage(trashkeys::kImageNoteType);
        break;
    case 3:
        icon = iconImage(trashkeys::kImageBookmarkType);
        break;
    default:
        break;
    }
    _itemIcon = icon;
    return icon;
}

QVariant TrashElem::valueForKey(const QString& key) const
{
    if (key == QLatin1String(trashkeys::kColumnTitle))
        return getTitleForList();
    if (key == QLatin1String(trashkeys::kColumnType))
        return int(_isConflict);
    if (key == QLatin1String(trashkeys::kColumnDate))
        return _trashedDate;
    if (key == QLatin1String(trashkeys::kColumnPhone))
        return _phone.deviceName;
    return {};
}

void TrashElem::setSourceURI(const QString& uri)
{
    if (_syncElem)
        _syncElem->setSourceURI(uri);
}

QString TrashElem::dateDescription(const QDateTime& date)
{
    const QDateTime local = date.toLocalTime();
    const int offset = local.offsetFromUtc() / 60;
    const int magnitude = offset < 0 ? -offset : offset;
    return local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + QLatin1Char(offset < 0 ? '-' : '+')
        + QStringLiteral("%1%2")
              .arg(magnitude / 60, 2, 10, QLatin1Char('0'))
              .arg(magnitude % 60, 2, 10, QLatin1Char('0'));
}

QDateTime TrashElem::dateFromDescription(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}) ([+-])(\\d{2})(\\d{2})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return {};
    const int hours = match.captured(3).toInt();
    const int minutes = match.captured(4).toInt();
    if (hours > 23 || minutes > 59)
        return {};
    const int offset = (match.captured(2) == QLatin1String("-") ? -1 : 1) * (hours * 3600 + minutes * 60);
    const QString dateTime = match.captured(1);
    const QDate day = QDate::fromString(dateTime.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(dateTime.mid(11), QStringLiteral("HH:mm:ss"));
    if (!day.isValid() || !time.isValid())
        return {};
    return QDateTime(day, time, Qt::OffsetFromUTC, offset);
}

int TrashElem::propertyOf(const QVSyncElem* elem)
{
    if (dynamic_cast<const QVVCardElem*>(elem))
        return 0;
    if (dynamic_cast<const QVVCalendarElem*>(elem))
        return 1;
    return -1;
}
