#include "devicewindow/media/MediaTool.h"

#include "devicewindow/DeviceWindowLog.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdio>

#include <signal.h>
#include <unistd.h>

namespace mediatool {

namespace {

constexpr qint64 kErrorTail = 4096;
constexpr qint64 kMaxLine = 4096;
constexpr qint64 kMaxProbeOutput = 1024 * 1024;
constexpr double kProbeTimeout = 20;

struct Config {
    QMutex mutex;
    QString ffmpeg;
    QString ffprobe;
    double stall = 30;
};

Config& config()
{
    static Config shared;
    return shared;
}

QString resolve(const QString& chosen, const char* name)
{
    if (!chosen.isEmpty())
        return chosen;
    const QString found = QStandardPaths::findExecutable(QLatin1String(name));
    return found.isEmpty() ? QString::fromLatin1(name) : found;
}

void keepTail(QByteArray& tail, const QByteArray& more)
{
    tail += more;
    if (tail.size() > kErrorTail)
        tail = tail.right(kErrorTail);
}

} // namespace

void setPrograms(const QString& ffmpeg, const QString& ffprobe)
{
    Config& c = config();
    QMutexLocker lock(&c.mutex);
    c.ffmpeg = ffmpeg;
    c.ffprobe = ffprobe;
}

QString ffmpegProgram()
{
    Config& c = config();
    QMutexLocker lock(&c.mutex);
    return resolve(c.ffmpeg, "ffmpeg");
}

QString ffprobeProgram()
{
    Config& c = config();
    QMutexLocker lock(&c.mutex);
    return resolve(c.ffprobe, "ffprobe");
}

void setStallTimeout(double seconds)
{
    Config& c = config();
    QMutexLocker lock(&c.mutex);
    c.stall = seconds > 0 ? seconds : 30;
}

double stallTimeout()
{
    Config& c = config();
    QMutexLocker lock(&c.mutex);
    return c.stall;
}

QString fileArgument(const QString& path)
{
    // An absolute path begins with "/", and the "file:" protocol makes the
    // tools take everything after it as a local file name.
    return QStringLiteral("file:") + QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString RunResult::describe() const
{
    if (!started)
        return QStringLiteral("could not be started");
    if (timedOut)
        return QStringLiteral("stopped by its time-out");
    if (cancelled)
        return QStringLiteral("cancelled");
    if (!finished)
        return QStringLiteral("stopped");
    QString text = QStringLiteral("ended with %1").arg(exitCode);
    const QString tail = QString::fromUtf8(errorTail).trimmed();
    if (!tail.isEmpty())
        text += QStringLiteral(": ") + tail.section(QLatin1Char('\n'), -3);
    return text;
}

RunResult run(const QString& program, const QStringList& arguments, const RunOptions& options)
{
    RunResult result;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    // A group of its own, so stopping it also stops what it started.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(10000)) {
        qCWarning(lcDeviceWindow).noquote() << program << "did not start:" << process.errorString();
        return result;
    }
    result.started = true;

    const double stall = stallTimeout();
    QElapsedTimer sinceOutput;
    sinceOutput.start();
    QElapsedTimer total;
    total.start();
    QByteArray pending;
    bool overflow = false;

    auto takeOutput = [&] {
        const QByteArray out = process.readAllStandardOutput();
        const QByteArray err = process.readAllStandardError();
        if (!out.isEmpty() || !err.isEmpty())
            sinceOutput.restart();
        keepTail(result.errorTail, err);
        if (out.isEmpty())
            return;
        if (options.keepOutput > 0) {
            if (result.output.size() + out.size() > options.keepOutput)
                overflow = true;
            else
                result.output += out;
        }
        if (options.onLine) {
            pending += out;
            qsizetype newline;
            while ((newline = pending.indexOf('\n')) >= 0) {
                options.onLine(pending.left(newline).trimmed());
                pending.remove(0, newline + 1);
            }
            if (pending.size() > kMaxLine)
                pending.clear();
        }
    };

    while (process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(50);
        takeOutput();
        if (options.cancelled && options.cancelled()) {
            result.cancelled = true;
            break;
        }
        if (overflow)
            break;
        if (options.watchStall && sinceOutput.elapsed() > qint64(stall * 1000)) {
            result.timedOut = true;
            break;
        }
        if (options.totalTimeout > 0 && total.elapsed() > qint64(options.totalTimeout * 1000)) {
            result.timedOut = true;
            break;
        }
    }
    if (process.state() != QProcess::NotRunning) {
        if (const qint64 pid = process.processId(); pid > 0)
            ::kill(-pid_t(pid), SIGKILL);
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    takeOutput();
    if (overflow)
        return result;
    result.finished = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    return result;
}

std::optional<QJsonObject> probe(const QString& path)
{
    RunOptions options;
    options.keepOutput = kMaxProbeOutput;
    // ffprobe writes its answer only at the end.
    options.watchStall = false;
    options.totalTimeout = kProbeTimeout;
    const RunResult result =
        run(ffprobeProgram(),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_format"),
             QStringLiteral("-show_streams"), QStringLiteral("-of"), QStringLiteral("json"), fileArgument(path)},
            options);
    if (!result.ok()) {
        qCWarning(lcDeviceWindow).noquote() << "ffprobe of" << path << result.describe();
        return std::nullopt;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(result.output, &error);
    if (!document.isObject() || !document.object().value(QLatin1String("format")).isObject()) {
        qCWarning(lcDeviceWindow).noquote() << "ffprobe of" << path << "gave no description";
        return std::nullopt;
    }
    return document.object();
}

std::optional<double> duration(const QJsonObject& probed)
{
    bool ok = false;
    const double seconds =
        probed.value(QLatin1String("format")).toObject().value(QLatin1String("duration")).toString().toDouble(&ok);
    if (!ok || !(seconds > 0) || seconds > 1e7)
        return std::nullopt;
    return seconds;
}

bool canWriteInto(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.isDir())
        return false;
    QTemporaryFile probeFile(QDir(folder).filePath(QStringLiteral(".write-check.XXXXXX")));
    return probeFile.open();
}

TranscodeOutcome transcode(const QString& source, const QString& target, const QStringList& outputArguments,
                           const std::function<void(double)>& progress, const std::function<bool()>& cancelled)
{
    TranscodeOutcome outcome;
    auto fail = [&](const QString& why) {
        outcome.error = why;
        qCWarning(lcDeviceWindow).noquote() << "conversion of" << source << "to" << target << "failed:" << why;
        return outcome;
    };
    const QFileInfo targetInfo(target);
    if (!canWriteInto(targetInfo.absolutePath()))
        return fail(QStringLiteral("the target folder is not writable"));
    const std::optional<QJsonObject> probed = probe(source);
    if (!probed)
        return fail(QStringLiteral("the source cannot be read as a movie"));
    const double seconds = duration(*probed).value_or(0);

    QTemporaryFile temporary(targetInfo.absoluteDir().filePath(QLatin1Char('.') + targetInfo.fileName()
                                                               + QStringLiteral(".XXXXXX.part")));
    if (!temporary.open())
        return fail(QStringLiteral("no temporary file beside the target"));
    temporary.close();

    QStringList arguments{QStringLiteral("-nostdin"), QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                          QStringLiteral("error"),    QStringLiteral("-y"),           QStringLiteral("-i"),
                          fileArgument(source),       QStringLiteral("-map"),         QStringLiteral("0:v:0?"),
                          QStringLiteral("-map"),     QStringLiteral("0:a:0?")};
    arguments << outputArguments;
    arguments << QStringLiteral("-progress") << QStringLiteral("pipe:1") << QStringLiteral("-nostats")
              << fileArgument(temporary.fileName());

    RunOptions options;
    options.cancelled = cancelled;
    options.onLine = [&](const QByteArray& line) {
        if (!progress)
            return;
        if (line.startsWith("out_time_us=") && seconds > 0) {
            bool ok = false;
            const double done = line.mid(12).toDouble(&ok) / 1e6 / seconds;
            if (ok && done >= 0)
                progress(std::min(done, 1.0));
        }
    };
    const RunResult result = run(ffmpegProgram(), arguments, options);
    if (result.cancelled) {
        outcome.cancelled = true;
        return fail(QStringLiteral("cancelled"));
    }
    if (!result.ok())
        return fail(QStringLiteral("ffmpeg ") + result.describe());
    if (QFileInfo(temporary.fileName()).size() <= 0)
        return fail(QStringLiteral("ffmpeg wrote nothing"));
    if (std::rename(QFile::encodeName(temporary.fileName()).constData(),
                    QFile::encodeName(targetInfo.absoluteFilePath()).constData())
        != 0)
        return fail(QStringLiteral("the converted movie could not take its name"));
    temporary.setAutoRemove(false);
    if (progress)
        progress(1.0);
    outcome.ok = true;
    return outcome;
}

} // namespace mediatool
