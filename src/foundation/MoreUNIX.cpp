#include "foundation/MoreUNIX.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t kSpecialModeBits = 07000; // set-user-ID, set-group-ID, sticky

// A file system that keeps no permissions or times (a FAT phone volume
// through FUSE) refuses to set them; the copy goes on without them.
bool isUnsupportedAttribute(int error)
{
    return error == ENOSYS || error == EOPNOTSUPP || error == EPERM;
}

void require(bool condition, const char* what)
{
    if (!condition)
        qFatal("MoreUNIX: invalid argument: %s", what);
}

struct DefaultProgress {
    std::mutex mutex;
    MFMoreUNIXCopyProgress::Function function;
};

DefaultProgress& defaultProgress()
{
    static DefaultProgress instance;
    return instance;
}

bool cancelRequested(const MFMoreUNIXCopyProgress* progress)
{
    return progress && progress->cancel && progress->cancel->load();
}

// After a chunk: false when the copy is to stop, by the cancel flag or by the
// record's progress function (the default one when the record has none).
bool keepCopying(MFMoreUNIXCopyProgress& progress, qint64 total)
{
    if (cancelRequested(&progress))
        return false;
    if (progress.progress)
        return progress.progress(progress, total);
    MFMoreUNIXCopyProgress::Function fallback;
    {
        DefaultProgress& instance = defaultProgress();
        std::lock_guard<std::mutex> lock(instance.mutex);
        fallback = instance.function;
    }
    return !fallback || fallback(progress, total);
}

// One data byte with room for one descriptor-passing control message.
struct DescriptorMessage {
    unsigned char byte = 0;
    struct iovec iov {};
    alignas(struct cmsghdr) char control[CMSG_SPACE(sizeof(int))] {};
    struct msghdr message {};

    DescriptorMessage()
    {
        iov.iov_base = &byte;
        iov.iov_len = 1;
        message.msg_iov = &iov;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
    }
    DescriptorMessage(const DescriptorMessage&) = delete;
    DescriptorMessage& operator=(const DescriptorMessage&) = delete;
};

class Descriptor {
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    ~Descriptor() { close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    int close()
    {
        if (m_fd < 0)
            return 0;
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

} // namespace

void MFMoreUNIXSetDefaultProgress(MFMoreUNIXCopyProgress::Function function)
{
    DefaultProgress& instance = defaultProgress();
    std::lock_guard<std::mutex> lock(instance.mutex);
    instance.function = std::move(function);
}

namespace {

// Repeats one read or write step until length bytes are through, the other
// end is gone (EPIPE) or a real error occurs; interrupted calls are retried.
template <class Step>
int transferFully(std::size_t length, std::size_t* transferred, Step step)
{
    std::size_t done = 0;
    int error = 0;
    while (done < length) {
        const ssize_t n = step(done);
        if (n > 0) {
            done += std::size_t(n);
        } else if (n == 0) {
            error = EPIPE;
            break;
        } else if (errno != EINTR) {
            error = errno;
            break;
        }
    }
    if (transferred)
        *transferred = done;
    return error;
}

} // namespace

int MFMoreUNIXRead(int fd, void* buffer, std::size_t length, std::size_t* bytesRead)
{
    require(fd >= 0, "fd >= 0");
    require(buffer != nullptr, "buffer != nullptr");
    return transferFully(length, bytesRead, [&](std::size_t done) {
        return ::read(fd, static_cast<char*>(buffer) + done, length - done);
    });
}

int MFMoreUNIXWrite(int fd, const void* buffer, std::size_t length, std::size_t* bytesWritten)
{
    require(fd >= 0, "fd >= 0");
    require(buffer != nullptr, "buffer != nullptr");
    return transferFully(length, bytesWritten, [&](std::size_t done) {
        return ::write(fd, static_cast<const char*>(buffer) + done, length - done);
    });
}

int MFMoreUNIXIgnoreSIGPIPE()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGPIPE, &action, nullptr) == 0 ? 0 : errno;
}

int MFMoreUNIXReadDescriptor(int socket, int* fd)
{
    require(socket >= 0, "socket >= 0");
    require(fd != nullptr && *fd == -1, "fd != nullptr && *fd == -1");
    DescriptorMessage received;
    struct msghdr& message = received.message;

    ssize_t n;
    do {
        n = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return errno;
    if (n == 0)
        return EPIPE;

    int descriptorIn = -1;
    for (struct cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS)
            continue;
        const std::size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int descriptor;
            std::memcpy(&descriptor, CMSG_DATA(header) + i * sizeof(int), sizeof descriptor);
            if (descriptorIn < 0 && count == 1)
                descriptorIn = descriptor;
            else
                ::close(descriptor); // never leak what we did not ask for
        }
    }
    if (received.byte != moreunix::kDescriptorByte || (message.msg_flags & MSG_CTRUNC) || descriptorIn < 0) {
        if (descriptorIn >= 0)
            ::close(descriptorIn);
        return EINVAL;
    }
    *fd = descriptorIn;
    return 0;
}

