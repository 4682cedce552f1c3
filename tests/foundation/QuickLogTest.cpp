#include "foundation/QuickLog.h"
#include "foundation/QVFileLog.h"

#include "platform/Paths.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace quicklog_probe {
// An argument that counts its conversions to text (found by argument lookup).
struct Probe {
    int* conversions;
};
inline QString text(const Probe& probe)
{
    ++*probe.conversions;
    return QStringLiteral("probe");
}
} // namespace quicklog_probe

namespace {

QString quickLogFile(const QString& name)
{
    return platform::paths::stateHome() + QStringLiteral("/MarvestoLG/Logs/") + name + QStringLiteral(".log");
}

QStringList lines(const QString& name)
{
    QFile file(quickLogFile(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Strips "YYYY-MM-DD HH:MM:SS.mmm: " from each line; a line without it fails.
QStringList messages(const QString& name)
{
    static const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}: "));
    QStringList result;
    for (const QString& line : lines(name)) {
        const QRegularExpressionMatch match = stamp.match(line);
        EXPECT_TRUE(match.hasMatch()) << line.toStdString();
        result.append(line.mid(match.capturedLength()));
    }
    return result;
}

class QuickLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {qvlog::kXT, qvlog::kConn})
            ASSERT_TRUE(QVLogCreateAndOpen(QLatin1String(name)));
        ASSERT_TRUE(QuickLogInit());
        for (const char* name : {qvlog::kXT, qvlog::kConn, qvlog::kQuick, qvlog::kSyncML})
            QFile::remove(quickLogFile(QLatin1String(name)));
    }
};

TEST_F(QuickLogTest, MainLogLinesAreCopiedToQuickOthersAreNot)
{
    QuickLogToNamedLog(qvlog::kXT, QStringLiteral("read %1 contacts"), 3);
    QuickLogToNamedLog(qvlog::kConn, QStringLiteral("port %1 open"), QStringLiteral("ttyACM0"));
    QuickLogNoTime(qvlog::kXT, QStringLiteral("  continued"));

    EXPECT_EQ(messages(QStringLiteral("Conn")), QStringList{QStringLiteral("port ttyACM0 open")});
    EXPECT_EQ(lines(QStringLiteral("XT")), (QStringList{lines(QStringLiteral("XT")).value(0), QStringLiteral("  continued")}));
    EXPECT_TRUE(lines(QStringLiteral("XT")).value(0).endsWith(QStringLiteral(": read 3 contacts")));
    EXPECT_EQ(lines(QStringLiteral("Quick")), lines(QStringLiteral("XT")).mid(0, 1) + QStringList{QStringLiteral("  continued")})
        << "the same message, each with its own stamp (equal within the same millisecond)";
    EXPECT_TRUE(lines(QStringLiteral("Quick")).value(0).endsWith(QStringLiteral(": read 3 contacts")));
}

TEST_F(QuickLogTest, SyncMLLinesReachQuickWhileSyncMLIsClosed)
{
    // CTest runs each test in a process of its own; a whole-suite run may
    // have opened the log in an earlier test.
    if (QVLogIsNamedLogOpen(QStringLiteral("SyncML")))
        GTEST_SKIP() << "SyncML was opened by an earlier test of this process";
    QuickLogToNamedLog(qvlog::kSyncML, QStringLiteral("session %1"), 7);

    EXPECT_FALSE(QFileInfo::exists(quickLogFile(QStringLiteral("SyncML"))));
    EXPECT_EQ(messages(QStringLiteral("Quick")), QStringList{QStringLiteral("session 7")});
}

TEST_F(QuickLogTest, ArgumentsAreWrittenAsTheyStand)
{
    QuickLogToNamedLog(qvlog::kXT, QStringLiteral("file %1 of %2"), QStringLiteral("a%@b %1 %2"), 100);
    QuickLogToNamedLog(qvlog::kXT, QStringLiteral("100% done with %@"));

    EXPECT_EQ(messages(QStringLiteral("XT")),
              (QStringList{QStringLiteral("file a%@b %1 %2 of 100"), QStringLiteral("100% done with %@")}));
}

TEST_F(QuickLogTest, NothingIsFormattedForALogThatTakesNoLine)
{
    int conversions = 0;
    // "standard" is never opened and is not copied to "Quick".
    QuickLogToNamedLog(qvlog::kStandard, QStringLiteral("%1"), quicklog_probe::Probe{&conversions});
    EXPECT_EQ(conversions, 0);
    EXPECT_FALSE(QFileInfo::exists(quickLogFile(QStringLiteral("standard"))));

    QuickLogToNamedLog(qvlog::kSyncML, QStringLiteral("%1"), quicklog_probe::Probe{&conversions});
    EXPECT_EQ(conversions, 1) << "formatted once for the copy in Quick";
    EXPECT_EQ(messages(QStringLiteral("Quick")), QStringList{QStringLiteral("probe")});
}

TEST_F(QuickLogTest, LinesFromTwoThreadsStayWholeInBothLogs)
{
    constexpr int kLines = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                QuickLogToNamedLog(qvlog::kXT, QStringLiteral("thread %1 line %2 %3"), t, i, QString(200, QLatin1Char('x')));
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    static const QRegularExpression whole(QStringLiteral("^thread [01] line \\d+ x{200}$"));
    for (const char* name : {"XT", "Quick"}) {
        const QStringList written = messages(QLatin1String(name));
        ASSERT_EQ(written.size(), 2 * kLines) << name;
        for (const QString& line : written)
            ASSERT_TRUE(whole.match(line).hasMatch()) << name << ": " << line.toStdString();
    }
}

TEST(QuickLogStarts, EachStartKeepsExactlyTheRunBefore)
{
    const QString owner = QStringLiteral("QuickLogStarts");
    const QString folder = QVFileLog::logFolder(owner);
    for (const char* run : {"first", "second", "third"}) {
        std::shared_ptr<QVFileLog> log = QVFileLog::initWithName(QStringLiteral("XT"), owner);
        ASSERT_TRUE(log);
        log->writeString(QLatin1String(run) + QLatin1Char('\n'));
    }
    auto read = [&](const char* file) {
        QFile f(folder + QLatin1Char('/') + QLatin1String(file));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };
    EXPECT_EQ(read("XT.log"), QStringLiteral("third\n"));
    EXPECT_EQ(read("XT-last.log"), QStringLiteral("second\n"));
}

} // namespace
