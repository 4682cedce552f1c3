// The SIM phonebook of 27.007 on the AT engine: parameters, range reads,
// one-entry writes, new entries and deletes, each (but the parameters and
// the deletes) in the richest character set the phone offers.
#include "kestrova/core/SLTCommDevice.h"

#include "kestrova/core/AtTextFields.h"
#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/EngineReplies.h"
#include "kestrova/core/KitLog.h"
#include "kestrova/core/PhonebookSignals.h"
#include "kestrova/sms/Constants.h"

using namespace kestrova::core;
using namespace kestrova::core::engine;
using kestrova::Constants;
using kestrova::kitLogWith;

namespace {

const QString kSimPlace = QStringLiteral("simPlace");
const QString kName = QStringLiteral("name");
const QString kNumber = QStringLiteral("number");
// Marks the command that switches the phone back to its own set.
const QString kRestoreMark = QStringLiteral("SLTCommDevicePhonebookRestore");

QVariant payloadOf(const platform::Notification& n)
{
    return n.userInfo.value(key(kSLTCommDeviceCommandQueueCommandPayload));
}

bool isSequenceEnd(const platform::Notification& n)
{
    return n.userInfo.contains(key(kSLTCommDeviceCommandSequenceFinished));
}

bool isRestore(const platform::Notification& n)
{
    return n.userInfo.contains(kRestoreMark);
}

QVariantMap withPayload(QVariantMap command, const QVariant& payload)
{
    if (payload.isValid())
        command.insert(key(kSLTCommDeviceCommandQueueCommandPayload), payload);
    return command;
}

// A phonebook location given as a number (texts and other objects are none).
std::optional<int> locationOf(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double: {
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok || number < 1 || number > 1e9 || number != double(qint64(number)))
            return std::nullopt;
        return int(number);
    }
    default:
        return std::nullopt;
    }
}

bool isUcs2(const QString& encoding)
{
    return encoding == QLatin1String("UCS2");
}

bool isUtf8(const QString& encoding)
{
    return encoding == QLatin1String("UTF-8") || encoding == QLatin1String("UTF8");
}

QString ucs2OrEmpty(const QString& text)
{
    return text.isEmpty() ? QString(QLatin1String("")) : Constants::encodeToUcs2CocoaAsciiStream(text);
}

QString fromUcs2OrEmpty(const QString& hex)
{
    return hex.isEmpty() ? QString(QLatin1String("")) : Constants::decodeFromUcs2AsciiStream(hex.toLatin1());
}

// A quoted field's text; a field that is not one quoted text as it is.
QString fieldText(const QString& field)
{
    const QStringList parts = field.trimmed().split(QLatin1Char('"'));
    return parts.size() == 3 ? parts.at(1) : field.trimmed();
}

} // namespace

