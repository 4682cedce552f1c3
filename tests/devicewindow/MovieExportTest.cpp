#include "MediaConversionSupport.h"

#include "devicewindow/media/ExportSettingsDialog.h"
#include "devicewindow/media/MediaTool.h"
#include "devicewindow/media/QuickTimeExporter.h"

#include "platform/gui/TestArtifacts.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <QThread>

#include <memory>

namespace {

using namespace mediaconversion_tests;

// Records what an export tells its handler, and whether it came on the GUI thread.
struct ExportHandlerLog : QuickTimeExporterHandler {
    void startExport() override { note(QStringLiteral("start")); }
    void exportInProcess(double percent) override
    {
        percents << percent;
        if (calls.isEmpty() || calls.last() != QStringLiteral("progress"))
            note(QStringLiteral("progress"));
    }
    void stopExport(bool success) override { note(success ? QStringLiteral("stop ok") : QStringLiteral("stop failed")); }
    void note(const QString& call)
    {
        calls << call;
        offGuiThread = offGuiThread || QThread::currentThread() != qApp->thread();
    }
    bool stopped() const { return calls.filter(QStringLiteral("stop")).size() > 0; }
    QStringList calls;
    QList<double> percents;
    bool offGuiThread = false;
};

ConversionSettings exportTestSettings()
{
    ConversionSettings settings = ExportSettingsDialog::defaultSettings();
    settings.frameSize = QSize(160, 120);
    settings.videoBitRate = 160000;
    settings.audioBitRate = 32000;
    return settings;
}

TEST(QuickTimeExporter, HandlerHearsStartRisingProgressAndOneStopOnTheGuiThread)
{
    MediaFixtures& fixtures = MediaFixtures::instance();
    ASSERT_TRUE(fixtures.ok());
    QTemporaryDir out;
    ExportHandlerLog handler;
    std::unique_ptr<QuickTimeExporter> exporter(QuickTimeExporter::allocQuickTimeExporter(&handler));
    const QString target = out.filePath(QStringLiteral("export.mov"));
    const ConversionSettings settings = exportTestSettings();
    ASSERT_TRUE(exporter->doStartExportMovieTask(fixtures.path("clip.mov"), target, settings));
    ASSERT_TRUE(QTest::qWaitFor([&] { return handler.stopped(); }, 60000));
    QTest::qWait(50);
    EXPECT_EQ(handler.calls, (QStringList{QStringLiteral("start"), QStringLiteral("progress"), QStringLiteral("stop ok")}));
    EXPECT_FALSE(handler.offGuiThread);
    ASSERT_FALSE(handler.percents.isEmpty());
    EXPECT_TRUE(std::is_sorted(handler.percents.begin(), handler.percents.end()));
    EXPECT_EQ(handler.percents.last(), 100.0);

    const auto video = movieVideoCodecDescription(target);
    ASSERT_TRUE(video);
    EXPECT_EQ(video->codecName, QStringLiteral("mpeg4"));
    EXPECT_EQ(video->frameSize, QSize(160, 120));

    qint64 expected = 0;
    ASSERT_TRUE(QuickTimeExporter::expectedMovieSize(fixtures.path("clip.mov"), settings, &expected));
    EXPECT_EQ(expected, qint64(3 * (160000 + 32000) / 8));
    const qint64 real = QFileInfo(target).size();
    EXPECT_LT(std::abs(expected - real), real / 2) << "expected " << expected << ", real " << real;
    EXPECT_FALSE(QuickTimeExporter::expectedMovieSize(fixtures.path("broken.mov"), settings, &expected));
}

TEST(QuickTimeExporter, UserExportWritesTheMovieAndItsSettingsBesideIt)
{
    MediaFixtures& fixtures = MediaFixtures::instance();
    ASSERT_TRUE(fixtures.ok());
    QTemporaryDir out;
    ExportHandlerLog handler;
    std::unique_ptr<QuickTimeExporter> exporter(QuickTimeExporter::allocQuickTimeExporter(&handler));

    exporter->setSavePathChooser([] { return QString(); });
    EXPECT_FALSE(exporter->doStartUserExportMovieTask(fixtures.path("clip.mov"))) << "save dialog cancelled";

    // The dialog proposes "ExportedMovie.mov"; a name typed without its type gets it.
    exporter->setSavePathChooser([&] { return out.filePath(QStringLiteral("ExportedMovie")); });
    exporter->setSettingsChooser([](const ConversionSettings&) { return std::optional<ConversionSettings>(); });
    EXPECT_FALSE(exporter->doStartUserExportMovieTask(fixtures.path("clip.mov"))) << "settings dialog cancelled";
    EXPECT_TRUE(QDir(out.path()).isEmpty());
    EXPECT_TRUE(handler.calls.isEmpty());

    const ConversionSettings chosen = exportTestSettings();
    exporter->setSettingsChooser([&](const ConversionSettings&) { return std::optional<ConversionSettings>(chosen); });
    ASSERT_TRUE(exporter->doStartUserExportMovieTask(fixtures.path("clip.mov")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return handler.stopped(); }, 60000));
    EXPECT_EQ(handler.calls.last(), QStringLiteral("stop ok"));
    const QString movie = out.filePath(QStringLiteral("ExportedMovie.mov"));
    EXPECT_EQ(movieVideoCodecDescription(movie).value_or(MovieCodecDescription{}).frameSize, QSize(160, 120));
    EXPECT_EQ(QuickTimeExporter::settingsPathFor(movie), out.filePath(QStringLiteral("ExportedMovie.qtSet")));
    EXPECT_EQ(conversionsettings::readFile(out.filePath(QStringLiteral("ExportedMovie.qtSet"))), chosen);

