#include "SyncMLPhoneScript.h"

#include "ObexServer.h"

#include <QMutexLocker>
#include <QRegularExpression>

#include <wbxml/wbxml_conv.h>
#include <wbxml/wbxml_errors.h>

#include <cstdlib>

namespace phonesim {

namespace {

QByteArray takeWbxmlBuffer(WB_UTINY* buffer, WB_ULONG length)
{
    QByteArray bytes(reinterpret_cast<const char*>(buffer), qsizetype(length));
    std::free(buffer);
    return bytes;
}

QString firstCapture(const QString& text, const QString& pattern)
{
    return QRegularExpression(pattern).match(text).captured(1);
}

} // namespace

SyncMLPhoneScript::SyncMLPhoneScript(QStringList items, QString programDB, QString phoneDB, int addStatus)
    : _items(std::move(items))
    , _programDB(std::move(programDB))
    , _phoneDB(std::move(phoneDB))
    , _addStatus(addStatus)
{
}

std::shared_ptr<SyncMLPhoneScript> SyncMLPhoneScript::withItems(const QStringList& items, const QString& programDB,
                                                                const QString& phoneDB)
{
    return std::make_shared<SyncMLPhoneScript>(items, programDB, phoneDB);
}

std::shared_ptr<SyncMLPhoneScript> SyncMLPhoneScript::wipedPhone(const QString& programDB, const QString& phoneDB)
{
    return std::make_shared<SyncMLPhoneScript>(QStringList(), programDB, phoneDB);
}

std::shared_ptr<SyncMLPhoneScript> SyncMLPhoneScript::refusingAdds(int status, const QStringList& items,
                                                                   const QString& programDB, const QString& phoneDB)
{
    return std::make_shared<SyncMLPhoneScript>(items, programDB, phoneDB, status);
}

void SyncMLPhoneScript::install(ObexServer& server)
{
    server.setSyncMLClientMessage(firstMessage());
    std::shared_ptr<SyncMLPhoneScript> self = shared_from_this();
    server.setSyncMLClientResponder([self](const QByteArray& answer) { return self->next(answer); });
}

QByteArray SyncMLPhoneScript::message(const QString& body) const
{
    const QString header = _msgID == 1
        ? QStringLiteral("<Meta><MaxMsgSize xmlns='syncml:metinf'>8000</MaxMsgSize></Meta>")
        : QString();
    const QString xml = QStringLiteral("<SyncML xmlns='SYNCML:SYNCML1.2'><SyncHdr><VerDTD>1.2</VerDTD>"
                                       "<VerProto>SyncML/1.2</VerProto><SessionID>1</SessionID><MsgID>%1</MsgID>"
                                       "<Target><LocURI>iSync</LocURI></Target>"
                                       "<Source><LocURI>IMEI:350000000000001</LocURI></Source>%2</SyncHdr>"
                                       "<SyncBody>%3</SyncBody></SyncML>")
                            .arg(_msgID)
                            .arg(header, body);
    return toWBXML(xml.toUtf8());
}

QByteArray SyncMLPhoneScript::firstMessage() const
{
    QMutexLocker lock(&_mutex);
    // A slow sync (201) of the phone's database.
    const QString alert = QStringLiteral("<Alert><CmdID>1</CmdID><Data>201</Data><Item><Target><LocURI>%1</LocURI>"
                                         "</Target><Source><LocURI>%2</LocURI></Source><Meta><Anchor "
                                         "xmlns='syncml:metinf'><Last>41</Last><Next>42</Next></Anchor></Meta></Item>"
                                         "</Alert><Final/>")
                              .arg(_programDB, _phoneDB);
    return message(alert);
}

QByteArray SyncMLPhoneScript::next(const QByteArray& answer)
{
    QMutexLocker lock(&_mutex);
    const QString xml = QString::fromUtf8(toXML(answer));
    _answers << xml;
    // An answer that does not decode is a broken session, never its end.
    if (xml.isEmpty()) {
        _undecodable = true;
        return {};
    }
    const QString msgRef = firstCapture(xml, QStringLiteral("<MsgID>(\\d+)</MsgID>"));
    ++_msgID;
    if (!_itemsSent) {
        _itemsSent = true;
        QString adds;
        if (!_items.isEmpty()) {
            adds = QStringLiteral("<Add><CmdID>3</CmdID>");
            for (qsizetype n = 0; n < _items.size(); ++n)
                adds += QStringLiteral("<Item><Source><LocURI>%1</LocURI></Source><Data><![CDATA[%2]]></Data></Item>")
                            .arg(100 + n)
                            .arg(_items.at(n));
            adds += QStringLiteral("</Add>");
        }
        return message(QStringLiteral("<Sync><CmdID>2</CmdID><Target><LocURI>%1</LocURI></Target><Source><LocURI>"
                                      "%2</LocURI></Source>%3</Sync><Final/>")
                           .arg(_programDB, _phoneDB, adds));
    }
    if (xml.contains(QLatin1String("<Sync>")))
        return message(statusesAndMap(xml, msgRef) + QStringLiteral("<Final/>"));
    if (xml.contains(QLatin1String("<Alert>")))
        return message(QStringLiteral("<Final/>"));
    _finished = !_undecodable;
    return {};
}

QString SyncMLPhoneScript::statusesAndMap(const QString& answer, const QString& msgRef)
{
    QString statuses;
    QString mapItems;
    int cmdID = 1;
    const auto status = [&](const QString& cmdRef, const QString& cmd, const QString& ref, int code) {
        statuses += QStringLiteral("<Status><CmdID>%1</CmdID><MsgRef>%2</MsgRef><CmdRef>%3</CmdRef><Cmd>%4</Cmd>%5"
                                   "<Data>%6</Data></Status>")
                        .arg(cmdID++)
                        .arg(msgRef, cmdRef, cmd,
                             ref.isEmpty() ? QString() : QStringLiteral("<SourceRef>%1</SourceRef>").arg(ref))
                        .arg(code);
        ++_statusesSent;
    };
    const QString syncID = firstCapture(answer, QStringLiteral("<Sync><CmdID>(\\d+)</CmdID>"));
    if (!syncID.isEmpty())
        status(syncID, QStringLiteral("Sync"), QString(), 200);
    static const QRegularExpression command(QStringLiteral("<(Add|Replace|Delete)><CmdID>(\\d+)</CmdID>(.*?)</\\1>"),
                                            QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression item(QStringLiteral("<Item>(.*?)</Item>"),
                                         QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression source(QStringLiteral("<Source><LocURI>([^<]*)</LocURI></Source>"));
    static const QRegularExpression data(QStringLiteral("<Data>(.*)</Data>"),
                                         QRegularExpression::DotMatchesEverythingOption);
    for (auto commands = command.globalMatch(answer); commands.hasNext();) {
        const QRegularExpressionMatch found = commands.next();
        const QString name = found.captured(1);
        const bool isAdd = name == QLatin1String("Add");
        for (auto items = item.globalMatch(found.captured(3)); items.hasNext();) {
            const QString body = items.next().captured(1);
            const QString ref = source.match(body).captured(1);
            const int code = isAdd ? _addStatus : 200;
            status(found.captured(2), name, ref, code);
            if (!isAdd)
                continue;
            _added << data.match(body).captured(1);
            if (code < 300 && !ref.isEmpty())
                mapItems += QStringLiteral("<MapItem><Target><LocURI>%1</LocURI></Target><Source><LocURI>%2</LocURI>"
                                           "</Source></MapItem>")
                                .arg(ref)
                                .arg(_nextMapID++);
        }
    }
    if (!mapItems.isEmpty())
        statuses += QStringLiteral("<Map><CmdID>%1</CmdID><Target><LocURI>%2</LocURI></Target><Source><LocURI>%3"
                                   "</LocURI></Source>%4</Map>")
                        .arg(cmdID++)
                        .arg(_phoneDB, _programDB, mapItems);
    return statuses;
}

QStringList SyncMLPhoneScript::answers() const
{
    QMutexLocker lock(&_mutex);
    return _answers;
}

QStringList SyncMLPhoneScript::addedByProgram() const
{
    QMutexLocker lock(&_mutex);
    return _added;
}

int SyncMLPhoneScript::statusesSent() const
{
    QMutexLocker lock(&_mutex);
    return _statusesSent;
}

bool SyncMLPhoneScript::finished() const
{
    QMutexLocker lock(&_mutex);
    return _finished;
}

QByteArray SyncMLPhoneScript::toWBXML(const QByteArray& xml)
{
    WBXMLConvXML2WBXML* conv = nullptr;
    if (wbxml_conv_xml2wbxml_create(&conv) != WBXML_OK)
        return {};
    wbxml_conv_xml2wbxml_set_version(conv, WBXML_VERSION_12);
    wbxml_conv_xml2wbxml_disable_string_table(conv);
    QByteArray input = xml;
    WB_UTINY* output = nullptr;
    WB_ULONG length = 0;
    const WBXMLError result = wbxml_conv_xml2wbxml_run(conv, reinterpret_cast<WB_UTINY*>(input.data()),
                                                       static_cast<WB_ULONG>(input.size()), &output, &length);
    wbxml_conv_xml2wbxml_destroy(conv);
    if (result != WBXML_OK || !output) {
        std::free(output);
        return {};
    }
    return takeWbxmlBuffer(output, length);
}

QByteArray SyncMLPhoneScript::toXML(const QByteArray& wbxml)
{
    if (wbxml.isEmpty())
        return {};
    WBXMLConvWBXML2XML* conv = nullptr;
    if (wbxml_conv_wbxml2xml_create(&conv) != WBXML_OK)
        return {};
    wbxml_conv_wbxml2xml_set_gen_type(conv, WBXML_GEN_XML_COMPACT);
    wbxml_conv_wbxml2xml_set_language(conv, WBXML_LANG_SYNCML_SYNCML12);
    wbxml_conv_wbxml2xml_set_charset(conv, WBXML_CHARSET_UTF_8);
    QByteArray input = wbxml;
    WB_UTINY* output = nullptr;
    WB_ULONG length = 0;
    const WBXMLError result = wbxml_conv_wbxml2xml_run(conv, reinterpret_cast<WB_UTINY*>(input.data()),
                                                       static_cast<WB_ULONG>(input.size()), &output, &length);
    wbxml_conv_wbxml2xml_destroy(conv);
    if (result != WBXML_OK || !output) {
        std::free(output);
        return {};
    }
    return takeWbxmlBuffer(output, length);
}

} // namespace phonesim
