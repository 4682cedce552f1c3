#pragma once

#include "platform/gui/Interface.h"

#include <QImage>
#include <QPushButton>

// A button that stands for another program, named in the form by its
// four-character creator code in the "alternateTitle" property: it shows
// that program's icon and name, stays disabled when the program is unknown,
// and a click first launches the program (or brings it to the front) and then
// sends the button's ordinary action, actionSent().
class AppLaunchButton : public QPushButton, public platform::gui::NibAwakening {
    Q_OBJECT
    Q_PROPERTY(QString alternateTitle READ alternateTitle WRITE setAlternateTitle)

public:
    explicit AppLaunchButton(QWidget* parent = nullptr);

    QString alternateTitle() const { return alternateTitle_; }
    void setAlternateTitle(const QString& title) { alternateTitle_ = title; }
    quint32 launchCreator() const { return launchCreator_; }

    // Reads the creator from the alternate title (four characters in Mac OS
    // Roman, the first in the highest byte), takes the program's icon and
    // name, and clears the alternate title.
    void awakeFromNib() override;

    // Shown shrunk to fit the button (less a 2-point border on each side
    // when the button is not flat), never enlarged.
    void setImage(const QImage& image);

    // False while no program is known, else the widget's enabled state.
    bool isEnabled() const;

    // Launches the program (its status is not looked at), then sends the
    // action. False, sending nothing, while an earlier click is still
    // launching (a click during the launch's settle wait).
    bool sendAction();
    int launchAction();

Q_SIGNALS:
    void actionSent();

protected:
    bool event(QEvent* event) override;

private:
    QString alternateTitle_;
    quint32 launchCreator_ = 0;
    bool launching_ = false;
};
