#include "widgets/FileNode.h"

QColor FileNode::getEtiketColor(int label)
{
    static const QColor colours[] = {
        QColor(168, 168, 168), // 1 grey
        QColor(166, 216, 90),  // 2 green
        QColor(196, 146, 218), // 3 purple
        QColor(110, 170, 250), // 4 blue
        QColor(250, 224, 90),  // 5 yellow
        QColor(250, 110, 100), // 6 red
        QColor(250, 170, 80),  // 7 orange
    };
    if (label < 1 || label > 7)
        return QColor(Qt::transparent);
    return colours[label - 1];
}
