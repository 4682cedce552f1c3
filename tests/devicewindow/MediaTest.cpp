#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/media/FileConverter.h"
#include "devicewindow/media/MediaInputFormat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using namespace mediaformat;

void write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

struct PathScope {
    explicit PathScope(const QString& path) { setMediaInputFormatPath(path); }
    ~PathScope() { setMediaInputFormatPath(QString()); }
};

TEST(MediaInputFormat, TheProgramsOwnFileListsLowerCaseSuffixes)
{
    for (const char* key : {kAudio, kVideo, kPicture, kPictureVideo}) {
        const QString formats = DeviceWindowController::getMediaInputFormat(QLatin1String(key));
        ASSERT_FALSE(formats.isEmpty()) << key;
        EXPECT_EQ(formats, formats.toLower()) << key;
        EXPECT_FALSE(formats.split(QLatin1Char('/')).contains(QString())) << key;
    }
    EXPECT_TRUE(getMediaInputFormat(QLatin1String(kAudio)).split(QLatin1Char('/')).contains(QStringLiteral("mp3")));
    const QString unknown = getMediaInputFormat(QStringLiteral("AllowedNothing"));
    EXPECT_TRUE(unknown.isEmpty());
    EXPECT_FALSE(unknown.isNull()) << "an empty string, never none";
}

TEST(MediaInputFormat, MissingOrBrokenFileAnswersEmptyAndALaterFileIsRead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("QVMediaInputFormat.plist"));
    PathScope scope(path);
    EXPECT_EQ(getMediaInputFormat(QLatin1String(kAudio)), QString());

    write(path, "<plist><dict><key>AllowedAudioInputFormats</key><string>mp3/amr"); // cut short
    EXPECT_EQ(getMediaInputFormat(QLatin1String(kAudio)), QString()) << "a file that does not parse is missing";

    write(path,
          "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>AllowedAudioInputFormats</key>"
          "<string>mp3/amr</string><key>AllowedVideoFormats</key><integer>3</integer></dict></plist>");
    EXPECT_EQ(getMediaInputFormat(QLatin1String(kAudio)), QStringLiteral("mp3/amr")) << "read at the next call";
    EXPECT_EQ(getMediaInputFormat(QLatin1String(kVideo)), QString()) << "a wrong-typed entry is absent";

    QFile::remove(path);
    EXPECT_EQ(getMediaInputFormat(QLatin1String(kAudio)), QStringLiteral("mp3/amr")) << "held once read";
}

TEST(FileConverter, ResolvesThroughTheSharedFolderRule)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("folder"));
    const QString plain = dir.filePath(QStringLiteral("plain"));
    QDir().mkpath(folder);
    write(plain, "x");
    ASSERT_EQ(::symlink(folder.toLocal8Bit().constData(), dir.filePath(QStringLiteral("a")).toLocal8Bit().constData()),
              0);
    ASSERT_EQ(::symlink(plain.toLocal8Bit().constData(), dir.filePath(QStringLiteral("b")).toLocal8Bit().constData()),
              0);
    FileConverter& converter = FileConverter::sharedFileConverter();
    EXPECT_EQ(&converter, &FileConverter::sharedFileConverter());
    EXPECT_EQ(converter.resolveAliasToDirectory(dir.filePath(QStringLiteral("a"))), folder);
    EXPECT_TRUE(converter.resolveAliasToDirectory(dir.filePath(QStringLiteral("b"))).isNull());
    EXPECT_EQ(converter.resolveAliasToDirectory(dir.filePath(QStringLiteral("none"))),
              dir.filePath(QStringLiteral("none")));
}

} // namespace
