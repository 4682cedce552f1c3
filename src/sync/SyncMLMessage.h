#pragma once

#include "sync/SyncMLCreatorNode.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

// The record of an outgoing SyncML command that waits for the phone's Status
// or Results: the command's tree and what to do when the answer comes.
// Kind 0 does nothing, kind 2 calls its action with the record, kind 1
// assigns a value found at a path of the answer to a variable.
class SyncMLMessage {
public:
    enum Operation { Nothing = 0, Assignment = 1, Perform = 2 };
    using Action = std::function<void(SyncMLMessage&)>;

    static std::shared_ptr<SyncMLMessage> messageNopCommand(std::unique_ptr<SyncMLCreatorNode> tree);
    static std::shared_ptr<SyncMLMessage> messagePerformCommand(std::unique_ptr<SyncMLCreatorNode> tree, Action action,
                                                                const QVariant& param);
    // The value at path (below the answering element) goes to *variable on
    // execute().
    static std::shared_ptr<SyncMLMessage> messageAssignment(std::unique_ptr<SyncMLCreatorNode> tree, QString* variable,
                                                            const QString& pathForVariable);

    // Runs the record against the answering element; 200 in every case.
    int execute(const SyncMLCreatorNode& answer);
    // Kind 1: sets the variable from the answer; NO when the path is missing.
    bool makeAssignment(const SyncMLCreatorNode& answer);

    int operation() const { return _operation; }
    const SyncMLCreatorNode* itsSyncMLTree() const { return _itsSyncMLTree.get(); }
    const QVariant& actionParam() const { return _actionParam; }
    void setRefon(const QVariant& refCon) { _refCon = refCon; }
    const QVariant& refCon() const { return _refCon; }

private:
    SyncMLMessage() = default;

    int _operation = Nothing;
    Action _actionFunction;
    QVariant _actionParam;
    std::unique_ptr<SyncMLCreatorNode> _itsSyncMLTree;
    QString* _variable = nullptr;
    QString _pathForVariable;
    QVariant _refCon;
};

// Reading and repairing the phone's SyncML text.
namespace syncmlreader {

// Deepest element nesting a received message may have.
inline constexpr int kMaxDepth = 64;

// The XML text as a tree (white space between elements dropped); null and
// the reason when it is not well formed, nests too deeply or has no root.
std::unique_ptr<SyncMLCreatorNode> parseXML(const QByteArray& xml, QString* error = nullptr);

// Every byte of 0x80 and above read as ISO Latin-1 and written as UTF-8.
QByteArray fixXMLData(const QByteArray& data);

// Text outside CDATA sections is ISO Latin-2; each section's content is
// 16-bit text (a zero first byte: as received, a zero second byte: byte
// pairs swapped); anything else, and a section without "]]", counts as
// outside text. The result is UTF-8.
QByteArray fixMixedEncoding(const QByteArray& data);

// Tree helpers. findElem: the first child element with the name; a
// "/"-separated path walks down. getTag: the text of the element's first
// child (empty when none). findTag: the text of the named child (empty when
// it has no content, null when there is no such child).
const SyncMLCreatorNode* findElem(const SyncMLCreatorNode* tree, const QString& tag);
const SyncMLCreatorNode* findElemPath(const SyncMLCreatorNode* tree, const QString& path);
QString getTag(const SyncMLCreatorNode* tree);
QString findTag(const SyncMLCreatorNode* tree, const QString& tag);
QString findPathText(const SyncMLCreatorNode* tree, const QString& path); // null when missing
QString getTreeName(const SyncMLCreatorNode* tree);

} // namespace syncmlreader
