#pragma once

#include <QString>

// The folder walk a file-transfer connection offers its folder-listing
// delegate: asynchronous folder changes whose end is told to the delegate.
class FileTransferServiceDelegate {
public:
    virtual ~FileTransferServiceDelegate() = default;
    // error 0 and the folder the connection is now in, or the error.
    virtual void fileTransferServicesPathChangeComplete(int error, const QString& finalPath) = 0;
};

class FileTransferService {
public:
    virtual ~FileTransferService() = default;
    // 0 when the change started (the delegate hears of its end).
    virtual int changeCurrentFolderToRoot() = 0;
    virtual int changeCurrentFolderForwardToPath(const QString& path) = 0;
};
