#include "kestrova/vendors/SLTCommDeviceMotorolaPhonebookExt.h"

#include "kestrova/core/AtTextFields.h"
#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/KitLog.h"
#include "kestrova/core/SLTCommDevice.h"
#include "kestrova/vendors/MotorolaSignals.h"
#include "kestrova/vendors/SLTCommDeviceMotorolaSession.h"
#include "platform/RunLoop.h"

#include <QStringList>
#include <limits>
#include <QVariantList>

using namespace kestrova::core;
using namespace kestrova::vendors;
using kestrova::kitLogWith;

namespace {

// Engine methods that take the replies.
constexpr const char* kParametersStage = "getMotorolaPhonebookParametersStage2:";
constexpr const char* kEntriesStage = "getMotorolaPhonebookEntriesStage2:";
constexpr const char* kOldEntriesStage = "getOldMotorolaPhonebookEntriesStage2:";
constexpr const char* kFindStage = "findMotorolaPhonebookEntryStage2:";
constexpr const char* kMainEntryStage = "writeMotorolaPhonebookMainEntryStage2:";
constexpr const char* kReplyStage = "motorolaPhonebookReplyStage2:";

const QString kAddressSeparator = QStringLiteral(";|;");
const QStringList kAddressParts = {QStringLiteral("street2"), QStringLiteral("street1"), QStringLiteral("city"),
                                   QStringLiteral("state"), QStringLiteral("zip"), QStringLiteral("country")};
const QString kNewSlot = QStringLiteral("newSlot");
const QString kSlot = QStringLiteral("slot");
const QString kSubSlot = QStringLiteral("subSlot");
const QString kMainEntry = QStringLiteral("mainEntry");
const QString kType = QStringLiteral("type");
const QString kValue = QStringLiteral("value");
const QString kFirstname = QStringLiteral("firstname");
const QString kLastname = QStringLiteral("lastname");
const QString kCategory = QStringLiteral("categoryID");
const QString kNumberTypeInt = QStringLiteral("numberTypeInt");
const QString kFakeSubSlot = QStringLiteral("fakeSubSlot");
const QString kDelete = QStringLiteral("delete");
const QString kPhone = QStringLiteral("phone");
const QString kEmail = QStringLiteral("email");
const QString kAddress = QStringLiteral("address");
const QString kUrl = QStringLiteral("url");
const QString kLogo = QStringLiteral("logo");

QString strip(const QString& field)
{
    return SLTCommDevice::stripQuotationMarks(field.trimmed());
}

int intOf(const QString& text, int fallback = 0)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : fallback;
}

bool isDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

QString typeName(int type)
{
    switch (type) {
    case 0: case 13: case 16: return QStringLiteral("work");
    case 1: case 12: case 15: return QStringLiteral("home");
    case 2: return QStringLiteral("main");
    case 3: return QStringLiteral("mobile");
    case 4: return QStringLiteral("fax");
    case 5: return QStringLiteral("pager");
    case 11: case 14: case 17: case 18: return QStringLiteral("other");
    default: return QStringLiteral("unknown");
    }
}

QString kindOfSubSlot(int subSlot)
{
    if (subSlot >= 1 && subSlot <= 7)
        return kPhone;
    if (subSlot == 8 || subSlot == 9)
        return kEmail;
    if (subSlot == 10 || subSlot == 11)
        return kUrl;
    if (subSlot == 12 || subSlot == 13)
        return kAddress;
    return QStringLiteral("unknown");
}

int typeCode(const QString& kind, const QString& type)
{
    if (kind == kAddress)
        return type == QLatin1String("home") ? 15 : type == QLatin1String("work") ? 16 : 17;
    if (kind == kEmail)
        return type == QLatin1String("home") ? 12 : type == QLatin1String("work") ? 13 : 14;
    if (kind == kUrl)
        return 18;
    static const QList<QPair<const char*, int>> phone = {{"work", 0}, {"home", 1}, {"main", 2},
                                                         {"mobile", 3}, {"fax", 4}, {"pager", 5}};
    for (const auto& [name, code] : phone)
        if (type == QLatin1String(name))
            return code;
    return 11;
}

