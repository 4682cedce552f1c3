#include "MediaConversionSupport.h"

#include "devicewindow/media/ConversionSettings.h"
#include "devicewindow/media/FileConverter.h"
#include "devicewindow/media/MediaTool.h"
#include "devicewindow/media/QuickTimeExporter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <optional>

namespace {

using namespace mediaconversion_tests;

// Records the percentages a conversion reports, and on which thread.
struct ConversionProgressLog : TransferProgress {
    void conversionProgress(double percent) override
    {
        percents << percent;
        offGuiThread = offGuiThread || QThread::currentThread() != qApp->thread();
    }
    QList<double> percents;
    bool offGuiThread = false;
};

// Outcomes of queued conversions, by order of request.
struct ConversionOutcomes {
    FileConverter::Completion add()
    {
        const int index = int(results.size());
        results << std::nullopt;
        return [this, index](bool ok) { results[index] = ok; };
    }
    bool allDone() const
    {
        return std::all_of(results.begin(), results.end(), [](const auto& result) { return result.has_value(); });
    }
    QList<std::optional<bool>> results;
};

// Puts the real tools back and the default time-out after a test.
struct ConversionToolScope {
    ~ConversionToolScope()
    {
        mediatool::setPrograms(QString(), QString());
        mediatool::setStallTimeout(30);
    }
};

MovieCodecDescription conversionVideoOf(const QString& path)
{
    return movieVideoCodecDescription(path).value_or(MovieCodecDescription{});
}

TEST(FileConverterPreview, ExtensionsAnswerInAnyCase)
{
    struct Case {
        const char* path;
        bool picture;
        bool movie;
    };
    const Case cases[] = {
        {"a.jpg", true, false},   {"b.TIF", true, false},       {"/x/c.Gif", true, false},
        {"d.png", true, false},   {"e.BMP", true, false},       {"f.jpeg", false, false},
        {"g.mov", false, true},   {"h.MP3", false, true},       {"i.aif", false, true},
        {"j.mpeg", false, true},  {"k.M4V", false, true},       {"l.m4a", false, true},
        {"m.m4r", false, true},   {"n.3GP", false, true},       {"o.mid", false, true},
        {"p.amr", false, true},   {"q.mp4", false, false},      {"png", false, false},
        {"", false, false},       {"dir.png/file", false, false}, {"r.tar.PNG", true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileConverter::canPreview(QLatin1String(c.path)), c.picture) << c.path;
        EXPECT_EQ(FileConverter::canMoviePreview(QLatin1String(c.path)), c.movie) << c.path;
    }
}

TEST(FileConverterSettings, PickedByPictureSizeAndMusicFlag)
{
    FileConverter converter;
    for (const char* codec : {"3GP", "MP4"}) {
        for (const QSize size : {QSize(128, 96), QSize(176, 144), QSize(320, 240)}) {
            const auto speech = converter.getConversionSettings(QLatin1String(codec), false, size);
            const auto music = converter.getConversionSettings(QLatin1String(codec), true, size);
            ASSERT_TRUE(speech && music) << codec << " " << size.width();
            EXPECT_EQ(speech->frameSize, size);
            EXPECT_EQ(music->frameSize, size);
            EXPECT_NE(*speech, *music) << "M and S are files of their own";
            EXPECT_GT(music->audioBitRate, speech->audioBitRate);
        }
    }
    EXPECT_EQ(FileConverter::conversionSettingsName(QStringLiteral("3GP"), true, QSize(176, 144)),
              QStringLiteral("QT-Setting-3GP-176x144-M"));
    EXPECT_EQ(converter.getConversionSettings(QStringLiteral("3GP"), false, QSize(128, 96))->container,
              QStringLiteral("3gp"));
    EXPECT_FALSE(converter.getConversionSettings(QStringLiteral("WMV"), false, QSize(176, 144)));
    EXPECT_FALSE(converter.getConversionSettings(QStringLiteral("3GP"), false, QSize(176, 220)));
    EXPECT_FALSE(converter.getConversionSettings(QStringLiteral("../3GP"), false, QSize(176, 144)));
    EXPECT_FALSE(converter.getConversionSettings(QString(), false, QSize(176, 144)));
}

TEST(FileConverterSettings, StoredFormRefusesWhatCouldReachFfmpegAsAnOption)
{
    const QVariantMap good = ConversionSettings{QStringLiteral("mp4"), QStringLiteral("mpeg4"), QStringLiteral("aac"),
                                                QSize(176, 144), 15, 128000, 32000, 22050, 1}
                                 .toMap();
    ASSERT_TRUE(ConversionSettings::fromMap(good));
    EXPECT_EQ(ConversionSettings::fromMap(good)->toMap(), good);

    struct Case {
        const char* key;
        QVariant value;
    };
    const Case bad[] = {
        {"Container", QStringLiteral("-y")},
        {"Container", QStringLiteral("mp4 -i /etc/passwd")},
        {"Container", QString()},
        {"VideoCodec", QStringLiteral("-f")},
        {"AudioCodec", QStringLiteral("AAC")},
        {"Width", qlonglong(0)},
        {"Height", qlonglong(100000)},
        {"VideoBitRate", qlonglong(-1)},
        {"AudioChannels", QStringLiteral("2")},
        {"FrameRate", QVariant()},
    };
    for (const Case& c : bad) {
        QVariantMap map = good;
        if (c.value.isValid())
            map[QLatin1String(c.key)] = c.value;
        else
            map.remove(QLatin1String(c.key));
        EXPECT_FALSE(ConversionSettings::fromMap(map)) << c.key << " " << c.value.toString().toStdString();
    }
    QVariantMap silent = good;
    silent[QStringLiteral("VideoCodec")] = QString();
    silent[QStringLiteral("AudioCodec")] = QString();
    EXPECT_FALSE(ConversionSettings::fromMap(silent)) << "neither picture nor sound";
}

TEST(FileConverterMovie, EachStoredSettingGivesItsFrameSizeAndCodecs)
{
    MediaFixtures& fixtures = MediaFixtures::instance();
    ASSERT_TRUE(fixtures.ok());
    QTemporaryDir out;
    FileConverter converter;
    converter.setSettingsChooser(nullptr);
    ConversionOutcomes outcomes;
    ConversionProgressLog progress;
    struct Job {
        QString target;
        ConversionSettings settings;
    };
    QList<Job> jobs;
    for (const char* codec : {"3GP", "MP4"}) {
        for (const QSize size : {QSize(128, 96), QSize(176, 144), QSize(320, 240)}) {
            for (const bool music : {false, true}) {
                const QString name = FileConverter::conversionSettingsName(QLatin1String(codec), music, size);
                const QString target = out.filePath(name + QLatin1Char('.') + QString::fromLatin1(codec).toLower());
                jobs << Job{target, *converter.getConversionSettings(QLatin1String(codec), music, size)};
                ASSERT_TRUE(converter.convertMovie(fixtures.path("second.mov"), target, &progress,
                                                   QLatin1String(codec), music, size, outcomes.add()));
            }
        }
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcomes.allDone(); }, 180000));
    for (int i = 0; i < jobs.size(); ++i) {
        SCOPED_TRACE(jobs[i].target.toStdString());
        EXPECT_EQ(outcomes.results[i], true);
        const MovieCodecDescription video = conversionVideoOf(jobs[i].target);
        EXPECT_EQ(video.frameSize, jobs[i].settings.frameSize);
        EXPECT_EQ(video.codecName, jobs[i].settings.videoCodec);
        const auto audio = movieAudioCodecDescription(jobs[i].target).value_or(MovieCodecDescription{});
        EXPECT_EQ(audio.codecName, jobs[i].settings.audioCodec);
        EXPECT_EQ(audio.channels, jobs[i].settings.audioChannels);
    }
    EXPECT_TRUE(leftoverParts(out.path()).isEmpty());
    ASSERT_FALSE(progress.percents.isEmpty());
    EXPECT_EQ(progress.percents.last(), 100.0);
    EXPECT_GE(progress.percents.count(100.0), jobs.size()) << "each conversion ends at 100";
    EXPECT_FALSE(progress.offGuiThread);
    EXPECT_TRUE(converter.curFile().isEmpty());
    EXPECT_EQ(converter.movieExportProgressProc(kMovieProgressUpdatePercent, 0.5), -1);
    EXPECT_EQ(movieExportProgressProc(&converter, kMovieProgressOpen, 0), -1);
}

