#pragma once

#include "devicewindow/ToolView.h"

// The file browser center; it says "Not available yet" until the file
// browser fills it.
class MobileFinderView : public ToolView {
    Q_OBJECT

public:
    explicit MobileFinderView(QWidget* parent = nullptr);

    void setup(DeviceWindowController* controller) { ToolView::setup(controller, getMFDevice()); }
    void updateSmartFolders() { }
    void reloadData(bool /*all*/) { }
};
