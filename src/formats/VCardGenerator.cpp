#include "formats/VCardGenerator.h"

#include "device/QVSyncDeviceDescription.h"
#include "formats/RawVCardUtilities.h"
#include "formats/VCardEncoding.h"
#include "formats/VCardRelations.h"
#include "formats/VXDictionary.h"
#include "foundation/ImageFileTypeCategory.h"

namespace {

constexpr int kVersion21 = 0x21;
constexpr int kVersion30 = 0x30;
constexpr double kBestFactor = 1.0;
constexpr double kSmallerFactor = 0.6;

const QString kExportPrefix = QStringLiteral("Export");
const QString kIrMCSiemensClass = QStringLiteral("BT-Siemens-IrMC");
const QString kTemporaryIdPrefix = QStringLiteral("T-");
const QString kType = QStringLiteral("type");
const QString kOther = QStringLiteral("OTHER");

QString fieldOf(const QVariant& record, const char* name)
{
    return textValue(record.toMap().value(QLatin1String(name)));
}

bool isJPEG(const QByteArray& data)
{
    return data.startsWith("\xFF\xD8\xFF");
}

// A 3.0 structured value (N, ORG, ADR) from the end of the parameters on:
// ":" and the escaped components joined by ";", or the quoted-printable
// parameters and the escaped components quoted in the character set.
QString structuredValue30(const QStringList& components, const QString& charset)
{
    // Each component escaped, so a "," or ";" inside stays in its component;
    // the ";" between them is the separator.
    QStringList escaped;
    for (const QString& component : components)
        escaped.append(escapedText30(component));
    const QString joined = escaped.join(u';');
    if (isCleanASCII(joined))
        return u':' + joined;
    const QString set = charsetForQuoting(joined, charset);
    QStringList quoted;
    for (const QString& component : escaped)
        quoted.append(printableEncodedToCharsetString(component, set));
    return u';' + QLatin1String(kQuotedPrintableCharset) + set + u':' + quoted.join(u';');
}

} // namespace

QString createVCardForVXDict(VXDictionary* vxDict, const QVSyncDeviceDescription& description,
                             bool withDeviceSpecifics, bool forDevice, const QString& sourceURI)
{
    if (!vxDict)
        return QString();
    if (forDevice)
        vxDict->resetSentItems();
    VCardGenerator generator(description, vxDict, withDeviceSpecifics, forDevice, sourceURI);
    return generator.produceVCard();
}

