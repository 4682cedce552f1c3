#include "phonejobs/TranslationAvailabilityChecker.h"

#include "foundation/NamedLog.h"
#include "links/QVDeviceCallback.h"
#include "phone/MFDevice.h"
#include "phone/PhoneFolders.h"
#include "phonejobs/SyncContainerNames.h"

#include <algorithm>

TranslationAvailabilityChecker::TranslationAvailabilityChecker(std::shared_ptr<QVActionNotify> notify,
                                                               QVariant userInfo)
    : ActionGetDirectoryContent(QStringLiteral("/"), std::move(notify), std::move(userInfo))
{
}

std::shared_ptr<TranslationAvailabilityChecker>
TranslationAvailabilityChecker::checkWithNotifier(std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
{
    return std::make_shared<TranslationAvailabilityChecker>(std::move(notify), std::move(userInfo));
}

QString TranslationAvailabilityChecker::description() const
{
    return containernames::kTranslationAvailabilityChecker;
}

QStringList TranslationAvailabilityChecker::specialFolderNamesInRoot() const
{
    QStringList names;
    MFDevice* device = getActionDevice();
    if (!device)
        return names;
    for (const QString& path : device->phoneFolders().allSpecialFolders()) {
        const QString name = path.section(QLatin1Char('/'), 1, 1, QString::SectionSkipEmpty);
        if (!name.isEmpty() && !names.contains(name))
            names.append(name);
    }
    return names;
}

bool TranslationAvailabilityChecker::isFolderMissingInRoot(const QString& name, const FTPFileList& listing)
{
    return std::none_of(listing.cbegin(), listing.cend(),
                        [&](const std::shared_ptr<FTPFile>& file) { return file && file->fileName() == name; });
}

bool TranslationAvailabilityChecker::isMissingMediaFolders(const FTPFileList& listing) const
{
    const QStringList names = specialFolderNamesInRoot();
    return std::any_of(names.cbegin(), names.cend(),
                       [&](const QString& name) { return isFolderMissingInRoot(name, listing); });
}

void TranslationAvailabilityChecker::removeMediaFoldersFromDatabase()
{
    if (_logged)
        return;
    _logged = true;
    QVLOG(qvlog::kXT, containernames::kMissingMediaFoldersFormat.arg(_missing.join(QStringLiteral(", "))));
}

void TranslationAvailabilityChecker::endAction(int code)
{
    if (code == 0 && !hasEnded() && deviceCallback()) {
        const FTPFileList listing = deviceCallback()->resultObject().value<FTPFileList>();
        if (isMissingMediaFolders(listing)) {
            _missing.clear();
            for (const QString& name : specialFolderNamesInRoot()) {
                if (isFolderMissingInRoot(name, listing))
                    _missing.append(name);
            }
            removeMediaFoldersFromDatabase();
        }
    }
    ActionGetDirectoryContent::endAction(code);
}
