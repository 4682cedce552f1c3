#pragma once

class NSFancyPanel;
class QKeyEvent;
class QMouseEvent;

// Asked first by a fancy panel for its key presses and left or right clicks;
// an answer of true consumes the event.
class FancyPanelDelegate {
public:
    virtual ~FancyPanelDelegate() = default;
    virtual bool handlesKeyDown(QKeyEvent& event, NSFancyPanel& panel) = 0;
    virtual bool handlesMouseDown(QMouseEvent& event, NSFancyPanel& panel) = 0;
    // The panel stopped being the active window.
    virtual void panelDidResignMain(NSFancyPanel& panel) = 0;
};