TEST(FileConverterMovie, ProgressRisesWithinOneConversion)
{
    MediaFixtures& fixtures = MediaFixtures::instance();
    ASSERT_TRUE(fixtures.ok());
    QTemporaryDir out;
    FileConverter converter;
    ConversionOutcomes outcomes;
    ConversionProgressLog progress;
    ASSERT_TRUE(converter.convertMovie(fixtures.path("clip.mov"), out.filePath(QStringLiteral("clip.mp4")),
                                       &progress, QStringLiteral("MP4"), false, QSize(320, 240), outcomes.add()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcomes.allDone(); }, 60000));
    EXPECT_EQ(outcomes.results[0], true);
    ASSERT_FALSE(progress.percents.isEmpty());
    EXPECT_TRUE(std::is_sorted(progress.percents.begin(), progress.percents.end()));
    EXPECT_EQ(progress.percents.last(), 100.0);
}

TEST(FileConverterMovie, FailuresLeaveNoTarget)
{
    MediaFixtures& fixtures = MediaFixtures::instance();
    ASSERT_TRUE(fixtures.ok());
    ConversionToolScope tools;
    QTemporaryDir out;
    // Both leave a helper behind that writes a file later unless it is stopped too.
    const QString slowFfmpeg = writeToolScript(
        out.filePath(QStringLiteral("slow-ffmpeg")),
        "eval last=\\${$#}; printf partial > \"${last#file:}\"\n"
        "(sleep 1.5; printf late > \"${last#file:}.late\") &\n"
        "while :; do echo out_time_us=100000; echo progress=continue; sleep 0.05; done\n");
    const QString silentFfmpeg = writeToolScript(out.filePath(QStringLiteral("silent-ffmpeg")),
                                                 "eval last=\\${$#}; printf partial > \"${last#file:}\"\n"
                                                 "(sleep 1.5; printf late > \"${last#file:}.late\") &\n"
                                                 "exec sleep 30\n");
    const QString failingFfmpeg = writeToolScript(out.filePath(QStringLiteral("failing-ffmpeg")),
                                                  "eval last=\\${$#}; printf partial > \"${last#file:}\"\n"
                                                  "echo 'Conversion failed!' >&2; exit 1\n");
    struct Case {
        const char* what;
        const char* source;
        QString ffmpeg;
        bool cancel;
    };
    const Case cases[] = {
        {"unreadable source", "broken.mov", QString(), false},
        {"missing source", "none.mov", QString(), false},
        {"ffmpeg fails after writing", "clip.mov", failingFfmpeg, false},
        {"ffmpeg writes nothing for the stall time", "clip.mov", silentFfmpeg, false},
        {"cancelled while running", "clip.mov", slowFfmpeg, true},
    };
    mediatool::setStallTimeout(0.5);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        mediatool::setPrograms(c.ffmpeg, QString());
        const QString target = out.filePath(QStringLiteral("target.mp4"));
        FileConverter converter;
        ConversionOutcomes outcomes;
        ConversionProgressLog progress;
        QElapsedTimer timer;
        timer.start();
        ASSERT_TRUE(converter.convertMovie(fixtures.path(c.source), target, &progress, QStringLiteral("MP4"), false,
                                           QSize(128, 96), outcomes.add()));
        if (c.cancel) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !progress.percents.isEmpty(); }, 30000));
            EXPECT_EQ(converter.curFile(), fixtures.path(c.source));
            converter.cancelConversions();
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return outcomes.allDone(); }, 60000));
        EXPECT_LT(timer.elapsed(), 20000) << "stopped long before the stand-in ends";
        EXPECT_EQ(outcomes.results[0], false);
        EXPECT_FALSE(QFileInfo::exists(target));
        EXPECT_TRUE(leftoverParts(out.path()).isEmpty()) << leftoverParts(out.path()).join(QLatin1Char(' ')).toStdString();
    }
    QTest::qWait(2000);
    EXPECT_TRUE(QDir(out.path()).entryList({QStringLiteral("*.late")}, QDir::Files | QDir::Hidden).isEmpty())
        << "what a stopped run started is stopped with it";
}

