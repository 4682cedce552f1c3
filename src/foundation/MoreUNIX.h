#pragma once

#include <QString>

#include <atomic>
#include <cstddef>
#include <functional>

// POSIX helpers. Results are errno values, 0 = success. Invalid arguments (a
// negative descriptor, a null buffer or path) are programming errors that
// stop the program.

namespace moreunix {
inline constexpr int kCancelled = -1702;           // the user cancelled
inline constexpr std::size_t kCopyBufferSize = 65536;
inline constexpr unsigned char kDescriptorByte = 'D';
} // namespace moreunix

// Progress of a file copy, filled by the copier's owner and passed down.
struct MFMoreUNIXCopyProgress {
    using Function = std::function<bool(MFMoreUNIXCopyProgress& record, qint64 bytesSoFar)>;

    void* owner = nullptr;
    const std::atomic<bool>* cancel = nullptr; // set: stop with kCancelled
    qint64 size = 0;                           // of the source, when known
    qint64 copied = 0;                         // for the progress function to keep
    void* receiver = nullptr;
    int result = 0;
    Function progress;                         // false: stop with kCancelled
};

// The progress function used when a record has none (the copy jobs install
// theirs); none installed = keep going.
void MFMoreUNIXSetDefaultProgress(MFMoreUNIXCopyProgress::Function function);

// Reads exactly length bytes; end of file first gives EPIPE with the count.
int MFMoreUNIXRead(int fd, void* buffer, std::size_t length, std::size_t* bytesRead);
// Writes all length bytes.
int MFMoreUNIXWrite(int fd, const void* buffer, std::size_t length, std::size_t* bytesWritten);
int MFMoreUNIXIgnoreSIGPIPE();

// One descriptor over a UNIX-domain socket: one data byte "D" with one
// descriptor-passing control message. *fd must be -1 on entry; anything else
// on the wire gives EINVAL, end of stream EPIPE.
int MFMoreUNIXReadDescriptor(int socket, int* fd);
int MFMoreUNIXWriteDescriptor(int socket, int fd);

// Copies until end of file in chunks of 64 KiB, asking the progress record
// after each chunk. ENOMEM when there is no buffer; kCancelled on cancel.
int MFMoreUNIXCopyDescriptorToDescriptor(int source, int destination, MFMoreUNIXCopyProgress* progress);
// Copies a file with the source's permissions (less set-id and sticky bits)
// and times. The copy goes to a temporary file beside the destination that
// replaces it only on success: a failed or cancelled copy leaves an existing
// destination as it was. A cancel flag already set stops before anything is
// created.
int MFMoreUNIXCopyFile(const QString& source, const QString& destination, MFMoreUNIXCopyProgress* progress);
int MFMoreUNIXRename(const QString& oldPath, const QString& newPath);
