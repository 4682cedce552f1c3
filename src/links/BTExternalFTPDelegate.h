#pragma once

#include "links/FileTransferService.h"

#include <QString>

class FileTransferConnection;

// Walks the file-transfer connection to the phone's root and from there
// into "/Phone", waiting (bounded) for the walk's end.
class BTExternalFTPDelegate : public FileTransferServiceDelegate {
public:
    static constexpr int kNoRequest = -21877;
    static constexpr double kWaitSlice = 0.1;
    static constexpr int kWaitPasses = 300; // 30 s

    explicit BTExternalFTPDelegate(FileTransferConnection* connection);
    ~BTExternalFTPDelegate() override;
    BTExternalFTPDelegate(const BTExternalFTPDelegate&) = delete;
    BTExternalFTPDelegate& operator=(const BTExternalFTPDelegate&) = delete;

    QString className() const { return QStringLiteral("BTExternalFTPDelegate"); }
    // The folder the walk ended in (its last component), or a null string
    // on an error (error() tells it) or when the walk did not end in time.
    QString getIncomingPathForRootFolder(const QString& path);
    int error() const { return _error; }
    bool isBusy() const { return _isBusy; }

    void fileTransferServicesPathChangeComplete(int error, const QString& finalPath) override;
    void fileTransferServicesRetrieveFolderListingComplete(int error, const QString& listing);

private:
    FileTransferService* service() const;

    FileTransferConnection* _ftpConnection = nullptr;
    QString _requestPath;
    bool _isBusy = false;
    int _error = 0;
    QString _result;
};