// The name split at position p by the order flag o.
void splitName(const QString& name, int p, int o, QVariantMap& contact)
{
    p = std::min<qsizetype>(p, name.size());
    QString first;
    QString last;
    if (p > 0 && o == 1) {
        last = name.left(p);
        first = name.mid(p);
    } else if (p > 0 && o == 0) {
        first = name.left(p);
        last = name.mid(p);
    } else if (o == 1) {
        first = name;
    } else {
        last = name;
    }
    if (!first.isEmpty())
        contact.insert(kFirstname, first);
    if (!last.isEmpty())
        contact.insert(kLastname, last);
}

QString textOf(const QVariantMap& map, const QString& name)
{
    const QVariant value = map.value(name);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

// A field value the phone reads as a number: it goes out as it is.
bool isNumberKind(int typeCodeValue)
{
    return typeCodeValue >= 0 && typeCodeValue <= 11;
}

} // namespace

SLTCommDeviceMotorolaPhonebookExt::SLTCommDeviceMotorolaPhonebookExt(SLTCommDevice& engine) : _engine(engine)
{
    for (const char* selector :
         {kParametersStage, kEntriesStage, kOldEntriesStage, kFindStage, kMainEntryStage, kReplyStage}) {
        _engine.registerCommandCallback(QLatin1String(selector), [this, name = QLatin1String(selector)](const QVariantMap& r) {
            replyStage(name, r);
        });
    }
}

SLTCommDeviceMotorolaPhonebookExt::~SLTCommDeviceMotorolaPhonebookExt()
{
    platform::runloop::cancelPreviousPerformRequests(this);
}

SLTCommDeviceMotorolaSession& SLTCommDeviceMotorolaPhonebookExt::session() const
{
    return engine().extension<SLTCommDeviceMotorolaSession>();
}

QVariantMap SLTCommDeviceMotorolaPhonebookExt::command(const SLTInvocationPtr& stage, const char* selector,
                                                       const char* signal, int requestedState, const QString& text) const
{
    return session().commandFor(stage, selector, signal, requestedState, text);
}

void SLTCommDeviceMotorolaPhonebookExt::refuse(const SLTInvocationPtr& stage, const char* signal, const QString& why)
{
    session().refuse(this, QStringLiteral("Motorola phonebook"), stage, signal, why);
}

QString SLTCommDeviceMotorolaPhonebookExt::decoded(const QString& field) const
{
    return session().decode(field);
}

// --- Session ------------------------------------------------------------------

void SLTCommDeviceMotorolaPhonebookExt::motorolaPhonebookPrepare(const SLTInvocationPtr& stage)
{
    SLTCommDeviceMotorolaSession& s = session();
    const char* prepare = kSLTCommDeviceMotorolaPhonebookPrepare;
    s.open(stage, SLTCommDeviceMotorolaSession::kPhonebookSignals,
           {s.openingWait(stage, prepare), s.command(stage, prepare, 43, QStringLiteral("at+mode=2\r")),
            s.command(stage, prepare, 42, QStringLiteral("at+msyn=1\r")),
            s.command(stage, prepare, 42, QStringLiteral("at+cpbs=\"ME\"\r"))});
}

void SLTCommDeviceMotorolaPhonebookExt::motorolaPhonebookCleanup(const SLTInvocationPtr& stage)
{
    SLTCommDeviceMotorolaSession& s = session();
    const char* cleanup = kSLTCommDeviceMotorolaPhonebookCleanup;
    s.close(stage, SLTCommDeviceMotorolaSession::kPhonebookSignals,
            {s.command(stage, cleanup, 42, QStringLiteral("at+msyn=0\r")),
             s.command(stage, cleanup, 43, QStringLiteral("at+mode=0\r"))});
}

