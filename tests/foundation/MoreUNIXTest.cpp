#include "foundation/MoreUNIX.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using testing_support::readFile;
using testing_support::writeFile;

namespace {

QByteArray pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 31 + 7);
    return bytes;
}

} // namespace

TEST(MoreUNIX, ReadToEndOfFileGivesEpipeWithTheCount)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::size_t written = 0;
    EXPECT_EQ(MFMoreUNIXWrite(fds[1], "abc", 3, &written), 0);
    EXPECT_EQ(written, 3u);
    ::close(fds[1]);

    char buffer[10];
    std::size_t count = 99;
    EXPECT_EQ(MFMoreUNIXRead(fds[0], buffer, sizeof buffer, &count), EPIPE);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(QByteArray(buffer, 3), QByteArray("abc"));
    EXPECT_EQ(MFMoreUNIXRead(fds[0], buffer, 0, nullptr), 0);
    ::close(fds[0]);
}

TEST(MoreUNIX, DescriptorPassing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("passed"));
    writeFile(path, "through the socket");

    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    const int file = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    ASSERT_GE(file, 0);
    EXPECT_EQ(MFMoreUNIXWriteDescriptor(pair[0], file), 0);
    ::close(file);

    int received = -1;
    ASSERT_EQ(MFMoreUNIXReadDescriptor(pair[1], &received), 0);
    ASSERT_GE(received, 0);
    char buffer[18];
    EXPECT_EQ(MFMoreUNIXRead(received, buffer, sizeof buffer, nullptr), 0);
    EXPECT_EQ(QByteArray(buffer, 18), QByteArray("through the socket"));
    ::close(received);

    // A plain byte without a descriptor, then end of stream.
    ASSERT_EQ(::write(pair[0], "D", 1), 1);
    received = -1;
    EXPECT_EQ(MFMoreUNIXReadDescriptor(pair[1], &received), EINVAL);
    EXPECT_EQ(received, -1);
    ::close(pair[0]);
    EXPECT_EQ(MFMoreUNIXReadDescriptor(pair[1], &received), EPIPE);
    ::close(pair[1]);
}

TEST(MoreUNIX, CopyKeepsContentsModeAndTimes)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source"));
    const QByteArray bytes = pattern(3 * 65536 + 123);
    writeFile(source, bytes);
    ASSERT_EQ(::chmod(QFile::encodeName(source).constData(), 04750), 0);
    const struct timespec times[2] = { { 1000000000, 123456000 }, { 1200000000, 654321000 } };
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(source).constData(), times, 0), 0);

    std::vector<qint64> totals;
    MFMoreUNIXCopyProgress progress;
    progress.progress = [&totals](MFMoreUNIXCopyProgress& record, qint64 soFar) {
        totals.push_back(soFar);
        record.copied = soFar;
        return true;
    };
    const QString destination = dir.filePath(QStringLiteral("destination"));
    ASSERT_EQ(MFMoreUNIXCopyFile(source, destination, &progress), 0);

    EXPECT_EQ(readFile(destination), bytes);
    EXPECT_EQ(totals, (std::vector<qint64> { 65536, 131072, 196608, 196608 + 123 }));
    EXPECT_EQ(progress.copied, qint64(bytes.size()));
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(destination).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u) << "set-id and sticky bits dropped";
    EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
    EXPECT_EQ(st.st_mtim.tv_nsec / 1000, 654321);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << "no temporary file left";
}

