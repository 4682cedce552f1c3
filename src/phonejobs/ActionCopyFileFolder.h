#pragma once

#include "phonejobs/ActionFTPServices.h"

#include <QHash>
#include <QTemporaryDir>

#include <memory>

// Copies one file between the phone and the desktop, always through the
// files mirror: from the phone into the mirror and from there to the
// destination folder (a current mirror copy is not fetched again), or from
// the desktop into the mirror and from there to the phone. A copy can be
// suspended (it then starts again from the beginning). A phone without a
// files mirror still copies to the desktop: the file is fetched into a
// hidden folder beside its destination and copied on from there likewise.
class ActionCopyFileFolder : public ActionFTPServices {
public:
    // toMac: source is a phone file and destination a desktop folder;
    // otherwise source is a desktop file and destination a phone folder.
    ActionCopyFileFolder(bool toMac, const QString& source, const QString& destination, qint64 fileSize,
                         bool overwritingAllowed, std::shared_ptr<QVActionNotify> notify, QVariant userInfo);
    static std::shared_ptr<ActionCopyFileFolder> actionFromMobileToMac(const QString& phoneFile,
                                                                       const QString& macFolder, qint64 fileSize,
                                                                       bool overwritingAllowed,
                                                                       std::shared_ptr<QVActionNotify> notify,
                                                                       QVariant userInfo = {});
    static std::shared_ptr<ActionCopyFileFolder> actionFromMacToMobile(const QString& macFile,
                                                                       const QString& phoneFolder, qint64 fileSize,
                                                                       bool overwritingAllowed,
                                                                       std::shared_ptr<QVActionNotify> notify,
                                                                       QVariant userInfo = {});

    // Code -> string-table key of the texts that name the source.
    static const QHash<int, QString>& fileErrors();
    QString errorStringForCode(int code) const;
    QString generateErrorString(int code) const override;
    QString description() const override;
    QString displayString() const override;
    QString displaySubString() const override;

    bool canSuspend() const override { return true; }
    bool doSuspendAction() override;
    void resetActionForStartAfterSuspend() override;
    bool isSuspending() const { return _suspend; }

    QString mirrorPathForMobilePath(const QString& phonePath) const;
    bool isSourceInMirror() const;
    bool hasUpToDateMirrorFile() const;
    // The file sent to the phone: the source's copy in the mirror.
    QString copyToMirror();
    // The mirror's copy to the destination: 0, -43 (no mirror copy), -48
    // (the destination exists and may not be replaced) or an I/O error. A
    // replace happens only once the new copy is complete.
    // The destination name is taken (a file, a folder or a link).
    bool destinationTaken() const;
    // Moves a file fetched beside the destination into place.
    int moveFetchedFile();
    int copyFromMirror();

    bool readyToExecute() override;
    int startAction() override;
    void endAction(int code) override;
    QString actionType() const override;
    bool processAction(float percent) override;
    using ActionFTPServices::processAction;

    bool mobileToMac() const { return _mobileToMac; }
    qint64 fileSize() const { return _fileSize; }
    const QString& source() const { return _inSourceFile; }
    const QString& destinationWithFilename() const { return _destinationWithFilename; }
    // A copy to the desktop that lands under another name than the phone's
    // (one word of a path, made safe by the caller). Before the job starts.
    void setDestinationFileName(const QString& name);

private:
    // A copy to the desktop whose file the mirror already holds.
    bool needsNoPhone() const;
    QString sourceMirrorFile() const;

    QString _inSourceFile;
    QString _destination;
    QString _destinationWithFilename;
    qint64 _fileSize = 0;
    bool _overwritingAllowed = false;
    bool _mobileToMac = false;
    bool _suspend = false;
    // This run asked the phone for the file (its mirror copy is ours to drop).
    bool _fetched = false;
    // Where this run fetches the file when the phone has no files mirror;
    // removed with all it holds when the run ends.
    std::unique_ptr<QTemporaryDir> _staging;
    bool _refusedExisting = false;
};
