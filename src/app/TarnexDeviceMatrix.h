#pragma once

#include <QImage>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QVariantMap>
#include <QWidget>

#include <functional>

class PhoneButtonOnBlackCell;

// The matrix of known phones: one phone button per shown phone (picture and
// name), each tagged with the phone's index in the device list. The phones
// stand in one centred row while they fit the width, narrowing down to
// kMinimumCellWidth; more wrap into further rows (heightForWidth grows). The
// cells are laid out again on every resize. The grid takes focus: the arrow keys move between the phones, Return
// connects, Delete asks to remove, the Menu key opens the phone's menu (also
// on a right click): Connect, Remove phone and Switch Off Sync. A phone
// dragged out of the window is removed after the same question.
class TarnexDeviceMatrix : public QWidget {
    Q_OBJECT

public:
    static constexpr int kCellWidth = 100;
    static constexpr int kMinimumCellWidth = 64;
    static constexpr int kCellHeight = 110;
    static constexpr int kSpacing = 2;
    static constexpr int kTitleSpace = 24;
    static constexpr int kMinimumPictureHeight = 64;
    static constexpr int kOuterBadgeSize = 28;
    static constexpr int kInnerBadgeSize = 24;
    static constexpr int kInnerBadgeOffset = 2;
    // Our own drag type: a phone dragged out of the matrix.
    static constexpr const char* kPhoneDragType = "application/x-marvesto-phone";

    // What the matrix asks of its pane, by device-list index.
    struct Actions {
        std::function<void(int)> connect;
        std::function<void(int)> remove;
        std::function<void(int)> switchOffSync;
        std::function<bool(int)> canSwitchOffSync;
    };

    explicit TarnexDeviceMatrix(QWidget* parent = nullptr);

    void setActions(Actions actions) { actions_ = std::move(actions); }
    // Adds the phone at device-list index tag: its name and picture (with the
    // sync badge when syncOn).
    void addDevice(int tag, const QString& name, const QImage& picture, bool syncOn);
    void removeAll();
    int numberOfCells() const { return int(cells_.size()); }
    PhoneButtonOnBlackCell* cellAt(int column) const;
    PhoneButtonOnBlackCell* cellWithTag(int tag) const;
    int selectedColumn() const { return selected_; }
    void selectColumn(int column);
    // Hover tracking of the cells: on for every cell made while the matrix
    // wants it (a cell brightens only while its window is active).
    void updateTrackingRectCells(bool on);

    // How the cells stand in a width: so many to a row, each so wide.
    struct Grid {
        int perRow;
        int cellWidth;
    };
    static Grid gridFor(int width, int cells);

    // The picture box of a cell of size cell: h - 24 high and w wide; below
    // 64 high, 64 high and w x 64 / (h - 24) wide.
    static QSize pictureBox(QSize cell);
    // The picture fitted into the box keeping its aspect ratio (in points:
    // its pixels per point stay), with the sync badge punched into the lower
    // left corner when syncOn.
    static QImage cellPicture(const QImage& picture, QSize cell, bool syncOn);
    // The badge fitted to size points at scale pixels per point (made once
    // per size and scale).
    static QImage fittedBadge(int size, qreal scale = 1);

    // The menu of a phone (built each time it opens).
    QMenu* contextMenuFor(int tag);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutCells();
    void revealSelected();
    void openMenu(int column, QPoint globalPos);
    void startDrag(PhoneButtonOnBlackCell* cell);

    Actions actions_;
    QList<PhoneButtonOnBlackCell*> cells_;
    int selected_ = -1;
    QPoint pressPos_;
    QPointer<QMenu> menu_;
    bool tracking_ = false;
};
