#pragma once

#include "widgets/ImageAndTextCell.h"

// The device-row cell: icon 4 points in, text a little below the middle, and
// behind a row marked connected the list's selection image ("MFinderSelect"
// while the view has focus in the active window, else "MFinderInActive").
// A row is connected when the model says so under ConnectedRole, else when
// the cell itself is.
class DeviceCell : public ImageAndTextCell {
    Q_OBJECT
public:
    static constexpr int ConnectedRole = Qt::UserRole + 0x4443;

    explicit DeviceCell(QObject* parent = nullptr);

    void setConnected(bool connected) { connected_ = connected; }
    bool isConnected() const { return connected_; }
    bool isConnected(const QModelIndex& index) const;

    // The background image's name for the row, "" when none is drawn.
    QString rowBackgroundName(const QStyleOptionViewItem& option, const QModelIndex& index) const;

protected:
    int iconInset() const override { return 4; }
    qreal textTopShift(const QRect& frame) const override { return frame.height() / 3.4; }
    Qt::Alignment textAlignment() const override { return Qt::AlignLeft | Qt::AlignTop; }
    void drawRowBackground(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const override;

private:
    bool connected_ = false;
};
