#include "links/BTExternalFTPDelegate.h"

#include "foundation/NamedLog.h"
#include "foundation/QuickLog.h"
#include "links/FileTransferConnection.h"
#include "links/LinkCodes.h"
#include "platform/RunLoop.h"

#include <QStringList>

namespace {
void logFTP(const QString& line)
{
    QuickLogToNamedLog(qvlog::kXT, QStringLiteral("%1"), line);
}
} // namespace

BTExternalFTPDelegate::BTExternalFTPDelegate(FileTransferConnection* connection)
    : _ftpConnection(connection)
{
    logFTP(QStringLiteral("[%1 initWithFTPConnection]").arg(className()));
}

BTExternalFTPDelegate::~BTExternalFTPDelegate()
{
    if (_ftpConnection) {
        _ftpConnection->setFTPDelegate(nullptr);
        _ftpConnection->setCurrentPath(QString());
    }
}

FileTransferService* BTExternalFTPDelegate::service() const
{
    return _ftpConnection ? static_cast<FileTransferService*>(_ftpConnection->fileTransferService()) : nullptr;
}

QString BTExternalFTPDelegate::getIncomingPathForRootFolder(const QString& path)
{
    FileTransferService* ftp = service();
    if (!ftp)
        return QString();
    _ftpConnection->setFTPDelegate(static_cast<FileTransferServiceDelegate*>(this));
    _requestPath = path.startsWith(QLatin1Char('/')) ? path.mid(1) : path;
    _isBusy = true;
    _error = 0;
    _result.clear();
    if (ftp->changeCurrentFolderToRoot() != 0) {
        _isBusy = false;
        return QString();
    }
    platform::runloop::waitUntil([this] { return !_isBusy; }, kWaitSlice, kWaitPasses);
    if (_isBusy) {
        logFTP(QStringLiteral("### [%1 getIncomingPathForRootFolder] no answer after %2 s")
                   .arg(className())
                   .arg(kWaitSlice * kWaitPasses));
        _isBusy = false;
        _error = links::kIOReturnTimeout;
        return QString();
    }
    return _error != 0 ? QString() : _result;
}

void BTExternalFTPDelegate::fileTransferServicesPathChangeComplete(int error, const QString& finalPath)
{
    logFTP(QStringLiteral("[%1 fileTransferServicesPathChangeComplete] returns %2").arg(className()).arg(error));
    _error = error;
    if (error == 0 && finalPath == QLatin1String("/")) {
        if (_requestPath.isEmpty()) {
            logFTP(QStringLiteral("[%1 fileTransferServicesPathChangeComplete] _requestPath = nil").arg(className()));
            _result = QStringLiteral("/");
            _error = kNoRequest;
            _isBusy = false;
            return;
        }
        logFTP(QStringLiteral("[%1 fileTransferServicesPathChangeComplete] changeCurrentFolderForwardToPath:%2")
                   .arg(className(), _requestPath));
        _requestPath.clear();
        FileTransferService* ftp = service();
        const int status = ftp ? ftp->changeCurrentFolderForwardToPath(QStringLiteral("/Phone"))
                               : links::kIOReturnNotOpen;
        if (status == 0)
            return;
        _result.clear();
        _error = status;
    } else if (error == 0) {
        // The second path component ("/" counts as the first), else the only one.
        QStringList components = finalPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        if (finalPath.startsWith(QLatin1Char('/')))
            components.prepend(QStringLiteral("/"));
        _result = components.size() > 1 ? components.at(1) : components.value(0);
    }
    _isBusy = false;
}

void BTExternalFTPDelegate::fileTransferServicesRetrieveFolderListingComplete(int error, const QString&)
{
    logFTP(QStringLiteral("[%1 fileTransferServicesRetrieveFolderListingComplete] returns %2").arg(className()).arg(error));
}
