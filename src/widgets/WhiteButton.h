#pragma once

#include <QColor>
#include <QPushButton>

// A push button whose title is drawn in a fixed colour: pure white while
// enabled, white at 0.34 opacity while disabled.
class WhiteButton : public QPushButton {
    Q_OBJECT

public:
    explicit WhiteButton(QWidget* parent = nullptr);

    virtual QColor titleColor() const;
    // The title in its italic face (Qt slants a font that has none).
    void setItalicOrObliqueFont();
    // Whether the button is drawn as enabled.
    virtual bool drawsEnabled() const { return isEnabled(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};
