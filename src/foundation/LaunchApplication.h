#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

// Starting, activating and quitting other programs, and opening URLs.
// Results are status codes, 0 = success.
//
// Programs are known by four-character creator codes: each code stands for
// a kind of program (web browser, calendar, address book) and a list of
// executables that serve it; the first one installed is used.

namespace launchstatus {
inline constexpr int kLaunchFailed = -1;
inline constexpr int kProcessNotFound = -600;        // no such process
inline constexpr int kApplicationNotFound = -10814;  // no program for the creator
} // namespace launchstatus

constexpr quint32 fourCharCode(const char (&code)[5])
{
    return (quint32(uchar(code[0])) << 24) | (quint32(uchar(code[1])) << 16) | (quint32(uchar(code[2])) << 8) | quint32(uchar(code[3]));
}

namespace creators {
inline constexpr quint32 kBrowser = fourCharCode("sfri");
inline constexpr quint32 kCalendar = fourCharCode("wrbt");
inline constexpr quint32 kAddressBook = fourCharCode("adrb");
} // namespace creators

// The executables (names or paths) that serve a creator; registering
// replaces the list.
QStringList applicationCandidatesForCreator(quint32 creator);
void registerCreatorApplications(quint32 creator, const QStringList& executables);
// The first installed executable for the creator, empty when none.
QString findApplicationForCreator(quint32 creator);
// The creator whose list names this executable (by file name), 0 when none.
quint32 creatorForExecutable(const QString& executablePath);

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
