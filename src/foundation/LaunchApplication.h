#pragma once

#include "foundation/MoreProcesses.h"

#include <QString>
#include <QStringList>

#include <sys/types.h>

// Starting, activating and quitting other programs, and opening URLs.
// Results are status codes, 0 = success. Programs are known by their creator
// codes (MoreProcesses.h); the first installed executable of a creator's list
// is started.

namespace launchstatus {
inline constexpr int kLaunchFailed = -1;
inline constexpr int kProcessNotFound = procstatus::kProcessNotFound;
inline constexpr int kApplicationNotFound = -10814;  // no program for the creator
} // namespace launchstatus

// The first installed executable for the creator, empty when none.
QString findApplicationForCreator(quint32 creator);

// Opens a URL with the user's preferred program.
int LaunchQVURL(const QString& url);
// The same for a length-prefixed text (one length byte, then the bytes).
int LaunchURL(const unsigned char* pascalString);
// text as a length-prefixed string of at most 255 bytes, NUL-terminated.
void CocoString2PString(const QString& text, unsigned char buffer[256]);

// Starts the program, with the document when given, without bringing it forward.
int LaunchQVURLInBack(const QString& applicationPath, const QString& documentPath = QString());
// Starts the program; with front its process is activated.
int LaunchQVURLInFrontCust(const QString& applicationPath, bool front, bool async);
int LaunchQVURLInFront(const QString& applicationPath);

// Starts the creator's program unless it runs already (then waits 0.9 s for
// it to come up) and activates its process.
int LaunchAppAndMakeFront(quint32 creator);
int LaunchBrowserAndMakeFront();
int LaunchiCalAndMakeFront();
int LaunchAddressBookAndMakeFront();
int LaunchParamAppAndMakeFront(); // -1, does nothing

// Process 0 = this process. Activating another program's window is up to the
// window manager: a process that exists counts as activated.
int ActivatePSN(pid_t process);
// Asks the process to end (SIGTERM), without waiting.
int QuitAnApp(pid_t process);
int QuitAppWithCreator(quint32 creator);
// The executable of the running process of the creator; null when none runs.
QString getPathForApp(quint32 creator);