TEST(FileConverterMovie, ASecondRequestWaitsAndACancelDropsTheQueue)
{
    MediaFixtures& fixtures = MediaFixtures::instance();
    ASSERT_TRUE(fixtures.ok());
    ConversionToolScope tools;
    QTemporaryDir out;
    // Notes an overlap when a second run starts while the first still runs.
    const QByteArray script = "lock=" + QFile::encodeName(out.filePath(QStringLiteral("running"))) + "\n"
        "log=" + QFile::encodeName(out.filePath(QStringLiteral("overlaps"))) + "\n"
        "mkdir \"$lock\" 2>/dev/null || echo overlap >> \"$log\"\n"
        "echo out_time_us=0; sleep 0.2\n"
        "eval last=\\${$#}; printf movie > \"${last#file:}\"\n"
        "rmdir \"$lock\"; echo progress=end\n";
    mediatool::setPrograms(writeToolScript(out.filePath(QStringLiteral("counting-ffmpeg")), script), QString());
    FileConverter converter;
    ConversionOutcomes outcomes;
    for (const char* name : {"one.3gp", "two.3gp"})
        ASSERT_TRUE(converter.convertMovie(fixtures.path("clip.mov"), out.filePath(QLatin1String(name)), nullptr,
                                           QStringLiteral("3GP"), false, QSize(176, 144), outcomes.add()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcomes.allDone(); }, 60000));
    EXPECT_EQ(outcomes.results, (QList<std::optional<bool>>{true, true}));
    EXPECT_FALSE(QFileInfo::exists(out.filePath(QStringLiteral("overlaps"))));

    ConversionOutcomes dropped;
    for (const char* name : {"three.3gp", "four.3gp"})
        ASSERT_TRUE(converter.convertMovie(fixtures.path("clip.mov"), out.filePath(QLatin1String(name)), nullptr,
                                           QStringLiteral("3GP"), false, QSize(176, 144), dropped.add()));
    converter.cancelConversions();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dropped.allDone(); }, 60000));
    EXPECT_EQ(dropped.results, (QList<std::optional<bool>>{false, false}));
    EXPECT_FALSE(QFileInfo::exists(out.filePath(QStringLiteral("four.3gp"))));
}

