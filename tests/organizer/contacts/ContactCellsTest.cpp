#include "organizer/contacts/ContactTableView.h"
#include "organizer/contacts/ContactsButtonCell.h"
#include "organizer/contacts/ContactsColumn.h"
#include "organizer/contacts/UnHighiteTextCell.h"
#include "VirtualTime.h"
#include "syncmodel/QVVCardElem.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr quint32 kCellPhone = QVVCardElem::kPhoneCode;
constexpr quint32 kCellMail = QVVCardElem::kMailCode;
constexpr quint32 kCellNote = QVVCardElem::kNoteCode;

// Label, value and type rows as the card gives them.
struct CardRow {
    const char* label;
    const char* value;
    quint32 type;
};

std::unique_ptr<QStandardItemModel> cardModel(const std::vector<CardRow>& rows)
{
    auto model = std::make_unique<QStandardItemModel>(0, 3);
    for (const CardRow& r : rows) {
        auto* type = new QStandardItem;
        if (r.type)
            type->setData(r.type, Qt::DisplayRole);
        model->appendRow({new QStandardItem(QString::fromUtf8(r.label)), new QStandardItem(QString::fromUtf8(r.value)),
                          type});
    }
    return model;
}

class ExposedUnHighiteTextCell : public UnHighiteTextCell {
public:
    using UnHighiteTextCell::initStyleOption;
};

} // namespace

TEST(ContactCells, TheMarkerSitsAtThePhonesRightEdgeOrAfterOtherTitlesWhenThereIsRoom)
{
    ContactsButtonCell cell;
    cell.setText(QStringLiteral("0171 5550112"));
    const qreal title = cell.titleWidth();
    const QRectF frame(10, 4, title + 100, 20);

    cell.setCellType(kCellPhone);
    EXPECT_EQ(cell.markerKey(), "PhoneMarker");
    EXPECT_EQ(cell.markerRect(frame), QRectF(10 + frame.width() - 18, 4, 18, 20));

    for (quint32 type : {kCellMail, kCellNote, quint32(0)}) {
        cell.setCellType(type);
        EXPECT_EQ(cell.markerKey(), "SMSMarker") << type;
        EXPECT_EQ(cell.markerRect(frame), QRectF(10 + title + 24 - 18, 4, 18, 20)) << type;
        // No room: title + 24 + 18 wider than the cell.
        EXPECT_TRUE(cell.markerRect(QRectF(0, 0, title + 41, 20)).isEmpty()) << type;
        EXPECT_FALSE(cell.markerRect(QRectF(0, 0, title + 42, 20)).isEmpty()) << type;
    }
    cell.setCellType(kCellPhone);
    EXPECT_FALSE(cell.markerRect(QRectF(0, 0, 10, 20)).isEmpty()) << "a phone's marker always shows";
}

TEST(ContactCells, ACellKeepsACopyOfItsMenuWhoseActionsNameTheCell)
{
    QMenu context;
    QAction* dial = context.addAction(QStringLiteral("Dial"));
    QAction* sms = context.addAction(QStringLiteral("Send SMS"));
    std::vector<QString> dialled;
    QObject::connect(dial, &QAction::triggered, [&dialled, dial] {
        ContactsButtonCell* cell = ContactsButtonCell::representedCell(dial);
        dialled.push_back(cell ? cell->text() : QStringLiteral("<none>"));
    });
    // The owner disables SMS for mail cells before the menu shows.
    QWidget host;
    ContactsButtonCell phone(&host);
    phone.setText(QStringLiteral("5550100"));
    phone.setCellType(kCellPhone);
    phone.setMenu(&context);
    ContactsButtonCell mail(&host);
    mail.setText(QStringLiteral("ann@example.org"));
    mail.setMenu(&context);
    context.addAction(QStringLiteral("added later"));

    ASSERT_NE(phone.menu(), &context);
    ASSERT_EQ(phone.menu()->actions().size(), 2) << "a copy, not the live menu";
    EXPECT_EQ(ContactsButtonCell::representedCell(phone.menu()->actions()[0]), &phone);
    EXPECT_EQ(ContactsButtonCell::representedCell(mail.menu()->actions()[0]), &mail);
    phone.menu()->actions()[0]->trigger();
    mail.menu()->actions()[0]->trigger();
    EXPECT_EQ(dialled, (std::vector<QString>{"5550100", "ann@example.org"}));

    sms->setEnabled(false);
    Q_EMIT mail.menu()->aboutToShow();
    EXPECT_FALSE(mail.menu()->actions()[1]->isEnabled());
    EXPECT_EQ(ContactsButtonCell::representedCell(sms), &mail);

    phone.setMenu(nullptr);
    EXPECT_EQ(phone.menu(), nullptr);
}

