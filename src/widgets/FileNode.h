#pragma once

#include <QColor>
#include <QString>

// One node of the phone's file tree, as a file item on a canvas shows it.
class FileNode {
public:
    virtual ~FileNode() = default;
    virtual QString name() const = 0;
    virtual bool isDirectory() const = 0;
    // The readable flag of the node's phone file record.
    virtual bool isReadable() const = 0;
    // Set when the node or its phone file record is marked as a ghost.
    virtual bool isGhostFile() const = 0;
    // The node's label number, 0 for none.
    virtual int getFinderEtikette() const = 0;

    // The colour of a label number: clear for 0 and numbers above 7, else
    // one of seven fixed colours.
    static QColor getEtiketColor(int label);
};
