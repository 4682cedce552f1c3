#pragma once

#include "kestrova/core/SLTCommDevice.h"

#include <QByteArray>
#include <QList>
#include <QVariantList>
#include <QVariantMap>

class SLTCommDeviceLgSmsExt;

// The messages of an LG phone over its application port (an engine
// extension): listing the headers, reading each message (in parts), deleting
// messages by their places and asking the service-centre address. Results
// reach the caller's stage as command dictionaries. Main thread only.
class SLTCommDeviceLgMessages {
public:
    // Without a header count from the phone, a listing stops after this many.
    static constexpr int kMaxHeaders = 10000;

    explicit SLTCommDeviceLgMessages(SLTCommDevice& engine);
    SLTCommDeviceLgMessages(const SLTCommDeviceLgMessages&) = delete;
    SLTCommDeviceLgMessages& operator=(const SLTCommDeviceLgMessages&) = delete;

    // Lists the headers and reads the messages, last header first; the stage
    // gets progress steps and then three results, the PDU lists of states 0,
    // 2 and 3. A listing or message answer that cannot be read stops the
    // reading with a failure. Ignored while a reading runs.
    void lgViewtyHeaderReading(const SLTInvocationPtr& stage);
    // One delete frame per distinct place of each message's "memIndexes";
    // the stage gets "lgMessageDeleted" with the message (payload) after its
    // last frame succeeded, then the sequence's end.
    void lgViewtyDeleteSmsArray(const QVariantList& messages, const SLTInvocationPtr& stage);
    // Result: the address text.
    void lgViewtyGetScAddress(const SLTInvocationPtr& stage);
    // The port was closed: a new reading may start.
    void readingEnded() { _getMessagesInProgress = false; }

    // The address of an SMSC answer (unescaped); empty when it holds none.
    static QString extractScAddress(const QByteArray& reply);

private:
    struct Header {
        int place = 0;
        quint8 status = 0;
    };
    SLTCommDeviceLgSmsExt& port();
    void headerStage2(const QVariantMap& result);
    void messageStage2(const QVariantMap& result);
    void deleteStage2(const QVariantMap& result);
    void scAddressStage2(const QVariantMap& result);
    void askHeader(const SLTInvocationPtr& stage);
    void askMessage(const SLTInvocationPtr& stage);
    void nextPlaceOrHandOver(const QVariantMap& result);
    void handOverLists(const QVariantMap& result);
    bool abortedAnswer(const QVariantMap& result);
    void stop(QVariantMap result, const QString& why);
    void extractPduFromData(const QByteArray& reply, quint8 status);

    SLTCommDevice& _engine;
    bool _getMessagesInProgress = false;
    QList<Header> _memPlaces;
    int _maxEntry = 0;
    int _asksOfPlace = 0;
    SLTPduListPtr _pduListe0;
    SLTPduListPtr _pduListe2;
    SLTPduListPtr _pduListe3;
    // Delete frames still to answer, and whether the message of each failed.
    int _deletesLeft = 0;
    QList<bool> _deleteFailed;
};