TEST(FileConverterMovie, PathsBeginningWithADashAreFilesNotOptions)
{
    MediaFixtures& fixtures = MediaFixtures::instance();
    ASSERT_TRUE(fixtures.ok());
    QTemporaryDir out;
    ASSERT_TRUE(QFile::copy(fixtures.path("clip.mov"), out.filePath(QStringLiteral("-i.mov"))));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(out.path()));
    FileConverter converter;
    ConversionOutcomes outcomes;
    const bool started = converter.convertMovie(QStringLiteral("-i.mov"), QStringLiteral("-y.3gp"), nullptr,
                                                QStringLiteral("3GP"), false, QSize(128, 96), outcomes.add());
    const bool done = started && QTest::qWaitFor([&] { return outcomes.allDone(); }, 60000);
    QDir::setCurrent(previous);
    ASSERT_TRUE(done);
    EXPECT_EQ(outcomes.results[0], true);
    EXPECT_EQ(conversionVideoOf(out.filePath(QStringLiteral("-y.3gp"))).frameSize, QSize(128, 96));
    EXPECT_EQ(mediatool::fileArgument(QStringLiteral("/tmp/-x")), QStringLiteral("file:/tmp/-x"));
    EXPECT_TRUE(mediatool::fileArgument(QStringLiteral("-x")).startsWith(QStringLiteral("file:/")));
}