// --- Reading ------------------------------------------------------------------

void SLTCommDeviceMotorolaPhonebookExt::getMotorolaPhonebookParameters(const SLTInvocationPtr& stage)
{
    engine().commandQueue().addCommand(command(stage, kParametersStage, kSLTCommDeviceGetMotorolaPhonebookParameters,
                                               43, QStringLiteral("AT+MPBRE=?\r")));
}

std::optional<QVariantMap> SLTCommDeviceMotorolaPhonebookExt::parseMotorolaPhonebookParameters(const QString& reply)
{
    // More than ten fields, the first three as in AT+CPBR=?.
    return SLTCommDevice::parsePhoneBookLimits(reply, 11, std::numeric_limits<qsizetype>::max());
}

void SLTCommDeviceMotorolaPhonebookExt::getMotorolaPhonebookEntriesFrom(int first, int last,
                                                                        const SLTInvocationPtr& stage)
{
    engine().commandQueue().addCommand(command(stage, kEntriesStage, kSLTCommDeviceGetMotorolaPhonebookEntriesFromTo,
                                               42, QStringLiteral("AT+MPBRE=%1,%2\r").arg(first).arg(last)));
}

void SLTCommDeviceMotorolaPhonebookExt::getOldMotorolaPhonebookEntriesFrom(int first, int last,
                                                                           const SLTInvocationPtr& stage)
{
    engine().commandQueue().addCommand(command(stage, kOldEntriesStage,
                                               kSLTCommDeviceGetOldMotorolaPhonebookEntriesFromTo, 42,
                                               QStringLiteral("AT+MPBRE=%1,%2\r").arg(first).arg(last)));
}

void SLTCommDeviceMotorolaPhonebookExt::getMotorolaPhonebookEntry(const QString& slot, const SLTInvocationPtr& stage)
{
    if (!isDigits(slot)) {
        refuse(stage, kSLTCommDeviceMotorolaPhonebookEntryRead, QStringLiteral("slot %1").arg(slot));
        return;
    }
    engine().commandQueue().addCommand(command(stage, kEntriesStage, kSLTCommDeviceMotorolaPhonebookEntryRead, 42,
                                               QStringLiteral("AT+MPBRE=%1\r").arg(slot)));
}

void SLTCommDeviceMotorolaPhonebookExt::findMotorolaPhonebookEntry(const QString& name, const SLTInvocationPtr& stage)
{
    const QString coded = session().encodeQuoted(name);
    engine().commandQueue().addCommand(command(stage, kFindStage, kSLTCommDeviceMotorolaPhonebookEntryRead, 42,
                                               QStringLiteral("at+mpbf=") + coded + QLatin1Char('\r')));
}

std::optional<QVariantMap> SLTCommDeviceMotorolaPhonebookExt::parseMotorolaPhonebookLine(const QString& line) const
{
    const QStringList f = atfields::splitOutsideQuotes(line);
    const QStringList head = f.first().split(QLatin1Char(' '));
    bool slotOk = false;
    const int slot = head.size() == 2 ? head.at(1).trimmed().toInt(&slotOk) : 0;
    if (f.size() < 27 || !slotOk) {
        kitLogWith([&] { return QStringLiteral("Motorola phonebook: line skipped: %1").arg(line); });
        return std::nullopt;
    }
    const int type = intOf(f.at(5), -1);
    if (type == 10)
        return std::nullopt;
    QVariantMap contact;
    const QString name = strip(f.at(4));
    if (!name.isEmpty())
        splitName(decoded(name), intOf(f.at(13)), intOf(f.at(12)), contact);
    for (const auto& [index, name] : {std::pair{23, "nickname"}, {14, "logo"}, {25, "ringtone"}, {26, "note"}}) {
        const QString text = strip(f.at(index));
        if (!text.isEmpty())
            contact.insert(QLatin1String(name), decoded(text));
    }
    const QString birthday = strip(f.at(24));
    if (!birthday.isEmpty())
        contact.insert(QStringLiteral("birthday"), birthday);
    contact.insert(kSlot, QString::number(slot));
    contact.insert(kCategory, f.at(10).trimmed());

    const QString value = strip(f.at(2));
    if (value.isEmpty())
        return contact;
    const QString text = decoded(value);
    const int subSlot = intOf(f.at(1));
    QVariantMap item;
    if (subSlot < 12) {
        item.insert(kValue, text);
    } else {
        const QStringList parts = text.split(kAddressSeparator);
        if (parts.size() != kAddressParts.size())
            return contact;
        for (qsizetype i = 0; i < parts.size(); ++i)
            item.insert(kAddressParts.at(i), parts.at(i));
    }
    item.insert(kMainEntry, f.at(9).trimmed());
    item.insert(kSubSlot, f.at(1).trimmed());
    item.insert(kType, typeName(type));
    contact.insert(kindOfSubSlot(subSlot), QVariantList{item});
    return contact;
}