    // The next export to that name proposes the kept settings.
    std::optional<ConversionSettings> proposed;
    exporter->setSettingsChooser([&](const ConversionSettings& proposal) {
        proposed = proposal;
        return std::optional<ConversionSettings>();
    });
    EXPECT_FALSE(exporter->doStartUserExportMovieTask(fixtures.path("clip.mov")));
    EXPECT_EQ(proposed, chosen);
}

TEST(QuickTimeExporter, CancelledOrFailedExportStopsOnceAndLeavesNoTarget)
{
    MediaFixtures& fixtures = MediaFixtures::instance();
    ASSERT_TRUE(fixtures.ok());
    QTemporaryDir out;
    const QString slowFfmpeg = writeToolScript(
        out.filePath(QStringLiteral("slow-ffmpeg")),
        "eval last=\\${$#}; printf partial > \"${last#file:}\"\n"
        "while :; do echo out_time_us=500000; sleep 0.05; done\n");
    mediatool::setPrograms(slowFfmpeg, QString());
    ExportHandlerLog handler;
    std::unique_ptr<QuickTimeExporter> exporter(QuickTimeExporter::allocQuickTimeExporter(&handler));
    const QString target = out.filePath(QStringLiteral("cancelled.mov"));
    ASSERT_TRUE(exporter->doStartExportMovieTask(fixtures.path("clip.mov"), target, exportTestSettings()));
    ASSERT_TRUE(exporter->doStartExportMovieTask(fixtures.path("clip.mov"), out.filePath(QStringLiteral("queued.mov")),
                                                 exportTestSettings()));
    const bool progressed = QTest::qWaitFor([&] { return !handler.percents.isEmpty(); }, 30000);
    exporter->cancelExport();
    const bool ended = exporter->waitForExports(5000);
    mediatool::setPrograms(QString(), QString());
    ASSERT_TRUE(progressed && ended);
    QTest::qWait(50);
    EXPECT_EQ(handler.calls.filter(QStringLiteral("stop failed")).size(), 2) << handler.calls.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(handler.calls.filter(QStringLiteral("stop ok")).size(), 0);
    EXPECT_TRUE(QDir(out.path()).entryList({QStringLiteral("*.mov*")}, QDir::Files | QDir::Hidden).isEmpty());

    ExportHandlerLog failing;
    std::unique_ptr<QuickTimeExporter> second(QuickTimeExporter::allocQuickTimeExporter(&failing));
    ASSERT_TRUE(second->doStartExportMovieTask(fixtures.path("broken.mov"), target, exportTestSettings()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return failing.stopped(); }, 60000));
    EXPECT_EQ(failing.calls, (QStringList{QStringLiteral("start"), QStringLiteral("stop failed")}));
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_FALSE(second->doStartExportMovieTask(fixtures.path("clip.mov"), out.filePath(QStringLiteral("no/x.mov")),
                                                exportTestSettings()));
}