QByteArray photoDataWithinLimit(const QByteArray& data, long limit, const JPEGEncoder& encode)
{
    if (isJPEG(data) && data.size() <= limit)
        return data;
    const QImage decoded = QImage::fromData(data);
    if (decoded.isNull() || decoded.width() <= 0 || decoded.height() <= 0)
        return {};
    const QImage flat = flattenedImage(decoded);
    QImage current = flat;
    double factor = kBestFactor;
    double width = flat.width();
    double height = flat.height();
    QByteArray jpeg = encode(current, factor);
    while (jpeg.isEmpty() || jpeg.size() > limit) {
        if (factor == kBestFactor) {
            factor = kSmallerFactor;
        } else {
            width *= kPhotoShrink;
            height *= kPhotoShrink;
            if (width < kMinPhotoSide || height < kMinPhotoSide)
                return {};
            current = flat.scaled(int(width), int(height), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            factor = kBestFactor;
        }
        jpeg = encode(current, factor);
    }
    return jpeg;
}

QByteArray photoDataWithinLimit(const QByteArray& data, long limit)
{
    return photoDataWithinLimit(data, limit, [](const QImage& image, double factor) {
        return JPEGRepresentation(image, factor);
    });
}

bool isCleanASCIIAddress(const QVariant& address)
{
    using namespace contactkey;
    for (const char* field : {kCity, kCountry, kPostalCode, kState, kStreet}) {
        if (!isCleanASCII(fieldOf(address, field)))
            return false;
    }
    return true;
}

namespace {

QString addressText(const QVariant& address, const QString& typeText, const QString& charset, bool isVersion30)
{
    using namespace contactkey;
    // The street's lines: a desktop edit ends them with LF, the phone with CR
    // or CR LF.
    const QString street = fieldOf(address, kStreet);
    QString lines[3];                           // extended address, post-office box, street
    const auto lineEnd = [&street](qsizetype from) -> std::pair<qsizetype, qsizetype> {
        for (qsizetype i = from; i < street.size(); ++i) {
            if (street[i] == u'\r')
                return {i, i + 1 < street.size() && street[i + 1] == u'\n' ? i + 2 : i + 1};
            if (street[i] == u'\n')
                return {i, i + 1};
        }
        return {-1, -1};
    };
    const auto [firstEnd, secondStart] = lineEnd(0);
    if (firstEnd < 0) {
        lines[2] = street;
    } else {
        lines[0] = street.left(firstEnd);
        const auto [secondEnd, restStart] = lineEnd(secondStart);
        if (secondEnd < 0) {
            lines[2] = street.mid(secondStart);
        } else {
            lines[1] = street.mid(secondStart, secondEnd - secondStart);
            lines[2] = street.mid(restStart);
        }
    }
    const QStringList fields = {lines[1], lines[0], lines[2], fieldOf(address, kCity), fieldOf(address, kState),
                                fieldOf(address, kPostalCode), fieldOf(address, kCountry)};

    QString line = QStringLiteral("ADR");
    if (!typeText.isEmpty())
        line += u';' + typeText;
    QStringList values;
    if (isVersion30)
        return line + structuredValue30(fields, charset);
    if (isCleanASCIIAddress(address)) {
        for (const QString& field : fields)
            values.append(asciiEncodedString(field));
        return line + u':' + values.join(u';');
    }
    const QString set = charsetForQuoting(fields.join(QString()), charset);
    for (const QString& field : fields)
        values.append(printableEncodedToCharsetString(field, set));
    return line + u';' + QLatin1String(kQuotedPrintableCharset) + set + u':' + values.join(u';');
}

} // namespace

QString addressString(const QVariant& address, const QString& typeText, const QString& charset)
{
    return addressText(address, typeText, charset, false);
}

QString VCardGenerator::addressLine(const QVariant& address, const QString& typeText) const
{
    return addressText(address, typeText, QString(), _version == kVersion30);
}

VCardGenerator::VCardGenerator(const QVSyncDeviceDescription& description, VXDictionary* vxDict,
                               bool withDeviceSpecifics, bool forDevice, const QString& sourceURI)
    : _syncDescription(description)
    , _vxDict(vxDict)
    , _addDeviceSpecifics(withDeviceSpecifics && !description.protocol().startsWith(kExportPrefix))
    , _forDevice(forDevice)
    , _sourceURI(sourceURI)
    , _version(description.vCardVersion())
{
    _curVCard.reserve(512);
}

QString VCardGenerator::produceVCard()
{
    using namespace contactkey;
    if (!_vxDict || (_version != kVersion21 && _version != kVersion30))
        return QString();
    appendVCardLine(QStringLiteral("BEGIN:VCARD"));
    appendVCardLine(_version == kVersion21 ? QStringLiteral("VERSION:2.1") : QStringLiteral("VERSION:3.0"));
    addName();
    const QVariant birthday = _vxDict->mainObjectForKey(QLatin1String(kBirthday));
    if (birthday.isValid()) {
        const QString text = stringValueForItem(birthday);
        if (!text.isNull())
            appendVCardLine(QStringLiteral("BDAY:") + text);
        rememberItem(QLatin1String(kBirthday));
    }
    addOrganization();
    const QString jobTitle = nonNilMainObject(QLatin1String(kJobTitle));
    if (!jobTitle.isEmpty()) {
        rememberItem(QLatin1String(kJobTitle));
        appendVCardLine(textLine(QStringLiteral("TITLE"), jobTitle));
    }
    addPhones();
    addEmails();
    addURLs();
    addStreetAddresses();
    addDeviceSpecifics();
    const QString notes = nonNilMainObject(QLatin1String(kNotes));
    if (notes.size() > 1) {
        rememberItem(QLatin1String(kNotes));
        appendVCardLine(textLine(QStringLiteral("NOTE"), notes));
    }
    if (_syncDescription.syncMLPhotos())
        addPhotoItem();
    appendVCardLine(QStringLiteral("END:VCARD"));
    return QString(_curVCard);
}

void VCardGenerator::addName()
{
    using namespace contactkey;
    QString last = nonNilMainObject(QLatin1String(kLastName));
    const QString first = nonNilMainObject(QLatin1String(kFirstName));
    const QString company = nonNilMainObject(QLatin1String(kCompanyName));
    if (_syncDescription.copyCompanyToName() && last.isEmpty() && first.isEmpty() && !company.isEmpty()) {
        last = company;
        rememberItem(QLatin1String(kCompanyName));
    }
    for (const char* name : {kFirstName, kMiddleName, kTitle, kSuffix, kLastName})
        rememberItem(QLatin1String(name));
    const QStringList parts = {last, first, nonNilMainObject(QLatin1String(kMiddleName)),
                               nonNilMainObject(QLatin1String(kTitle)), nonNilMainObject(QLatin1String(kSuffix))};
    if (_version == kVersion30) {
        appendVCardLine(QStringLiteral("N") + structuredValue30(parts, QString()));
        return;
    }
    QStringList values;
    if (isCleanASCII(parts.join(QString()))) {
        for (const QString& part : parts)
            values.append(asciiEncodedString(part));
        appendVCardLine(QStringLiteral("N:") + values.join(u';'));
        return;
    }
    for (const QString& part : parts)
        values.append(encodeData_quoted_printable(part.toUtf8()));
    appendVCardLine(QStringLiteral("N;") + QLatin1String(kQuotedPrintableUTF8) + u':' + values.join(u';'));
}

void VCardGenerator::addOrganization()
{
    using namespace contactkey;
    const QString company = nonNilMainObject(QLatin1String(kCompanyName));
    const QString department = nonNilMainObject(QLatin1String(kDepartment));
    if (company.isEmpty() && department.isEmpty())
        return;
    rememberItem(QLatin1String(kCompanyName));
    if (!_vxDict->mainObjectForKey(QLatin1String(kDepartment)).isValid()) {
        appendVCardLine(textLine(QStringLiteral("ORG"), company));
        return;
    }
    rememberItem(QLatin1String(kDepartment));
    if (_version == kVersion30) {
        appendVCardLine(QStringLiteral("ORG") + structuredValue30({company, department}, QString()));
        return;
    }
    if (isCleanASCII(company + department)) {
        appendVCardLine(QStringLiteral("ORG:") + asciiEncodedString(company) + u';' + asciiEncodedString(department));
        return;
    }
    appendVCardLine(QStringLiteral("ORG;") + QLatin1String(kQuotedPrintableUTF8) + u':'
                    + encodeData_quoted_printable(company.toUtf8()) + u';'
                    + encodeData_quoted_printable(department.toUtf8()));
}

QString VCardGenerator::textLine(const QString& name, const QString& value) const
{
    return _version == kVersion30 ? createEncodedTextLine30(name, value) : createEncodedLine(name, value);
}

void VCardGenerator::appendVCardLine(const QString& line)
{
    _curVCard.append(line);
    _curVCard.append(getCRLF());
}

QString VCardGenerator::getCRLF() const
{
    return _version == kVersion21 ? QStringLiteral("\r\n") : QStringLiteral("\r");
}

QString VCardGenerator::nonNilMainObject(const QString& name) const
{
    return textValue(_vxDict->mainObjectForKey(name));
}

QString VCardGenerator::typeString(const QString& word) const
{
    return _version == kVersion21 ? word : QStringLiteral("type=") + word;
}

QString VCardGenerator::typeStringForItem(const QVariant& subRecord) const
{
    return _version == kVersion21 ? typeStringForItem21(subRecord) : typeStringForItem30(subRecord);
}

QVariantList VCardGenerator::filterDeviceSpecifics(const QVariantList& params) const
{
    if (!_syncDescription.protocol().startsWith(kExportPrefix))
        return params;
    static const QStringList phoneSide = {
        QStringLiteral("mainEntry"), QStringLiteral("subSlot"),    QStringLiteral("voicedial"),
        QStringLiteral("ringtone"),  QStringLiteral("iconID"),     QStringLiteral("logo"),
        QStringLiteral("categoryID"), QStringLiteral("categories"), QStringLiteral("picture"),
    };
    QVariantList result;
    for (const QVariant& entry : params) {
        const QVariantMap map = entry.toMap();
        const QString name = map.value(VXDictionary::kRelationKey).toString();
        const QVariantList values = map.value(VXDictionary::kRelationValues).toList();
        if (name == kType && !values.isEmpty() && values.first().toString() == kOther)
            continue;
        if (phoneSide.contains(name))
            continue;
        result.append(entry);
    }
    return result;
}

void VCardGenerator::addPhotoItem()
{
    if (_syncDescription.protocolClass().startsWith(kIrMCSiemensClass))
        return;
    const QVariant image = _vxDict->mainObjectForKey(QLatin1String(contactkey::kImage));
    if (image.typeId() != QMetaType::QByteArray)
        return;
    rememberItem(QLatin1String(contactkey::kImage));
    const QByteArray photo = photoDataWithinLimit(image.toByteArray(), _syncDescription.syncMLMaxPictureBytes());
    if (photo.isEmpty())
        return;
    appendVCardLine(formatBase64(QLatin1String(kJPEGPhotoLineStart) + encodeDataToBase64(photo), getCRLF()));
}

void VCardGenerator::addDeviceSpecifics()
{
    if (_syncDescription.protocolClass().startsWith(kIrMCSiemensClass) && !_sourceURI.isEmpty()
        && !_sourceURI.startsWith(kTemporaryIdPrefix))
        appendVCardLine(QStringLiteral("X-IRMC-LUID:") + _sourceURI);
    if (!_addDeviceSpecifics)
        return;
    const QVariant section = _vxDict->objectForKey(VXDictionary::kDeviceItems);
    if (section.typeId() != QMetaType::QVariantMap)
        return;
    const QVariantMap items = section.toMap();
    for (auto it = items.cbegin(); it != items.cend(); ++it) {
        if (it.value().typeId() == QMetaType::QString)
            appendVCardLine(createVerbatimLine(it.key(), QString(), it.value().toString()));
    }
}

void VCardGenerator::rememberItem(const QString& name)
{
    if (_forDevice)
        _vxDict->rememberSent(name);
}

void VCardGenerator::setDeviceRelation(const QVariantList& params, const QString& listKey, const QString& uuid)
{
    if (_forDevice)
        _vxDict->setRelation(params, listKey, uuid);
}
