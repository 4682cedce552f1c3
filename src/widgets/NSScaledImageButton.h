#pragma once

#include "platform/NotificationCenter.h"
#include "platform/gui/Interface.h"

#include <QAbstractButton>
#include <QImage>
#include <QPointer>

// The image button of the program's windows. It fits its images to its own
// size in fixed steps, draws them at half opacity while disabled (the stored
// images stay as given), and turns itself on or off by asking the object that
// would receive its action whenever "ValidateScaledImageNotify" is posted.
//
// The action is the name of a slot or invokable method, taking no argument or
// the button. Without a target the receiver is the nearest ancestor widget
// that has the action. Takes Tab focus and presses with Space.
class NSScaledImageButton : public QAbstractButton, public platform::gui::NibAwakening {
    Q_OBJECT
    Q_PROPERTY(QString imageName READ imageName WRITE setImageName)
    Q_PROPERTY(QString alternateImageName READ alternateImageName WRITE setAlternateImageName)
    Q_PROPERTY(QString action READ actionName WRITE setActionName)
    Q_PROPERTY(int tag READ tag WRITE setTag)
    Q_PROPERTY(bool bordered READ isBordered WRITE setBordered)
    Q_PROPERTY(int imagePosition READ imagePosition WRITE setImagePosition)

public:
    // Where the image sits against the title.
    enum ImagePosition { NoImage = 0, ImageOnly = 1, ImageLeft = 2, ImageRight = 3, ImageBelow = 4, ImageAbove = 5, ImageOverlaps = 6 };

    explicit NSScaledImageButton(QWidget* parent = nullptr);
    ~NSScaledImageButton() override;

    QObject* target() const { return target_; }
    void setTarget(QObject* target) { target_ = target; }
    QString actionName() const { return action_; }
    void setActionName(const QString& action) { action_ = action; }
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; update(); }
    int intValue() const { return intValue_; }
    void setIntValue(int value) { intValue_ = value; }
    bool isBordered() const { return bordered_; }
    void setBordered(bool bordered);
    int imagePosition() const { return imagePosition_; }
    void setImagePosition(int position);

    // The images by name from the program's images.
    QString imageName() const { return imageName_; }
    void setImageName(const QString& name);
    QString alternateImageName() const { return alternateImageName_; }
    void setAlternateImageName(const QString& name);

    // The stored image; while disabled (without a custom background) a
    // half-opacity copy of the same size.
    QImage image() const;
    virtual QImage alternateImage() const;
    void setImage(const QImage& image);
    virtual void setAlternateImage(const QImage& image);
    // The size each image is drawn at, as last fitted.
    QSizeF imageSize() const { return imageSize_; }
    QSizeF alternateImageSize() const { return alternateImageSize_; }

    // Fits the images to the button's size.
    void UpdateTheButton();
    QSizeF fittedSize(const QImage& image) const;
    static qreal calcLineSize(qreal value);

    // Enables the button when its action's receiver accepts it.
    void ValidateButton();
    void DelayValidateButton() { ValidateButton(); }
    // The object that receives the action, or null.
    QObject* actionReceiver() const;

    virtual bool doScaleTheImage() const { return true; }
    // Whether the button draws its own state background (no dimmed image,
    // 2 points less height for the image).
    virtual bool customBackGround() const { return false; }

    void awakeFromNib() override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    // Draws the state background under the image; nothing here.
    virtual void drawBackGround(QPainter& painter);

private:
    void MyValidateScaledImageNotify(const platform::Notification& notification);
    void sendAction();
    static QImage dimmed(const QImage& image);

    QPointer<QObject> target_;
    QString action_;
    int tag_ = 0;
    int intValue_ = 0;
    bool bordered_ = false;
    int imagePosition_ = ImageOnly;
    QString imageName_;
    QString alternateImageName_;
    QImage image_;
    QImage alternateImage_;
    QSizeF imageSize_;
    QSizeF alternateImageSize_;
};
