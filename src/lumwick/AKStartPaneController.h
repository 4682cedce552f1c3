#pragma once

#include "lumwick/AKPaneController.h"

// The wizard's first pane: an introduction.
class AKStartPaneController : public AKPaneController {
public:
    QString defaultNibName() const override { return QStringLiteral("AKStartPane"); }
    QString localizationKey() const override { return QStringLiteral("kIntroduction"); }
    void startProcessing() override;
};

// The wizard's last pane: a summary of the chosen phone.
class AKFinalPaneController : public AKPaneController {
public:
    static constexpr const char* kUnknownType = "unknown type";

    QString defaultNibName() const override { return QStringLiteral("AKFinalPane"); }
    QString localizationKey() const override { return QStringLiteral("kSummary"); }
    void prepareForDisplay() override;
    void startProcessing() override;
};
