#pragma once

#include <QImage>
#include <QPushButton>

// An image button that shows its alternate picture while the mouse is over
// it. A disabled or hidden button never shows it.
class TarnexRollOverButton : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QString imageName READ imageName WRITE setImageName)
    Q_PROPERTY(QString altImageName READ altImageName WRITE setAltImageName)

public:
    explicit TarnexRollOverButton(QWidget* parent = nullptr);

    // Each non-empty name loads that picture; an empty name keeps the one set.
    void setImageNamed(const QString& normal, const QString& alternate);
    QString imageName() const { return normalName_; }
    QString altImageName() const { return alternateName_; }
    void setImageName(const QString& name) { setImageNamed(name, QString()); }
    void setAltImageName(const QString& name) { setImageNamed(QString(), name); }

    QImage normalImage() const { return leave_; }
    QImage rollOverImage() const { return enter_; }
    // The picture on show.
    QImage shownImage() const { return mouseEntered_ ? enter_ : leave_; }
    bool isMouseEntered() const { return mouseEntered_; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void showPicture(bool entered);

    QImage enter_;
    QImage leave_;
    QString normalName_;
    QString alternateName_;
    bool mouseEntered_ = false;
};