std::optional<QVariantMap> SLTCommDeviceMotorolaPhonebookExt::parseOldMotorolaPhonebookLine(const QString& line) const
{
    QStringList f = atfields::splitOutsideQuotes(line);
    if (f.size() == 24)
        f.insert(1, QStringLiteral("0"));
    const QStringList head = f.first().split(QLatin1Char(' '));
    const QString name = f.size() >= 25 ? strip(f.at(4)) : QString();
    if (f.size() < 25 || head.size() != 2 || !isDigits(head.at(1).trimmed()) || name.isEmpty()) {
        kitLogWith([&] { return QStringLiteral("Motorola phonebook: line skipped: %1").arg(line); });
        return std::nullopt;
    }
    QVariantMap contact;
    const QString text = decoded(name);
    contact.insert(kSlot, text.startsWith(QLatin1String("T-")) ? QLatin1Char('.') + text : text);
    splitName(text, intOf(f.at(13)), intOf(f.at(12)), contact);
    const QString logo = strip(f.at(14));
    QVariantMap item{{kValue, strip(f.at(2))},
                     {kMainEntry, f.at(9).trimmed()},
                     {kSubSlot, head.at(1).trimmed()},
                     {kCategory, f.at(10).trimmed()},
                     {QStringLiteral("ringtone"), f.at(7).trimmed()},
                     {QStringLiteral("voicedial"), f.at(6).trimmed()},
                     {QStringLiteral("iconID"), f.at(11).trimmed()},
                     {kLogo, logo.isEmpty() ? QString(QLatin1String("")) : decoded(logo)}};
    const int type = intOf(f.at(5), -1);
    if (type == 6) {
        contact.insert(kEmail, QVariantList{item});
        return contact;
    }
    item.insert(kType, type >= 0 && type <= 5 ? typeName(type) : QStringLiteral("unknown"));
    contact.insert(kPhone, QVariantList{item});
    return contact;
}

QVariantMap SLTCommDeviceMotorolaPhonebookExt::parseMotorolaPhonebookEntries(const QString& reply) const
{
    QVariantMap contacts;
    for (const QString& line : reply.split(QStringLiteral("\r\n"))) {
        if (!line.startsWith(QLatin1String("+MPBRE")))
            continue;
        std::optional<QVariantMap> contact = parseMotorolaPhonebookLine(line);
        if (!contact)
            continue;
        const QString slot = QString::number(contact->take(kSlot).toString().toInt());
        if (contacts.contains(slot)) {
            QVariantMap existing = contacts.value(slot).toMap();
            merge(*contact, existing);
            contacts.insert(slot, existing);
        } else {
            contacts.insert(slot, *contact);
        }
    }
    return contacts;
}

