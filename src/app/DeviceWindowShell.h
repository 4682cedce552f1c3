#pragma once

class QDialog;
class QWidget;

// What the application shell lends the phone windows: the device inspector,
// the debugging-report panel (the same panel the main window shows) and the
// main window's return to the phone list when a phone's connection is lost.
namespace devicewindowshell {

// Fills the phone windows' makers; called once at start.
void install();

// The debugging-report panel on window, not yet shown: "Send by Mail" (the
// folder when there is no mail program), "Show in Folder" and OK (ends it
// with 1).
QDialog* makeDebuggingPanel(QWidget* window);

} // namespace devicewindowshell
