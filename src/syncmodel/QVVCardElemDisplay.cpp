// The contact item's names, accessors, sort keys, search text and card rows.
#include "syncmodel/QVVCardElem.h"

#include "device/QVSyncDeviceDescription.h"
#include "formats/RawVCardUtilities.h"
#include "formats/VCardRelations.h"
#include "foundation/NSImageSmoothResize.h"
#include "platform/Localization.h"
#include "syncmodel/ContactFields.h"

#include <QLocale>
#include <QRegularExpression>
#include <QUrl>

using namespace contactfields;
using namespace contactkey;

namespace {

const QString kUnknownPerson = QStringLiteral("Unknown Person");
const QString kOtherLabel = QStringLiteral("OTHER");
const QRegularExpression kLineBreak(QStringLiteral("\r\n|\r|\n"));

QString nonEmpty(const QString& text)
{
    return text.isNull() ? QLatin1String("") : text;
}

// "title first middle last, suffix (nick)" without the parts that are missing.
QString joinFullName(const QString& title, const QString& first, const QString& middle, const QString& last,
                     const QString& suffix, const QString& nick)
{
    QString name;
    for (const QString* part : {&title, &first, &middle}) {
        if (!part->isEmpty())
            name += *part + u' ';
    }
    name += last;
    if (!suffix.isEmpty())
        name = name.isEmpty() ? suffix : name + QStringLiteral(", ") + suffix;
    if (!nick.isEmpty()) {
        if (!name.isEmpty() && !name.endsWith(u' '))
            name += u' ';
        name += u'(' + nick + u')';
    }
    return name;
}

// A part of the last-first name: "part " first, else ", part " behind what came before.
void appendLastFirstPart(QString& name, const QString& part)
{
    if (part.isEmpty())
        return;
    if (name.isEmpty()) {
        name = part + u' ';
        return;
    }
    if (name.endsWith(u' '))
        name.chop(1);
    name += QStringLiteral(", ") + part + u' ';
}

QString valueText(const QVariant& value)
{
    if (value.typeId() == QMetaType::QUrl)
        return value.toUrl().toString();
    return value.toString();
}

QVariantList subRecords(const QVSyncEngineElem& elem, const char* listKey)
{
    return elem.getSubItems(QString::fromLatin1(listKey)).toList();
}

} // namespace

// ---- Accessors

QString QVVCardElem::company() const
{
    const QString value = mainText(kCompanyName);
    return value.isEmpty() ? QString() : value;
}

QString QVVCardElem::getJobTitle() const
{
    return _vxDict ? nonEmpty(mainText(kJobTitle)) : QString();
}

QString QVVCardElem::getDepartment() const
{
    return _vxDict ? nonEmpty(mainText(kDepartment)) : QString();
}

QString QVVCardElem::getNotes() const
{
    return mainText(kNotes);
}

QByteArray QVVCardElem::getImageData() const
{
    return _vxDict ? _vxDict->mainObjectForKey(QString::fromLatin1(kImage)).toByteArray() : QByteArray();
}

QDateTime QVVCardElem::getBirthday() const
{
    if (!_vxDict)
        return {};
    const QVariant value = _vxDict->mainObjectForKey(QString::fromLatin1(kBirthday));
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return value.toDateTime();
    case QMetaType::QDate:
        return value.toDate().startOfDay();
    case QMetaType::QString:
        return QDate::fromString(value.toString(), QStringLiteral("yyyyMMdd")).startOfDay();
    default:
        return {};
    }
}

QVariantList QVVCardElem::getPhones() const
{
    return subRecords(*this, kPhoneNumbers);
}

QVariantList QVVCardElem::getEmails() const
{
    return subRecords(*this, kEmailAddresses);
}

QVariantList QVVCardElem::getURLs() const
{
    return subRecords(*this, kURLs);
}

QVariantList QVVCardElem::getAddresses() const
{
    return subRecords(*this, kStreetAddresses);
}

