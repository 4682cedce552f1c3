#include "kestrova/views/SLTMessageView.h"
#include "platform/gui/TestArtifacts.h"

#include <QApplication>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {

// The reading pane: the view inside a scroll area, as the mailbox holds it.
class ReadingPane : public ::testing::Test {
protected:
    void SetUp() override
    {
        area.resize(400, 300);
        view = new SLTMessageView;
        area.setWidget(view);
        view->initSizes();
        area.show();
        QApplication::processEvents();
    }

    QRect textGeometry() const { return view->findChild<QTextEdit*>(QStringLiteral("messageView"))->geometry(); }
    QLabel* addressView() const { return view->findChild<QLabel*>(QStringLiteral("addressView")); }

    QScrollArea area;
    SLTMessageView* view = nullptr;
};

QImage picture()
{
    QImage image(128, 128, QImage::Format_ARGB32);
    image.fill(QColor(60, 120, 200));
    return image;
}

} // namespace

TEST_F(ReadingPane, TextOnlyStartsTenFromTheTop)
{
    view->setMessage(QStringLiteral("Hello there"));
    EXPECT_EQ(textGeometry().topLeft(), QPoint(6, 10));
    EXPECT_EQ(textGeometry().width(), view->width() - 13);
    EXPECT_EQ(view->separatorLineY(), -1);
    EXPECT_FALSE(addressView()->isVisible());
    // A short message leaves the frame at the viewport's size.
    EXPECT_EQ(view->size(), area.viewport()->size());
}

TEST_F(ReadingPane, HeaderWithPictureAndAddress)
{
    view->setFoto(picture());
    view->setAddress(QStringLiteral("<b>Anna Example</b><br>+49 170 1234567"));
    view->setMessage(QStringLiteral("See you at eight."));
    const QRect address = addressView()->geometry();
    EXPECT_TRUE(addressView()->isVisible());
    EXPECT_EQ(address.topLeft(), QPoint(84, 10));
    EXPECT_EQ(address.width(), view->width() - 84 - 20);
    const int header = qMax(74, address.bottom() + 1);
    EXPECT_EQ(view->separatorLineY(), header + 7);
    EXPECT_EQ(textGeometry().top(), header + 7 + 5);
    platform::gui::saveGrab(&area, QStringLiteral("SLTMessageView-picture-address"));

    // No picture: the address moves to the left margin.
    view->setFoto(QImage());
    EXPECT_EQ(addressView()->geometry().left(), 10);
    // A picture without address: the text starts below the picture.
    view->setFoto(picture());
    view->setAddress(QString());
    EXPECT_EQ(view->separatorLineY(), -1);
    EXPECT_EQ(textGeometry().top(), 84);
}

TEST_F(ReadingPane, LongMessageScrollsAndShortOneFitsAgain)
{
    QStringList lines;
    for (int i = 0; i < 80; ++i)
        lines.append(QStringLiteral("Line %1 of a long message").arg(i));
    view->setMessage(lines.join(QLatin1Char('\n')));
    EXPECT_GT(view->height(), area.viewport()->height());
    EXPECT_EQ(view->height(), textGeometry().bottom() + 1 + 10);
    EXPECT_GT(area.verticalScrollBar()->maximum(), 0);

    view->setMessage(QStringLiteral("short"));
    EXPECT_EQ(view->size(), area.viewport()->size());
}

TEST_F(ReadingPane, NothingShowsAnEmptyPane)
{
    view->setAddress(QString());
    view->setMessage(QString());
    view->setFoto(QImage());
    EXPECT_TRUE(view->address().isEmpty());
    EXPECT_TRUE(view->message().isEmpty());
    EXPECT_TRUE(view->findChild<QTextEdit*>(QStringLiteral("messageView"))->toPlainText().isEmpty());
    EXPECT_EQ(view->size(), area.viewport()->size());
}

TEST_F(ReadingPane, FollowsTheViewportWidth)
{
    view->setMessage(QStringLiteral("Hello"));
    area.resize(600, 300);
    QApplication::processEvents();
    EXPECT_EQ(view->width(), area.viewport()->width());
    EXPECT_EQ(textGeometry().width(), view->width() - 13);
}

TEST_F(ReadingPane, TextIsSelectableNotEditable)
{
    auto* text = view->findChild<QTextEdit*>(QStringLiteral("messageView"));
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_TRUE(text->textInteractionFlags() & Qt::TextSelectableByKeyboard);
    EXPECT_NE(text->focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(text->accessibleName().isEmpty());
}
