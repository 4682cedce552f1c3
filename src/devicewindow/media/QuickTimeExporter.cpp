#include "devicewindow/media/QuickTimeExporter.h"

#include "devicewindow/DeviceWindowLog.h"
#include "devicewindow/media/ExportSettingsDialog.h"
#include "devicewindow/media/MediaTool.h"

#include "platform/Localization.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonArray>
#include <QThread>

namespace {

constexpr const char* kDefaultExportName = "ExportedMovie";
constexpr const char* kExportType = "mov";
constexpr const char* kSettingsSuffix = "%1.qtSet";

std::optional<MovieCodecDescription> streamDescription(const QString& moviePath,
                                                       const std::function<bool(const QJsonObject&)>& wanted)
{
    const std::optional<QJsonObject> probed = mediatool::probe(moviePath);
    if (!probed)
        return std::nullopt;
    const QJsonArray streams = probed->value(QLatin1String("streams")).toArray();
    for (const QJsonValue& value : streams) {
        const QJsonObject stream = value.toObject();
        if (!wanted(stream))
            continue;
        MovieCodecDescription description;
        description.codecName = stream.value(QLatin1String("codec_name")).toString();
        description.codecLongName = stream.value(QLatin1String("codec_long_name")).toString();
        description.frameSize =
            QSize(stream.value(QLatin1String("width")).toInt(), stream.value(QLatin1String("height")).toInt());
        description.sampleRate = stream.value(QLatin1String("sample_rate")).toString().toInt();
        description.channels = stream.value(QLatin1String("channels")).toInt();
        description.bitRate = stream.value(QLatin1String("bit_rate")).toString().toLongLong();
        return description;
    }
    return std::nullopt;
}

bool isCodecType(const QJsonObject& stream, const char* type)
{
    return stream.value(QLatin1String("codec_type")).toString() == QLatin1String(type);
}

} // namespace

std::optional<MovieCodecDescription> movieVideoCodecDescription(const QString& moviePath)
{
    return streamDescription(moviePath, [](const QJsonObject& stream) {
        // A cover picture is a video stream too, but no movie.
        return isCodecType(stream, "video")
            && stream.value(QLatin1String("disposition")).toObject().value(QLatin1String("attached_pic")).toInt()
            == 0;
    });
}

std::optional<MovieCodecDescription> movieAudioCodecDescription(const QString& moviePath)
{
    return streamDescription(moviePath, [](const QJsonObject& stream) { return isCodecType(stream, "audio"); });
}

std::optional<MovieCodecDescription> movieDVCodecDescription(const QString& moviePath)
{
    return streamDescription(moviePath, [](const QJsonObject& stream) {
        return isCodecType(stream, "video") && stream.value(QLatin1String("codec_name")).toString() == "dvvideo";
    });
}

QuickTimeExporter* QuickTimeExporter::allocQuickTimeExporter(QuickTimeExporterHandler* handler, QObject* parent)
{
    return new QuickTimeExporter(handler, parent);
}

QuickTimeExporter::QuickTimeExporter(QuickTimeExporterHandler* handler, QObject* parent)
    : QObject(parent)
    , m_handler(handler)
{
    m_pool.setMaxThreadCount(1);
    m_savePathChooser = [] {
        std::unique_ptr<QFileDialog> dialog(makeSaveDialog());
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
            return QString();
        return dialog->selectedFiles().constFirst();
    };
    m_settingsChooser = [](const ConversionSettings& proposal) {
        return ExportSettingsDialog::choose(proposal);
    };
}

QuickTimeExporter::~QuickTimeExporter()
{
    cancelExport();
    m_pool.waitForDone();
}