int MFMoreUNIXWriteDescriptor(int socket, int fd)
{
    require(socket >= 0, "socket >= 0");
    require(fd >= 0, "fd >= 0");
    DescriptorMessage sent;
    sent.byte = moreunix::kDescriptorByte;
    struct msghdr& message = sent.message;
    struct cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(header), &fd, sizeof fd);

    ssize_t n;
    do {
        n = ::sendmsg(socket, &message, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return errno;
    return n == 1 ? 0 : EPIPE;
}

namespace {

// Copies in the kernel (no pass through this process's memory), in steps of
// the copy buffer's size so progress and cancelling come as in the buffered
// copy: once per step, the short last step included. Answers nullopt when the
// kernel cannot copy between these two descriptors before the first byte
// moved (pipes, sockets, appending files, some file systems): the caller then
// copies through a buffer.
std::optional<int> copyInKernel(int source, int destination, MFMoreUNIXCopyProgress* progress)
{
    qint64 total = 0;
    for (;;) {
        const ssize_t copied = ::copy_file_range(source, nullptr, destination, nullptr, moreunix::kCopyBufferSize, 0);
        if (copied < 0) {
            const int error = errno;
            if (error == EINTR)
                continue;
            const bool unsupported = error == EINVAL || error == EXDEV || error == ENOSYS || error == EOPNOTSUPP
                || error == EBADF || error == EPERM || error == ETXTBSY;
            if (total == 0 && unsupported)
                return std::nullopt;
            return error;
        }
        total += copied;
        if (progress && !keepCopying(*progress, total))
            return moreunix::kCancelled;
        if (std::size_t(copied) < moreunix::kCopyBufferSize)
            return 0;
    }
}

} // namespace

int MFMoreUNIXCopyDescriptorToDescriptor(int source, int destination, MFMoreUNIXCopyProgress* progress)
{
    require(source >= 0, "source >= 0");
    require(destination >= 0, "destination >= 0");
    if (const std::optional<int> result = copyInKernel(source, destination, progress))
        return *result;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[moreunix::kCopyBufferSize]);
    if (!buffer)
        return ENOMEM;
    qint64 total = 0;
    for (;;) {
        std::size_t count = 0;
        int error = MFMoreUNIXRead(source, buffer.get(), moreunix::kCopyBufferSize, &count);
        const bool endOfFile = error == EPIPE;
        if (endOfFile)
            error = 0;
        if (error)
            return error;
        if (count > 0) {
            if (const int writeError = MFMoreUNIXWrite(destination, buffer.get(), count, nullptr))
                return writeError;
            total += qint64(count);
        }
        if (progress && !keepCopying(*progress, total))
            return moreunix::kCancelled;
        if (endOfFile)
            return 0;
    }
}

int MFMoreUNIXCopyFile(const QString& source, const QString& destination, MFMoreUNIXCopyProgress* progress)
{
    require(!source.isEmpty(), "source path");
    require(!destination.isEmpty(), "destination path");
    const QByteArray sourcePath = QFile::encodeName(source);
    const QByteArray destinationPath = QFile::encodeName(destination);

    Descriptor in(::open(sourcePath.constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        return errno;
    struct stat st;
    if (::fstat(in.get(), &st) != 0)
        return errno;
    if (cancelRequested(progress))
        return moreunix::kCancelled;

    QByteArray temporary = destinationPath + ".XXXXXX";
    Descriptor out(::mkostemp(temporary.data(), O_CLOEXEC));
    if (out.get() < 0)
        return errno;
    auto discard = [&](int error) {
        out.close();
        ::unlink(temporary.constData());
        return error;
    };
    if (::fchmod(out.get(), st.st_mode & 07777 & ~kSpecialModeBits) != 0 && !isUnsupportedAttribute(errno))
        return discard(errno);

    if (const int error = MFMoreUNIXCopyDescriptorToDescriptor(in.get(), out.get(), progress))
        return discard(error);

    const struct timespec times[2] = { st.st_atim, st.st_mtim };
    if (::futimens(out.get(), times) != 0 && !isUnsupportedAttribute(errno))
        return discard(errno);
    if (const int error = out.close()) {
        ::unlink(temporary.constData());
        return error;
    }
    in.close();
    if (::rename(temporary.constData(), destinationPath.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return error;
    }
    return 0;
}

int MFMoreUNIXRename(const QString& oldPath, const QString& newPath)
{
    require(!oldPath.isEmpty(), "old path");
    require(!newPath.isEmpty(), "new path");
    return ::rename(QFile::encodeName(oldPath).constData(), QFile::encodeName(newPath).constData()) == 0 ? 0 : errno;
}
