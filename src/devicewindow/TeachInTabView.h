#pragma once

#include "widgets/AnimatingTabView.h"

// The teach-in sheet's pages: a tab view without tabs (its pages change only
// through the sheet's buttons) inside a line border, drawing its background.
// Pages are found by their identifier, the page's object name.
class TeachInTabView : public AnimatingTabView {
    Q_OBJECT

public:
    explicit TeachInTabView(QWidget* parent = nullptr);

    void awakeFromNib() override;
    // The index of the page with that identifier, -1 when there is none.
    int indexOfTabViewItemWithIdentifier(const QString& identifier) const;
    QString identifierAt(int index) const;
    QString selectedIdentifier() const { return identifierAt(currentIndex()); }
    bool selectTabViewItemWithIdentifier(const QString& identifier);
    // Type 5: no tabs, a line border.
    int tabViewType() const { return 5; }
};
