#pragma once

#include "devicewindow/media/ConversionSettings.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <optional>

class QFileDialog;
class QWidget;

// Hears a movie export, always on the GUI thread: startExport first,
// exportInProcess with the percentage done while it runs, stopExport once
// with the outcome.
class QuickTimeExporterHandler {
public:
    virtual ~QuickTimeExporterHandler() = default;
    virtual void startExport() = 0;
    virtual void exportInProcess(double percent) = 0;
    virtual void stopExport(bool success) = 0;
};

// What ffprobe tells of one stream of a movie.
struct MovieCodecDescription {
    QString codecName;      // "mpeg4", "aac", "dvvideo", ...
    QString codecLongName;
    QSize frameSize;        // video
    int sampleRate = 0;     // audio
    int channels = 0;       // audio
    qint64 bitRate = 0;     // bits per second, 0 when not told
};

// The codec descriptions of a movie's first video and first audio stream,
// and of its DV stream (a video stream in DV); nothing when there is none or
// the file cannot be read.
std::optional<MovieCodecDescription> movieVideoCodecDescription(const QString& moviePath);
std::optional<MovieCodecDescription> movieAudioCodecDescription(const QString& moviePath);
std::optional<MovieCodecDescription> movieDVCodecDescription(const QString& moviePath);

// Exports movies on a worker thread of its own, one at a time, with stored
// settings or with settings the user chooses.
class QuickTimeExporter : public QObject {
    Q_OBJECT
public:
    // The handler is not owned; it must outlive the exporter's exports.
    static QuickTimeExporter* allocQuickTimeExporter(QuickTimeExporterHandler* handler, QObject* parent = nullptr);
    ~QuickTimeExporter() override;

    // Queues the export of moviePath to destPath with the settings. False
    // (nothing queued, the handler hears nothing) when destPath's folder is
    // not writable.
    bool doStartExportMovieTask(const QString& moviePath, const QString& destPath,
                                const ConversionSettings& exportSettings);
    // Asks for the target in a save dialog (default name "ExportedMovie",
    // type "mov") and for the settings in the export-settings dialog, keeps
    // the settings as "<name>.qtSet" beside the movie and queues the export.
    // False when the user cancelled either dialog.
    bool doStartUserExportMovieTask(const QString& moviePath);
    // One export, run on the calling thread (the worker's body): the handler
    // hears start, progress and stop. Answers the outcome.
    bool doMovieExport(const QString& moviePath, const QString& destPath, const ConversionSettings& exportSettings);

    // The size an export would have: the movie's duration times the
    // settings' video and audio bit rates. False when the duration is not
    // known.
    static bool expectedMovieSize(const QString& moviePath, const ConversionSettings& exportSettings,
                                  qint64* movieSize);

    // Stops the running export and drops the queued ones (each still ends
    // with stopExport(false)); no target is left.
    void cancelExport();
    bool waitForExports(int milliseconds);

    // The settings file kept beside an exported movie: "%@.qtSet" of its
    // path without the extension.
    static QString settingsPathFor(const QString& moviePath);

    // The dialogs doStartUserExportMovieTask asks; tests put their own.
    using SavePathChooser = std::function<QString()>;
    using SettingsChooser = std::function<std::optional<ConversionSettings>(const ConversionSettings& proposal)>;
    void setSavePathChooser(SavePathChooser chooser) { m_savePathChooser = std::move(chooser); }
    void setSettingsChooser(SettingsChooser chooser) { m_settingsChooser = std::move(chooser); }
    // The save dialog itself, not yet shown.
    static QFileDialog* makeSaveDialog(QWidget* parent = nullptr);

private:
    QuickTimeExporter(QuickTimeExporterHandler* handler, QObject* parent);
    void toHandler(std::function<void(QuickTimeExporterHandler*)> call);

    QuickTimeExporterHandler* m_handler;
    SavePathChooser m_savePathChooser;
    SettingsChooser m_settingsChooser;
    std::atomic<quint64> m_generation{0};
    QThreadPool m_pool;
};
