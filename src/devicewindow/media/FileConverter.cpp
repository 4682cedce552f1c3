#include "devicewindow/media/FileConverter.h"

#include "foundation/FileManagerAdds.h"

FileConverter& FileConverter::sharedFileConverter()
{
    static FileConverter shared;
    return shared;
}

QString FileConverter::resolveAliasToDirectory(const QString& path) const
{
    return ::resolveAliasToDirectory(path);
}
