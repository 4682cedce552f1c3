#pragma once

#include "widgets/PhoneButtonCell.h"

#include <QPointer>
#include <QRectF>

#include <memory>

class QMenu;

// A value of the contact card's detail table: a PhoneButtonCell that knows
// what its title is (cellType: QVVCardElem::kPhoneCode, kMailCode or any
// other code) and may carry a menu (dial, send SMS, send e-mail) that pops up
// where it is clicked. While the pointer rests on it the cell shows a marker
// text: "PhoneMarker" at the right edge for a phone number, "SMSMarker" just
// after the title for anything else (and nothing when the title leaves no
// room). The actions of the menu carry the cell as their data, so a handler
// finds the number or address as the cell's text (representedCell()).
class ContactsButtonCell : public PhoneButtonCell {
    Q_OBJECT

public:
    // Width of the marker strip and the gap the title keeps from it.
    static constexpr qreal kMarkerWidth = 18;
    static constexpr qreal kTitleInset = 24;

    explicit ContactsButtonCell(QWidget* parent = nullptr);
    ~ContactsButtonCell() override;

    void setCellType(quint32 type) { m_cellType = type; }
    quint32 cellType() const { return m_cellType; }

    // Keeps a copy of menu (the caller keeps its own); null removes it.
    void setMenu(const QMenu* menu);
    QMenu* menu() const { return m_menu.get(); }

    // A copy of this cell's settings (type, text, font, menu, enabled) as a
    // new cell: one per row of a column.
    virtual ContactsButtonCell* copyCell(QWidget* parent) const;

    // The marker key shown while hovered ("PhoneMarker" or "SMSMarker"), and
    // where it is drawn in a cell of that rect; an empty string and rect when
    // the title leaves no room for it.
    QString markerKey() const;
    QRectF markerRect(const QRectF& cell) const;
    qreal titleWidth() const;

    // Pops the menu up at global (nothing without a menu): menuAboutToPopUp
    // first, so the owner can enable or disable the original actions for
    // this cell; the copies take their state as the menu shows.
    void popUpMenu(const QPoint& global);
    // Closes the menu when it is open (the cell is about to show another
    // value, so the open menu would act on the wrong one).
    void closeMenu();

    // The cell an action of a cell's menu belongs to (null for other actions).
    static ContactsButtonCell* representedCell(const QAction* action);

Q_SIGNALS:
    // The menu is about to pop up at global (tests listen instead of running
    // the menu's own loop).
    void menuAboutToPopUp(const QPoint& global);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    // Space (or the menu key) opens the menu of a cell that has one.
    void keyPressEvent(QKeyEvent* event) override;

private:
    quint32 m_cellType = 0;
    std::unique_ptr<QMenu> m_menu;
};