void SLTCommDeviceMotorolaPhonebookExt::parseOldMotorolaPhonebookEntries(const QString& reply, const QString& prefix,
                                                                         QVariantMap& into) const
{
    for (const QString& line : reply.split(QStringLiteral("\r\n"))) {
        if (!line.startsWith(prefix))
            continue;
        const std::optional<QVariantMap> contact = parseOldMotorolaPhonebookLine(line);
        if (!contact)
            continue;
        const QString name = contact->value(kSlot).toString();
        if (into.contains(name)) {
            QVariantMap existing = into.value(name).toMap();
            merge(*contact, existing);
            into.insert(name, existing);
        } else {
            into.insert(name, *contact);
        }
    }
}

void SLTCommDeviceMotorolaPhonebookExt::merge(const QVariantMap& source, QVariantMap& target)
{
    for (auto it = source.cbegin(); it != source.cend(); ++it) {
        if (!target.contains(it.key())) {
            target.insert(it.key(), it.value());
        } else if (it.value().typeId() == QMetaType::QVariantList
                   && target.value(it.key()).typeId() == QMetaType::QVariantList) {
            target.insert(it.key(), target.value(it.key()).toList() + it.value().toList());
        }
    }
}

// --- Field items ---------------------------------------------------------------

std::optional<QVariantMap> SLTCommDeviceMotorolaPhonebookExt::motorolaGetFirstAvailableAddressFrom(QVariantMap& contact,
                                                                                                   bool deleteEntry)
{
    const bool hasSlot = contact.contains(kSlot);
    QString foundKey;
    qsizetype foundIndex = -1;
    for (auto it = contact.cbegin(); it != contact.cend() && foundIndex < 0; ++it) {
        if (it.key() == kDelete || it.value().typeId() != QMetaType::QVariantList)
            continue;
        const QVariantList list = it.value().toList();
        for (qsizetype i = 0; i < list.size(); ++i) {
            const bool take = !hasSlot || list.at(i).toMap().value(kMainEntry).toString() == QLatin1String("1");
            if (take && foundIndex < 0) {
                foundKey = it.key();
                foundIndex = i;
                break;
            }
        }
    }
    if (foundIndex < 0) {
        // None is the main entry: the last item met.
        for (auto it = contact.cbegin(); it != contact.cend(); ++it) {
            if (it.key() == kDelete || it.value().typeId() != QMetaType::QVariantList || it.value().toList().isEmpty())
                continue;
            foundKey = it.key();
            foundIndex = it.value().toList().size() - 1;
        }
    }
    if (foundIndex < 0)
        return std::nullopt;
    QVariantList list = contact.value(foundKey).toList();
    QVariantMap item = list.at(foundIndex).toMap();
    if (!item.contains(kSubSlot))
        item.insert(kSubSlot, -1);
    if (foundKey == kAddress)
        item.insert(kValue, getMotorolaPhonebookAddressStringFrom(item));
    item.insert(kNumberTypeInt, typeCode(foundKey, item.value(kType).toString()));
    if (deleteEntry) {
        list.removeAt(foundIndex);
        if (list.isEmpty())
            contact.remove(foundKey);
        else
            contact.insert(foundKey, list);
    }
    return item;
}

QString SLTCommDeviceMotorolaPhonebookExt::getMotorolaPhonebookAddressStringFrom(const QVariantMap& item)
{
    QString text;
    for (qsizetype i = 0; i + 1 < kAddressParts.size(); ++i) {
        const QString part = item.value(kAddressParts.at(i)).toString();
        if (!part.isEmpty())
            text += part + kAddressSeparator;
    }
    text += item.value(kAddressParts.last()).toString();
    return text;
}

// --- Writing ------------------------------------------------------------------