void SLTCommDevice::addPhonebookStages(QHash<QString, void (SLTCommDevice::*)(const platform::Notification&)>& table)
{
    for (const char* step : {kSLTCommDeviceGetPhoneBookParametersSetSimPhonebook,
                             kSLTCommDeviceGetPhoneBookParametersCommand})
        table.insert(key(step), &SLTCommDevice::phonebookParametersStage);
    for (const char* step :
         {kSLTCommDeviceGetPhoneBookEntriesSetSimPhonebook, kSLTCommDeviceGetPhoneBookEntriesGetCurrentTerminalEncoding,
          kSLTCommDeviceGetPhoneBookEntriesGetTerminalEncodings, kSLTCommDeviceGetPhoneBookEntriesSetTerminalEncoding,
          kSLTCommDeviceGetPhoneBookEntriesFromTo, kSLTCommDeviceGetPhoneBookEntriesFinished})
        table.insert(key(step), &SLTCommDevice::phonebookReadStage);
    for (const char* step :
         {kSLTCommDeviceWritePhonebookSetSimPhonebook, kSLTCommDeviceWritePhonebookGetCurrentTerminalEncoding,
          kSLTCommDeviceWritePhonebookSetTerminalEncodingToGSM, kSLTCommDeviceWritePhonebookDeletePhonebookEntry,
          kSLTCommDeviceWritePhonebookGetTerminalEncodings, kSLTCommDeviceWritePhonebookSetTerminalEncoding,
          kSLTCommDeviceWritePhonebookWriteEntry, kSLTCommDeviceWritePhonebookResetTerminalEncoding})
        table.insert(key(step), &SLTCommDevice::phonebookWriteStage);
    for (const char* step : {kSLTCommDeviceWriteNewPhoneBookEntriesSetSimPhonebook,
                             kSLTCommDeviceWriteNewPhoneBookEntriesGetCurrentTerminalEncoding,
                             kSLTCommDeviceWriteNewPhoneBookEntriesGetTerminalEncodings,
                             kSLTCommDeviceWriteNewPhoneBookEntriesSetTerminalEncoding,
                             kSLTCommDeviceWriteNewPhoneBookEntriesDummyCommand,
                             kSLTCommDeviceWriteNewPhoneBookEntriesEntryWritten,
                             kSLTCommDeviceWriteNewPhoneBookEntriesFinished,
                             kSLTCommDeviceWriteNewPhoneBookEntriesResetTerminalEncoding})
        table.insert(key(step), &SLTCommDevice::phonebookWriteNewStage);
    for (const char* step : {kSLTCommDeviceDeletePhoneBookEntriesSetSimPhonebook,
                             kSLTCommDeviceDeletePhoneBookEntriesDeleted, kSLTCommDeviceDeletePhoneBookEntriesFinished})
        table.insert(key(step), &SLTCommDevice::phonebookDeleteStage);
}

// --- Character sets -----------------------------------------------------------

std::optional<QString> SLTCommDevice::parseCurrentEncodingAnswer(const QString& reply)
{
    const QStringList parts = reply.split(QLatin1Char('"'));
    if (parts.size() != 3)
        return std::nullopt;
    const QString& name = parts.at(1);
    // A phone in UCS2 may name its set in that set.
    bool hex = name.size() >= 8 && name.size() % 4 == 0;
    for (qsizetype i = 0; hex && i < name.size(); ++i)
        hex = isxdigit(name.at(i).toLatin1()) != 0;
    if (hex) {
        const QString decoded = Constants::decodeFromUcs2AsciiStream(name.toLatin1());
        bool plain = !decoded.trimmed().isEmpty();
        for (const QChar c : decoded)
            plain = plain && c.unicode() > 0x20 && c.unicode() < 0x7F;
        if (plain)
            return decoded;
    }
    return name;
}

bool SLTCommDevice::takeCurrentEncoding(const platform::Notification& n)
{
    const std::optional<QString> current = parseCurrentEncodingAnswer(replyText(n));
    if (!current) {
        kitLogWith([&] { return QStringLiteral("SLTCommDevice: phonebook - unusable character set answer: %1").arg(replyText(n)); });
        return false;
    }
    setOrigEncoding(*current);
    return true;
}

QString SLTCommDevice::encodingSwitchCommand(const QString& wanted, const QString& codedFor) const
{
    return QStringLiteral("AT+CSCS=\"%1\"\r").arg(getEncodedStringForEncoding(codedFor, wanted));
}

void SLTCommDevice::insertEncodingSwitch(const platform::Notification& n, const char* signal)
{
    setCurrentEncoding(parseCurrentTerminalEncoding(replyText(n)));
    _commandQueue->insertCommand(withPayload(
        makeCommand(stageOf(n.userInfo), signal, 33, encodingSwitchCommand(_currentEncoding, _origEncoding)),
        payloadOf(n)));
}

QVariantMap SLTCommDevice::restoreCommand(const SLTInvocationPtr& stage, const char* signal) const
{
    QVariantMap command = makeCommand(stage, signal, 33, encodingSwitchCommand(_origEncoding, _currentEncoding));
    command.insert(kRestoreMark, true);
    return command;
}

