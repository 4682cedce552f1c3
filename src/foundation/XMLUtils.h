#pragma once

#include <QDomElement>
#include <QDomNode>
#include <QString>

// Lookups in a parsed XML tree. A node's string is an element's tag name,
// a text's (or CDATA's) characters, a comment's text, otherwise its name.

// The string of the node itself; "" for a null node.
QString getXMLTreeName(const QDomNode& tree);
// The string of the first child ("" when there is none): an element's text.
QString getXMLTag(const QDomNode& tree);
// The getXMLTag() of the first direct child (any kind) whose string is name;
// null when none has it, "" for a null tree.
QString findXMLTag(const QDomNode& tree, const QString& name);
// The first direct element child of that name; null when none.
QDomElement findXMLElem(const QDomNode& tree, const QString& name);
// One findXMLElem() per "/"-separated component of path ("a/b/c").
QDomElement findXMLElemPath(const QDomNode& tree, const QString& path);
// The n-th (from 0) direct element child of that name.
QDomElement findnthXMLElem(const QDomNode& tree, const QString& name, int n);