TEST(FileConverterMovie, UnwritableTargetFolderFailsBeforeAnythingRuns)
{
    MediaFixtures& fixtures = MediaFixtures::instance();
    ASSERT_TRUE(fixtures.ok());
    QTemporaryDir out;
    QFile plain(out.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    FileConverter converter;
    for (const QString& target : {out.filePath(QStringLiteral("missing/x.3gp")), out.filePath(QStringLiteral("plain/x.3gp"))}) {
        bool called = false;
        EXPECT_FALSE(converter.convertMovie(fixtures.path("clip.mov"), target, nullptr, QStringLiteral("3GP"), false,
                                            QSize(128, 96), [&](bool) { called = true; }))
            << target.toStdString();
        QCoreApplication::processEvents();
        EXPECT_FALSE(called);
    }
}

TEST(FileConverterMovie, WithoutStoredSettingsTheDialogsChoiceIsKeptAndUsed)
{
    MediaFixtures& fixtures = MediaFixtures::instance();
    ASSERT_TRUE(fixtures.ok());
    QFile::remove(FileConverter::manualSettingsPath());
    QTemporaryDir out;
    FileConverter converter;
    const QString target = out.filePath(QStringLiteral("manual.mov"));

    converter.setSettingsChooser(nullptr);
    EXPECT_FALSE(converter.convertMovie(fixtures.path("clip.mov"), target, nullptr, QStringLiteral("WMV"), false,
                                        QSize(176, 144)))
        << "no dialog may be shown: fails";

    int asked = 0;
    converter.setSettingsChooser([&](const ConversionSettings&) -> std::optional<ConversionSettings> {
        ++asked;
        return std::nullopt;
    });
    EXPECT_FALSE(converter.convertMovie(fixtures.path("clip.mov"), target, nullptr, QStringLiteral("WMV"), false,
                                        QSize(176, 144)))
        << "the dialog was cancelled";
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(QFileInfo::exists(FileConverter::manualSettingsPath()));

    ConversionSettings proposed;
    converter.setSettingsChooser([&](const ConversionSettings& proposal) -> std::optional<ConversionSettings> {
        ++asked;
        proposed = proposal;
        ConversionSettings chosen = proposal;
        chosen.frameSize = QSize(160, 128);
        return chosen;
    });
    ConversionOutcomes outcomes;
    ASSERT_TRUE(converter.convertMovie(fixtures.path("clip.mov"), target, nullptr, QStringLiteral("WMV"), false,
                                       QSize(176, 144), outcomes.add()));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(proposed.frameSize, QSize(176, 144)) << "the dialog proposes the picture size";
    ASSERT_TRUE(QFileInfo::exists(FileConverter::manualSettingsPath()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcomes.allDone(); }, 60000));
    EXPECT_EQ(outcomes.results[0], true);
    EXPECT_EQ(conversionVideoOf(target).frameSize, QSize(160, 128));

    ConversionOutcomes again;
    ASSERT_TRUE(converter.convertMovie(fixtures.path("clip.mov"), out.filePath(QStringLiteral("again.mov")), nullptr,
                                       QStringLiteral("WMV"), false, QSize(176, 144), again.add()));
    EXPECT_EQ(asked, 2) << "the kept choice is used without asking";
    ASSERT_TRUE(QTest::qWaitFor([&] { return again.allDone(); }, 60000));
    EXPECT_EQ(conversionVideoOf(out.filePath(QStringLiteral("again.mov"))).frameSize, QSize(160, 128));
    QFile::remove(FileConverter::manualSettingsPath());
}

// Where the red box of a converted fixture lies.
enum class ConversionCorner { TopLeft, TopRight };

bool conversionIsRed(const QColor& color)
{
    return color.red() > 180 && color.blue() < 90;
}