TEST(ContactCells, AClickOrSpaceOpensTheMenuAndACellWithoutMenuIsAButton)
{
    QWidget host;
    QMenu context;
    context.addAction(QStringLiteral("Dial"));
    ContactsButtonCell cell(&host);
    cell.setText(QStringLiteral("5550100"));
    cell.resize(120, 22);
    QSignalSpy clicked(&cell, &QAbstractButton::clicked);
    QSignalSpy popped(&cell, &ContactsButtonCell::menuAboutToPopUp);

    QTest::mouseClick(&cell, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(popped.count(), 0);

    cell.setMenu(&context);
    QTest::mouseClick(&cell, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(popped.count(), 1);
    EXPECT_EQ(clicked.count(), 1) << "the menu takes the click";
    cell.menu()->hide();
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(&cell, &space);
    EXPECT_EQ(popped.count(), 2);
    cell.menu()->hide();

    cell.setEnabled(false);
    QTest::mouseClick(&cell, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(popped.count(), 2) << "a disabled cell opens nothing";
}

TEST(ContactCells, AColumnMakesOneCellPerRowAgainWhenTheRowCountChanges)
{
    QWidget host;
    ContactsColumn column;
    EXPECT_EQ(column.dataCellForRow(0, 3, &host), nullptr) << "no prototype";
    auto prototype = std::make_unique<ContactsButtonCell>();
    prototype->setCellType(kCellMail);
    prototype->setText(QStringLiteral("proto"));
    column.setDataCell(std::move(prototype));

    ContactsButtonCell* first = column.dataCellForRow(0, 3, &host);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(column.cellCount(), 3);
    EXPECT_EQ(first->parentWidget(), &host);
    EXPECT_EQ(first->cellType(), kCellMail);
    EXPECT_EQ(first->text(), "proto");
    EXPECT_NE(column.dataCellForRow(1, 3, &host), first);
    EXPECT_EQ(column.dataCellForRow(0, 3, &host), first) << "same count: same cells";
    EXPECT_EQ(column.dataCellForRow(3, 3, &host), nullptr);
    EXPECT_EQ(column.dataCellForRow(-1, 3, &host), nullptr);

    QPointer<ContactsButtonCell> old(first);
    EXPECT_NE(column.dataCellForRow(0, 2, &host), nullptr);
    EXPECT_EQ(column.cellCount(), 2);
    EXPECT_TRUE(old.isNull()) << "the old cells are gone";
    EXPECT_EQ(column.dataCellForRow(0, 0, &host), nullptr);
    EXPECT_EQ(column.cellCount(), 0);
}

TEST(ContactCells, TheDetailTableSizesItsColumnsAndGivesEachValueItsCell)
{
    ContactTableView table;
    const QFontMetrics metrics(table.font());
    auto model = cardModel({{"mobile", "0171 5550112", kCellPhone},
                            {"work", "ann.lee@a-rather-long-company-name.example.org", kCellMail},
                            {"note", "", 0}});
    table.setModel(model.get());
    table.setRowSelectable([&](int row) {
        return model->index(row, ContactTableView::kEntryTypeColumn).data().toUInt() != 0;
    });
    QMenu context;
    context.addAction(QStringLiteral("Dial"));
    table.setCellConfigurer([&context](ContactsButtonCell* cell, int) {
        if (cell->cellType() == kCellPhone)
            cell->setMenu(&context);
    });
    table.resize(600, 200);
    table.show();
    table.reloadData();

    const int label = std::max(metrics.horizontalAdvance("mobile"), metrics.horizontalAdvance("work"));
    EXPECT_EQ(table.columnWidth(ContactTableView::kFieldColumn), label + 7);
    const int widest = metrics.horizontalAdvance("ann.lee@a-rather-long-company-name.example.org");
    EXPECT_EQ(table.columnWidth(ContactTableView::kContentColumn), widest + 5);
    EXPECT_TRUE(table.isColumnHidden(ContactTableView::kEntryTypeColumn));

    ASSERT_NE(table.cellForRow(0), nullptr);
    EXPECT_EQ(table.cellForRow(0)->text(), "0171 5550112");
    EXPECT_EQ(table.cellForRow(0)->cellType(), kCellPhone);
    EXPECT_TRUE(table.cellForRow(0)->isEnabled());
    EXPECT_TRUE(table.cellForRow(1)->isEnabled());
    EXPECT_FALSE(table.cellForRow(2)->isEnabled()) << "a plain text row is not selectable";
    EXPECT_EQ(table.cellForRow(3), nullptr);
    EXPECT_EQ(table.cellForRow(0)->geometry(),
              table.visualRect(model->index(0, ContactTableView::kContentColumn)));

    const QPoint overPhone = table.visualRect(model->index(0, ContactTableView::kContentColumn)).center();
    const QPoint overLabel = table.visualRect(model->index(0, ContactTableView::kFieldColumn)).center();
    const QPoint overMail = table.visualRect(model->index(1, ContactTableView::kContentColumn)).center();
    EXPECT_EQ(table.menuForPosition(overPhone), table.cellForRow(0)->menu());
    EXPECT_NE(table.menuForPosition(overPhone), nullptr);
    EXPECT_EQ(table.menuForPosition(overLabel), nullptr);
    EXPECT_EQ(table.menuForPosition(overMail), nullptr);
    // A right click over the phone value opens that cell's menu, after the
    // cell told its owner which cell it is.
    QSignalSpy popped(table.cellForRow(0), &ContactsButtonCell::menuAboutToPopUp);
    QContextMenuEvent overPhoneClick(QContextMenuEvent::Mouse, overPhone, table.viewport()->mapToGlobal(overPhone));
    QApplication::sendEvent(table.viewport(), &overPhoneClick);
    EXPECT_EQ(popped.count(), 1);
    table.cellForRow(0)->menu()->hide();
    QContextMenuEvent overLabelClick(QContextMenuEvent::Mouse, overLabel, table.viewport()->mapToGlobal(overLabel));
    QApplication::sendEvent(table.viewport(), &overLabelClick);
    EXPECT_EQ(popped.count(), 1);

    // A short phone value with a long label: the phone's marker room decides.
    auto shortModel = cardModel({{"mobile", "112", kCellPhone}, {"x", "abcd", 0}});
    table.setModel(shortModel.get());
    table.reloadData();
    EXPECT_EQ(table.columnWidth(ContactTableView::kContentColumn), metrics.horizontalAdvance("112") + 26);
    EXPECT_EQ(table.cellForRow(0)->text(), "112");
    EXPECT_EQ(table.cellForRow(2), nullptr);

    // Empty card: minimum widths, no cells.
    auto empty = cardModel({});
    table.setModel(empty.get());
    table.reloadData();
    EXPECT_EQ(table.columnWidth(ContactTableView::kFieldColumn), 5 + 7);
    EXPECT_EQ(table.columnWidth(ContactTableView::kContentColumn), 5 + 5) << "no phone row, no marker room";
    EXPECT_EQ(table.cellForRow(0), nullptr);
}

TEST(ContactCells, TheLabelCellDrawsNoSelection)
{
    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), QStringLiteral("mobile"));
    ExposedUnHighiteTextCell cell;
    QStyleOptionViewItem option;
    option.state = QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_Enabled;
    cell.initStyleOption(&option, model.index(0, 0));
    EXPECT_FALSE(option.state & QStyle::State_Selected);
    EXPECT_FALSE(option.state & QStyle::State_HasFocus);
    EXPECT_TRUE(option.state & QStyle::State_Enabled);
    EXPECT_EQ(option.text, "mobile");
}

TEST(ContactCells, AnOpenValueMenuClosesWhenTheCardShowsOtherValuesAndForgetsADeletedCell)
{
    // The card reloads with as many rows (the cells are reused): the menu
    // open on the old value must not stay open over the new one.
    ContactTableView table;
    auto ann = cardModel({{"mobile", "0171 5550112", kCellPhone}});
    auto bob = cardModel({{"mobile", "030 7654321", kCellPhone}});
    QMenu context;
    context.addAction(QStringLiteral("Dial"));
    table.setCellConfigurer([&context](ContactsButtonCell* cell, int) {
        if (!cell->menu())
            cell->setMenu(&context);
    });
    table.setModel(ann.get());
    table.resize(400, 100);
    table.show();
    table.reloadData();
    ContactsButtonCell* cell = table.cellForRow(0);
    ASSERT_NE(cell, nullptr);
    cell->popUpMenu(table.viewport()->mapToGlobal(cell->geometry().center()));
    ASSERT_TRUE(cell->menu()->isVisible());
    table.setModel(bob.get());
    table.reloadData();
    ASSERT_EQ(table.cellForRow(0), cell) << "the same cell shows the new value";
    EXPECT_EQ(cell->text(), "030 7654321");
    EXPECT_FALSE(cell->menu()->isVisible());

    // The owner's menu outlives the cells that lent it out: once a cell is
    // gone its actions name no cell.
    auto* lender = new ContactsButtonCell;
    lender->setMenu(&context);
    Q_EMIT lender->menu()->aboutToShow();
    ASSERT_EQ(ContactsButtonCell::representedCell(context.actions()[0]), lender);
    delete lender;
    EXPECT_EQ(ContactsButtonCell::representedCell(context.actions()[0]), nullptr);
}
