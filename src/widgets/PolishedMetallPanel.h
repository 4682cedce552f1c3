#pragma once

#include "widgets/PolishedMetallWindow.h"

// A tool panel with the polished background; it has no key-only mode.
class PolishedMetallPanel : public PolishedMetallWindow {
    Q_OBJECT
public:
    explicit PolishedMetallPanel(QWidget* parent = nullptr, bool flat = false);

    void setPolishedOnlyOnKey(bool) override { }
};
