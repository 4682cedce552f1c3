#pragma once

#include "kestrova/core/SLTCommDevice.h"

#include <QString>
#include <QVariantMap>
#include <optional>

// Reads every message of a Samsung phone slot by slot (an engine extension):
// the phone memory "ME", then the SIM "SM", in PDU mode, into the three PDU
// lists of states 0, 2 and 3, which the stage gets as three results in this
// order. Main thread only.
class SLTCommDeviceSamsungExt {
public:
    // The slot count a memory may announce at most.
    static constexpr int kMaxSlots = 10000;

    explicit SLTCommDeviceSamsungExt(SLTCommDevice& engine);
    SLTCommDeviceSamsungExt(const SLTCommDeviceSamsungExt&) = delete;
    SLTCommDeviceSamsungExt& operator=(const SLTCommDeviceSamsungExt&) = delete;

    // Ignored while a reading runs.
    void prepareSamsungReading(const SLTInvocationPtr& stage);

    // Messages stored and slots of a storage answer; nothing for an answer
    // of fewer than 4 fields.
    struct Counts {
        int messages = 0;
        int slots = 0;
    };
    static std::optional<Counts> parseStorageCounts(const QString& reply);
    // The status and PDU text of an at+cmgr answer; nothing without them.
    static std::optional<QPair<int, QString>> parseReadAnswer(const QString& reply);

private:
    void stage2(const QVariantMap& result);
    void queueMemory(const SLTInvocationPtr& stage, bool withInfo);
    void askSlot(const SLTInvocationPtr& stage);
    void fail(QVariantMap result, const QString& why);

    SLTCommDevice& _engine;
    bool _getMessagesInProgress = false;
    QString _currentMem;
    int _pduCount = 0;
    int _currentPdu = 0;
    int _currentEntry = 0;
    int _maxEntry = 0;
    SLTPduListPtr _pduListe0;
    SLTPduListPtr _pduListe2;
    SLTPduListPtr _pduListe3;
};
