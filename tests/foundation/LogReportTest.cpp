#include "foundation/LogReport.h"
#include "foundation/NamedLog.h"
#include "foundation/QVReporter.h"

#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct ToolRun {
    QString program;
    QStringList args;
    QString output;
};

// Outside programs replaced by recordings: nothing real is run or launched.
class LogReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QVReporter::sharedQVReporter().reset();
        QVReportTools tools;
        tools.findProgram = [this](const QString& name) {
            return installed.contains(name) ? QStringLiteral("/fake/bin/") + name : QString();
        };
        tools.runTask = [this](const QString& program, const QStringList& args, const QString& output) {
            runs.push_back({ program, args, output });
            QFile file(output);
            if (file.open(QIODevice::WriteOnly))
                file.write("tool output\n");
            return true;
        };
        tools.startDetached = [this](const QString& program, const QStringList& args) {
            launched.push_back({ program, args, QString() });
            return true;
        };
        tools.openUrl = [this](const QUrl& url) {
            opened.push_back(url);
            return true;
        };
        tools.defaultMailHandler = [this] { return mailHandler; };
        QVSetReportTools(tools);
    }

    void TearDown() override
    {
        QVSetReportTools(QVDefaultReportTools());
        QVReporter::sharedQVReporter().reset();
    }

    const ToolRun* runInto(const QString& fileName) const
    {
        for (const ToolRun& run : runs) {
            if (QFileInfo(run.output).fileName() == fileName)
                return &run;
        }
        return nullptr;
    }

    static QStringList zipEntries(const QString& zip)
    {
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), { QStringLiteral("-Z1"), zip });
        if (!unzip.waitForFinished(-1))
            return {};
        return QString::fromUtf8(unzip.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    static QString reportsFolder()
    {
        return platform::paths::documentsDirectory() + QStringLiteral("/quorvalis reports");
    }

    QStringList installed { QStringLiteral("journalctl"), QStringLiteral("udevadm"), QStringLiteral("lsusb"),
                            QStringLiteral("xdg-email") };
    QString mailHandler;
    std::vector<ToolRun> runs;
    std::vector<ToolRun> launched;
    std::vector<QUrl> opened;
};

bool needsUnzip()
{
    return QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("zip")).isEmpty();
}

} // namespace

TEST_F(LogReportTest, LastHourReportNamesAndWindows)
{
    if (needsUnzip())
        GTEST_SKIP() << "zip or unzip is not installed";
    const QString zip = QVCreateLogFileReportSince(-3600);
    EXPECT_EQ(zip, reportsFolder() + QStringLiteral("/Report-MarvestoLG.zip"));
    EXPECT_EQ(QVReporter::sharedQVReporter().pathToZipFile(), zip);
    EXPECT_FALSE(QFileInfo::exists(reportsFolder() + QStringLiteral("/Report-MarvestoLG"))) << "the folder is removed";

    const ToolRun* since = runInto(QStringLiteral("Last_60_Minutes.log"));
    ASSERT_NE(since, nullptr);
    EXPECT_EQ(since->program, QStringLiteral("/fake/bin/journalctl"));
    EXPECT_EQ(since->args, QStringList({ QStringLiteral("--no-pager"), QStringLiteral("--since"), QStringLiteral("-3600") }));
    const ToolRun* messages = runInto(QStringLiteral("MarvestoLG-Messages.log"));
    ASSERT_NE(messages, nullptr);
    EXPECT_TRUE(messages->args.contains(QStringLiteral("-7200")));
    EXPECT_EQ(runInto(QStringLiteral("IORegistry.txt")), nullptr) << "the registry is listed only on request";

    const QStringList entries = zipEntries(zip);
    EXPECT_TRUE(entries.contains(QStringLiteral("Last_60_Minutes.log")));
    EXPECT_TRUE(entries.contains(QStringLiteral("MarvestoLG-Messages.log")));
    EXPECT_TRUE(entries.contains(QStringLiteral("Report-Notes.log")));
}

TEST_F(LogReportTest, DayReportAndExtraExtracts)
{
    if (needsUnzip())
        GTEST_SKIP() << "zip or unzip is not installed";
    QVLogNamedSetPackageAndApplicationName(QStringLiteral("Bundle"), QStringLiteral("Helper"));
    QVLogNamedSetSysLogParams({ QStringLiteral("-u"), QStringLiteral("bluetooth") });
    QVLogIORegistry(true);
    const QString zip = QVCreateLogFileReport();
    EXPECT_EQ(QFileInfo(zip).fileName(), QStringLiteral("Report-Bundle.zip"));

    ASSERT_NE(runInto(QStringLiteral("Last_24_Hours.log")), nullptr);
    EXPECT_TRUE(runInto(QStringLiteral("Last_24_Hours.log"))->args.contains(QStringLiteral("-86400")));
    ASSERT_NE(runInto(QStringLiteral("Bundle-defined.log")), nullptr);
    EXPECT_EQ(runInto(QStringLiteral("Bundle-defined.log"))->args, QStringList({ QStringLiteral("-u"), QStringLiteral("bluetooth") }));
    ASSERT_NE(runInto(QStringLiteral("Helper-Messages.log")), nullptr);
    EXPECT_TRUE(runInto(QStringLiteral("Helper-Messages.log"))->args.contains(QStringLiteral("-172800")));
    ASSERT_NE(runInto(QStringLiteral("IORegistry.txt")), nullptr);
    EXPECT_EQ(runInto(QStringLiteral("IORegistry.txt"))->program, QStringLiteral("/fake/bin/udevadm"));
}

