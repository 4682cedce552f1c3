#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The movie tools (ffmpeg and ffprobe) as child processes: started with an
// argument list (never through a shell), on the calling thread, which must
// not be the GUI thread for a conversion; each run is bounded in time.
namespace mediatool {

// The programs run; by default "ffmpeg" and "ffprobe" found on PATH. Tests
// put stand-ins in their place; an empty string restores the default.
void setPrograms(const QString& ffmpeg, const QString& ffprobe);
QString ffmpegProgram();
QString ffprobeProgram();

// A run that writes no output for this long is stopped and fails (default
// 30 s). Tests shorten it.
void setStallTimeout(double seconds);
double stallTimeout();

// A path as the tools must read it: only as a local file, never as an option
// (a name beginning with "-") or a protocol ("http:", "concat:", "pipe:").
QString fileArgument(const QString& path);

struct RunResult {
    bool started = false;
    bool finished = false;   // ended by itself (not stopped)
    int exitCode = -1;
    bool timedOut = false;   // stopped: no output for the stall time-out
    bool cancelled = false;  // stopped: cancel was set
    QByteArray output;       // stdout when kept (bounded)
    QByteArray errorTail;    // the last few KiB of stderr
    bool ok() const { return started && finished && exitCode == 0; }
    // One line for a log: what went wrong.
    QString describe() const;
};

struct RunOptions {
    // Each complete line of stdout, as it arrives (ffmpeg's -progress output).
    std::function<void(const QByteArray& line)> onLine;
    // Stop when it answers true (asked at least every 50 ms).
    std::function<bool()> cancelled;
    // Keep stdout in RunResult::output, up to this many bytes; more fails.
    qint64 keepOutput = 0;
    // Whether a run that writes nothing for the stall time-out is stopped
    // (for runs that report progress as they go).
    bool watchStall = true;
    // Overall bound besides the stall time-out (seconds; 0: none).
    double totalTimeout = 0;
};

RunResult run(const QString& program, const QStringList& arguments, const RunOptions& options = {});

// ffprobe's description of a file's format and streams (JSON "format" and
// "streams"); nothing when the file cannot be read as a movie.
std::optional<QJsonObject> probe(const QString& path);
// The duration in seconds of a movie, from probe().
std::optional<double> duration(const QJsonObject& probed);

// Whether a file can be created in the folder (tried, not guessed from modes).
bool canWriteInto(const QString& folder);

// Converts source into target with ffmpeg's output options. The movie is
// written to a temporary file beside target and renamed over it only when
// ffmpeg succeeded, so a failed, stopped or cancelled conversion leaves no
// target behind (and an older target untouched). progress receives the part
// done, 0 to 1, ending with 1 on success. A failure has a log line.
struct TranscodeOutcome {
    bool ok = false;
    bool cancelled = false;
    QString error;
};
TranscodeOutcome transcode(const QString& source, const QString& target, const QStringList& outputArguments,
                           const std::function<void(double)>& progress, const std::function<bool()>& cancelled);

} // namespace mediatool
