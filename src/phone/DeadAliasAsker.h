#pragma once

#include <QString>

// The application's answer to a root, "Mirrors" folder or anchor that is
// a dead alias: true to delete it and go on, false to quit.
class DeadAliasAsker {
public:
    virtual ~DeadAliasAsker() = default;
    virtual bool askKillDeadAlias(const QString& path) = 0;
};
