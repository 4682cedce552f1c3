#pragma once

#include "platform/gui/Interface.h"
#include "widgets/AnimatedObject.h"
#include "widgets/HistoryAnimation.h"

#include <QPointer>
#include <QPushButton>

class FooterToolBarView;

// A button that lights up while the pointer rests on it (in the active
// window) by fading in the fill of a footer bar wired to it; leaving fades it
// out again. A fade takes 0.33 s. Hover is tracked only while the button is
// shown inside a parent. Without a footer bar the highlight never changes.
class CenterButton : public QPushButton, public platform::gui::NibAwakening, public AnimatedObject {
    Q_OBJECT
    // The footer bar's object name in the form.
    Q_PROPERTY(QString highliteFooterName READ highliteFooterName WRITE setHighliteFooterName)

public:
    static constexpr double kFadeDuration = 0.33;

    explicit CenterButton(QWidget* parent = nullptr);

    void setHighliteFooter(QWidget* footer) { footer_ = footer; }
    QWidget* highliteFooter() const { return footer_; }
    QString highliteFooterName() const { return footerName_; }
    void setHighliteFooterName(const QString& name) { footerName_ = name; }

    // Turns the highlight on and fades the footer out (freshly loaded).
    void awakeFromNib() override;

    virtual void doHighlite(bool on);
    void doAnimate(double progress) override;
    // Yes while a fade runs, else the highlight state.
    bool isInTrack() const;
    bool isTracking() const { return tracking_; }
    void updateTrackingRect();
    bool isFading() const { return fade_.isAnimating(); }

    void setVisible(bool visible) override;

protected:
    // Whether hover tracking is wanted at all.
    virtual bool wantsTracking() const { return true; }
    FooterToolBarView* footerBar() const;
    // Sets the footer bar's fill alpha and redraws it.
    void setFooterAlpha(double alpha);

    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    QPointer<QWidget> footer_;
    QString footerName_;
    HistoryAnimation fade_;
    bool tracking_ = false;
    bool inTrack_ = false;
};
