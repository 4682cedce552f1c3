#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>
#include <vector>

// The XML tree of a SyncML document as the message builder makes it: a
// document node, elements with attributes, text and CDATA children. The
// writer gives the document's UTF-8 text, which is what goes to the WBXML
// encoder.
class SyncMLCreatorNode {
public:
    enum class Kind { Document, Element, Text, CData };

    static std::unique_ptr<SyncMLCreatorNode> document();
    // emptyTag: written as an empty-element tag ("<Final/>").
    static std::unique_ptr<SyncMLCreatorNode> element(const QString& tag, bool emptyTag = false);
    static std::unique_ptr<SyncMLCreatorNode> text(const QString& value);
    static std::unique_ptr<SyncMLCreatorNode> cdata(const QString& value);

    Kind kind() const { return _kind; }
    const QString& tag() const { return _tag; }
    const QString& value() const { return _value; }
    bool isEmptyTag() const { return _emptyTag; }

    void setAttribute(const QString& name, const QString& value);
    QString attribute(const QString& name) const;

    // A deep copy.
    std::unique_ptr<SyncMLCreatorNode> clone() const;
    void removeAllChildren() { _children.clear(); }

    // Appends the child and answers it (owned by this node).
    SyncMLCreatorNode* addChild(std::unique_ptr<SyncMLCreatorNode> child);
    const std::vector<std::unique_ptr<SyncMLCreatorNode>>& children() const { return _children; }
    int childCount() const { return int(_children.size()); }

    // The first child element with the tag; a path "SyncBody/Sync/Add" walks
    // down from here. Null when none.
    SyncMLCreatorNode* child(const QString& tag) const;
    SyncMLCreatorNode* find(const QString& path) const;
    // Every child element with the tag, in order.
    std::vector<SyncMLCreatorNode*> childrenNamed(const QString& tag) const;
    // The concatenated text and CDATA below this node.
    QString textContent() const;

    // The node as XML text in UTF-8. A document starts with its declaration.
    QByteArray xmlData() const;

private:
    explicit SyncMLCreatorNode(Kind kind) : _kind(kind) { }
    void write(QByteArray& out) const;

    Kind _kind;
    QString _tag;
    QString _value;
    bool _emptyTag = false;
    QList<QPair<QString, QString>> _attributes;
    std::vector<std::unique_ptr<SyncMLCreatorNode>> _children;
};
