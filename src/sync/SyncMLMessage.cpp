#include "sync/SyncMLMessage.h"

#include "platform/TextEncoding.h"

#include <QStringList>
#include <QXmlStreamReader>

#include <vector>

std::shared_ptr<SyncMLMessage> SyncMLMessage::messageNopCommand(std::unique_ptr<SyncMLCreatorNode> tree)
{
    std::shared_ptr<SyncMLMessage> message(new SyncMLMessage);
    message->_itsSyncMLTree = std::move(tree);
    return message;
}

std::shared_ptr<SyncMLMessage> SyncMLMessage::messagePerformCommand(std::unique_ptr<SyncMLCreatorNode> tree,
                                                                    Action action, const QVariant& param)
{
    std::shared_ptr<SyncMLMessage> message(new SyncMLMessage);
    message->_operation = Perform;
    message->_itsSyncMLTree = std::move(tree);
    message->_actionFunction = std::move(action);
    message->_actionParam = param;
    return message;
}

std::shared_ptr<SyncMLMessage> SyncMLMessage::messageAssignment(std::unique_ptr<SyncMLCreatorNode> tree,
                                                                QString* variable, const QString& pathForVariable)
{
    std::shared_ptr<SyncMLMessage> message(new SyncMLMessage);
    message->_operation = Assignment;
    message->_itsSyncMLTree = std::move(tree);
    message->_variable = variable;
    message->_pathForVariable = pathForVariable;
    return message;
}

int SyncMLMessage::execute(const SyncMLCreatorNode& answer)
{
    if (_operation == Perform && _actionFunction)
        _actionFunction(*this);
    else if (_operation == Assignment)
        makeAssignment(answer);
    return 200;
}

bool SyncMLMessage::makeAssignment(const SyncMLCreatorNode& answer)
{
    const SyncMLCreatorNode* found = syncmlreader::findElemPath(&answer, _pathForVariable);
    if (!found || !_variable)
        return false;
    *_variable = found->textContent();
    return true;
}

namespace syncmlreader {

std::unique_ptr<SyncMLCreatorNode> parseXML(const QByteArray& xml, QString* error)
{
    auto document = SyncMLCreatorNode::document();
    std::vector<SyncMLCreatorNode*> open{document.get()};
    // XML reading turns CR LF into LF, but item texts keep their line ends
    // (vCard 2.1 ends lines with CR LF): carry each CR through the reader as
    // a private character and put it back in the texts.
    static const QByteArray carriedCR("\xEE\x80\x8D");
    constexpr char16_t kCarriedCR = 0xE00D;
    const bool carryCR = xml.contains('\r') && !xml.contains(carriedCR);
    QXmlStreamReader reader(carryCR ? QByteArray(xml).replace('\r', carriedCR) : xml);
    const auto fail = [&](const QString& reason) -> std::unique_ptr<SyncMLCreatorNode> {
        if (error)
            *error = reason;
        return nullptr;
    };
    bool hasRoot = false;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            if (int(open.size()) > kMaxDepth)
                return fail(QStringLiteral("elements nest deeper than %1").arg(kMaxDepth));
            auto element = SyncMLCreatorNode::element(reader.name().toString());
            for (const QXmlStreamAttribute& attribute : reader.attributes())
                element->setAttribute(attribute.qualifiedName().toString(), attribute.value().toString());
            open.push_back(open.back()->addChild(std::move(element)));
            hasRoot = true;
            break;
        }
        case QXmlStreamReader::EndElement:
            if (open.size() > 1)
                open.pop_back();
            break;
        case QXmlStreamReader::Characters: {
            if (open.size() < 2)
                break;
            QString text = reader.text().toString();
            if (carryCR)
                text.replace(QChar(kCarriedCR), QLatin1Char('\r'));
            if (reader.isCDATA())
                open.back()->addChild(SyncMLCreatorNode::cdata(text));
            else if (!text.trimmed().isEmpty())
                open.back()->addChild(SyncMLCreatorNode::text(text));
            break;
        }
        default:
            break;
        }
    }
    if (reader.hasError())
        return fail(reader.errorString());
    if (!hasRoot)
        return fail(QStringLiteral("no element"));
    return document;
}

