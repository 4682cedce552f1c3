#pragma once

#include "widgets/AnimatedObject.h"
#include "widgets/FooterToolBarView.h"

#include <QImage>
#include <QList>
#include <QPointer>

#include <memory>

class AnimatedTextCell;
class HistoryAnimation;

// The history strip: the dates of a phone's snapshots as a column of labels
// over the time-tunnel picture. The selected date sits in the middle, the
// older ones above it and the newer ones below, smaller and fainter; selecting
// another date slides every label to its new place in half a second, from
// wherever it is at that moment. Up and Down walk the dates. Main thread.
class AnimatedHistoryContainer : public FooterToolBarView, public AnimatedObject {
    Q_OBJECT

public:
    static constexpr double kAnimationSeconds = 0.5;
    static constexpr double kTunnelFraction = 0.56;
    static constexpr const char* kTunnelImage = "TimeTunnelBack";

    explicit AnimatedHistoryContainer(QWidget* parent = nullptr);
    ~AnimatedHistoryContainer() override;

    void addHistory(const QString& dateString);
    void setSelectedDate(int index);
    int selectedDate() const { return selectedDate_; }
    void recalcHistory();
    void clearHistoryView();
    void doAnimate(double progress) override;
    void animationDidEnd();

    const QList<QPointer<AnimatedTextCell>>& cells() const { return animCells_; }
    bool isAnimating() const;

Q_SIGNALS:
    // The user walked to another date (keys or a click).
    void dateChosen(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void choose(int index);

    std::unique_ptr<HistoryAnimation> historyAnimation_;
    QList<QPointer<AnimatedTextCell>> animCells_;
    QImage tunnelBackImage_;
    int selectedDate_ = -1;
};
