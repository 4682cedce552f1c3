#include "organizer/trash/TrashDrag.h"

#include "foundation/FormattingUtil.h"
#include "foundation/SafeFileName.h"
#include "organizer/OrganizerLog.h"
#include "organizer/trash/TrashKeys.h"
#include "platform/FileIO.h"
#include "platform/Localization.h"
#include "syncmodel/QVVCardElem.h"

#include <QDir>

namespace trashdrag {

namespace {

constexpr int kBytesPerRow = 500;

QVVCardElem* contactOf(const TrashElemPtr& elem)
{
    return elem && elem->getType() == 0 ? dynamic_cast<QVVCardElem*>(elem->syncElem().get()) : nullptr;
}

} // namespace

QString fileName(const QList<TrashElemPtr>& rows)
{
    QVVCardElem* first = rows.isEmpty() ? nullptr : contactOf(rows.first());
    if (!first)
        return QString();
    const QString name = first->entryName();
    QString file;
    if (rows.size() == 1)
        file = name + QStringLiteral(".vcf");
    else
        file = FormattingUtil::stringWithFormat(platform::localizedString(QLatin1String(trashkeys::kOthersFileName)),
                                                {name, int(rows.size() - 1)});
    return safeFileNameFromDescription(file, QStringLiteral("Contact.vcf"));
}

QByteArray fileText(const QList<TrashElemPtr>& rows)
{
    QByteArray text;
    text.reserve(kBytesPerRow * rows.size());
    for (const TrashElemPtr& row : rows) {
        QVVCardElem* contact = contactOf(row);
        if (!contact)
            continue;
        const QString card = contact->foreignVCard21Representation(QSize(0, 0));
        if (card.isEmpty()) {
            qCInfo(lcOrganizer) << "trash entry" << row->getTitleForList() << "gives no vCard; left out of the drag";
            continue;
        }
        text += card.toUtf8();
    }
    return text;
}

QString writeFile(const QList<TrashElemPtr>& rows, const QString& folder)
{
    const QString name = fileName(rows);
    const QByteArray text = fileText(rows);
    if (name.isEmpty() || text.isEmpty())
        return QString();
    const QString path = folder + QLatin1Char('/') + name;
    QString error;
    if (!platform::writeFileAtomically(path, text, &error)) {
        qCWarning(lcOrganizer) << "dragged contacts not written:" << error;
        return QString();
    }
    return path;
}

QString dragFolder()
{
    return QDir::tempPath() + QLatin1Char('/') + QLatin1String(trashkeys::kDragFolder);
}

} // namespace trashdrag
