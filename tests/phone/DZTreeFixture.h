#pragma once

#include "FolderPhoneFixture.h"

#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phone/DZJobTraits.h"

// A job the tree builds in these tests: it waits in the generic pipe and
// ends when the test says so.
class TreeRecordedJob : public QVAction, public DZProgressJob {
public:
    TreeRecordedJob(QString kind, QString path, std::shared_ptr<QVActionNotify> notify, bool progress)
        : QVAction(std::move(notify), QVariant()), kind(std::move(kind)), path(std::move(path)), progress(progress)
    {
    }
    QString actionType() const override { return QStringLiteral("GenericPipe"); }
    int startAction() override { return 0; }
    void didPostToActionPipe() override
    {
        QVAction::didPostToActionPipe();
        if (auto requester = notify())
            requester->didPostAction(*this);
    }
    bool doesActionWantProgress() const override { return progress; }
    QString description() const override { return kind + QLatin1Char(' ') + path; }

    QString kind;
    QString path;
    bool progress;
};

// A phone on the in-memory file connection with a data manager whose jobs
// are recorded.
class DZTreeFixture : public FolderPhoneFixture {
protected:
    DZTreeFixture()
    {
        device = make({});
        const auto record = [this](const QString& kind, bool progress) {
            return [this, kind, progress](const QString& path, DZFileJobMakers::Notify notify) {
                auto job = std::make_shared<TreeRecordedJob>(kind, path, std::move(notify), progress);
                made.append(job);
                return job;
            };
        };
        jobs.listFolder = record(QStringLiteral("list"), false);
        jobs.makeFolder = record(QStringLiteral("mkdir"), true);
        jobs.deleteEntry = record(QStringLiteral("delete"), false);
        jobs.deleteFolder = record(QStringLiteral("deleteFolder"), true);
        jobs.copyToMac = [this](const QString& file, const QString&, qint64, bool, DZFileJobMakers::Notify notify) {
            auto job = std::make_shared<TreeRecordedJob>(QStringLiteral("toMac"), file, std::move(notify), true);
            made.append(job);
            return job;
        };
        manager = std::make_unique<DZDataManager>(*device, jobs);
    }
    ~DZTreeFixture() override
    {
        manager.reset();
        device.reset();
    }

    std::shared_ptr<FTPFile> record(const QString& folder, const QString& name, bool isDirectory, qint64 size = 1)
    {
        return FTPFile::ftpFileWithAttributes(
            {{FTPFile::kName, name}, {FTPFile::kFileTypeKey, isDirectory ? 1 : 0}, {FTPFile::kSize, size}}, folder,
            nullptr);
    }
    QStringList madeKinds() const
    {
        QStringList kinds;
        for (const auto& job : made)
            kinds.append(job->description());
        return kinds;
    }
    QStringList names(const std::shared_ptr<DZDirectoryEntry>& folder) const
    {
        QStringList list;
        for (const auto& entry : folder->entriesNoUpdate())
            list.append(entry->name());
        return list;
    }

    std::unique_ptr<MFDevice> device;
    DZFileJobMakers jobs;
    std::unique_ptr<DZDataManager> manager;
    QList<std::shared_ptr<TreeRecordedJob>> made;
};
