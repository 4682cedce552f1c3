#pragma once

#include <QPushButton>

// A push button that answers Return only while it can be pressed: after every
// change of its enabled or hidden state it becomes the window's default
// button when it is enabled and visible, and stops being one otherwise.
class NSDefaultButton : public QPushButton {
    Q_OBJECT

public:
    explicit NSDefaultButton(QWidget* parent = nullptr);
    explicit NSDefaultButton(const QString& text, QWidget* parent = nullptr);

    void setEnabled(bool enabled);
    void setHidden(bool hidden);
    void setVisible(bool visible) override;
    // The key equivalent: "\r" while enabled and visible, else empty.
    QString keyEquivalent() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateKeyEquivalent();
};
