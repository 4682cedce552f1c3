#pragma once

#include "platform/Clock.h"

#include <QLabel>

// The line that shows the background activity. It keeps the last text set;
// in break-info mode (2) it shows "PushToBreak" instead. Shown again, it
// starts a 1.56 s idle check that returns to the kept text.
class BackActioTextField : public QLabel {
    Q_OBJECT

public:
    static constexpr double kIdleInterval = 1.56;
    static constexpr int kBreakInfoMode = 2;

    explicit BackActioTextField(QWidget* parent = nullptr);

    void setHidden(bool hidden);
    void setStringValue(const QString& text);
    void setDisplayBreakInfo(int mode) { displayBreakInfo_ = mode; }
    int displayBreakInfo() const { return displayBreakInfo_; }
    QString buffer() const { return strBuffer_; }
    void backActioIdle();
    void aboutToStop() { }
    bool isIdleRunning() const { return idle_.isActive(); }

private:
    QString strBuffer_;
    int displayBreakInfo_ = 0;
    platform::Timer idle_;
};
