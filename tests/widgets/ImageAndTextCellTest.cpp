#include "widgets/ImageAndTextCell.h"
#include "widgets/CenteredDeviceCell.h"
#include "widgets/DeviceCell.h"

#include <QStandardItemModel>
#include <QTableView>
#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(ImageAndTextCellTest, GeometryOfEachMember)
{
    ImageAndTextCell plain;
    DeviceCell device;
    CenteredDeviceCell centred;
    const QRect frame(0, 0, 100, 20);
    const QSize icon(16, 16);
    struct Case {
        const char* what;
        ImageAndTextCell* cell;
        QSize icon;
        QRect image;    // imageFrameForCellFrame
        QRect drawn;    // where the icon is drawn
        QRect text;     // where the text is drawn
        QRect edit;     // where the editor goes
        int extraWidth; // added to the text size
    };
    const Case cases[] = {
        {"plain with icon", &plain, icon, {12, 2, 16, 16}, {12, 2, 16, 16}, {32, 0, 68, 20}, {28, 0, 72, 20}, 28},
        {"plain without icon", &plain, {}, {}, {}, frame, {12, 0, 88, 20}, 12},
        // Text moved down by a 3.4th of the height.
        {"device with icon", &device, icon, {4, 2, 16, 16}, {4, 2, 16, 16}, {24, 5, 76, 20}, {20, 0, 80, 20}, 20},
        {"device without icon", &device, {}, {}, {}, frame, {4, 0, 96, 20}, 4},
        {"centred with icon", &centred, icon, {4, 2, 16, 16}, {42, 2, 16, 16}, {24, 5, 76, 20}, {20, 0, 80, 20}, 20},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.cell->imageFrameForCellFrame(frame, c.icon), c.image) << c.what;
        EXPECT_EQ(c.cell->iconDrawFrame(frame, c.icon), c.drawn) << c.what;
        EXPECT_EQ(c.cell->textFrameForCellFrame(frame, c.icon), c.text) << c.what;
        EXPECT_EQ(c.cell->editFrameForCellFrame(frame, c.icon), c.edit) << c.what;
        EXPECT_EQ(c.cell->cellWidthForIcon(c.icon), c.extraWidth) << c.what;
    }
}

TEST(ImageAndTextCellTest, IconComesFromTheModelElseTheCell)
{
    QStandardItemModel model(2, 1);
    QImage own(16, 16, QImage::Format_RGB32);
    QImage row(24, 12, QImage::Format_RGB32);
    model.setData(model.index(0, 0), row, Qt::DecorationRole);
    ImageAndTextCell cell;
    EXPECT_TRUE(cell.imageFor(model.index(1, 0)).isNull());
    cell.setImage(own);
    EXPECT_EQ(cell.imageFor(model.index(0, 0)).size(), QSize(24, 12));
    EXPECT_EQ(cell.imageFor(model.index(1, 0)).size(), QSize(16, 16));
}

TEST(ImageAndTextCellTest, OnlyConnectedDeviceRowsGetABackground)
{
    QStandardItemModel model(3, 1);
    model.setData(model.index(0, 0), true, DeviceCell::ConnectedRole);
    model.setData(model.index(1, 0), false, DeviceCell::ConnectedRole);
    QTableView view;
    view.setModel(&model);
    DeviceCell cell;
    QStyleOptionViewItem option;
    option.widget = &view;
    option.state |= QStyle::State_Selected;
    EXPECT_EQ(cell.rowBackgroundName(option, model.index(0, 0)), QStringLiteral("MFinderInActive"));
    EXPECT_EQ(cell.rowBackgroundName(option, model.index(1, 0)), QString());
    // The cell's own flag stands in where the model says nothing.
    EXPECT_EQ(cell.rowBackgroundName(option, model.index(2, 0)), QString());
    cell.setConnected(true);
    EXPECT_EQ(cell.rowBackgroundName(option, model.index(2, 0)), QStringLiteral("MFinderInActive"));
    EXPECT_EQ(cell.rowBackgroundName(option, model.index(1, 0)), QString());
}

} // namespace
