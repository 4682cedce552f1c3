#pragma once

#include "links/ObexSwitchSettings.h"

#include <QString>
#include <QVariantMap>
#include <memory>

class MFDevice;
class ObexATSwitchTransportLayer;

// Which OBEX transport a SyncML or IrMC connection runs on, from the sync
// description's protocol class and the phone's link:
//
//   "AT..." (not "ATSerial") with "ATObexServer"  AT-switched codec, server
//   other "AT..."                                 AT-switched codec, client
//   IrMC class of a Gigaset                       AT-switched IrMC codec (parks its channel), client
//   other "BT...", Bluetooth                      plain session on the SDP record's channel, client
//   other "BT...", USB                            AT-switched (IrMC) codec, client
struct ObexServiceTransport {
    enum class Kind { None, ATSwitch, ATSwitchIrMC, PlainSession };

    Kind kind = Kind::None;
    bool server = false;
    bool irmc = false;  // the connection is the IrMC one
    quint8 channel = 0; // the plain session's RFCOMM channel

    static bool isIrMCClass(const QString& protocolClass);
    // connType is "Bluetooth" or "USB-Serial"; for the plain session the
    // channel comes from the records of the dictionary's phone (None when
    // it has no such record).
    static ObexServiceTransport choose(const QString& protocolClass, bool isGigaset, const QString& connType,
                                       const QVariantMap& connectionDict);
    // The codec for this choice; nullptr for None.
    std::unique_ptr<ObexATSwitchTransportLayer> make(MFDevice* device, const ObexSwitchSettings& settings,
                                                     const QVariantMap& connectionDict, const QString& connType) const;
};
