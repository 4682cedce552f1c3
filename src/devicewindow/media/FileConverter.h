#pragma once

#include "devicewindow/media/ConversionSettings.h"

#include <QMutex>
#include <QSize>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QObject;

// What shows the progress of a movie conversion (the transfer window): it
// hears the percentage of the running conversion, on the GUI thread.
class TransferProgress {
public:
    virtual ~TransferProgress() = default;
    virtual void conversionProgress(double percent) = 0;
};

// The operations a movie-export progress callback hears.
enum MovieProgressOperation : int {
    kMovieProgressOpen = 0,
    kMovieProgressUpdatePercent = 1,
    kMovieProgressClose = 2,
};

// The shared media converter. What the program uses of it is the alias
// resolution of folders that the user may have replaced by a link. It also
// carries the conversions of movies and pictures for the phone: movies with
// ffmpeg on a worker thread (one at a time per converter; a second request
// waits for the first), pictures with Qt's image classes on the calling
// thread. Every target appears only complete: it is written to a temporary
// file beside it and renamed on success.
class FileConverter {
public:
    FileConverter();
    ~FileConverter();
    FileConverter(const FileConverter&) = delete;
    FileConverter& operator=(const FileConverter&) = delete;

    static FileConverter& sharedFileConverter();

    // A folder's path through a symbolic link (see resolveAliasToDirectory in
    // foundation/FileManagerAdds.h): null for a plain file, a link to one or
    // a broken link; a missing path answers itself.
    QString resolveAliasToDirectory(const QString& path) const;

    // By the file name's extension, in any case: pictures jpg, tif, gif, png,
    // bmp; movies and sounds mov, mp3, aif, mpeg, m4v, m4a, m4r, 3gp, mid, amr.
    static bool canPreview(const QString& path);
    static bool canMoviePreview(const QString& path);

    // The stored settings "QT-Setting-<codec>-<size>-<M|S>" for a picture
    // size of 128x96, 176x144 or 320x240 ("M" for music); nothing for another
    // size or a codec without stored settings.
    std::optional<ConversionSettings> getConversionSettings(const QString& codec, bool isMusic,
                                                            const QSize& pictSize) const;
    static QString conversionSettingsName(const QString& codec, bool isMusic, const QSize& pictSize);

    // Asks the user for settings (the export-settings dialog); nothing when
    // cancelled. The default shows the dialog when called on the GUI thread of
    // a widget application; a converter without a chooser never asks.
    using SettingsChooser = std::function<std::optional<ConversionSettings>(const ConversionSettings& proposal)>;
    void setSettingsChooser(SettingsChooser chooser);
    static SettingsChooser dialogSettingsChooser();
    // Where the settings chosen in the dialog are kept ("QT-Setting-Manual"
    // in the application support folder) and used from then on.
    static QString manualSettingsPath();

    // Converts a movie for the phone with the stored settings for codec,
    // music flag and picture size; without such settings with those kept from
    // the dialog, else with a choice in the dialog when one may be shown (then
    // kept). Answers false, with a log line, when no settings are found or the
    // target folder is not writable; nothing has run then. Otherwise the
    // conversion is queued; the transfer window (not owned; it must outlive
    // the conversion) hears its progress and done its outcome, both on the
    // GUI thread.
    using Completion = std::function<void(bool ok)>;
    bool convertMovie(const QString& sourceFile, const QString& targetFile, TransferProgress* transferWindow,
                      const QString& codec, bool isMusic, const QSize& pictSize, Completion done = {});
    // The running conversion's progress: forwards the percentage of
    // kMovieProgressUpdatePercent (percentDone is the part done, 0 to 1) to
    // the transfer window; answers -1. Any thread.
    int movieExportProgressProc(int operation, double percentDone);
    // Stops the running conversion and drops the queued ones; they fail and
    // leave no target.
    void cancelConversions();
    // The file being converted, or empty.
    QString curFile() const;
    // Waits (without an event loop) until no conversion runs or is queued;
    // false when the time ran out. For shutting down and for tests.
    bool waitForConversions(int milliseconds);

    // Re-encodes a picture as JPEG (same pixel size).
    bool convertToJPEG(const QString& sourceFile, const QString& targetFile) const;
    // Scales a picture to exactly horPixels x verPixels, after turning it a
    // quarter clockwise when rotate is set, and writes it as JPEG.
    bool convertToRes(const QString& sourceFile, const QString& targetFile, int horPixels, int verPixels,
                      bool rotate) const;

    // Pictures larger than this many pixels are refused before decoding.
    static constexpr qint64 kMaxDecodePixels = 40'000'000;

private:
    void runConversion(const QString& source, const QString& target, TransferProgress* transferWindow,
                       const ConversionSettings& settings, quint64 generation, Completion done);
    void onGuiThread(std::function<void()> call);

    mutable QMutex m_mutex;
    QString m_curFile;
    TransferProgress* m_transferWindow = nullptr;
    SettingsChooser m_chooser;
    std::atomic<quint64> m_generation{0};
    QObject* m_guiContext = nullptr;
    QThreadPool m_pool;
};

// The movie-export progress callback in C form: refcon is the converter.
int movieExportProgressProc(void* refcon, int operation, double percentDone);
