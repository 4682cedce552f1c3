#pragma once

#include <QObject>
#include <QPointer>

// Shows the program's version in a label or a button: the outlet's "text"
// property when it has one, else its "title" property, else nothing.
class VersionString {
public:
    explicit VersionString(QObject* versionOutlet = nullptr);

    void setVersionOutlet(QObject* outlet);
    void awakeFromNib();

private:
    QPointer<QObject> fVersionString;
};
