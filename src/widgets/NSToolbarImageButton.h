#pragma once

#include "widgets/NSScaledImageButton.h"

#include <QList>

// A segmented toolbar-style image button: its background is drawn from a
// sheet of tiles given as its alternate image, 4 rows (pressed, hover,
// normal, disabled, from the bottom of the sheet) of 5 pieces (left cap,
// right join, middle, left join, right cap). The tag tells its place in a
// group: 1 first, 2 last, 3 inner, anything else a single button. The hover
// row shows only in the active window.
class NSToolbarImageButton : public NSScaledImageButton {
    Q_OBJECT
public:
    static constexpr int kRows = 4;
    static constexpr int kColumns = 5;
    // A state is the index of its row's first tile.
    enum State { Pressed = 0, Hover = 5, Normal = 10, Disabled = 15 };

    struct Piece {
        int tile;
        QRectF rect;
        bool operator==(const Piece&) const = default;
    };

    explicit NSToolbarImageButton(QWidget* parent = nullptr);

    // Cuts the sheet into tiles; a second sheet, or none, is ignored.
    void setAlternateImage(const QImage& sheet) override;
    QImage alternateImage() const override;
    bool customBackGround() const override { return !tiles_.isEmpty(); }
    const QList<QImage>& tiles() const { return tiles_; }

    int getButState() const;
    bool isHovering() const { return inTrack_; }
    // The background pieces drawn for a state (pieces past the tiles left out).
    QList<Piece> backgroundPieces(int state) const;

protected:
    void drawBackGround(QPainter& painter) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QList<QImage> tiles_;
    bool inTrack_ = false;
};
