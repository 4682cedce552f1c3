#pragma once

#include "widgets/BaseGraphic.h"

#include <QImage>
#include <QPointer>

class FileNode;
class QTextEdit;
class QWidget;

// A canvas item for one file or folder of the phone: its 32 x 32 icon with
// the name below. An unreadable or ghost entry is drawn at half opacity with
// a lock over the icon; the name sits on the entry's label colour. The name
// is edited in place, each change undoable and resizing the item.
class FileItemImage : public BaseGraphic {
public:
    static constexpr double kIconSide = 32.0;
    static constexpr double kLockSide = 24.0;
    static constexpr QSizeF kMinimumSize{10.0, 15.0};
    static constexpr QSizeF kMaximumSize{200.0, 120.0};

    static std::shared_ptr<FileItemImage> create(std::shared_ptr<FileNode> node, const QImage& icon);
    std::shared_ptr<BaseGraphic> copy() const override;

    FileNode* fileNode() const { return node_.get(); }
    QString name() const { return name_; }
    // Undoable; the item takes the size the name needs.
    void setName(const QString& name);
    bool isDropDestination() const { return dropDest_; }
    void setDropDestination(bool on) { dropDest_ = on; }
    // Unreadable or ghost entries are drawn dimmed and locked.
    bool isDimmed() const;

    QRectF imageBounds() const;
    QRectF textBounds() const;
    // The size the icon and the name need, kept between the minimum and
    // maximum sizes.
    QSizeF requiredSize() const;

    void draw(QPainter& painter, bool selected) const override;

    // Puts an editor over the name inside canvas; its changes rename the
    // item. Ending the edit removes the editor.
    QTextEdit* startEditing(QWidget* canvas);
    void endEditing();
    QTextEdit* editor() const { return editor_; }

    QString graphicClassName() const override { return QStringLiteral("FileItemImage"); }

private:
    FileItemImage(std::shared_ptr<FileNode> node, const QImage& icon);
    QSizeF textSize() const;
    void fitEditor();

    QImage image_;
    QColor selectColor_;
    std::shared_ptr<FileNode> node_;
    QString name_;
    bool dropDest_ = false;
    QPointer<QTextEdit> editor_;
    bool applyingEditor_ = false;
};
