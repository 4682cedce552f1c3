#include "devicewindow/media/FileConverter.h"

#include "devicewindow/DeviceWindowLog.h"
#include "devicewindow/media/ExportSettingsDialog.h"
#include "devicewindow/media/MediaTool.h"

#include "foundation/FileManagerAdds.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QThread>
#include <QTransform>

#include <algorithm>
#include <array>

namespace {

constexpr const char* kSettingsResourceFolder = ":/devicewindow/settings/";
constexpr const char* kManualSettingsName = "QT-Setting-Manual";
constexpr int kJpegQuality = 90;

constexpr std::array kPictureExtensions{"jpg", "tif", "gif", "png", "bmp"};
constexpr std::array kMovieExtensions{"mov", "mp3", "aif", "mpeg", "m4v", "m4a", "m4r", "3gp", "mid", "amr"};

template <typename List>
bool hasExtension(const QString& path, const List& extensions)
{
    const QString suffix = QFileInfo(path).suffix();
    for (const char* extension : extensions) {
        if (suffix.compare(QLatin1String(extension), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// The picture, decoded only when its pixel count is within the limit.
std::optional<QImage> readPicture(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) {
        qCWarning(lcDeviceWindow).noquote() << "picture" << path << "not readable:" << reader.errorString();
        return std::nullopt;
    }
    if (qint64(size.width()) * size.height() > FileConverter::kMaxDecodePixels) {
        qCWarning(lcDeviceWindow).noquote() << "picture" << path << "too large to decode:" << size.width() << "x"
                                            << size.height();
        return std::nullopt;
    }
    QImage image = reader.read();
    if (image.isNull()) {
        qCWarning(lcDeviceWindow).noquote() << "picture" << path << "not decoded:" << reader.errorString();
        return std::nullopt;
    }
    return image;
}

bool writeJpeg(const QImage& image, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcDeviceWindow).noquote() << "JPEG" << path << "not written:" << file.errorString();
        return false;
    }
    QImageWriter writer(&file, "jpeg");
    writer.setQuality(kJpegQuality);
    // JPEG has no alpha: flatten onto white rather than onto black.
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    {
        QPainter painter(&flat);
        painter.drawImage(0, 0, image);
    }
    if (!writer.write(flat) || !file.commit()) {
        qCWarning(lcDeviceWindow).noquote() << "JPEG" << path << "not written:" << writer.errorString();
        return false;
    }
    return true;
}

} // namespace

FileConverter::FileConverter()
    : m_chooser(dialogSettingsChooser())
{
    m_pool.setMaxThreadCount(1);
    m_pool.setExpiryTimeout(-1);
    m_guiContext = new QObject;
    if (QCoreApplication* app = QCoreApplication::instance())
        m_guiContext->moveToThread(app->thread());
}

FileConverter::~FileConverter()
{
    cancelConversions();
    m_pool.waitForDone();
    delete m_guiContext;
}

FileConverter& FileConverter::sharedFileConverter()
{
    static FileConverter shared;
    return shared;
}

QString FileConverter::resolveAliasToDirectory(const QString& path) const
{
    return ::resolveAliasToDirectory(path);
}

bool FileConverter::canPreview(const QString& path)
{
    return hasExtension(path, kPictureExtensions);
}

bool FileConverter::canMoviePreview(const QString& path)
{
    return hasExtension(path, kMovieExtensions);
}

QString FileConverter::conversionSettingsName(const QString& codec, bool isMusic, const QSize& pictSize)
{
    const char* pattern = nullptr;
    if (pictSize == QSize(128, 96))
        pattern = "QT-Setting-%1-128x96-%2";
    else if (pictSize == QSize(176, 144))
        pattern = "QT-Setting-%1-176x144-%2";
    else if (pictSize == QSize(320, 240))
        pattern = "QT-Setting-%1-320x240-%2";
    if (!pattern || !conversionsettings::isPlainName(codec.toLower()))
        return {};
    return QString::fromLatin1(pattern).arg(codec, isMusic ? QStringLiteral("M") : QStringLiteral("S"));
}

std::optional<ConversionSettings> FileConverter::getConversionSettings(const QString& codec, bool isMusic,
                                                                       const QSize& pictSize) const
{
    const QString name = conversionSettingsName(codec, isMusic, pictSize);
    if (name.isEmpty())
        return std::nullopt;
    const QString path = QLatin1String(kSettingsResourceFolder) + name + QStringLiteral(".plist");
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return conversionsettings::readFile(path);
}

void FileConverter::setSettingsChooser(SettingsChooser chooser)
{
    QMutexLocker lock(&m_mutex);
    m_chooser = std::move(chooser);
}

FileConverter::SettingsChooser FileConverter::dialogSettingsChooser()
{
    return [](const ConversionSettings& proposal) -> std::optional<ConversionSettings> {
        auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
        if (!app || QThread::currentThread() != app->thread()) {
            qCWarning(lcDeviceWindow) << "export settings cannot be asked for here";
            return std::nullopt;
        }
        return ExportSettingsDialog::choose(proposal, QApplication::activeWindow());
    };
}

QString FileConverter::manualSettingsPath()
{
    return QDir(platform::paths::applicationSupportDirectory()).filePath(QLatin1String(kManualSettingsName));
}

bool FileConverter::convertMovie(const QString& sourceFile, const QString& targetFile,
                                 TransferProgress* transferWindow, const QString& codec, bool isMusic,
                                 const QSize& pictSize, Completion done)
{
    const QString folder = QFileInfo(targetFile).absolutePath();
    if (!mediatool::canWriteInto(folder)) {
        qCWarning(lcDeviceWindow).noquote() << "movie not converted: the folder" << folder << "is not writable";
        return false;
    }
    std::optional<ConversionSettings> settings = getConversionSettings(codec, isMusic, pictSize);
    if (!settings)
        settings = conversionsettings::readFile(manualSettingsPath());
    if (!settings) {
        SettingsChooser chooser;
        {
            QMutexLocker lock(&m_mutex);
            chooser = m_chooser;
        }
        if (chooser) {
            ConversionSettings proposal = ExportSettingsDialog::defaultSettings();
            if (pictSize.isValid() && !pictSize.isEmpty())
                proposal.frameSize = pictSize;
            settings = chooser(proposal);
            if (settings)
                conversionsettings::writeFile(manualSettingsPath(), *settings);
        }
    }
    if (!settings) {
        qCWarning(lcDeviceWindow).noquote() << "movie" << sourceFile << "not converted: no settings for" << codec
                                            << pictSize;
        return false;
    }
    const quint64 generation = m_generation.load();
    const ConversionSettings chosen = *settings;
    m_pool.start([this, sourceFile, targetFile, transferWindow, chosen, generation, done = std::move(done)] {
        runConversion(sourceFile, targetFile, transferWindow, chosen, generation, done);
    });
    return true;
}

void FileConverter::runConversion(const QString& source, const QString& target, TransferProgress* transferWindow,
                                  const ConversionSettings& settings, quint64 generation, Completion done)
{
    auto cancelled = [this, generation] { return m_generation.load() != generation; };
    bool ok = false;
    if (cancelled()) {
        qCInfo(lcDeviceWindow).noquote() << "conversion of" << source << "cancelled before it ran";
    } else {
        {
            QMutexLocker lock(&m_mutex);
            m_curFile = source;
            m_transferWindow = transferWindow;
        }
        movieExportProgressProc(kMovieProgressOpen, 0);
        ok = mediatool::transcode(source, target, settings.outputArguments(),
                                  [this](double part) { movieExportProgressProc(kMovieProgressUpdatePercent, part); },
                                  cancelled)
                 .ok;
        movieExportProgressProc(kMovieProgressClose, ok ? 1 : 0);
        QMutexLocker lock(&m_mutex);
        m_curFile.clear();
        m_transferWindow = nullptr;
    }
    if (done)
        onGuiThread([done, ok] { done(ok); });
}

int FileConverter::movieExportProgressProc(int operation, double percentDone)
{
    if (operation == kMovieProgressUpdatePercent) {
        TransferProgress* window = nullptr;
        {
            QMutexLocker lock(&m_mutex);
            window = m_transferWindow;
        }
        if (window) {
            const double percent = std::clamp(percentDone, 0.0, 1.0) * 100;
            onGuiThread([window, percent] { window->conversionProgress(percent); });
        }
    }
    return -1;
}

void FileConverter::cancelConversions()
{
    ++m_generation;
}

QString FileConverter::curFile() const
{
    QMutexLocker lock(&m_mutex);
    return m_curFile;
}

bool FileConverter::waitForConversions(int milliseconds)
{
    return m_pool.waitForDone(milliseconds);
}

void FileConverter::onGuiThread(std::function<void()> call)
{
    if (QThread::currentThread() == m_guiContext->thread()) {
        call();
        return;
    }
    QMetaObject::invokeMethod(m_guiContext, std::move(call), Qt::QueuedConnection);
}

bool FileConverter::convertToJPEG(const QString& sourceFile, const QString& targetFile) const
{
    const std::optional<QImage> image = readPicture(sourceFile);
    return image && writeJpeg(*image, targetFile);
}

bool FileConverter::convertToRes(const QString& sourceFile, const QString& targetFile, int horPixels, int verPixels,
                                 bool rotate) const
{
    if (horPixels <= 0 || verPixels <= 0 || qint64(horPixels) * verPixels > kMaxDecodePixels) {
        qCWarning(lcDeviceWindow) << "picture not scaled to" << horPixels << "x" << verPixels;
        return false;
    }
    std::optional<QImage> image = readPicture(sourceFile);
    if (!image)
        return false;
    if (rotate)
        image = image->transformed(QTransform().rotate(90));
    const QImage scaled =
        image->scaled(horPixels, verPixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return writeJpeg(scaled, targetFile);
}

int movieExportProgressProc(void* refcon, int operation, double percentDone)
{
    if (!refcon)
        return -1;
    return static_cast<FileConverter*>(refcon)->movieExportProgressProc(operation, percentDone);
}
