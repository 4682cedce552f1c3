#pragma once

#include <QString>

class AppController;
class QMenuBar;
class QWidget;
class TarnexWindow;

// The program's main window: the black frame with its title bar, the menu
// bar under it, the pane area and the status area. Closing it in any way
// (close button, Close Window, Quit, the window manager) asks the quit
// protocol of the controller.
namespace mainwindow {

// "&About @app@" -> "&About Marvesto LG".
QString menuTitle(const QString& title);
QMenuBar* buildMenuBar(AppController& controller, QWidget* window);
TarnexWindow* create(AppController& controller);

inline constexpr int kWidth = 440;
inline constexpr int kHeight = 560;
inline constexpr int kStatusHeight = 49;
inline constexpr int kPhoneBoxHeight = 170;
inline constexpr int kButtonRowHeight = 48;
// Where the parts of the status area wait while hidden.
inline constexpr int kHiddenY = -200;

} // namespace mainwindow
