#include "foundation/NamedLog.h"
#include "foundation/QVFileLog.h"

#include "platform/Exception.h"
#include "platform/Paths.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <thread>
#include <vector>

using testing_support::writeFile;

namespace {

QString logsFolder()
{
    return platform::paths::stateHome() + QStringLiteral("/MarvestoLG/Logs");
}

QString logFile(const QString& name)
{
    return logsFolder() + QLatin1Char('/') + name + QStringLiteral(".log");
}

QString readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

} // namespace

TEST(NamedLog, LogsLiveInTheStateFolder)
{
    EXPECT_EQ(QVPathForLogFile(QStringLiteral("x.log")), logsFolder() + QStringLiteral("/x.log"));
}

TEST(NamedLog, LineIsTimeStampColonMessage)
{
    ASSERT_TRUE(QVLogCreateAndOpen(QStringLiteral("LineFormat")));
    QFile::remove(logFile(QStringLiteral("LineFormat")));
    QVLogToNamedLog(QStringLiteral("LineFormat"), QStringLiteral("hello wörld"));
    QVLogNoTime(QStringLiteral("LineFormat"), QStringLiteral("plain"));

    const QStringList lines = readText(logFile(QStringLiteral("LineFormat"))).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3);
    static const QRegularExpression stamped(QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}: hello wörld$"));
    EXPECT_TRUE(stamped.match(lines[0]).hasMatch()) << lines[0].toStdString();
    EXPECT_EQ(lines[1], QStringLiteral("plain"));
    EXPECT_EQ(lines[2], QString());
}

TEST(NamedLog, UnopenedLogWritesNothingAndFormatsNothing)
{
    int built = 0;
    auto message = [&built] {
        ++built;
        return QStringLiteral("never");
    };
    QVLOG("standard", message());
    QVLogToNamedLog(QStringLiteral("standard"), QStringLiteral("dropped"));
    QVLogToNamedLog("standard", "dropped %s", "too");
    QVLogNoTime(QStringLiteral("standard"), QStringLiteral("dropped"));
    QVLogNamedSetPrivate(QStringLiteral("standard"), true);

    EXPECT_EQ(built, 0);
    EXPECT_FALSE(QVLogIsNamedLogOpen(QStringLiteral("standard")));
    EXPECT_EQ(QVLogIsNamedLogOpen("standard"), 0);
    EXPECT_FALSE(QFileInfo::exists(logFile(QStringLiteral("standard"))));
    EXPECT_FALSE(QFileInfo::exists(logFile(QStringLiteral("standard-last"))));
}

TEST(NamedLog, OpenedTwiceRotatesOnce)
{
    writeFile(logFile(QStringLiteral("Conn")), "previous run\n");
    writeFile(logFile(QStringLiteral("Conn-last")), "run before that\n");

    ASSERT_TRUE(QVLogCreateAndOpen(QStringLiteral("Conn")));
    EXPECT_FALSE(QFileInfo::exists(logFile(QStringLiteral("Conn")))) << "the current file is made by the first write";
    QVLogNoTime(QStringLiteral("Conn"), QStringLiteral("this run"));

    ASSERT_TRUE(QVLogCreateAndOpen(QStringLiteral("Conn")));
    QVLogNoTime(QStringLiteral("Conn"), QStringLiteral("still this run"));

    EXPECT_EQ(readText(logFile(QStringLiteral("Conn-last"))), QStringLiteral("previous run\n"));
    EXPECT_EQ(readText(logFile(QStringLiteral("Conn"))), QStringLiteral("this run\nstill this run\n"));
}

TEST(NamedLog, InvalidNamesAndRelativeFolders)
{
    EXPECT_FALSE(QVLogCreateAndOpen(QString()));
    EXPECT_EQ(QVLogCreateAndOpen(static_cast<const char*>(nullptr)), 0);
    EXPECT_EQ(QVLogIsNamedLogOpen(static_cast<const char*>(nullptr)), 0);
    EXPECT_THROW(QVFileLog::createDirectoryIfNecessary(QStringLiteral("relative/folder")), platform::Exception);
}

TEST(NamedLog, NameWithSlashGetsASubFolder)
{
    ASSERT_TRUE(QVLogCreateAndOpen(QStringLiteral("Sub/Inner")));
    QFile::remove(logFile(QStringLiteral("Sub/Inner")));
    QVLogNoTime(QStringLiteral("Sub/Inner"), QStringLiteral("x"));
    EXPECT_EQ(readText(logsFolder() + QStringLiteral("/Sub/Inner.log")), QStringLiteral("x\n"));
}

TEST(NamedLog, FolderThatCannotBeMadeLeavesTheLogClosed)
{
    writeFile(platform::paths::stateHome() + QStringLiteral("/Blocked"), "a file, not a folder");
    EXPECT_FALSE(QVLogCreateAndOpenForApp(QStringLiteral("BlockedLog"), QStringLiteral("Blocked")));
    EXPECT_FALSE(QVLogIsNamedLogOpen(QStringLiteral("BlockedLog")));
}

TEST(NamedLog, CFormatIsFormatted)
{
    ASSERT_EQ(QVLogCreateAndOpen("CFormat"), 1);
    QVLogToNamedLog("CFormat", "%d%% of %s", 50, "files");
    const QString text = readText(logFile(QStringLiteral("CFormat")));
    EXPECT_TRUE(text.endsWith(QStringLiteral(": 50% of files\n"))) << text.toStdString();
}

TEST(NamedLog, LinesFromManyThreadsStayWhole)
{
    ASSERT_TRUE(QVLogCreateAndOpen(QStringLiteral("Threads")));
    QFile::remove(logFile(QStringLiteral("Threads")));
    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) {
                QVLogToNamedLog(QStringLiteral("Threads"), QStringLiteral("thread %1 line %2").arg(t).arg(i));
                QVLogIsNamedLogOpen(QStringLiteral("Other%1").arg(i));
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    const QStringList lines = readText(logFile(QStringLiteral("Threads"))).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), kThreads * kLines);
    static const QRegularExpression whole(QStringLiteral("^[-0-9 :.]{23}: thread \\d line \\d+$"));
    for (const QString& line : lines)
        ASSERT_TRUE(whole.match(line).hasMatch()) << line.toStdString();
}

TEST(NamedLog, LibraryFindsTheExportedFunctionsByName)
{
    void* probe = ::dlopen(QVLOG_PROBE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(probe, nullptr) << ::dlerror();
    using ProbeWrite = int (*)(const char*, int, const char*);
    auto write = reinterpret_cast<ProbeWrite>(::dlsym(probe, "qvlog_probe_write"));
    ASSERT_NE(write, nullptr);

    EXPECT_EQ(write("SMSKit", 10, "closed"), 0);
    EXPECT_FALSE(QFileInfo::exists(logFile(QStringLiteral("SMSKit"))));

    ASSERT_TRUE(QVLogCreateAndOpen(QStringLiteral("SMSKit")));
    EXPECT_EQ(write("SMSKit", 50, "ok"), 1);
    const QString text = readText(logFile(QStringLiteral("SMSKit")));
    EXPECT_TRUE(text.endsWith(QStringLiteral(": probe 50% done: ok\n"))) << text.toStdString();
    ::dlclose(probe);
}
