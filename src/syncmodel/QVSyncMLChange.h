#pragma once

#include <QVariant>

#include <memory>

// A change record an item list queues during a session and applies after
// it: a four-character command chosen by the list ('adVC' add data, 'chit'
// a desktop sync change) and its parameters. Set once at creation.
class QVSyncMLChange {
public:
    static constexpr quint32 kAddData = 0x61645643;      // 'adVC'
    static constexpr quint32 kEngineChange = 0x63686974; // 'chit'

    QVSyncMLChange(quint32 command, QVariant params) : _command(command), _params(std::move(params)) {}

    static std::shared_ptr<QVSyncMLChange> changeWithParams(quint32 command, const QVariant& params)
    {
        return std::make_shared<QVSyncMLChange>(command, params);
    }

    quint32 command() const { return _command; }
    const QVariant& params() const { return _params; }

private:
    const quint32 _command;
    const QVariant _params;
};