QStringList QVVCardElem::getAllElementUUIDs() const
{
    QStringList ids{elemUUID()};
    if (!_vxDict)
        return ids;
    for (const char* list : {kPhoneNumbers, kEmailAddresses, kURLs, kStreetAddresses}) {
        for (const QVariant& id : _vxDict->mainObjectForKey(QString::fromLatin1(list)).toList())
            ids.append(id.toString());
    }
    return ids;
}

void QVVCardElem::setImageData(const QByteArray& data)
{
    if (!_vxDict)
        return;
    if (data.isEmpty())
        _vxDict->removeMainObjectForKey(QString::fromLatin1(kImage));
    else
        _vxDict->setMainObject(data, QString::fromLatin1(kImage));
    _origImage = QImage();
}

QImage QVVCardElem::originalImage() const
{
    if (_origImage.isNull()) {
        const QByteArray data = getImageData();
        if (!data.isEmpty())
            _origImage = imageWithCoreGraphicData(data);
    }
    return _origImage;
}

QImage QVVCardElem::imageWithSize(const QSize& size) const
{
    const QImage image = originalImage();
    if (image.isNull())
        return {};
    const QSize own = image.size();
    if (size.width() < own.width() && size.height() < own.height())
        return {};
    if (size.width() == own.width() || size.height() == own.height())
        return image;
    return smoothResize(image, own.scaled(size, Qt::KeepAspectRatio));
}

void QVVCardElem::setOriginalImage(const QImage& image)
{
    _vxData = addPhotoItem(image, _vxData.toString(), 0);
    _origImage = QImage();
}

QString QVVCardElem::purePhoneNumber(const QString& text)
{
    QString digits;
    digits.reserve(text.size());
    for (const QChar c : text) {
        if (c >= u'0' && c <= u'9' && !(digits.isEmpty() && c == u'0'))
            digits.append(c);
    }
    return nonEmpty(digits);
}

// ---- Names

QString QVVCardElem::entryName() const
{
    const QString full = fullName();
    if (!full.isEmpty())
        return full;
    const QString org = mainText(kCompanyName);
    if (!org.isEmpty())
        return org;
    return platform::localizedString(kUnknownPerson);
}

QString QVVCardElem::fullName() const
{
    return joinFullName(mainText(kTitle), mainText(contactkey::kFirstName), mainText(kMiddleName),
                        mainText(contactkey::kLastName), mainText(kSuffix), mainText(kNickName));
}

QString QVVCardElem::fullNameLastFirst() const
{
    QString name;
    const QString last = mainText(contactkey::kLastName);
    if (!last.isEmpty())
        name = last + u' ';
    appendLastFirstPart(name, mainText(kSuffix));
    appendLastFirstPart(name, mainText(kTitle));
    for (const char* key : {contactkey::kFirstName, kMiddleName}) {
        const QString part = mainText(key);
        if (!part.isEmpty())
            name += part + u' ';
    }
    const QString nick = mainText(kNickName);
    if (!nick.isEmpty()) {
        if (!name.isEmpty() && !name.endsWith(u' '))
            name += u' ';
        name += u'(' + nick + u')';
    }
    return nonEmpty(name);
}

QString QVVCardElem::formattedFullName() const
{
    const QString first = formattedFirstName(mainText(contactkey::kFirstName));
    QString last = formattedLastName(mainText(contactkey::kLastName));
    if (first.isEmpty() && last.isEmpty())
        last = mainText(kCompanyName);
    return joinFullName(mainText(kTitle), first, mainText(kMiddleName), last, mainText(kSuffix), mainText(kNickName));
}

QString QVVCardElem::elemDescription() const
{
    const QString full = fullName();
    const QString org = mainText(kCompanyName);
    if (!full.isEmpty())
        return org.isEmpty() ? full : full + u'\n' + org;
    if (!org.isEmpty())
        return org;
    return QStringLiteral("---");
}

QString QVVCardElem::description() const
{
    const QString id = sourceURI();
    return QStringLiteral("<QVVCardElem> SourceURI = %1, Name = %2")
        .arg(id.isNull() ? QStringLiteral("--") : id, fullName());
}