QByteArray fixXMLData(const QByteArray& data)
{
    QByteArray fixed;
    fixed.reserve(data.size() + data.size() / 8);
    for (const char byte : data) {
        const auto value = uchar(byte);
        if (value < 0x80) {
            fixed.append(byte);
        } else {
            fixed.append(char(0xC0 | (value >> 6)));
            fixed.append(char(0x80 | (value & 0x3F)));
        }
    }
    return fixed;
}

namespace {

QString syncMLMessageLatin2(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return QString();
    if (const auto text = platform::text::decode(bytes, platform::text::Encoding::Latin2))
        return *text;
    return QString::fromLatin1(bytes);
}

} // namespace

QByteArray fixMixedEncoding(const QByteArray& data)
{
    static const QByteArray open("![CDATA[");
    static const QByteArray close("]]");
    QString text;
    qsizetype from = 0;
    qsizetype outsideStart = 0;
    while (from < data.size()) {
        const qsizetype marker = data.indexOf(open, from);
        if (marker < 0)
            break;
        const qsizetype content = marker + open.size();
        const qsizetype end = data.indexOf(close, content);
        bool sixteenBit = false;
        bool swap = false;
        if (end >= 0 && end - content >= 2) {
            if (data.at(content) == 0)
                sixteenBit = true;
            else if (data.at(content + 1) == 0)
                sixteenBit = swap = true;
        }
        if (!sixteenBit) {
            // Not a 16-bit section (or never closed): its bytes stay outside
            // text; the scan goes on behind the marker.
            from = content;
            continue;
        }
        text += syncMLMessageLatin2(data.mid(outsideStart, content - outsideStart));
        QByteArray section = data.mid(content, (end - content) & ~qsizetype(1));
        if (swap)
            for (qsizetype i = 0; i + 1 < section.size(); i += 2)
                std::swap(section[i], section[i + 1]);
        for (qsizetype i = 0; i + 1 < section.size(); i += 2)
            text += QChar(char16_t((uchar(section.at(i)) << 8) | uchar(section.at(i + 1))));
        outsideStart = from = content + (end - content);
    }
    text += syncMLMessageLatin2(data.mid(outsideStart));
    return text.toUtf8();
}

const SyncMLCreatorNode* findElem(const SyncMLCreatorNode* tree, const QString& tag)
{
    return tree ? tree->child(tag) : nullptr;
}

const SyncMLCreatorNode* findElemPath(const SyncMLCreatorNode* tree, const QString& path)
{
    const SyncMLCreatorNode* node = tree;
    for (const QString& step : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        node = findElem(node, step);
        if (!node)
            return nullptr;
    }
    return node;
}

QString getTag(const SyncMLCreatorNode* tree)
{
    if (!tree || tree->children().empty())
        return QStringLiteral("");
    const SyncMLCreatorNode& first = *tree->children().front();
    if (first.kind() == SyncMLCreatorNode::Kind::Text || first.kind() == SyncMLCreatorNode::Kind::CData)
        return tree->textContent();
    return first.textContent();
}

QString findTag(const SyncMLCreatorNode* tree, const QString& tag)
{
    const SyncMLCreatorNode* found = findElem(tree, tag);
    if (!found)
        return QString();
    const QString text = getTag(found);
    return text.isNull() ? QStringLiteral("") : text;
}

QString findPathText(const SyncMLCreatorNode* tree, const QString& path)
{
    const SyncMLCreatorNode* found = findElemPath(tree, path);
    if (!found)
        return QString();
    const QString text = getTag(found);
    return text.isNull() ? QStringLiteral("") : text;
}

QString getTreeName(const SyncMLCreatorNode* tree)
{
    return tree ? tree->tag() : QStringLiteral("");
}

} // namespace syncmlreader