// Files are copied in the kernel; a pipe, or a file opened for appending,
// cannot be, and the copy goes through a buffer with the same progress.
TEST(MoreUNIX, DescriptorsTheKernelCannotCopyBetweenGoThroughABuffer)
{
    QTemporaryDir dir;
    const QByteArray bytes = pattern(65536 + 10);
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    // More than a pipe holds: written while the copy reads.
    std::thread writer([&] {
        MFMoreUNIXWrite(pipeEnds[1], bytes.constData(), std::size_t(bytes.size()), nullptr);
        ::close(pipeEnds[1]);
    });
    const QString fromPipe = dir.filePath(QStringLiteral("from-pipe"));
    const int out = ::open(QFile::encodeName(fromPipe).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(out, 0);
    std::vector<qint64> totals;
    MFMoreUNIXCopyProgress progress;
    progress.progress = [&totals](MFMoreUNIXCopyProgress&, qint64 soFar) {
        totals.push_back(soFar);
        return true;
    };
    EXPECT_EQ(MFMoreUNIXCopyDescriptorToDescriptor(pipeEnds[0], out, &progress), 0);
    writer.join();
    ::close(pipeEnds[0]);
    ::close(out);
    EXPECT_EQ(readFile(fromPipe), bytes);
    EXPECT_EQ(totals.back(), qint64(bytes.size()));

    const QString source = dir.filePath(QStringLiteral("source"));
    writeFile(source, bytes);
    const QString appended = dir.filePath(QStringLiteral("appended"));
    writeFile(appended, "head:");
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    const int appending = ::open(QFile::encodeName(appended).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(in, 0);
    ASSERT_GE(appending, 0);
    EXPECT_EQ(MFMoreUNIXCopyDescriptorToDescriptor(in, appending, nullptr), 0);
    ::close(in);
    ::close(appending);
    EXPECT_EQ(readFile(appended), QByteArray("head:") + bytes);
}

TEST(MoreUNIX, CancelledCopyLeavesTheDestinationUntouched)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source"));
    writeFile(source, pattern(200000));
    const QString existing = dir.filePath(QStringLiteral("existing"));
    writeFile(existing, "keep me");
    const QString absent = dir.filePath(QStringLiteral("absent"));

    std::atomic<bool> cancel { true };
    MFMoreUNIXCopyProgress before;
    before.cancel = &cancel;
    EXPECT_EQ(MFMoreUNIXCopyFile(source, existing, &before), -1702);
    EXPECT_EQ(readFile(existing), QByteArray("keep me"));
    EXPECT_EQ(MFMoreUNIXCopyFile(source, absent, &before), -1702);
    EXPECT_FALSE(QFileInfo::exists(absent));

    // Cancelled by the progress function after the first chunk.
    MFMoreUNIXCopyProgress midway;
    midway.progress = [](MFMoreUNIXCopyProgress&, qint64) { return false; };
    EXPECT_EQ(MFMoreUNIXCopyFile(source, existing, &midway), -1702);
    EXPECT_EQ(readFile(existing), QByteArray("keep me"));

    // Cancelled through the flag while copying.
    std::atomic<bool> later { false };
    MFMoreUNIXCopyProgress flagged;
    flagged.cancel = &later;
    flagged.progress = [&later](MFMoreUNIXCopyProgress&, qint64) {
        later = true;
        return true;
    };
    EXPECT_EQ(MFMoreUNIXCopyFile(source, absent, &flagged), -1702);
    EXPECT_FALSE(QFileInfo::exists(absent));

    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << "no temporary file left";
}

TEST(MoreUNIX, DefaultProgressAndErrors)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source"));
    writeFile(source, "small");
    int calls = 0;
    MFMoreUNIXSetDefaultProgress([&calls](MFMoreUNIXCopyProgress&, qint64) {
        ++calls;
        return true;
    });
    MFMoreUNIXCopyProgress record;
    EXPECT_EQ(MFMoreUNIXCopyFile(source, dir.filePath(QStringLiteral("copy")), &record), 0);
    EXPECT_EQ(calls, 1);
    MFMoreUNIXSetDefaultProgress({});

    EXPECT_EQ(MFMoreUNIXCopyFile(dir.filePath(QStringLiteral("missing")), dir.filePath(QStringLiteral("copy2")), nullptr), ENOENT);
    EXPECT_EQ(MFMoreUNIXCopyFile(source, dir.filePath(QStringLiteral("no/folder/copy")), nullptr), ENOENT);
    EXPECT_EQ(MFMoreUNIXRename(source, dir.filePath(QStringLiteral("renamed"))), 0);
    EXPECT_EQ(MFMoreUNIXRename(source, dir.filePath(QStringLiteral("renamed"))), ENOENT);
}
