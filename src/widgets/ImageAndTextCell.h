#pragma once

#include <QImage>
#include <QStyledItemDelegate>

// A table cell that draws an icon at the left of its text. The icon is the
// model's decoration (an image, pixmap or icon at its natural size), else the
// image given to the cell. The geometry functions take the cell frame and the
// icon's natural size (an empty size: no icon).
class ImageAndTextCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ImageAndTextCell(QObject* parent = nullptr);

    void setImage(const QImage& image) { image_ = image; }
    QImage image() const { return image_; }
    // The icon drawn for the index: its decoration, else the cell's image.
    QImage imageFor(const QModelIndex& index) const;

    // Where the icon goes (zero without one).
    QRect imageFrameForCellFrame(const QRect& frame, const QSize& icon) const;
    // Where the icon is drawn.
    QRect iconDrawFrame(const QRect& frame, const QSize& icon) const;
    // Where the text is drawn: the whole frame without an icon.
    QRect textFrameForCellFrame(const QRect& frame, const QSize& icon) const;
    // Where the field editor goes (the inset counts even without an icon).
    QRect editFrameForCellFrame(const QRect& frame, const QSize& icon) const;
    // Width added to the plain text size.
    int cellWidthForIcon(const QSize& icon) const { return std::max(icon.width(), 0) + iconInset(); }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

protected:
    // Paints under the icon and text (the connected-row background of the
    // device cells); nothing here.
    virtual void drawRowBackground(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const;
    void drawText(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index, const QRect& rect,
                  Qt::Alignment alignment) const;
    // The icon's distance from the left edge; the text keeps 4 more points.
    virtual int iconInset() const { return 12; }
    // Where the icon is drawn within a frame: the inset unless a subclass
    // places it otherwise.
    virtual int iconOffset(const QRect& frame, const QSize& icon) const;
    // How far the text is moved down from the frame's top when drawn beside
    // an icon, and how it sits in its rectangle.
    virtual qreal textTopShift(const QRect&) const { return 0; }
    virtual Qt::Alignment textAlignment() const { return Qt::AlignLeft | Qt::AlignVCenter; }

private:
    QImage image_;
};
