#include "IrmcPhone.h"

#include <QRegularExpression>
#include <QStringList>

namespace phonesim {

namespace {
constexpr quint8 kIrmcSuccess = 0xA0;
constexpr quint8 kIrmcForbidden = 0xC3;
constexpr quint8 kIrmcNotFound = 0xC4;
// A full phonebook refuses the write (the OBEX "Database Full" code).
constexpr quint8 kIrmcFull = 0xE0;

QByteArray irmcPhoneParam(quint8 tag, const QByteArray& value)
{
    QByteArray out;
    out.append(char(tag));
    out.append(char(value.size()));
    return out + value;
}

// The card without any X-IRMC-LUID line, lines ending CR LF.
QByteArray irmcPhoneCleaned(const QByteArray& card)
{
    QByteArray out;
    for (QByteArray line : card.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() || line.toUpper().startsWith("X-IRMC-LUID"))
            continue;
        out += line + "\r\n";
    }
    return out;
}
} // namespace

bool IrmcPhone::handles(const QString& name)
{
    return name.startsWith(QLatin1String("telecom/"));
}

QByteArray IrmcPhone::card(const QString& name, const QString& number)
{
    return "BEGIN:VCARD\r\nVERSION:2.1\r\nN:" + name.toLatin1() + ";;;;\r\nTEL;CELL:" + number.toLatin1()
        + "\r\nEND:VCARD\r\n";
}

int IrmcPhone::indexOf(const QString& luid) const
{
    for (int i = 0; i < _entries.size(); ++i) {
        if (_entries.at(i).luid == luid)
            return i;
    }
    return -1;
}

std::optional<IrmcPhone::Entry> IrmcPhone::entry(const QString& luid) const
{
    const int at = indexOf(luid);
    return at < 0 ? std::nullopt : std::optional<Entry>(_entries.at(at));
}

void IrmcPhone::noteChange(char type, const QString& luid)
{
    ++_counter;
    _changes.append(Change{type, _counter, luid});
}

QString IrmcPhone::addEntry(const QByteArray& card)
{
    const QString luid = QString::number(_nextLuid++, 16).toUpper();
    _entries.append(Entry{luid, irmcPhoneCleaned(card)});
    noteChange('M', luid);
    return luid;
}

bool IrmcPhone::modifyEntry(const QString& luid, const QByteArray& card)
{
    const int at = indexOf(luid);
    if (at < 0)
        return false;
    _entries[at].card = irmcPhoneCleaned(card);
    noteChange('M', luid);
    return true;
}

bool IrmcPhone::removeEntry(const QString& luid)
{
    const int at = indexOf(luid);
    if (at < 0)
        return false;
    _entries.removeAt(at);
    noteChange('D', luid);
    return true;
}

QByteArray IrmcPhone::served(const Entry& entry) const
{
    QByteArray text = entry.card;
    const qsizetype end = text.lastIndexOf("END:VCARD");
    if (end < 0)
        return text;
    text.insert(end, "X-IRMC-LUID:" + entry.luid.toLatin1() + "\r\n");
    return text;
}

QByteArray IrmcPhone::infoLog() const
{
    return "IEL:" + QByteArray(_level4 ? "0x10" : "0x02") + "\r\nDID:" + _databaseID.toLatin1()
        + "\r\nTotal-Records:" + QByteArray::number(_entries.size())
        + "\r\nMaximum-Records:" + QByteArray::number(_capacity) + "\r\nHD:YES\r\n";
}

QByteArray IrmcPhone::changeLogSince(const QString& anchor) const
{
    QByteArray text = "SN:0\r\nDID:" + _databaseID.toLatin1() + "\r\nTotal-Records:"
        + QByteArray::number(_entries.size()) + "\r\nMaximum-Records:" + QByteArray::number(_capacity) + "\r\n";
    bool ok = false;
    const int since = anchor.toInt(&ok);
    if (!ok || since > _counter)
        return text + "*\r\n";
    for (const Change& change : _changes) {
        if (change.counter > since)
            text += QByteArray(1, change.type) + ':' + QByteArray::number(change.counter)
                + "::" + change.luid.toLatin1() + "\r\n";
    }
    return text;
}

QByteArray IrmcPhone::phonebook() const
{
    QByteArray body;
    for (const Entry& entry : _entries)
        body += served(entry);
    if (_wrapped)
        return "BEGIN:VCARD\r\nVERSION:2.1\r\n" + body + "END:VCARD\r\n";
    if (_entries.isEmpty())
        return "BEGIN:VCARD\r\nVERSION:2.1\r\nEND:VCARD\r\n";
    return body;
}

std::optional<QByteArray> IrmcPhone::get(const QString& name) const
{
    _reads.append(name);
    if (_overrides.contains(name))
        return _overrides.value(name);
    if (name == QLatin1String("telecom/pb/info.log"))
        return infoLog();
    if (name == QLatin1String("telecom/pb/luid/cc.log"))
        return QByteArray::number(_counter);
    if (name == QLatin1String("telecom/pb.vcf"))
        return phonebook();
    static const QRegularExpression changeLog(QStringLiteral("^telecom/pb/luid/([^/]*)\\.log$"));
    static const QRegularExpression byLuid(QStringLiteral("^telecom/pb/luid/([^/]+)\\.vcf$"));
    static const QRegularExpression byIndex(QStringLiteral("^telecom/pb/(\\d+)\\.vcf$"));
    if (const auto m = changeLog.match(name); m.hasMatch())
        return changeLogSince(m.captured(1));
    if (const auto m = byLuid.match(name); m.hasMatch()) {
        const int at = indexOf(m.captured(1));
        return at < 0 ? std::nullopt : std::optional<QByteArray>(served(_entries.at(at)));
    }
    if (const auto m = byIndex.match(name); m.hasMatch()) {
        const int index = m.captured(1).toInt();
        if (index < 1 || index > _entries.size())
            return std::nullopt;
        return served(_entries.at(index - 1));
    }
    return std::nullopt;
}

IrmcPhone::PutAnswer IrmcPhone::put(const QString& name, const QByteArray& data, bool hasBody)
{
    static const QRegularExpression byLuid(QStringLiteral("^telecom/pb/luid/([^/]+)\\.vcf$"));
    const auto m = byLuid.match(name);
    if (!m.hasMatch())
        return PutAnswer{kIrmcForbidden, {}};
    _writes.append(name);
    const QString luid = m.captured(1);
    QString written;
    if (!hasBody || data.isEmpty()) {
        if (!removeEntry(luid))
            return PutAnswer{kIrmcNotFound, {}};
        written = luid;
    } else if (indexOf(luid) >= 0) {
        modifyEntry(luid, data);
        written = luid;
    } else {
        if (_entries.size() >= _capacity)
            return PutAnswer{kIrmcFull, {}};
        written = addEntry(data);
    }
    PutAnswer answer{kIrmcSuccess, {}};
    if (_level4)
        answer.appParams = irmcPhoneParam(1, written.toLatin1()) + irmcPhoneParam(2, QByteArray::number(_counter));
    return answer;
}

} // namespace phonesim
