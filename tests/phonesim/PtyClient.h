#pragma once

#include <QByteArray>
#include <QString>

// The client end of a simulated phone: opens the slave tty in raw mode, as a
// modem link would, writes commands and collects answers. Waits run the event
// loop in virtual time and let real input in (OutsideInputScope).
class PtyClient {
public:
    explicit PtyClient(const QString& path);
    // Takes over a connected socket (the phone's socket face).
    explicit PtyClient(int socket);
    ~PtyClient();
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    bool isOpen() const { return _fd >= 0; }
    // Writes all bytes (waiting while the tty is full); false on an error.
    bool write(const QByteArray& bytes);
    // Reads until the collected bytes end with a final result ("\r\nOK\r\n" or
    // "\r\nERROR\r\n"); answers everything read, or what came before the time-out.
    QByteArray readAnswer(double seconds = 30.0);
    // Writes command + CR and reads its answer.
    QByteArray command(const QByteArray& command);
    // Reads whatever arrives within seconds of Clock time.
    QByteArray readFor(double seconds);
    // Sizes of the reads that delivered the last answer.
    const QList<int>& readSizes() const { return _readSizes; }

private:
    void drain(QByteArray& into);

    int _fd = -1;
    QList<int> _readSizes;
};