void SLTCommDevice::failPhonebookStep(const platform::Notification& n)
{
    const bool linkLost = n.userInfo.contains(key(kSLTCommDeviceCommandQueueConnectionError));
    // A time-out, a lost link or a busy port has emptied the queue already;
    // a refused or failed command leaves the rest of its operation queued.
    const bool queueEmptied = linkLost || n.userInfo.contains(key(kSLTCommDeviceCommandQueueTimeout))
                              || n.userInfo.contains(key(kSLTCommDeviceCommandQueueLgAppConflict));
    if (!queueEmptied)
        _commandQueue->removeRestOfCommandSequence();
    kitLogWith([&] { return QStringLiteral("SLTCommDevice: phonebook - step %1 failed").arg(n.name); });
    if (n.userInfo.contains(key(kSLTCommDeviceCommandQueueLgAppConflict))) {
        // The engine's delivery names no kind for a taken port; the caller
        // still hears which failure ended the work.
        if (const SLTInvocationPtr stage = stageOf(n.userInfo))
            stage->invoke(platform::Notification{n.name, this,
                                                 {{key(kSLTCommDeviceCommandQueueLgAppConflict),
                                                   key(kSLTCommDeviceCommandQueueLgAppConflict)},
                                                  {key(kSLTCommDeviceCommandStep), n.name}}});
    } else {
        returnResult(QVariant(), n);
    }
    if (_phonebookEncodingSwitched && !linkLost) {
        _phonebookEncodingSwitched = false;
        _commandQueue->addCommand(restoreCommand(nullptr, kSLTCommDevicePhonebookRestoreTerminalEncoding));
    }
}

// --- Parameters ---------------------------------------------------------------

void SLTCommDevice::getPhoneBookParameters(const SLTInvocationPtr& stage)
{
    _commandQueue->addCommands({makeCommand(stage, kSLTCommDeviceGetPhoneBookParametersSetSimPhonebook, 29),
                                makeCommand(stage, kSLTCommDeviceGetPhoneBookParametersCommand, 30),
                                makeSequenceEnd(stage, kSLTCommDeviceGetPhoneBookParametersCommand)});
}

std::optional<QVariantMap> SLTCommDevice::parsePhoneBookLimits(const QString& reply, qsizetype minFields,
                                                                qsizetype maxFields)
{
    const QStringList lines = reply.split(QStringLiteral("\r\n"));
    if (lines.size() != 5)
        return std::nullopt;
    const QStringList halves = lines.at(1).split(QLatin1Char(' '));
    if (halves.size() != 2)
        return std::nullopt;
    const QStringList fields = halves.at(1).split(QLatin1Char(','));
    if (fields.size() < minFields || fields.size() > maxFields)
        return std::nullopt;
    QString range = fields.at(0);
    if (range.size() > 2 && range.startsWith(QLatin1Char('(')) && range.endsWith(QLatin1Char(')')))
        range = range.mid(1, range.size() - 2);
    const QStringList ends = range.split(QLatin1Char('-'));
    if (ends.size() != 2)
        return std::nullopt;
    bool ok[4] = {};
    const int start = ends.at(0).trimmed().toInt(&ok[0]);
    const int end = ends.at(1).trimmed().toInt(&ok[1]);
    const int numberLength = fields.at(1).trimmed().toInt(&ok[2]);
    const int nameLength = fields.at(2).trimmed().toInt(&ok[3]);
    if (!ok[0] || !ok[1] || !ok[2] || !ok[3])
        return std::nullopt;
    return QVariantMap{{QStringLiteral("start"), start},
                       {QStringLiteral("end"), end},
                       {QStringLiteral("maxNumberLength"), numberLength},
                       {QStringLiteral("maxNameLength"), nameLength}};
}

std::optional<QVariantMap> SLTCommDevice::parsePhoneBookParameters(const QString& reply)
{
    return parsePhoneBookLimits(reply, 3, 3);
}

void SLTCommDevice::phonebookParametersStage(const platform::Notification& n)
{
    if (isSequenceEnd(n))
        return;
    if (!hasReply(n)) {
        failPhonebookStep(n);
        return;
    }
    if (n.name != key(kSLTCommDeviceGetPhoneBookParametersCommand))
        return;
    const std::optional<QVariantMap> parameters = parsePhoneBookParameters(replyText(n));
    if (!parameters)
        kitLogWith([&] { return QStringLiteral("SLTCommDevice: phonebook - unusable parameters: %1").arg(replyText(n)); });
    returnResult(parameters ? QVariant(*parameters) : QVariant(), n);
}

