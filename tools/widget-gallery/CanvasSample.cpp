#include "CanvasSample.h"

#include "widgets/BaseGraphic.h"
#include "widgets/FileItemImage.h"
#include "widgets/FileNode.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTextEdit>

namespace {

struct SampleNode : FileNode {
    SampleNode(QString name, bool readable, int label) : name_(std::move(name)), readable_(readable), label_(label) { }
    QString name() const override { return name_; }
    bool isDirectory() const override { return false; }
    bool isReadable() const override { return readable_; }
    bool isGhostFile() const override { return false; }
    int getFinderEtikette() const override { return label_; }
    QString name_;
    bool readable_;
    int label_;
};

} // namespace

CanvasSample::CanvasSample(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(360, 200);
    setAccessibleName(tr("Drawing canvas"));
    auto box = BaseGraphic::create();
    box->setBounds({20, 20, 90, 60});
    box->setDrawsFill(true);
    box->setFillColor(QColor(180, 210, 250));
    box->setStrokeLineWidth(2);
    auto frame = BaseGraphic::create();
    frame->setBounds({130, 30, 70, 90});
    frame->setStrokeColor(QColor(200, 60, 60));
    const QImage icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon).pixmap(32, 32).toImage();
    auto song = FileItemImage::create(std::make_shared<SampleNode>(QStringLiteral("Ringtone.mid"), true, 2), icon);
    song->setBounds(QRectF(QPointF(230, 30), song->bounds().size()));
    auto locked = FileItemImage::create(std::make_shared<SampleNode>(QStringLiteral("Secret.jpg"), false, 0), icon);
    locked->setBounds(QRectF(QPointF(230, 110), locked->bounds().size()));
    for (const std::shared_ptr<BaseGraphic>& graphic :
         {box, frame, std::shared_ptr<BaseGraphic>(song), std::shared_ptr<BaseGraphic>(locked)}) {
        graphic->setController(this);
        graphics_.push_back(graphic);
    }
    undo_.clear();
    selected_ = box;
}

CanvasSample::~CanvasSample()
{
    endEditing();
}

void CanvasSample::invalidateGraphic(BaseGraphic&)
{
    update();
}

void CanvasSample::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    for (const std::shared_ptr<BaseGraphic>& graphic : graphics_)
        graphic->draw(painter, graphic == selected_);
}

void CanvasSample::mousePressEvent(QMouseEvent* event)
{
    const QPointF point = event->position();
    if (selected_ && (knob_ = selected_->knobUnderPoint(point))) {
        selected_->startBoundsManipulation();
        return;
    }
    endEditing();
    selected_.reset();
    for (auto it = graphics_.rbegin(); it != graphics_.rend(); ++it)
        if ((*it)->bounds().contains(point)) {
            selected_ = *it;
            break;
        }
    update();
}

void CanvasSample::mouseMoveEvent(QMouseEvent* event)
{
    if (selected_ && knob_)
        knob_ = selected_->resizeByMovingKnob(knob_, event->position());
}

void CanvasSample::mouseReleaseEvent(QMouseEvent*)
{
    if (selected_ && knob_)
        selected_->stopBoundsManipulation();
    knob_ = 0;
}

void CanvasSample::mouseDoubleClickEvent(QMouseEvent* event)
{
    for (const std::shared_ptr<BaseGraphic>& graphic : graphics_)
        if (auto item = std::dynamic_pointer_cast<FileItemImage>(graphic);
            item && item->textBounds().contains(event->position())) {
            endEditing();
            editing_ = item;
            item->startEditing(this);
            return;
        }
}

void CanvasSample::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Undo)) {
        undo_.undo();
        return;
    }
    if (event->matches(QKeySequence::Redo)) {
        undo_.redo();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CanvasSample::endEditing()
{
    if (editing_)
        editing_->endEditing();
    editing_.reset();
}
