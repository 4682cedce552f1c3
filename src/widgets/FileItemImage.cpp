#include "widgets/FileItemImage.h"

#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"
#include "widgets/DrawingText.h"
#include "widgets/FileNode.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QTextDocument>
#include <QTextEdit>
#include <cmath>

namespace {

constexpr double kFieldMargin = 3.0;
constexpr double kFieldRadius = 6.0;

QSizeF clampedSize(const QSizeF& size)
{
    return size.expandedTo(FileItemImage::kMinimumSize).boundedTo(FileItemImage::kMaximumSize);
}

} // namespace

FileItemImage::FileItemImage(std::shared_ptr<FileNode> node, const QImage& icon)
    : image_(icon)
    , selectColor_(QPalette().color(QPalette::Active, QPalette::Highlight))
    , node_(std::move(node))
    , name_(node_ ? node_->name() : QString())
{
}

std::shared_ptr<FileItemImage> FileItemImage::create(std::shared_ptr<FileNode> node, const QImage& icon)
{
    std::shared_ptr<FileItemImage> item(new FileItemImage(std::move(node), icon));
    item->setBounds(QRectF(QPointF(0, 0), item->requiredSize()));
    return item;
}

std::shared_ptr<BaseGraphic> FileItemImage::copy() const
{
    std::shared_ptr<FileItemImage> other(new FileItemImage(node_, image_));
    copySettingsTo(*other);
    other->name_ = name_;
    return other;
}

bool FileItemImage::isDimmed() const
{
    return node_ && (!node_->isReadable() || node_->isGhostFile());
}

QSizeF FileItemImage::textSize() const
{
    QTextDocument* layout = drawingtext::sharedDrawingLayoutManager();
    layout->setPlainText(name_);
    // The page is as wide as can be: the text's own width is the ideal one.
    return QSizeF(std::ceil(layout->idealWidth()), std::ceil(layout->documentLayout()->documentSize().height()));
}

QSizeF FileItemImage::requiredSize() const
{
    const QSizeF text = textSize();
    return clampedSize(QSizeF(std::max(kIconSide, text.width()), kIconSide + text.height()));
}

QRectF FileItemImage::imageBounds() const
{
    const QRectF frame = bounds();
    return QRectF(frame.center().x() - kIconSide / 2, frame.top(), kIconSide, kIconSide);
}

QRectF FileItemImage::textBounds() const
{
    const QRectF frame = bounds();
    const QSizeF text = textSize().boundedTo(QSizeF(frame.width(), std::max(0.0, frame.height() - kIconSide)));
    return QRectF(frame.center().x() - text.width() / 2, frame.top() + kIconSide, text.width(), text.height());
}

void FileItemImage::setName(const QString& name)
{
    if (name == name_)
        return;
    const QString before = name_;
    const QRectF beforeBounds = bounds();
    name_ = name;
    const QRectF afterBounds(bounds().topLeft(), requiredSize());
    registerUndo(
        QStringLiteral("Rename"),
        [before, beforeBounds](BaseGraphic& graphic) {
            auto& item = static_cast<FileItemImage&>(graphic);
            item.name_ = before;
            item.setBoundsWithoutUndo(beforeBounds);
            item.fitEditor();
        },
        [name, afterBounds](BaseGraphic& graphic) {
            auto& item = static_cast<FileItemImage&>(graphic);
            item.name_ = name;
            item.setBoundsWithoutUndo(afterBounds);
            item.fitEditor();
        });
    // The new size is part of the rename's step.
    setBoundsWithoutUndo(afterBounds);
    fitEditor();
}

void FileItemImage::draw(QPainter& painter, bool selected) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF icon = imageBounds();
    if (selected || dropDest_) {
        QPainterPath field;
        field.addRoundedRect(icon.adjusted(-kFieldMargin, -kFieldMargin, kFieldMargin, kFieldMargin), kFieldRadius,
                             kFieldRadius);
        painter.fillPath(field, QColor::fromRgbF(0.5, 0.5, 0.5, 0.5));
    }
    painter.setOpacity(isDimmed() ? 0.5 : 1.0);
    painter.drawImage(icon, image_);
    painter.setOpacity(1.0);
    if (isDimmed()) {
        const QImage lock = platform::gui::image(QLatin1String(platform::gui::kProgramBundle),
                                                 QStringLiteral("Locked"));
        painter.drawImage(
            QRectF(icon.center().x() - kLockSide / 2, icon.center().y() - kLockSide / 2, kLockSide, kLockSide), lock);
    }
    const QRectF text = textBounds();
    const QColor label = FileNode::getEtiketColor(node_ ? node_->getFinderEtikette() : 0);
    const QColor background = selected ? selectColor_ : label;
    if (background.alpha() > 0) {
        QPainterPath field;
        field.addRoundedRect(text.adjusted(-2, 0, 2, 0), text.height() / 2, text.height() / 2);
        painter.fillPath(field, background);
    }
    if (!editor_ || !editor_->isVisible()) {
        QTextDocument* layout = drawingtext::sharedDrawingLayoutManager();
        layout->setPlainText(name_);
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette.setColor(QPalette::Text, selected ? QColor(Qt::white) : QColor(Qt::black));
        painter.translate(text.topLeft());
        painter.setClipRect(QRectF(QPointF(0, 0), text.size()));
        layout->documentLayout()->draw(&painter, context);
    }
    painter.restore();
}

QTextEdit* FileItemImage::startEditing(QWidget* canvas)
{
    if (editor_)
        return editor_;
    editor_ = drawingtext::newEditor(canvas);
    editor_->setPlainText(name_);
    editor_->document()->clearUndoRedoStacks();
    QObject::connect(editor_, &QTextEdit::textChanged, editor_, [this] {
        if (!applyingEditor_ && editor_)
            setName(editor_->toPlainText());
    });
    fitEditor();
    editor_->show();
    editor_->setFocus();
    return editor_;
}

void FileItemImage::endEditing()
{
    if (!editor_)
        return;
    QTextEdit* editor = editor_;
    editor_ = nullptr;
    QObject::disconnect(editor, &QTextEdit::textChanged, editor, nullptr);
    drawingtext::releaseEditor(editor);
    didChange();
}

void FileItemImage::fitEditor()
{
    if (!editor_)
        return;
    const QRectF text = textBounds();
    const QSizeF size = clampedSize(text.size() + QSizeF(4, 0));
    editor_->setGeometry(QRectF(QPointF(text.center().x() - size.width() / 2, text.top()), size).toAlignedRect());
    if (editor_->toPlainText() != name_) {
        applyingEditor_ = true;
        editor_->setPlainText(name_);
        applyingEditor_ = false;
    }
}
