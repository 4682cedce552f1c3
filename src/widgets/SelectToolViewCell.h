#pragma once

#include <QStyledItemDelegate>
#include <functional>

class SlaveDrawInfo;

// The row cell of the tool list and of the mailbox folder outline: an icon
// scaled to the row height, 4 points in, then the label; a separator row is
// a thin line inset 3 points. The model gives the label (DisplayRole), the
// icon (DecorationRole, a QImage), SeparatorRole, OpacityRole (the icon's
// opacity, 1 when absent) and optionally the text colour (ForegroundRole;
// else white on a selected row, black otherwise). The owner may name a
// drawing slave per index, which then draws its marks over the text part.
class SelectToolViewCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int SeparatorRole = Qt::UserRole + 0x5354;
    static constexpr int OpacityRole = SeparatorRole + 1;
    static constexpr int IdentifierRole = SeparatorRole + 2;
    static constexpr int kIconInset = 4;
    static constexpr int kSeparatorInset = 3;

    struct Slave {
        SlaveDrawInfo* slave = nullptr;
        QVariant context;
    };
    using SlaveLookup = std::function<Slave(const QModelIndex&)>;

    explicit SelectToolViewCell(QObject* parent = nullptr);

    void setSlaveLookup(SlaveLookup lookup) { slaveLookup_ = std::move(lookup); }

    // Row geometry in a cell frame with the row height: the icon scaled to
    // that height, and the text part beside it (the whole frame without an
    // icon).
    static QRect iconRect(const QRect& frame, const QSizeF& image, int rowHeight);
    static QRect textPart(const QRect& frame, const QSizeF& image, int rowHeight);
    // The line a separator row draws.
    static QRect separatorLine(const QRect& frame)
    {
        return frame.adjusted(kSeparatorInset, kSeparatorInset, -kSeparatorInset, -kSeparatorInset);
    }
    // The icon at its natural size, and where editing happens.
    static QRect imageFrameForCellFrame(const QRect& frame, const QSizeF& image);
    static QRect editFrameForCellFrame(const QRect& frame, const QSizeF& image);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

private:
    int rowHeightFor(const QStyleOptionViewItem& option) const;

    SlaveLookup slaveLookup_;
};
