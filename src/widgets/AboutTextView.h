#pragma once

#include <QTextBrowser>

// The About panel's credits: a read-only text view that draws no background,
// nor does its scroll area, so the text floats on the panel's artwork. It
// takes neither focus nor clicks: keys and clicks go to the panel.
class AboutTextView : public QTextBrowser {
    Q_OBJECT
public:
    explicit AboutTextView(QWidget* parent = nullptr);
};