// --- Reading ------------------------------------------------------------------

void SLTCommDevice::getPhoneBookEntriesFrom(int first, int last, const SLTInvocationPtr& stage)
{
    _phonebookEncodingSwitched = false;
    _commandQueue->addCommands(
        {makeCommand(stage, kSLTCommDeviceGetPhoneBookEntriesSetSimPhonebook, 29),
         makeCommand(stage, kSLTCommDeviceGetPhoneBookEntriesGetCurrentTerminalEncoding, 31),
         makeCommand(stage, kSLTCommDeviceGetPhoneBookEntriesGetTerminalEncodings, 34),
         makePlaceholder(stage, kSLTCommDeviceGetPhoneBookEntriesSetTerminalEncoding),
         makeCommand(stage, kSLTCommDeviceGetPhoneBookEntriesFromTo, 32,
                     QStringLiteral("AT+CPBR=%1,%2\r").arg(first).arg(last)),
         makePlaceholder(stage, kSLTCommDeviceGetPhoneBookEntriesSetTerminalEncoding),
         makeSequenceEnd(stage, kSLTCommDeviceGetPhoneBookEntriesFinished)});
}

QVariantList SLTCommDevice::parsePhoneBookEntries(const QString& reply) const
{
    QVariantList entries;
    const bool ucs2 = isUcs2(_currentEncoding);
    const bool se = _family == QLatin1String("se");
    for (const QString& line : reply.split(QStringLiteral("\r\n"))) {
        if (!line.startsWith(QLatin1String("+CPBR")))
            continue;
        const QStringList fields = atfields::splitOutsideQuotes(line);
        const qsizetype blank = fields.first().indexOf(QLatin1Char(' '));
        bool ok = false;
        const int location = blank < 0 ? 0 : fields.first().mid(blank + 1).trimmed().toInt(&ok);
        if (fields.size() < 4 || !ok) {
            kitLogWith([&] { return QStringLiteral("SLTCommDevice: phonebook - line skipped: %1").arg(line); });
            continue;
        }
        QString number = fieldText(fields.at(1));
        QString name = fieldText(fields.at(3));
        if (ucs2) {
            name = fromUcs2OrEmpty(name);
            if (se)
                number = fromUcs2OrEmpty(number);
        } else if (isUtf8(_currentEncoding)) {
            name = QString::fromUtf8(name.toLatin1());
            number = QString::fromUtf8(number.toLatin1());
        } else if (_currentEncoding == QLatin1String("GSM")) {
            const bool siemens = _family == QLatin1String("siemens");
            const auto decode = [siemens](const QString& text) {
                return siemens ? Constants::decodeFromSiemensGsmAsciiStream(text.toLatin1())
                               : Constants::decodeFromGsmAsciiStream(text.toLatin1());
            };
            name = decode(name);
            number = decode(number);
        }
        entries.append(QVariantMap{{kSimPlace, location}, {kName, name}, {kNumber, number}});
    }
    return entries;
}

void SLTCommDevice::phonebookReadStage(const platform::Notification& n)
{
    if (isSequenceEnd(n))
        return;
    if (!hasReply(n)) {
        failPhonebookStep(n);
        return;
    }
    if (n.name == key(kSLTCommDeviceGetPhoneBookEntriesGetCurrentTerminalEncoding)) {
        if (!takeCurrentEncoding(n))
            failPhonebookStep(n);
    } else if (n.name == key(kSLTCommDeviceGetPhoneBookEntriesGetTerminalEncodings)) {
        insertEncodingSwitch(n, kSLTCommDeviceGetPhoneBookEntriesSetTerminalEncoding);
    } else if (n.name == key(kSLTCommDeviceGetPhoneBookEntriesSetTerminalEncoding)) {
        if (!isRestore(n))
            _phonebookEncodingSwitched = true;
    } else if (n.name == key(kSLTCommDeviceGetPhoneBookEntriesFromTo)) {
        _commandQueue->insertCommand(
            restoreCommand(stageOf(n.userInfo), kSLTCommDeviceGetPhoneBookEntriesSetTerminalEncoding));
        _phonebookEncodingSwitched = false;
        returnResult(parsePhoneBookEntries(replyText(n)), n);
    }
}

