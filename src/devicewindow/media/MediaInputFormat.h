#pragma once

#include <QString>

// Which file-name suffixes count as audio, video and pictures: the entries of
// "QVMediaInputFormat.plist" (lower-case suffixes separated by "/"), read once
// per process. A file that is missing or does not parse is logged and counts
// as missing: every key answers "", and the next call reads it again.
namespace mediaformat {

inline constexpr const char* kAudio = "AllowedAudioInputFormats";
inline constexpr const char* kVideo = "AllowedVideoFormats";
inline constexpr const char* kPicture = "AllowedPictureInputFormats";
inline constexpr const char* kPictureVideo = "AllowedPictureVideoInputFormats";

// The entry for key; "" when the key is absent, not a string, or the file
// cannot be read.
QString getMediaInputFormat(const QString& key);

// Where the file is read (the program's own copy unless set); setting it
// forgets what was read.
void setMediaInputFormatPath(const QString& path);
QString mediaInputFormatPath();

} // namespace mediaformat