void SLTCommDeviceMotorolaPhonebookExt::deleteMotorolaPhonebookEntry(const QString& slot, const QString& subSlot,
                                                                     const SLTInvocationPtr& stage)
{
    if (!isDigits(slot) || (!subSlot.isNull() && !isDigits(subSlot))) {
        refuse(stage, kSLTCommDeviceMotorolaPhonebookDeletingFinished, QStringLiteral("slot %1,%2").arg(slot, subSlot));
        return;
    }
    const QString text = subSlot.isNull() ? QStringLiteral("at+mpbwe=%1\r").arg(slot)
                                          : QStringLiteral("at+mpbwe=%1,%2\r").arg(slot, subSlot);
    engine().commandQueue().addCommand(
        command(stage, kReplyStage, kSLTCommDeviceMotorolaPhonebookDeletingFinished, 42, text));
}

void SLTCommDeviceMotorolaPhonebookExt::writeMotorolaPhonebookMainEntryFrom(QVariantMap& contact,
                                                                            const SLTInvocationPtr& stage)
{
    const SLTCommDeviceMotorolaSession& s = session();
    const char* signal = kSLTCommDeviceWriteMotorolaPhonebookMainEntryFrom;
    const QString slot = textOf(contact, kSlot);
    const bool hasSlot = !slot.isEmpty();
    const std::optional<QVariantMap> item = motorolaGetFirstAvailableAddressFrom(contact, !hasSlot);
    const int type = item ? item->value(kNumberTypeInt).toInt() : 0;
    const QString value = item ? item->value(kValue).toString() : QString();
    int subSlot = item ? item->value(kSubSlot).toInt() : -1;
    if (subSlot < 0 && contact.contains(kFakeSubSlot))
        subSlot = contact.value(kFakeSubSlot).toInt();
    const QString first = textOf(contact, kFirstname);
    const QString last = textOf(contact, kLastname);
    QString name = last;
    int position = 0;
    int order = 0;
    if (!first.isEmpty() && !last.isEmpty()) {
        name = first + last;
        position = int(first.size());
    } else if (!first.isEmpty()) {
        name = first;
        order = 1;
    }
    int category = contact.value(kCategory).toString().toInt();
    if (category <= 0)
        category = 1;
    const QString nickname = s.encodeQuoted(textOf(contact, QStringLiteral("nickname")));
    const QString logo = s.encodeQuoted(textOf(contact, kLogo));
    const QString ringtone = s.encodeQuoted(textOf(contact, QStringLiteral("ringtone")));
    const QString note = s.encodeQuoted(textOf(contact, QStringLiteral("note")));
    const QString birthday = atfields::quotedArgumentText(textOf(contact, QStringLiteral("birthday")));
    for (const char* written : {"firstname", "lastname", "nickname", "birthday", "logo", "ringtone", "note", "categoryID"})
        contact.remove(QLatin1String(written));

    if ((item && isNumberKind(type) && !atfields::isSafeInQuotes(value)) || (hasSlot && !isDigits(slot))) {
        refuse(stage, signal, QStringLiteral("slot %1, number %2").arg(slot, value));
        return;
    }
    const QString tail = QStringLiteral(",0,255,0,0,") + QString::number(category) + QStringLiteral(",,")
                         + QString::number(order) + QLatin1Char(',') + QString::number(position) + QLatin1Char(',')
                         + logo + QStringLiteral(",,,\"\",\"\",\"\",\"\",\"\",\"\",") + nickname + QStringLiteral(",\"")
                         + birthday + QStringLiteral("\",") + ringtone + QLatin1Char(',') + note + QLatin1Char('\r');
    QString text;
    if (hasSlot && subSlot >= 0) {
        text = QStringLiteral("at+mpbwe=") + slot + QLatin1Char(',') + QString::number(subSlot) + QStringLiteral(",,,")
               + s.encodeQuoted(name) + QLatin1Char(',') + tail;
    } else {
        text = QStringLiteral("at+mpbwe=,,") + s.encodeQuoted(value) + QStringLiteral(",,") + s.encodeQuoted(name)
               + QLatin1Char(',') + QString::number(type) + tail;
    }
    QVariantMap write = command(stage, kMainEntryStage, signal, 42, text);
    if (!hasSlot && subSlot == -1)
        write.insert(key(kSLTCommDeviceCommandQueueCommandPayload), kNewSlot);
    engine().commandQueue().addCommand(write);
}

