#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Movie and picture fixtures made at test time with ffmpeg's own sources,
// once per test program, and stand-ins for ffmpeg written as shell scripts.
namespace mediaconversion_tests {

class MediaFixtures {
public:
    static MediaFixtures& instance()
    {
        static MediaFixtures fixtures;
        return fixtures;
    }

    bool ok() const { return m_ok; }
    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    // clip.mov: 3 s of testsrc (160x120, 15 frames/s, MPEG-4) with a 440 Hz tone (AAC)
    // second.mov: the same for 1 s at 10 frames/s
    // tone.m4a: 2 s of a tone
    // landscape.png: 64x48 blue, a red 16x12 box at the top left
    // portrait.jpg: 48x64 blue, a red 12x16 box at the top left
    // dv.mov: a fifth of a second of DV video
    // broken.png, broken.mov: bytes that are no picture and no movie

private:
    MediaFixtures()
    {
        m_ok = m_dir.isValid()
            && make({"-f", "lavfi", "-i", "testsrc=d=3:s=160x120:r=15", "-f", "lavfi", "-i", "sine=f=440:d=3",
                     "-c:v", "mpeg4", "-c:a", "aac", "-shortest", "clip.mov"})
            && make({"-f", "lavfi", "-i", "testsrc=d=1:s=160x120:r=10", "-f", "lavfi", "-i", "sine=f=440:d=1",
                     "-c:v", "mpeg4", "-c:a", "aac", "-shortest", "second.mov"})
            && make({"-f", "lavfi", "-i", "sine=f=440:d=2", "-c:a", "aac", "tone.m4a"})
            && make({"-f", "lavfi", "-i", "color=c=blue:s=64x48,drawbox=x=0:y=0:w=16:h=12:color=red:t=fill",
                     "-frames:v", "1", "landscape.png"})
            && make({"-f", "lavfi", "-i", "color=c=blue:s=48x64,drawbox=x=0:y=0:w=12:h=16:color=red:t=fill",
                     "-frames:v", "1", "-q:v", "2", "portrait.jpg"})
            && make({"-f", "lavfi", "-i", "testsrc=s=720x576:r=25:d=0.2", "-c:v", "dvvideo", "-pix_fmt",
                     "yuv420p", "dv.mov"});
        writeBytes("broken.png", "\x89PNG\r\n\x1a\nthis is no picture at all");
        writeBytes("broken.mov", QByteArray(4096, 'x'));
    }

    bool make(std::initializer_list<const char*> arguments)
    {
        QStringList args{QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                         QStringLiteral("-y")};
        for (const char* argument : arguments)
            args << QString::fromLatin1(argument);
        args.last() = m_dir.filePath(args.last());
        QProcess process;
        process.start(QStringLiteral("ffmpeg"), args);
        if (!process.waitForFinished(30000) || process.exitCode() != 0) {
            ADD_FAILURE() << "fixture not made: " << args.join(QLatin1Char(' ')).toStdString() << "\n"
                          << process.readAllStandardError().toStdString();
            return false;
        }
        return true;
    }

    void writeBytes(const char* name, const QByteArray& bytes)
    {
        QFile file(path(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }

    QTemporaryDir m_dir;
    bool m_ok = false;
};

// A shell script made executable, standing in for ffmpeg.
inline QString writeToolScript(const QString& path, const QByteArray& body)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("#!/bin/bash\n" + body);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// Files in a folder whose names tell of a temporary conversion target.
inline QStringList leftoverParts(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden);
}

} // namespace mediaconversion_tests
