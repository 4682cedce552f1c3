#include "foundation/XMLUtils.h"

#include <QStringList>

namespace {

QString nodeString(const QDomNode& node)
{
    if (node.isNull())
        return QString();
    if (node.isElement())
        return node.toElement().tagName();
    if (node.isCharacterData())
        return node.toCharacterData().data();
    if (node.isProcessingInstruction())
        return node.toProcessingInstruction().target();
    return node.nodeName();
}

} // namespace

QString getXMLTreeName(const QDomNode& tree)
{
    if (tree.isNull())
        return QStringLiteral("");
    return nodeString(tree);
}

QString getXMLTag(const QDomNode& tree)
{
    const QDomNode child = tree.isNull() ? QDomNode() : tree.firstChild();
    if (child.isNull())
        return QStringLiteral("");
    return nodeString(child);
}

QString findXMLTag(const QDomNode& tree, const QString& name)
{
    if (tree.isNull())
        return QStringLiteral("");
    for (QDomNode child = tree.firstChild(); !child.isNull(); child = child.nextSibling()) {
        if (nodeString(child) == name)
            return getXMLTag(child);
    }
    return QString();
}

QDomElement findXMLElem(const QDomNode& tree, const QString& name)
{
    if (tree.isNull())
        return QDomElement();
    for (QDomElement child = tree.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        if (child.tagName() == name)
            return child;
    }
    return QDomElement();
}

QDomElement findXMLElemPath(const QDomNode& tree, const QString& path)
{
    QDomNode current = tree;
    QDomElement found;
    for (const QString& component : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        found = findXMLElem(current, component);
        if (found.isNull())
            return QDomElement();
        current = found;
    }
    return found;
}

QDomElement findnthXMLElem(const QDomNode& tree, const QString& name, int n)
{
    if (tree.isNull() || n < 0)
        return QDomElement();
    int index = 0;
    for (QDomElement child = tree.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        if (child.tagName() == name && index++ == n)
            return child;
    }
    return QDomElement();
}