void SLTCommDeviceMotorolaPhonebookExt::writeMotorolaPhonebookSubEntryFrom(QVariantMap& contact,
                                                                           const SLTInvocationPtr& stage)
{
    const char* signal = kSLTCommDeviceWriteMotorolaPhonebookSubEntryFrom;
    const std::optional<QVariantMap> item = motorolaGetFirstAvailableAddressFrom(contact, true);
    QString slot = textOf(contact, kNewSlot);
    if (slot.isEmpty())
        slot = textOf(contact, kSlot);
    const int type = item ? item->value(kNumberTypeInt).toInt() : 0;
    const QString value = item ? item->value(kValue).toString() : QString();
    if (!item || (isNumberKind(type) && !atfields::isSafeInQuotes(value)) || (!slot.isEmpty() && !isDigits(slot))) {
        refuse(stage, signal, QStringLiteral("field of slot %1: %2").arg(slot, value));
        return;
    }
    const int subSlot = item->value(kSubSlot).toInt();
    const QString coded = session().encodeQuoted(value);
    // With a sub-slot the field is overwritten, without one a field is added.
    const QString place = !slot.isEmpty() && subSlot >= 0 ? QString::number(subSlot) : QString();
    const QString text = QStringLiteral("at+mpbwe=") + slot + QLatin1Char(',') + place + QLatin1Char(',') + coded
                         + QStringLiteral(",,,") + QString::number(type) + QLatin1Char('\r');
    engine().commandQueue().addCommand(command(stage, kReplyStage, signal, 42, text));
}

void SLTCommDeviceMotorolaPhonebookExt::writeOldMotorolaPhonebookEntryFrom(QVariantMap& contact,
                                                                           const SLTInvocationPtr& stage)
{
    const char* signal = kSLTCommDeviceWriteOldMotorolaPhonebookEntry;
    const std::optional<QVariantMap> item = motorolaGetFirstAvailableAddressFrom(contact, true);
    const int code = item ? item->value(kNumberTypeInt).toInt() : 0;
    const int type = code >= 12 && code <= 14 ? 6 : code >= 7 ? 1 : code;
    const QString first = textOf(contact, kFirstname);
    const QString last = textOf(contact, kLastname);
    QString name = QStringLiteral("error");
    int position = 0;
    int order = 0;
    if (!first.isEmpty() && !last.isEmpty()) {
        name = first + QLatin1Char(' ') + last;
        position = int(first.size());
    } else if (!first.isEmpty()) {
        name = first;
        order = 1;
    } else if (!last.isEmpty()) {
        name = last;
    }
    contact.insert(QStringLiteral("fullname"), name);
    if (!contact.contains(kSlot))
        contact.insert(kSlot, name);
    const QString number = item ? item->value(kValue).toString() : QString();
    if (!item || !atfields::isSafeInQuotes(number)) {
        refuse(stage, signal, QStringLiteral("line of %1: %2").arg(name, number));
        return;
    }
    const int line = item->value(kSubSlot).toInt();
    const QString index = line >= 1 ? QString::number(line) : QString();
    // What goes out unquoted is a number; values below 1 take the defaults.
    const auto numberOr = [&](const QString& field, int fallback) {
        const int value = intOf(item->value(field).toString(), intOf(contact.value(field).toString()));
        return QString::number(value >= 1 ? value : fallback);
    };
    const QString text = QStringLiteral("at+mpbw=") + index + QStringLiteral(",\"") + number + QStringLiteral("\",,\"")
                         + session().encode(name) + QStringLiteral("\",") + QString::number(type) + QLatin1Char(',')
                         + numberOr(QStringLiteral("voicedial"), 0) + QLatin1Char(',')
                         + numberOr(QStringLiteral("ringtone"), 255) + QStringLiteral(",0,")
                         + numberOr(kMainEntry, 0) + QLatin1Char(',') + numberOr(kCategory, 1) + QLatin1Char(',')
                         + numberOr(QStringLiteral("iconID"), 255) + QLatin1Char(',') + QString::number(order)
                         + QLatin1Char(',') + QString::number(position) + QStringLiteral(",\"")
                         + session().encode(item->value(kLogo).toString()) + QStringLiteral("\"\r");
    QVariantMap write = command(stage, kReplyStage, signal, 42, text);
    if (index.isEmpty())
        write.insert(key(kSLTCommDeviceCommandQueueCommandPayload), kNewSlot);
    engine().commandQueue().addCommand(write);
}