// ---- Sorting and searching

QString QVVCardElem::firstString() const
{
    return mainText(contactkey::kFirstName) + mainText(kMiddleName) + mainText(kNickName)
        + mainText(contactkey::kLastName) + mainText(kSuffix) + mainText(kCompanyName) + allContentString();
}

QString QVVCardElem::lastString() const
{
    return mainText(contactkey::kLastName) + mainText(kSuffix) + mainText(contactkey::kFirstName)
        + mainText(kMiddleName) + mainText(kNickName) + mainText(kCompanyName) + allContentString();
}

QString QVVCardElem::orgString() const
{
    return mainText(kCompanyName) + mainText(contactkey::kLastName) + mainText(contactkey::kFirstName)
        + allContentString();
}

QString QVVCardElem::onPhoneString() const
{
    return isOnPhone() ? QStringLiteral("1") : QStringLiteral("0");
}

int QVVCardElem::firstComparisation(const QVSyncElem& other) const
{
    const auto* contact = dynamic_cast<const QVVCardElem*>(&other);
    return contact ? QString::compare(firstString(), contact->firstString(), Qt::CaseInsensitive) : 0;
}

int QVVCardElem::lastComparisation(const QVSyncElem& other) const
{
    const auto* contact = dynamic_cast<const QVVCardElem*>(&other);
    return contact ? QString::compare(lastString(), contact->lastString(), Qt::CaseInsensitive) : 0;
}

int QVVCardElem::orgComparisation(const QVSyncElem& other) const
{
    const auto* contact = dynamic_cast<const QVVCardElem*>(&other);
    return contact ? QString::compare(orgString(), contact->orgString(), Qt::CaseInsensitive) : 0;
}

int QVVCardElem::onPhoneComparisation(const QVSyncElem& other) const
{
    const auto* contact = dynamic_cast<const QVVCardElem*>(&other);
    return contact ? QString::compare(onPhoneString(), contact->onPhoneString(), Qt::CaseInsensitive) : 0;
}

int QVVCardElem::defaultComparisation(const QVSyncElem& other) const
{
    return firstComparisation(other);
}

QString QVVCardElem::allContentString() const
{
    if (!_contentString.isNull() || !_vxDict)
        return _contentString;
    QString text = fullName() + u'\t' + mainText(kCompanyName) + u'\t';
    for (const QVariantList& list : {getPhones(), getEmails(), getURLs()}) {
        for (const QVariant& sub : list)
            text += valueText(sub.toMap().value(kValueField)) + u'\t';
    }
    for (const QVariant& sub : getAddresses()) {
        const QVariantMap address = sub.toMap();
        for (const QString& line : address.value(QString::fromLatin1(kStreet)).toString().split(kLineBreak))
            text += line + u'\t';
        const QString place = QString(address.value(QString::fromLatin1(kPostalCode)).toString() + u' '
                                      + address.value(QString::fromLatin1(kCity)).toString())
                                  .trimmed();
        if (!place.isEmpty())
            text += place + u'\t';
        text += address.value(QString::fromLatin1(kCountry)).toString() + u'\t';
    }
    _contentString = text;
    return _contentString;
}

// ---- Card rows

QString QVVCardElem::displayLabel(const QVariantMap& subRecord, const QString& prefix) const
{
    const QString label = subRecord.value(QString::fromLatin1(kSubRecordLabel)).toString();
    if (label == kOtherLabel)
        return platform::localizedString(kOtherLabel);
    if (!label.isEmpty())
        return label;
    QString type = subRecord.value(kTypeField).toString();
    if (type.isEmpty())
        type = QStringLiteral("home");
    return platform::localizedString(prefix + type);
}

bool QVVCardElem::getFullDisplayData(QStringList& labels, QStringList& contents, QList<quint32>& typeCodes) const
{
    if (!_vxDict) {
        labels.clear();
        contents.clear();
        typeCodes.clear();
        return false;
    }
    return getFullDisplayDataFromVXDict(*_vxDict, labels, contents, true, typeCodes, false);
}