TEST_F(LogReportTest, MissingToolsAreLeftOutAndNoted)
{
    if (needsUnzip())
        GTEST_SKIP() << "zip or unzip is not installed";
    installed = { QStringLiteral("lsusb") };
    QVLogIORegistry(true);
    const QString zip = QVCreateLogFileReportSince(-600);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].program, QStringLiteral("/fake/bin/lsusb"));
    EXPECT_EQ(runs[0].args, QStringList({ QStringLiteral("-v") }));

    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), { QStringLiteral("-p"), zip, QStringLiteral("Report-Notes.log") });
    ASSERT_TRUE(unzip.waitForFinished(-1));
    const QString notes = QString::fromUtf8(unzip.readAllStandardOutput());
    EXPECT_TRUE(notes.contains(QStringLiteral("Last_10_Minutes.log: journalctl is not installed"))) << notes.toStdString();
    EXPECT_TRUE(notes.contains(QStringLiteral("Crash logs"))) << notes.toStdString();
}

TEST_F(LogReportTest, PrivateLogKeepsOnlyItsPreviousRun)
{
    if (needsUnzip())
        GTEST_SKIP() << "zip or unzip is not installed";
    const QString logs = platform::paths::stateHome() + QStringLiteral("/MarvestoLG/Logs");
    QDir().mkpath(logs);
    {
        QFile previous(logs + QStringLiteral("/SyncML.log"));
        ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
        previous.write("previous run\n");
    }
    ASSERT_TRUE(QVLogCreateAndOpen(QStringLiteral("SyncML")));
    QVLogToNamedLog(QStringLiteral("SyncML"), QStringLiteral("secret session"));
    QVLogNamedSetPrivate(QStringLiteral("SyncML"), true);

    const QStringList entries = zipEntries(QVCreateLogFileReportSince(-3600));
    EXPECT_FALSE(entries.contains(QStringLiteral("SyncML.log")));
    EXPECT_TRUE(entries.contains(QStringLiteral("SyncML-last.log")));

    QVLogNamedSetPrivate(QStringLiteral("SyncML"), false);
}

TEST_F(LogReportTest, ZipPathIsKeptFromTheFirstReport)
{
    QVReporter& reporter = QVReporter::sharedQVReporter();
    reporter.setPathToZipFile(QStringLiteral("/first.zip"));
    reporter.setPathToZipFile(QStringLiteral("/second.zip"));
    EXPECT_EQ(reporter.pathToZipFile(), QStringLiteral("/first.zip"));
}

TEST_F(LogReportTest, SendWithoutMailProgramShowsTheReportsFolder)
{
    const QString zip = QVCreateLogFileReportSince(-3600);
    ASSERT_TRUE(QFileInfo::exists(zip) || QStandardPaths::findExecutable(QStringLiteral("zip")).isEmpty());
    if (!QFileInfo::exists(zip))
        GTEST_SKIP() << "zip is not installed";
    EXPECT_TRUE(QVSendLogFileReport(3));
    EXPECT_TRUE(launched.empty());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(reportsFolder()));
}

TEST_F(LogReportTest, MailGetsRecipientAndAttachmentAsSeparateArguments)
{
    if (QStandardPaths::findExecutable(QStringLiteral("zip")).isEmpty())
        GTEST_SKIP() << "zip is not installed";
    mailHandler = QStringLiteral("thunderbird.desktop");
    const QString tricky = QStringLiteral("x\"; do shell script \"rm -rf ~\" --@example.org");
    QVLogNamedSetRecipient(tricky);
    EXPECT_TRUE(QVSendLogFileReport(3));
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].program, QStringLiteral("/fake/bin/xdg-email"));
    const QStringList& args = launched[0].args;
    EXPECT_EQ(args.last(), tricky);
    const qsizetype attach = args.indexOf(QStringLiteral("--attach"));
    ASSERT_GE(attach, 0);
    EXPECT_EQ(args.value(attach + 1), QVReporter::sharedQVReporter().pathToZipFile());
    EXPECT_TRUE(opened.empty());

    // An address that looks like an option is replaced by the default one.
    launched.clear();
    QVLogNamedSetRecipient(QStringLiteral("--utf8"));
    EXPECT_TRUE(QVSendLogFileReport(1));
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].args.last(), QString::fromLatin1(qvreport::kDefaultRecipient));
}

TEST(LogReportCopy, TraceFileOnlyWhenRegularAndOwned)
{
    const QString folder = QDir::tempPath() + QStringLiteral("/trace-copy-") + QString::number(::getpid());
    QDir(folder).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString regular = folder + QStringLiteral("/regular.txt");
    {
        QFile file(regular);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("AT trace\n");
    }
    const QString link = folder + QStringLiteral("/link.txt");
    ASSERT_EQ(::symlink(regular.toLocal8Bit().constData(), link.toLocal8Bit().constData()), 0);
    const QString fifo = folder + QStringLiteral("/fifo");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);

    EXPECT_TRUE(QVCopyUserOwnedRegularFile(regular, folder + QStringLiteral("/copy1")));
    QFile copy(folder + QStringLiteral("/copy1"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), QByteArray("AT trace\n"));

    EXPECT_FALSE(QVCopyUserOwnedRegularFile(link, folder + QStringLiteral("/copy2")));
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/copy2")));
    EXPECT_FALSE(QVCopyUserOwnedRegularFile(fifo, folder + QStringLiteral("/copy3")));
    EXPECT_FALSE(QVCopyUserOwnedRegularFile(folder + QStringLiteral("/missing"), folder + QStringLiteral("/copy4")));
    EXPECT_FALSE(QVCopyUserOwnedRegularFile(regular, folder + QStringLiteral("/copy1"))) << "never overwrites";
    QDir(folder).removeRecursively();
}