QFileDialog* QuickTimeExporter::makeSaveDialog(QWidget* parent)
{
    auto* dialog = new QFileDialog(parent, platform::localizedString(QStringLiteral("ExportMovieTitle")));
    dialog->setObjectName(QStringLiteral("ExportMovieSaveDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setNameFilter(platform::localizedString(QStringLiteral("ExportMovieFilter")));
    dialog->setDefaultSuffix(QLatin1String(kExportType));
    const QString documents = platform::paths::documentsDirectory();
    if (QFileInfo(documents).isDir())
        dialog->setDirectory(documents);
    dialog->selectFile(QLatin1String(kDefaultExportName) + QLatin1Char('.') + QLatin1String(kExportType));
    dialog->setLabelText(QFileDialog::Accept, platform::localizedString(QStringLiteral("ExportMovieButton")));
    return dialog;
}

QString QuickTimeExporter::settingsPathFor(const QString& moviePath)
{
    const QFileInfo info(moviePath);
    return info.dir().filePath(QString::fromLatin1(kSettingsSuffix).arg(info.completeBaseName()));
}

bool QuickTimeExporter::doStartExportMovieTask(const QString& moviePath, const QString& destPath,
                                               const ConversionSettings& exportSettings)
{
    const QString folder = QFileInfo(destPath).absolutePath();
    if (!mediatool::canWriteInto(folder)) {
        qCWarning(lcDeviceWindow).noquote() << "movie not exported: the folder" << folder << "is not writable";
        return false;
    }
    const quint64 generation = m_generation.load();
    m_pool.start([this, moviePath, destPath, exportSettings, generation] {
        if (m_generation.load() != generation) {
            toHandler([](QuickTimeExporterHandler* handler) {
                handler->startExport();
                handler->stopExport(false);
            });
            return;
        }
        doMovieExport(moviePath, destPath, exportSettings);
    });
    return true;
}

bool QuickTimeExporter::doStartUserExportMovieTask(const QString& moviePath)
{
    QString destPath = m_savePathChooser ? m_savePathChooser() : QString();
    if (destPath.isEmpty())
        return false;
    if (QFileInfo(destPath).suffix().isEmpty())
        destPath += QLatin1Char('.') + QLatin1String(kExportType);
    ConversionSettings proposal = ExportSettingsDialog::defaultSettings();
    if (const auto kept = conversionsettings::readFile(settingsPathFor(destPath)))
        proposal = *kept;
    const std::optional<ConversionSettings> settings = m_settingsChooser ? m_settingsChooser(proposal) : std::nullopt;
    if (!settings)
        return false;
    if (!conversionsettings::writeFile(settingsPathFor(destPath), *settings))
        return false;
    return doStartExportMovieTask(moviePath, destPath, *settings);
}

bool QuickTimeExporter::doMovieExport(const QString& moviePath, const QString& destPath,
                                      const ConversionSettings& exportSettings)
{
    const quint64 generation = m_generation.load();
    toHandler([](QuickTimeExporterHandler* handler) { handler->startExport(); });
    double lastPercent = -1;
    const auto outcome = mediatool::transcode(
        moviePath, destPath, exportSettings.outputArguments(),
        [this, &lastPercent](double part) {
            const double percent = part * 100;
            if (percent <= lastPercent)
                return;
            lastPercent = percent;
            toHandler([percent](QuickTimeExporterHandler* handler) { handler->exportInProcess(percent); });
        },
        [this, generation] { return m_generation.load() != generation; });
    const bool ok = outcome.ok;
    toHandler([ok](QuickTimeExporterHandler* handler) { handler->stopExport(ok); });
    return ok;
}

bool QuickTimeExporter::expectedMovieSize(const QString& moviePath, const ConversionSettings& exportSettings,
                                          qint64* movieSize)
{
    const std::optional<QJsonObject> probed = mediatool::probe(moviePath);
    const std::optional<double> seconds = probed ? mediatool::duration(*probed) : std::nullopt;
    if (!seconds)
        return false;
    const double bitsPerSecond = (exportSettings.videoCodec.isEmpty() ? 0 : exportSettings.videoBitRate)
        + (exportSettings.audioCodec.isEmpty() ? 0 : exportSettings.audioBitRate);
    if (movieSize)
        *movieSize = qint64(*seconds * bitsPerSecond / 8);
    return true;
}

void QuickTimeExporter::cancelExport()
{
    ++m_generation;
}

bool QuickTimeExporter::waitForExports(int milliseconds)
{
    return m_pool.waitForDone(milliseconds);
}

void QuickTimeExporter::toHandler(std::function<void(QuickTimeExporterHandler*)> call)
{
    if (!m_handler)
        return;
    auto deliver = [this, call = std::move(call)] { call(m_handler); };
    if (QThread::currentThread() == thread())
        deliver();
    else
        QMetaObject::invokeMethod(this, std::move(deliver), Qt::QueuedConnection);
}
