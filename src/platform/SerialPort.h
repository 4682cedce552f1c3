#pragma once

#include <QString>
#include <functional>

struct termios;

// Terminal devices (a phone's modem tty, a pseudo-terminal in tests) opened
// for exclusive use, as the program's USB links and the organizer kit use them.
namespace platform::serialport {

// The settings a caller wants, made from the ones the device had.
using SettingsMaker = std::function<struct termios(const struct termios& original)>;

// Opens a tty for exclusive use (TIOCEXCL and an advisory flock, which root
// cannot bypass), saves its settings into *originalTTYAttrs and applies what
// makeSettings answers for them. Answers the descriptor (non-blocking), or -1
// with one line on the standard output saying what failed.
int openSerialPort(const QString& path, const SettingsMaker& makeSettings, struct termios* originalTTYAttrs);
// Waits (bounded) for the output to drain, restores the saved settings and
// closes. Answers whether the descriptor was closed without error; it is gone
// either way. A descriptor of -1 is not touched.
bool closeSerialPort(int fileDescriptor, const struct termios& originalTTYAttrs);
// Writes all bytes to a non-blocking descriptor, waiting while its output
// queue is full; false when a write fails or the peer takes nothing for two
// seconds.
bool writeFully(int fileDescriptor, const char* bytes, qsizetype length);
// Whether the descriptor is the slave side of a pseudo-terminal.
bool isPseudoTerminal(int fileDescriptor);

// One line "<format with path, error text, number>" on the standard output,
// as the open and close steps report their failures.
void report(const char* format, const QString& path, int error);

} // namespace platform::serialport