// --- Writing ------------------------------------------------------------------

QString SLTCommDevice::clearPhoneBookLocationCommand(int location) const
{
    if (_family == QLatin1String("motorola") || _family == QLatin1String("nokia") || _family == QLatin1String("option"))
        return QStringLiteral("AT+CPBW=%1\r").arg(location);
    return QStringLiteral("AT+CPBW=%1,\"\",129,\"\"\r").arg(location);
}

std::optional<QString> SLTCommDevice::composePhoneBookWrite(const QVariantMap& entry) const
{
    const QString name = entry.value(kName).toString();
    QString number = entry.value(kNumber).toString();
    // A number goes into the command as it is: one that could end the
    // argument or the line is refused.
    if (!atfields::isSafeInQuotes(number))
        return std::nullopt;
    QString codedName;
    if (isUcs2(_currentEncoding)) {
        codedName = ucs2OrEmpty(name);
        if (_family == QLatin1String("se")) {
            if (number.size() > 2 && number.startsWith(QLatin1String("00")))
                number.replace(0, 2, QLatin1String("+"));
            number = ucs2OrEmpty(number);
        }
    } else if (_currentEncoding == QLatin1String("GSM")) {
        if (_family == QLatin1String("siemens")) {
            // The Siemens coding writes quotes as escapes of its own.
            QString plain = name;
            for (QChar& c : plain) {
                if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.unicode() == 0x1A)
                    c = QLatin1Char(' ');
            }
            codedName = Constants::encodeToSiemensGsmAsciiStream(plain);
        } else {
            codedName = Constants::encodeToGsmAsciiStream(atfields::quotedArgumentText(name));
        }
        codedName = atfields::blankUnsafeCharacters(codedName);
    } else {
        codedName = atfields::quotedArgumentText(name);
    }
    const int type = number.startsWith(QLatin1Char('+')) || number.startsWith(QLatin1String("002B")) ? 145 : 129;
    return QStringLiteral("AT+CPBW=,\"%1\",%2,\"%3\"\r").arg(number).arg(type).arg(codedName);
}

void SLTCommDevice::writePhoneBookEntry(const QVariantMap& entry, const SLTInvocationPtr& stage)
{
    const std::optional<int> location = locationOf(entry.value(kSimPlace));
    if (!location || !atfields::isSafeInQuotes(entry.value(kNumber).toString())) {
        kitLogWith([&] { return QStringLiteral("SLTCommDevice: phonebook - entry refused: %1").arg(entry.value(kNumber).toString()); });
        deliverKindLater(stage, key(kSLTCommDeviceWritePhonebookWriteEntry), kSLTCommDeviceCommandReturnedError);
        return;
    }
    _phonebookEncodingSwitched = false;
    _commandQueue->addCommands(
        {makeCommand(stage, kSLTCommDeviceWritePhonebookSetSimPhonebook, 29),
         makeCommand(stage, kSLTCommDeviceWritePhonebookGetCurrentTerminalEncoding, 31),
         makePlaceholder(stage, kSLTCommDeviceWritePhonebookSetTerminalEncodingToGSM),
         makeCommand(stage, kSLTCommDeviceWritePhonebookDeletePhonebookEntry, 35, clearPhoneBookLocationCommand(*location)),
         withPayload(makeCommand(stage, kSLTCommDeviceWritePhonebookGetTerminalEncodings, 34), entry),
         makePlaceholder(stage, kSLTCommDeviceWritePhonebookSetTerminalEncoding),
         makePlaceholder(stage, kSLTCommDeviceWritePhonebookWriteEntry),
         makePlaceholder(stage, kSLTCommDeviceWritePhonebookResetTerminalEncoding),
         makeSequenceEnd(stage, kSLTCommDeviceWritePhonebookResetTerminalEncoding)});
}

