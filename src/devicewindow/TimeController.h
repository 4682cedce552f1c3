#pragma once

#include "devicewindow/ToolView.h"

#include <QObject>
#include <QPointer>

class ToolView;

// The time controller of a history window: which center it shows, and its
// release of a center when the window stops being key.
class TimeController : public QObject {
    Q_OBJECT

public:
    explicit TimeController(QObject* parent = nullptr) : QObject(parent) { }

    ToolView* currentController() const { return current_; }
    void setCurrentController(ToolView* center) { current_ = center; }
    void disengage(ToolView* center)
    {
        ++disengaged_;
        if (current_ == center)
            current_ = nullptr;
    }
    int disengageCount() const { return disengaged_; }

private:
    QPointer<ToolView> current_;
    int disengaged_ = 0;
};
