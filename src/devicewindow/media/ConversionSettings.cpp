#include "devicewindow/media/ConversionSettings.h"

#include "devicewindow/DeviceWindowLog.h"

#include "platform/FileIO.h"
#include "platform/PropertyList.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

constexpr const char* kContainer = "Container";
constexpr const char* kVideoCodec = "VideoCodec";
constexpr const char* kAudioCodec = "AudioCodec";
constexpr const char* kWidth = "Width";
constexpr const char* kHeight = "Height";
constexpr const char* kFrameRate = "FrameRate";
constexpr const char* kVideoBitRate = "VideoBitRate";
constexpr const char* kAudioBitRate = "AudioBitRate";
constexpr const char* kAudioSampleRate = "AudioSampleRate";
constexpr const char* kAudioChannels = "AudioChannels";

constexpr qint64 kMaxSettingsFileSize = 64 * 1024;

std::optional<int> intIn(const QVariantMap& map, const char* key, int low, int high)
{
    const QVariant value = map.value(QLatin1String(key));
    if (value.typeId() != QMetaType::LongLong && value.typeId() != QMetaType::Int
        && value.typeId() != QMetaType::ULongLong)
        return std::nullopt;
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok || number < low || number > high)
        return std::nullopt;
    return int(number);
}

std::optional<QString> nameIn(const QVariantMap& map, const char* key, bool mayBeEmpty)
{
    const QVariant value = map.value(QLatin1String(key));
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    const QString name = value.toString();
    if (name.isEmpty() ? !mayBeEmpty : !conversionsettings::isPlainName(name))
        return std::nullopt;
    return name;
}

} // namespace

QVariantMap ConversionSettings::toMap() const
{
    return {
        {QLatin1String(kContainer), container},
        {QLatin1String(kVideoCodec), videoCodec},
        {QLatin1String(kAudioCodec), audioCodec},
        {QLatin1String(kWidth), qlonglong(frameSize.width())},
        {QLatin1String(kHeight), qlonglong(frameSize.height())},
        {QLatin1String(kFrameRate), qlonglong(frameRate)},
        {QLatin1String(kVideoBitRate), qlonglong(videoBitRate)},
        {QLatin1String(kAudioBitRate), qlonglong(audioBitRate)},
        {QLatin1String(kAudioSampleRate), qlonglong(audioSampleRate)},
        {QLatin1String(kAudioChannels), qlonglong(audioChannels)},
    };
}

std::optional<ConversionSettings> ConversionSettings::fromMap(const QVariantMap& map)
{
    using conversionsettings::kMaxBitRate;
    using conversionsettings::kMaxFrameSide;
    const auto container = nameIn(map, kContainer, false);
    const auto video = nameIn(map, kVideoCodec, true);
    const auto audio = nameIn(map, kAudioCodec, true);
    const auto width = intIn(map, kWidth, 16, kMaxFrameSide);
    const auto height = intIn(map, kHeight, 16, kMaxFrameSide);
    const auto rate = intIn(map, kFrameRate, 1, 120);
    const auto videoRate = intIn(map, kVideoBitRate, 0, kMaxBitRate);
    const auto audioRate = intIn(map, kAudioBitRate, 0, kMaxBitRate);
    const auto sampleRate = intIn(map, kAudioSampleRate, 0, 192000);
    const auto channels = intIn(map, kAudioChannels, 0, 8);
    if (!container || !video || !audio || !width || !height || !rate || !videoRate || !audioRate || !sampleRate
        || !channels)
        return std::nullopt;
    if (video->isEmpty() && audio->isEmpty())
        return std::nullopt;
    ConversionSettings settings;
    settings.container = *container;
    settings.videoCodec = *video;
    settings.audioCodec = *audio;
    settings.frameSize = QSize(*width, *height);
    settings.frameRate = *rate;
    settings.videoBitRate = *videoRate;
    settings.audioBitRate = *audioRate;
    settings.audioSampleRate = *sampleRate;
    settings.audioChannels = *channels;
    return settings;
}

QStringList ConversionSettings::outputArguments() const
{
    QStringList args;
    if (videoCodec.isEmpty()) {
        args << QStringLiteral("-vn");
    } else {
        args << QStringLiteral("-c:v") << videoCodec << QStringLiteral("-s")
             << QStringLiteral("%1x%2").arg(frameSize.width()).arg(frameSize.height()) << QStringLiteral("-r")
             << QString::number(frameRate);
        if (videoBitRate > 0)
            args << QStringLiteral("-b:v") << QString::number(videoBitRate);
    }
    if (audioCodec.isEmpty()) {
        args << QStringLiteral("-an");
    } else {
        args << QStringLiteral("-c:a") << audioCodec;
        if (audioBitRate > 0)
            args << QStringLiteral("-b:a") << QString::number(audioBitRate);
        if (audioSampleRate > 0)
            args << QStringLiteral("-ar") << QString::number(audioSampleRate);
        if (audioChannels > 0)
            args << QStringLiteral("-ac") << QString::number(audioChannels);
    }
    args << QStringLiteral("-f") << container;
    return args;
}

namespace conversionsettings {

bool isPlainName(const QString& name)
{
    static const QRegularExpression plain(QStringLiteral("^[a-z0-9_]{1,32}$"));
    return plain.match(name).hasMatch();
}

std::optional<ConversionSettings> readFile(const QString& path)
{
    QString error;
    QVariant read;
    if (path.startsWith(QLatin1Char(':'))) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        read = platform::plist::read(file.read(kMaxSettingsFileSize), &error);
    } else {
        if (!QFileInfo::exists(path))
            return std::nullopt;
        const auto bytes = platform::readRegularFile(path, kMaxSettingsFileSize, platform::Symlinks::Follow, &error);
        if (bytes)
            read = platform::plist::read(*bytes, &error);
    }
    std::optional<ConversionSettings> settings;
    if (read.typeId() == QMetaType::QVariantMap)
        settings = ConversionSettings::fromMap(read.toMap());
    if (!settings)
        qCWarning(lcDeviceWindow).noquote() << "conversion settings not read from" << path << error;
    return settings;
}

bool writeFile(const QString& path, const ConversionSettings& settings)
{
    QString error;
    if (platform::plist::writeFile(path, settings.toMap(), &error))
        return true;
    qCWarning(lcDeviceWindow).noquote() << "conversion settings not written to" << path << error;
    return false;
}

} // namespace conversionsettings
