#pragma once

#include <QImage>
#include <QWidget>

class BetterSplitView;

// The resize grip of a split view: an image that drags the divider of the
// nearest enclosing split view. Without one it is a plain image.
class ResizerButtonView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString imageName READ imageName WRITE setImageName)

public:
    explicit ResizerButtonView(QWidget* parent = nullptr);

    QString imageName() const { return imageName_; }
    void setImageName(const QString& name);

    BetterSplitView* getSplittView() const;
    bool inResizeAction() const { return inResizeAction_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString imageName_;
    QImage image_;
    bool inResizeAction_ = false;
};