std::optional<QString> SLTCommDeviceMotorolaPhonebookExt::parseNewSlot(const QString& reply)
{
    const QStringList lines = reply.split(QStringLiteral("\r\n"));
    if (lines.size() != 5)
        return std::nullopt;
    const QStringList halves = lines.at(1).split(QLatin1Char(' '));
    if (halves.size() != 2)
        return std::nullopt;
    const QString slot = halves.at(1).section(QLatin1Char(','), 0, 0).trimmed();
    if (!isDigits(slot) || slot.toInt() <= 0)
        return std::nullopt;
    return slot;
}

// --- Replies ------------------------------------------------------------------

void SLTCommDeviceMotorolaPhonebookExt::replyStage(const QString& selector, const QVariantMap& result)
{
    const QString resultKey = key(kSLTCommDeviceCommandQueueCommandResult);
    if (!result.contains(resultKey)) {
        engine().returnResultforCommandRequest(result);
        return;
    }
    const QString reply = result.value(resultKey).toString();
    QVariantMap answer = result;
    const auto fail = [&] {
        answer.remove(resultKey);
        answer.insert(key(kSLTCommDeviceCommandQueueCommandError), key(kSLTCommDeviceCommandQueueCommandError));
        engine().returnResultforCommandRequest(answer);
    };
    if (selector == QLatin1String(kParametersStage)) {
        const std::optional<QVariantMap> parameters = parseMotorolaPhonebookParameters(reply);
        if (!parameters) {
            kitLogWith([&] { return QStringLiteral("Motorola phonebook: unusable limits: %1").arg(reply); });
            answer.remove(resultKey);
            engine().returnResultforCommandRequest(answer);
            return;
        }
        answer.insert(resultKey, *parameters);
    } else if (selector == QLatin1String(kEntriesStage)) {
        const QVariantMap contacts = parseMotorolaPhonebookEntries(reply);
        QVariantMap& gathered = session().entries();
        for (auto it = contacts.cbegin(); it != contacts.cend(); ++it)
            gathered.insert(it.key(), it.value());
        answer.insert(resultKey, contacts);
    } else if (selector == QLatin1String(kOldEntriesStage)) {
        parseOldMotorolaPhonebookEntries(reply, QStringLiteral("+MPBRE"), session().entries());
    } else if (selector == QLatin1String(kFindStage)) {
        QVariantMap found;
        parseOldMotorolaPhonebookEntries(reply, QStringLiteral("+MPBF"), found);
        answer.insert(resultKey, found);
    } else if (selector == QLatin1String(kMainEntryStage)
               && result.value(key(kSLTCommDeviceCommandQueueCommandPayload)).toString() == kNewSlot) {
        // Without the new slot the contact cannot be finished: a failure.
        const std::optional<QString> slot = parseNewSlot(reply);
        if (!slot) {
            kitLogWith([&] { return QStringLiteral("Motorola phonebook: no new slot in: %1").arg(reply); });
            fail();
            return;
        }
        answer.insert(resultKey, *slot);
    }
    engine().returnOkResultforCommandRequest(answer);
    return;
}
