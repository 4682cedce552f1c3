#include "widgets/BaseGraphic.h"
#include "widgets/CanvasController.h"
#include "widgets/DrawingText.h"
#include "widgets/FileItemImage.h"
#include "widgets/FileNode.h"

#include "platform/NotificationCenter.h"
#include "platform/gui/TestArtifacts.h"

#include <QPainter>
#include <QTextEdit>
#include <QUndoStack>
#include <gtest/gtest.h>

namespace {

struct Canvas : CanvasController {
    QUndoStack stack;
    int invalidated = 0;
    QUndoStack* undoStack() override { return &stack; }
    void invalidateGraphic(BaseGraphic&) override { ++invalidated; }
};

TEST(BaseGraphicTest, KnobsFollowThePointAndMirrorWhenTheShapeTurnsOver)
{
    // Bounds (10, 10, 20, 20): left 10, right 30, top 10, bottom 30.
    struct Case {
        int knob;
        QPointF to;
        int becomes;
        QRectF bounds;
    } cases[] = {
        {BaseGraphic::UpperLeft, {40, 50}, BaseGraphic::LowerRight, {30, 30, 10, 20}},
        {BaseGraphic::UpperLeft, {5, 5}, BaseGraphic::UpperLeft, {5, 5, 25, 25}},
        {BaseGraphic::UpperRight, {0, 20}, BaseGraphic::UpperLeft, {0, 20, 10, 10}},
        {BaseGraphic::MiddleLeft, {35, 99}, BaseGraphic::MiddleRight, {30, 10, 5, 20}},
        {BaseGraphic::UpperMiddle, {99, 40}, BaseGraphic::LowerMiddle, {10, 30, 20, 10}},
        {BaseGraphic::LowerLeft, {12, 0}, BaseGraphic::UpperLeft, {12, 0, 18, 10}},
        {BaseGraphic::LowerRight, {31, 31}, BaseGraphic::LowerRight, {10, 10, 21, 21}},
    };
    for (const Case& c : cases) {
        auto shape = BaseGraphic::create();
        shape->setBounds({10, 10, 20, 20});
        EXPECT_EQ(shape->resizeByMovingKnob(c.knob, c.to), c.becomes) << c.knob;
        EXPECT_EQ(shape->bounds(), c.bounds) << c.knob;
    }
    EXPECT_EQ(SKTRectFromPoints({30, 5}, {10, 25}), QRectF(10, 5, 20, 20));
}

TEST(BaseGraphicTest, LineWidthDrawingBoundsAndHandles)
{
    auto shape = BaseGraphic::create();
    shape->setBounds({10, 10, 20, 20});
    EXPECT_EQ(shape->drawingBounds(), QRectF(6, 6, 28, 28)) << "at least 3 + 1 on every side";
    shape->setStrokeLineWidth(10);
    EXPECT_EQ(shape->drawingBounds(), QRectF(3, 3, 34, 34)) << "10 / 2 + 1, + 1";
    shape->setStrokeLineWidth(-2);
    EXPECT_EQ(shape->strokeLineWidth(), 0.0);
    EXPECT_FALSE(shape->drawsStroke());
    shape->setStrokeLineWidth(2);
    EXPECT_TRUE(shape->drawsStroke());

    EXPECT_EQ(shape->knobUnderPoint({31, 29}), BaseGraphic::LowerRight);
    EXPECT_EQ(shape->knobUnderPoint({20, 8}), BaseGraphic::UpperMiddle);
    EXPECT_EQ(shape->knobUnderPoint({20, 20}), BaseGraphic::NoKnob);

    QImage picture(40, 40, QImage::Format_ARGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    shape->draw(painter, true);
    painter.end();
    // The shadow square lies one point right of and below the knob colour.
    EXPECT_EQ(picture.pixelColor(32, 32), QColor(64, 64, 64));
    EXPECT_NE(picture.pixelColor(29, 29), QColor(Qt::white));
}

TEST(BaseGraphicTest, UndoStepsNotificationsAndOneStepPerDrag)
{
    Canvas canvas;
    auto shape = BaseGraphic::create();
    shape->setController(&canvas);
    int posted = 0;
    auto& center = platform::NotificationCenter::defaultCenter();
    const auto token = center.addObserver(nullptr, QLatin1String(BaseGraphic::kDidChangeNotification), shape.get(),
                                          [&](const platform::Notification&) { ++posted; });

    shape->setDrawsFill(true);
    shape->setDrawsFill(true); // the same value: nothing
    shape->setFillColor(Qt::red);
    EXPECT_EQ(canvas.stack.count(), 2);
    EXPECT_EQ(posted, 2);
    EXPECT_EQ(canvas.invalidated, 2);

    shape->setBounds({0, 0, 10, 10});
    shape->startBoundsManipulation();
    for (int step = 1; step <= 5; ++step)
        shape->resizeByMovingKnob(BaseGraphic::LowerRight, QPointF(10 + step * 4, 10 + step * 2));
    shape->stopBoundsManipulation();
    EXPECT_EQ(canvas.stack.count(), 4) << "the drag is one step";
    EXPECT_EQ(shape->bounds(), QRectF(0, 0, 30, 20));
    canvas.stack.undo();
    EXPECT_EQ(shape->bounds(), QRectF(0, 0, 10, 10));
    canvas.stack.redo();
    EXPECT_EQ(shape->bounds(), QRectF(0, 0, 30, 20));

    shape->setStrokeLineWidth(-1);
    canvas.stack.undo();
    EXPECT_TRUE(shape->drawsStroke());
    EXPECT_EQ(shape->strokeLineWidth(), 1.0);
    for (int step = 0; step < 4; ++step)
        canvas.stack.undo();
    EXPECT_FALSE(shape->drawsFill());
    EXPECT_EQ(shape->fillColor(), QColor(Qt::white));

    // A step outliving its shape does nothing.
    shape.reset();
    canvas.stack.redo();
    center.removeObserver(token);
}

TEST(BaseGraphicTest, FormReadsBackEqualAndBadFormsGiveNoShape)
{
    auto shape = BaseGraphic::create();
    shape->setBounds({1.5, 2, 30, 40.25});
    shape->setDrawsFill(true);
    shape->setFillColor(QColor(10, 20, 30, 200));
    shape->setStrokeColor(Qt::blue);
    shape->setStrokeLineWidth(2.345);
    const QVariantMap form = shape->propertyListRepresentation();
    EXPECT_EQ(form.value("Class").toString(), "BaseGraphic");
    EXPECT_EQ(form.value("Bounds").toString(), "{{1.5, 2}, {30, 40.25}}");
    EXPECT_EQ(form.value("DrawsFill").toString(), "YES");
    EXPECT_EQ(form.value("StrokeLineWidth").toString(), "2.35");

    auto back = BaseGraphic::graphicWithPropertyListRepresentation(form);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->propertyListRepresentation(), form);
    EXPECT_EQ(back->fillColor(), QColor(10, 20, 30, 200));

    BaseGraphic::registerGraphicClass(QStringLiteral("SKTOldShape"), [] { return BaseGraphic::create(); });
    QVariantMap old = form;
    old.insert("Class", "OldShape");
    EXPECT_TRUE(BaseGraphic::graphicWithPropertyListRepresentation(old)) << "found with SKT in front";

    struct Case {
        const char* key;
        QVariant value;
    } bad[] = {
        {"Class", "Circle"},
        {"Class", QVariant()},
        {"Bounds", "{{1, 2}, {3}}"},
        {"Bounds", "{{1, 2}, {3, nan}}"},
        {"Bounds", 5},
        {"DrawsFill", true},
        {"DrawsStroke", "maybe"},
        {"FillColor", "red"},
        {"StrokeColor", QByteArray("\x01", 1)},
        {"StrokeLineWidth", "wide"},
        {"StrokeLineWidth", 2.0},
    };
    for (const Case& c : bad) {
        QVariantMap broken = form;
        broken.insert(QLatin1String(c.key), c.value);
        EXPECT_FALSE(BaseGraphic::graphicWithPropertyListRepresentation(broken)) << c.key;
    }
}

struct Node : FileNode {
    QString name_ = QStringLiteral("Ringtone.mid");
    bool readable = true;
    bool ghost = false;
    int label = 0;
    QString name() const override { return name_; }
    bool isDirectory() const override { return false; }
    bool isReadable() const override { return readable; }
    bool isGhostFile() const override { return ghost; }
    int getFinderEtikette() const override { return label; }
};

TEST(FileItemImageTest, DimsUnreadableOrGhostEntriesAndDrawsLabels)
{
    struct Case {
        bool readable;
        bool ghost;
        bool dimmed;
    } cases[] = {{true, false, false}, {false, false, true}, {true, true, true}};
    for (const Case& c : cases) {
        auto node = std::make_shared<Node>();
        node->readable = c.readable;
        node->ghost = c.ghost;
        auto item = FileItemImage::create(node, QImage(32, 32, QImage::Format_ARGB32));
        EXPECT_EQ(item->isDimmed(), c.dimmed);
    }
    EXPECT_EQ(FileNode::getEtiketColor(0).alpha(), 0);
    EXPECT_EQ(FileNode::getEtiketColor(8).alpha(), 0);
    EXPECT_EQ(FileNode::getEtiketColor(-1).alpha(), 0);
    EXPECT_EQ(FileNode::getEtiketColor(6).alpha(), 255);

    auto node = std::make_shared<Node>();
    node->label = 2;
    node->ghost = true;
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(QColor(0, 90, 200));
    auto item = FileItemImage::create(node, icon);
    item->setBounds(QRectF(QPointF(10, 10), item->bounds().size()));
    QImage picture(160, 80, QImage::Format_ARGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    item->draw(painter, true);
    painter.end();
    const QPoint corner = item->imageBounds().topLeft().toPoint() + QPoint(1, 1);
    EXPECT_GT(picture.pixelColor(corner).blue(), 150);
    EXPECT_GT(picture.pixelColor(corner).red(), 50) << "the icon at half opacity";
}

TEST(FileItemImageTest, NameEditedInPlaceIsUndoableAndResizesTheItem)
{
    Canvas canvas;
    auto node = std::make_shared<Node>();
    node->name_ = QStringLiteral("a");
    auto item = FileItemImage::create(node, QImage(32, 32, QImage::Format_ARGB32));
    item->setController(&canvas);
    const QSizeF small = item->bounds().size();
    EXPECT_GE(small.width(), FileItemImage::kIconSide);

    QWidget view;
    QTextEdit* editor = item->startEditing(&view);
    EXPECT_TRUE(drawingtext::isSharedEditorInUse());
    QTextEdit* other = drawingtext::newEditor(&view);
    EXPECT_NE(other, editor) << "a second edit gets an editor of its own";
    drawingtext::releaseEditor(other);

    editor->setPlainText(QStringLiteral("a much longer name.mp3"));
    EXPECT_EQ(item->name(), "a much longer name.mp3");
    EXPECT_GT(item->bounds().width(), small.width());
    EXPECT_LE(item->bounds().width(), FileItemImage::kMaximumSize.width());
    canvas.stack.undo();
    EXPECT_EQ(item->name(), "a");
    EXPECT_EQ(item->bounds().size(), small);
    EXPECT_EQ(editor->toPlainText(), "a") << "the editor follows the undo";

    item->endEditing();
    EXPECT_FALSE(drawingtext::isSharedEditorInUse());
    EXPECT_FALSE(item->editor());
    EXPECT_EQ(drawingtext::newEditor(&view), editor) << "the shared editor is handed back";
    drawingtext::releaseEditor(editor);
}

} // namespace