TEST(QuickTimeExporter, CodecDescriptionsComeFromTheMovie)
{
    MediaFixtures& fixtures = MediaFixtures::instance();
    ASSERT_TRUE(fixtures.ok());
    const auto video = movieVideoCodecDescription(fixtures.path("clip.mov"));
    const auto audio = movieAudioCodecDescription(fixtures.path("clip.mov"));
    ASSERT_TRUE(video && audio);
    EXPECT_EQ(video->codecName, QStringLiteral("mpeg4"));
    EXPECT_EQ(video->frameSize, QSize(160, 120));
    EXPECT_EQ(audio->codecName, QStringLiteral("aac"));
    EXPECT_EQ(audio->sampleRate, 44100);
    EXPECT_FALSE(movieDVCodecDescription(fixtures.path("clip.mov")));

    const auto dv = movieDVCodecDescription(fixtures.path("dv.mov"));
    ASSERT_TRUE(dv);
    EXPECT_EQ(dv->codecName, QStringLiteral("dvvideo"));
    EXPECT_EQ(dv->frameSize, QSize(720, 576));
    EXPECT_FALSE(movieAudioCodecDescription(fixtures.path("dv.mov")));

    EXPECT_FALSE(movieVideoCodecDescription(fixtures.path("tone.m4a")));
    EXPECT_EQ(movieAudioCodecDescription(fixtures.path("tone.m4a")).value_or(MovieCodecDescription{}).codecName,
              QStringLiteral("aac"));
    EXPECT_FALSE(movieVideoCodecDescription(fixtures.path("broken.mov")));
    EXPECT_FALSE(movieAudioCodecDescription(fixtures.path("none.mov")));
}

// On a real window system (QT_QPA_PLATFORM=xcb under Xvfb) the whole screen
// is also taken with xwd and turned into a PNG beside the grab.
void exportDialogScreenshot(QWidget* window, const QString& name)
{
    platform::gui::saveGrab(window, name);
    if (QGuiApplication::platformName() != QLatin1String("xcb")
        || QStandardPaths::findExecutable(QStringLiteral("xwd")).isEmpty())
        return;
    const QString grabbed = platform::gui::saveGrab(window, name + QStringLiteral("-probe"));
    const QString folder = QFileInfo(grabbed).absolutePath();
    QFile::remove(grabbed);
    const QString xwdPath = QDir(folder).filePath(name + QStringLiteral("-screen.xwd"));
    QProcess xwd;
    xwd.start(QStringLiteral("xwd"), {QStringLiteral("-root"), QStringLiteral("-silent"), QStringLiteral("-out"), xwdPath});
    ASSERT_TRUE(xwd.waitForFinished(60000));
    QProcess convert;
    convert.start(QStringLiteral("ffmpeg"), {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                                              QStringLiteral("-y"), QStringLiteral("-i"), xwdPath,
                                              QDir(folder).filePath(name + QStringLiteral("-screen.png"))});
    ASSERT_TRUE(convert.waitForFinished(60000));
    QFile::remove(xwdPath);
}

void exportDialogShow(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QTest::qWait(QGuiApplication::platformName() == QLatin1String("xcb") ? 600 : 20);
}

TEST(ExportSettingsDialog, ShowsAndReturnsTheSettingsItOffers)
{
    ConversionSettings proposal = ExportSettingsDialog::defaultSettings();
    proposal.container = QStringLiteral("3gp");
    proposal.videoCodec = QStringLiteral("h263");
    proposal.frameSize = QSize(176, 144);
    proposal.audioChannels = 2;
    ExportSettingsDialog dialog(proposal);
    EXPECT_EQ(dialog.settings(), proposal);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Movie Export Settings"));
    exportDialogShow(&dialog);
    exportDialogScreenshot(&dialog, QStringLiteral("ExportSettingsDialog"));

    // Without video, no frame size to choose.
    auto* video = dialog.findChild<QComboBox*>(QStringLiteral("ExportVideoCodec"));
    ASSERT_TRUE(video);
    EXPECT_EQ(video->accessibleName(), QStringLiteral("Compression:"));
    video->setCurrentIndex(video->findData(QString()));
    const ConversionSettings soundOnly = dialog.settings();
    EXPECT_TRUE(soundOnly.videoCodec.isEmpty());
    EXPECT_FALSE(dialog.findChild<QComboBox*>(QStringLiteral("ExportFrameSize"))->isEnabled());
    EXPECT_TRUE(ConversionSettings::fromMap(soundOnly.toMap()));
    EXPECT_FALSE(soundOnly.outputArguments().contains(QStringLiteral("-c:v")));
    dialog.close();
}

TEST(ExportSettingsDialog, SaveDialogProposesExportedMovieAsMov)
{
    QTemporaryDir out;
    std::unique_ptr<QFileDialog> dialog(QuickTimeExporter::makeSaveDialog());
    dialog->setDirectory(out.path());
    dialog->selectFile(QStringLiteral("ExportedMovie.mov"));
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("mov"));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Export Movie"));
    exportDialogShow(dialog.get());
    const auto edits = dialog->findChildren<QLineEdit*>();
    const bool named = std::any_of(edits.begin(), edits.end(), [](QLineEdit* edit) {
        return edit->text() == QStringLiteral("ExportedMovie.mov");
    });
    EXPECT_TRUE(named);
    exportDialogScreenshot(dialog.get(), QStringLiteral("ExportMovieSaveDialog"));
    dialog->reject();
}

} // namespace
