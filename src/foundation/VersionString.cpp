#include "foundation/VersionString.h"

#include "platform/Bundle.h"

#include <QMetaProperty>

VersionString::VersionString(QObject* versionOutlet)
    : fVersionString(versionOutlet)
{
}

void VersionString::setVersionOutlet(QObject* outlet)
{
    fVersionString = outlet;
}

void VersionString::awakeFromNib()
{
    if (!fVersionString)
        return;
    const QString version = platform::bundle::applicationVersion();
    const QMetaObject* meta = fVersionString->metaObject();
    for (const char* property : { "text", "title" }) {
        const int index = meta->indexOfProperty(property);
        if (index >= 0 && meta->property(index).isWritable()) {
            fVersionString->setProperty(property, version);
            return;
        }
    }
}