void SLTCommDevice::phonebookWriteStage(const platform::Notification& n)
{
    if (isSequenceEnd(n))
        return;
    if (!hasReply(n)) {
        // A location that was empty already may not clear: that is fine.
        if (n.name == key(kSLTCommDeviceWritePhonebookDeletePhonebookEntry)
            && n.userInfo.contains(key(kSLTCommDeviceCommandQueueCommandError)))
            return;
        failPhonebookStep(n);
        return;
    }
    const SLTInvocationPtr stage = stageOf(n.userInfo);
    if (n.name == key(kSLTCommDeviceWritePhonebookGetCurrentTerminalEncoding)) {
        if (!takeCurrentEncoding(n)) {
            failPhonebookStep(n);
            return;
        }
        _commandQueue->insertCommand(makeCommand(stage, kSLTCommDeviceWritePhonebookSetTerminalEncodingToGSM, 33,
                                                 encodingSwitchCommand(QStringLiteral("GSM"), _origEncoding)));
    } else if (n.name == key(kSLTCommDeviceWritePhonebookSetTerminalEncodingToGSM)) {
        setCurrentEncoding(QStringLiteral("GSM"));
        _phonebookEncodingSwitched = true;
    } else if (n.name == key(kSLTCommDeviceWritePhonebookGetTerminalEncodings)) {
        // The switch is coded for the set in force now.
        const QString prior = _origEncoding;
        _origEncoding = _currentEncoding;
        insertEncodingSwitch(n, kSLTCommDeviceWritePhonebookSetTerminalEncoding);
        _origEncoding = prior;
    } else if (n.name == key(kSLTCommDeviceWritePhonebookSetTerminalEncoding)) {
        const std::optional<QString> command = composePhoneBookWrite(payloadOf(n).toMap());
        if (!command) {
            failPhonebookStep(n);
            return;
        }
        _commandQueue->insertCommand(
            withPayload(makeCommand(stage, kSLTCommDeviceWritePhonebookWriteEntry, 36, *command), payloadOf(n)));
    } else if (n.name == key(kSLTCommDeviceWritePhonebookWriteEntry)) {
        _commandQueue->insertCommand(
            withPayload(restoreCommand(stage, kSLTCommDeviceWritePhonebookResetTerminalEncoding), payloadOf(n)));
        _phonebookEncodingSwitched = false;
    } else if (n.name == key(kSLTCommDeviceWritePhonebookResetTerminalEncoding)) {
        returnResult(payloadOf(n), n);
    }
}

void SLTCommDevice::writeNewPhoneBookEntries(const QVariantList& entries, const SLTInvocationPtr& stage)
{
    for (const QVariant& entry : entries) {
        if (!atfields::isSafeInQuotes(entry.toMap().value(kNumber).toString())) {
            kitLogWith([&] { return QStringLiteral("SLTCommDevice: phonebook - entry refused: %1").arg(entry.toMap().value(kNumber).toString()); });
            deliverKindLater(stage, key(kSLTCommDeviceWriteNewPhoneBookEntriesEntryWritten),
                             kSLTCommDeviceCommandReturnedError);
            return;
        }
    }
    _phonebookEncodingSwitched = false;
    QList<QVariantMap> commands{
        makeCommand(stage, kSLTCommDeviceWriteNewPhoneBookEntriesSetSimPhonebook, 29),
        makeCommand(stage, kSLTCommDeviceWriteNewPhoneBookEntriesGetCurrentTerminalEncoding, 31),
        makeCommand(stage, kSLTCommDeviceWriteNewPhoneBookEntriesGetTerminalEncodings, 34),
        makePlaceholder(stage, kSLTCommDeviceWriteNewPhoneBookEntriesSetTerminalEncoding)};
    for (const QVariant& entry : entries) {
        commands.append(withPayload(makeCommand(stage, kSLTCommDeviceWriteNewPhoneBookEntriesDummyCommand, 37), entry));
        commands.append(makePlaceholder(stage, kSLTCommDeviceWriteNewPhoneBookEntriesEntryWritten));
    }
    // The set is switched back before the end is told.
    commands.append(makePlaceholder(stage, kSLTCommDeviceWriteNewPhoneBookEntriesResetTerminalEncoding));
    commands.append(makeSequenceEnd(stage, kSLTCommDeviceWriteNewPhoneBookEntriesFinished));
    _commandQueue->addCommands(commands);
}