TEST(FileConverterPicture, ScaledToTheAskedSizeAndTurnedAQuarterFirst)
{
    MediaFixtures& fixtures = MediaFixtures::instance();
    ASSERT_TRUE(fixtures.ok());
    QTemporaryDir out;
    FileConverter converter;
    struct Case {
        const char* source;
        int width;
        int height;
        bool rotate;
        ConversionCorner red;
    };
    const Case cases[] = {
        {"landscape.png", 40, 30, false, ConversionCorner::TopLeft},
        {"landscape.png", 30, 40, true, ConversionCorner::TopRight},
        {"portrait.jpg", 30, 40, false, ConversionCorner::TopLeft},
        {"portrait.jpg", 40, 30, true, ConversionCorner::TopRight},
        {"portrait.jpg", 120, 90, true, ConversionCorner::TopRight},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.source) + (c.rotate ? " rotated" : ""));
        const QString target = out.filePath(QStringLiteral("scaled.jpg"));
        ASSERT_TRUE(converter.convertToRes(fixtures.path(c.source), target, c.width, c.height, c.rotate));
        QImageReader reader(target);
        EXPECT_EQ(reader.format(), QByteArray("jpeg"));
        const QImage image = reader.read();
        ASSERT_EQ(image.size(), QSize(c.width, c.height));
        const QPoint redAt = c.red == ConversionCorner::TopLeft ? QPoint(2, 2) : QPoint(c.width - 3, 2);
        const QPoint blueAt = c.red == ConversionCorner::TopLeft ? QPoint(c.width - 3, 2) : QPoint(2, 2);
        EXPECT_TRUE(conversionIsRed(image.pixelColor(redAt)));
        EXPECT_FALSE(conversionIsRed(image.pixelColor(blueAt)));
        EXPECT_FALSE(conversionIsRed(image.pixelColor(c.width / 2, c.height - 3)));
    }
}

TEST(FileConverterPicture, JpegOfAPngKeepsItsSize)
{
    MediaFixtures& fixtures = MediaFixtures::instance();
    ASSERT_TRUE(fixtures.ok());
    QTemporaryDir out;
    const QString target = out.filePath(QStringLiteral("picture.jpg"));
    ASSERT_TRUE(FileConverter::sharedFileConverter().convertToJPEG(fixtures.path("landscape.png"), target));
    QImageReader reader(target);
    EXPECT_EQ(reader.format(), QByteArray("jpeg"));
    EXPECT_EQ(reader.size(), QSize(64, 48));
    EXPECT_TRUE(conversionIsRed(reader.read().pixelColor(2, 2)));
}

TEST(FileConverterPicture, BrokenOrHugePicturesFailCleanly)
{
    MediaFixtures& fixtures = MediaFixtures::instance();
    ASSERT_TRUE(fixtures.ok());
    QTemporaryDir out;
    // A PNG whose header claims 60000 x 60000 pixels, with no pixel data.
    auto crc32 = [](const QByteArray& bytes) {
        quint32 crc = 0xffffffffu;
        for (const char byte : bytes) {
            crc ^= quint8(byte);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
        return ~crc;
    };
    auto bigEndian = [](quint32 value) {
        QByteArray bytes;
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.append(char((value >> shift) & 0xff));
        return bytes;
    };
    const QByteArray header = QByteArray("IHDR") + bigEndian(60000) + bigEndian(60000) + QByteArray("\x08\x02\x00\x00\x00", 5);
    const QByteArray data = QByteArray("IDAT");
    const QByteArray end = QByteArray("IEND");
    const QByteArray huge = QByteArray("\x89PNG\r\n\x1a\n", 8) + bigEndian(13) + header + bigEndian(crc32(header))
        + bigEndian(0) + data + bigEndian(crc32(data)) + bigEndian(0) + end + bigEndian(crc32(end));
    const QString hugePath = out.filePath(QStringLiteral("huge.png"));
    QFile file(hugePath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(huge);
    file.close();
    ASSERT_EQ(QImageReader(hugePath).size(), QSize(60000, 60000)) << "the header is read";

    FileConverter converter;
    const QString target = out.filePath(QStringLiteral("out.jpg"));
    for (const QString& source : {fixtures.path("broken.png"), hugePath, out.filePath(QStringLiteral("none.png"))}) {
        SCOPED_TRACE(source.toStdString());
        EXPECT_FALSE(converter.convertToJPEG(source, target));
        EXPECT_FALSE(converter.convertToRes(source, target, 40, 30, true));
        EXPECT_FALSE(QFileInfo::exists(target));
    }
    EXPECT_FALSE(converter.convertToRes(fixtures.path("landscape.png"), target, 0, 30, false));
    EXPECT_FALSE(converter.convertToRes(fixtures.path("landscape.png"), target, 100000, 100000, false));
    EXPECT_FALSE(converter.convertToJPEG(fixtures.path("landscape.png"), out.filePath(QStringLiteral("no/out.jpg"))));
    EXPECT_TRUE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("out")).isEmpty());
}

} // namespace