bool QVVCardElem::getFullDisplayDataFromVXDict(const VXDictionary& vx, QStringList& labels, QStringList& contents,
                                               bool withName, QList<quint32>& typeCodes, bool) const
{
    labels.clear();
    contents.clear();
    typeCodes.clear();
    const auto row = [&](const QString& label, const QString& content, quint32 code) {
        labels.append(label);
        contents.append(content);
        typeCodes.append(code);
    };
    const auto text = [&vx](const char* key) { return vx.mainObjectForKey(QString::fromLatin1(key)).toString(); };
    using contactkey::kFirstName;
    using contactkey::kLastName;
    const auto separator = [&] { row(QString(), QString(), kSeparatorCode); };
    const auto subs = [&vx](const char* listKey) {
        QVariantList result;
        for (const QVariant& id : vx.mainObjectForKey(QString::fromLatin1(listKey)).toList()) {
            const QVariant sub = vx.otherObjectForKey(id.toString());
            if (sub.typeId() == QMetaType::QVariantMap)
                result.append(sub);
        }
        return result;
    };

    if (withName) {
        const QString full = joinFullName(text(kTitle), text(kFirstName), text(kMiddleName), text(kLastName),
                                          text(kSuffix), vx.mainObjectForKey(kNickName).toString());
        row(QString(), full, kNameCode);
        const QString org = text(kCompanyName);
        if (!org.isEmpty() && !full.contains(org))
            row(platform::localizedString(QStringLiteral("Company")), org, kNameCode);
        const QString department = text(kDepartment);
        if (!department.isEmpty())
            row(QString(), department, kNameCode);
        separator();
    }
    const std::tuple<const char*, const char*, quint32> valueLists[] = {
        {kPhoneNumbers, "P-", kPhoneCode}, {kEmailAddresses, "E-", kMailCode}, {kURLs, "I-", kURLCode}};
    for (const auto& [listKey, prefix, code] : valueLists) {
        const QVariantList list = subs(listKey);
        for (const QVariant& sub : list) {
            const QVariantMap record = sub.toMap();
            QString value = valueText(record.value(kValueField));
            if (code == kURLCode)
                value = QUrl::fromPercentEncoding(value.toUtf8());
            row(displayLabel(record, QString::fromLatin1(prefix)), value, code);
        }
        if (!list.isEmpty())
            separator();
    }
    const QVariantList addresses = subs(kStreetAddresses);
    for (const QVariant& sub : addresses) {
        const QVariantMap address = sub.toMap();
        QString type = address.value(kTypeField).toString();
        if (type.isEmpty())
            type = QStringLiteral("home");
        QString label = platform::localizedString(QStringLiteral("A-") + type);
        for (const QString& line : address.value(QString::fromLatin1(kStreet)).toString().split(kLineBreak)) {
            row(label, line, kAddressCode);
            label = QString();
        }
        row(QString(),
            QString(address.value(QString::fromLatin1(kPostalCode)).toString() + u' '
                    + address.value(QString::fromLatin1(kCity)).toString())
                .trimmed(),
            kAddressCode);
        row(QString(), address.value(QString::fromLatin1(kCountry)).toString(), kAddressCode);
    }
    if (!addresses.isEmpty())
        separator();
    const QVariant birthday = vx.mainObjectForKey(QString::fromLatin1(kBirthday));
    QDate day = birthday.typeId() == QMetaType::QDateTime ? birthday.toDateTime().date() : birthday.toDate();
    if (birthday.typeId() == QMetaType::QString)
        day = QDate::fromString(birthday.toString(), QStringLiteral("yyyyMMdd"));
    if (day.isValid()) {
        row(platform::localizedString(QStringLiteral("BDAY")),
            QLocale(QLocale::English).toString(day, QStringLiteral("d. MMMM yyyy")), kBirthdayCode);
        separator();
    }
    const QString notes = text(kNotes);
    if (!notes.isEmpty()) {
        row(platform::localizedString(QStringLiteral("NOTES")), notes, kNoteCode);
        separator();
    }
    return true;
}
