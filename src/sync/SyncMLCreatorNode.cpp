#include "sync/SyncMLCreatorNode.h"

namespace {

// XML has no way to carry the control characters below a space other than
// tab, line feed and carriage return: one of them in a contact's note would
// make the whole message unconvertible, so they are left out.
QByteArray xmlCharactersOf(const QString& text)
{
    QByteArray utf8 = text.toUtf8();
    utf8.removeIf([](char c) { return quint8(c) < 0x20 && c != '\t' && c != '\n' && c != '\r'; });
    return utf8;
}

void appendEscapedXml(QByteArray& out, const QString& text, bool inAttribute)
{
    const QByteArray utf8 = xmlCharactersOf(text);
    out.reserve(out.size() + utf8.size());
    for (const char c : utf8) {
        switch (c) {
        case '&':
            out.append("&amp;");
            break;
        case '<':
            out.append("&lt;");
            break;
        case '>':
            out.append("&gt;");
            break;
        case '"':
            if (inAttribute) {
                out.append("&quot;");
                break;
            }
            out.append(c);
            break;
        default:
            out.append(c);
        }
    }
}

// A CDATA section ends at the first "]]>": such a run is split between two
// sections, so the reader gets the same characters back.
void appendCData(QByteArray& out, const QString& text)
{
    QByteArray utf8 = xmlCharactersOf(text);
    utf8.replace("]]>", "]]]]><![CDATA[>");
    out.append("<![CDATA[").append(utf8).append("]]>");
}

} // namespace

std::unique_ptr<SyncMLCreatorNode> SyncMLCreatorNode::document()
{
    return std::unique_ptr<SyncMLCreatorNode>(new SyncMLCreatorNode(Kind::Document));
}

std::unique_ptr<SyncMLCreatorNode> SyncMLCreatorNode::element(const QString& tag, bool emptyTag)
{
    std::unique_ptr<SyncMLCreatorNode> node(new SyncMLCreatorNode(Kind::Element));
    node->_tag = tag;
    node->_emptyTag = emptyTag;
    return node;
}

std::unique_ptr<SyncMLCreatorNode> SyncMLCreatorNode::text(const QString& value)
{
    std::unique_ptr<SyncMLCreatorNode> node(new SyncMLCreatorNode(Kind::Text));
    node->_value = value;
    return node;
}

std::unique_ptr<SyncMLCreatorNode> SyncMLCreatorNode::cdata(const QString& value)
{
    std::unique_ptr<SyncMLCreatorNode> node(new SyncMLCreatorNode(Kind::CData));
    node->_value = value;
    return node;
}

std::unique_ptr<SyncMLCreatorNode> SyncMLCreatorNode::clone() const
{
    std::unique_ptr<SyncMLCreatorNode> copy(new SyncMLCreatorNode(_kind));
    copy->_tag = _tag;
    copy->_value = _value;
    copy->_emptyTag = _emptyTag;
    copy->_attributes = _attributes;
    copy->_children.reserve(_children.size());
    for (const auto& node : _children)
        copy->_children.push_back(node->clone());
    return copy;
}

void SyncMLCreatorNode::setAttribute(const QString& name, const QString& value)
{
    for (auto& attribute : _attributes) {
        if (attribute.first == name) {
            attribute.second = value;
            return;
        }
    }
    _attributes.append({name, value});
}

QString SyncMLCreatorNode::attribute(const QString& name) const
{
    for (const auto& attribute : _attributes)
        if (attribute.first == name)
            return attribute.second;
    return {};
}

SyncMLCreatorNode* SyncMLCreatorNode::addChild(std::unique_ptr<SyncMLCreatorNode> child)
{
    if (!child)
        return nullptr;
    _emptyTag = false;
    _children.push_back(std::move(child));
    return _children.back().get();
}

SyncMLCreatorNode* SyncMLCreatorNode::child(const QString& tag) const
{
    for (const auto& node : _children)
        if (node->_kind == Kind::Element && node->_tag == tag)
            return node.get();
    return nullptr;
}

SyncMLCreatorNode* SyncMLCreatorNode::find(const QString& path) const
{
    const SyncMLCreatorNode* node = this;
    for (const QStringView part : QStringView(path).split(u'/')) {
        node = node->child(part.toString());
        if (!node)
            return nullptr;
    }
    return const_cast<SyncMLCreatorNode*>(node);
}

std::vector<SyncMLCreatorNode*> SyncMLCreatorNode::childrenNamed(const QString& tag) const
{
    std::vector<SyncMLCreatorNode*> found;
    for (const auto& node : _children)
        if (node->_kind == Kind::Element && node->_tag == tag)
            found.push_back(node.get());
    return found;
}

QString SyncMLCreatorNode::textContent() const
{
    if (_kind == Kind::Text || _kind == Kind::CData)
        return _value;
    QString text;
    for (const auto& node : _children)
        text += node->textContent();
    return text;
}

QByteArray SyncMLCreatorNode::xmlData() const
{
    QByteArray out;
    out.reserve(1024);
    write(out);
    return out;
}

void SyncMLCreatorNode::write(QByteArray& out) const
{
    switch (_kind) {
    case Kind::Document:
        out.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
        for (const auto& node : _children)
            node->write(out);
        return;
    case Kind::Text:
        appendEscapedXml(out, _value, false);
        return;
    case Kind::CData:
        appendCData(out, _value);
        return;
    case Kind::Element:
        break;
    }
    out.append('<').append(_tag.toUtf8());
    for (const auto& attribute : _attributes) {
        out.append(' ').append(attribute.first.toUtf8()).append("=\"");
        appendEscapedXml(out, attribute.second, true);
        out.append('"');
    }
    if (_emptyTag && _children.empty()) {
        out.append("/>");
        return;
    }
    out.append('>');
    for (const auto& node : _children)
        node->write(out);
    out.append("</").append(_tag.toUtf8()).append('>');
}