void SLTCommDevice::phonebookWriteNewStage(const platform::Notification& n)
{
    if (isSequenceEnd(n)) {
        returnResult(key(kSLTCommDeviceCommandSuccessful), n);
        return;
    }
    if (!hasReply(n)) {
        failPhonebookStep(n);
        return;
    }
    const SLTInvocationPtr stage = stageOf(n.userInfo);
    const auto restoreWhenDue = [&] {
        // After the last entry the head is the placeholder of the restore.
        const QList<QVariantMap>& queued = _commandQueue->commands();
        if (queued.isEmpty() || !queued.first().contains(key(kSLTCommDeviceCommandQueueCommandPlaceholder))
            || queued.first().value(key(kSLTCommDeviceCommandCallbackSignal)).toString()
                   != key(kSLTCommDeviceWriteNewPhoneBookEntriesResetTerminalEncoding))
            return;
        _commandQueue->insertCommand(restoreCommand(stage, kSLTCommDeviceWriteNewPhoneBookEntriesResetTerminalEncoding));
        _phonebookEncodingSwitched = false;
    };
    if (n.name == key(kSLTCommDeviceWriteNewPhoneBookEntriesGetCurrentTerminalEncoding)) {
        if (!takeCurrentEncoding(n))
            failPhonebookStep(n);
    } else if (n.name == key(kSLTCommDeviceWriteNewPhoneBookEntriesGetTerminalEncodings)) {
        insertEncodingSwitch(n, kSLTCommDeviceWriteNewPhoneBookEntriesSetTerminalEncoding);
    } else if (n.name == key(kSLTCommDeviceWriteNewPhoneBookEntriesSetTerminalEncoding)) {
        _phonebookEncodingSwitched = true;
        restoreWhenDue();
    } else if (n.name == key(kSLTCommDeviceWriteNewPhoneBookEntriesDummyCommand)) {
        const std::optional<QString> command = composePhoneBookWrite(payloadOf(n).toMap());
        if (!command) {
            failPhonebookStep(n);
            return;
        }
        _commandQueue->insertCommand(
            withPayload(makeCommand(stage, kSLTCommDeviceWriteNewPhoneBookEntriesEntryWritten, 36, *command), payloadOf(n)));
    } else if (n.name == key(kSLTCommDeviceWriteNewPhoneBookEntriesEntryWritten)) {
        returnResult(payloadOf(n), n);
        restoreWhenDue();
    }
}

// --- Deleting -----------------------------------------------------------------

void SLTCommDevice::deletePhoneBookEntries(const QVariantList& locations, const SLTInvocationPtr& stage)
{
    QList<QVariantMap> commands{makeCommand(stage, kSLTCommDeviceDeletePhoneBookEntriesSetSimPhonebook, 29)};
    for (const QVariant& value : locations) {
        const std::optional<int> location = locationOf(value);
        if (!location)
            continue;
        commands.append(withPayload(makeCommand(stage, kSLTCommDeviceDeletePhoneBookEntriesDeleted, 35,
                                                clearPhoneBookLocationCommand(*location)),
                                    *location));
    }
    commands.append(makeSequenceEnd(stage, kSLTCommDeviceDeletePhoneBookEntriesFinished));
    _commandQueue->addCommands(commands);
}

void SLTCommDevice::phonebookDeleteStage(const platform::Notification& n)
{
    if (isSequenceEnd(n)) {
        returnResult(QStringLiteral("ok"), n);
        return;
    }
    if (!hasReply(n)) {
        failPhonebookStep(n);
        return;
    }
    if (n.name == key(kSLTCommDeviceDeletePhoneBookEntriesDeleted))
        returnResult(QVariantMap{{key(kSLTCommDeviceDeletedNumber), payloadOf(n)}}, n);
}
