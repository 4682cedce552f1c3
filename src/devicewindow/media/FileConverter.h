#pragma once

#include <QString>

// The shared media converter. What the program uses of it is the alias
// resolution of folders that the user may have replaced by a link; the
// conversions for the phone come with the media center.
class FileConverter {
public:
    static FileConverter& sharedFileConverter();

    // A folder's path through a symbolic link (see resolveAliasToDirectory in
    // foundation/FileManagerAdds.h): null for a plain file, a link to one or
    // a broken link; a missing path answers itself.
    QString resolveAliasToDirectory(const QString& path) const;

private:
    FileConverter() = default;
};
