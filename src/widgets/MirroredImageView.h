#pragma once

#include "widgets/BlendGradient.h"

#include <QImage>
#include <QWidget>

// An image view that draws its picture centred at the top and a mirrored copy
// 4 points below it, fading from light to black towards the bottom.
class MirroredImageView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString imageName READ imageName WRITE setImageName)

public:
    explicit MirroredImageView(QWidget* parent = nullptr);

    void setImage(const QImage& image);
    QImage image() const { return image_; }
    // A picture of the program's images by name.
    QString imageName() const { return imageName_; }
    void setImageName(const QString& name);

    QRectF imageRect() const;
    QRectF mirrorRect() const;
    // Where the fade lies: from 3 points below the picture to the bottom.
    QRectF fadeRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    QString imageName_;
    BlendGradient gradient_;
};
