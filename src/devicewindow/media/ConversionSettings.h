#pragma once

#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

// The settings of one movie conversion: what the desktop platform kept as an
// export component's settings handle. Stored as a property list:
//   Container (muxer name), VideoCodec, AudioCodec (encoder names, either may
//   be empty for no stream of that kind), Width, Height, FrameRate,
//   VideoBitRate, AudioBitRate (bits per second), AudioSampleRate,
//   AudioChannels.
// Names are plain words of lower-case letters, digits and "_" only, so
// nothing read from a settings file can reach the converter as an option.
struct ConversionSettings {
    QString container;
    QString videoCodec;
    QString audioCodec;
    QSize frameSize;
    int frameRate = 15;
    int videoBitRate = 0;
    int audioBitRate = 0;
    int audioSampleRate = 0;
    int audioChannels = 0;

    bool operator==(const ConversionSettings&) const = default;

    QVariantMap toMap() const;
    // Nothing when a field is missing, of the wrong type, out of range, or a
    // name is not a plain word.
    static std::optional<ConversionSettings> fromMap(const QVariantMap& map);

    // The converter's output options (codecs, size, rates, container), without
    // input and output files.
    QStringList outputArguments() const;
};

namespace conversionsettings {

// Bounds of what a settings file may ask for.
inline constexpr int kMaxFrameSide = 4096;
inline constexpr int kMaxBitRate = 100'000'000;

// Settings read from a property-list file (a resource ":/..." or a regular
// file of at most 64 KiB); nothing when missing or malformed (with a log line
// for a malformed one).
std::optional<ConversionSettings> readFile(const QString& path);
// Written atomically as an XML property list.
bool writeFile(const QString& path, const ConversionSettings& settings);

bool isPlainName(const QString& name);

} // namespace conversionsettings
