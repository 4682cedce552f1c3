#pragma once

#include "widgets/PolishedMetallWindow.h"

// A tool panel with the polished background; it has no key-only mode. Its
// toolbar (setToolbar) sits on the background as a window's does.
class PolishedMetallPanel : public PolishedMetallWindow {
    Q_OBJECT
public:
    explicit PolishedMetallPanel(QWidget* parent = nullptr, bool flat = false);

    void setPolishedOnlyOnKey(bool) override { }
};
