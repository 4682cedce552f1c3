#pragma once

#include "kestrova/core/SLTCommDeviceCommandQueue.h"
#include "kestrova/core/SLTInvocation.h"
#include "kestrova/sms/SLTPduList.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"

#include <QHash>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>
#include <typeindex>
#include <unordered_map>

using SLTPduListPtr = std::shared_ptr<kestrova::SLTPduList>;
Q_DECLARE_METATYPE(SLTPduListPtr)

// The AT engine of the organizer kit. A kit asks it for an operation and
// passes one of its stages; the engine queues command dictionaries in its
// command queue, parses each reply in a stage of its own and answers the
// kit's stage once per result: a notification named by the step's signal
// whose user info holds SLTCommDeviceReturnValue, or an error kind (key and
// value its own name) with SLTCommDeviceCommandStep. Here: the engine, the
// delivery forms, the character-set helpers and the SMS and SIM operations of
// 3GPP TS 27.005 in PDU mode. Main thread only.
class SLTCommDevice : public SLTCommDeviceCommandQueueDelegate {
public:
    static constexpr quint16 kMaxDataPacketSize = 0x3000;
    static constexpr quint16 kMaxTransportPacketSize = 637;
    static constexpr quint16 kLg3MaxDataPacketSize = 7495;
    static constexpr quint16 kLg3MaxTransportPacketSize = 3897;
    // The phone model whose SIM storage is selected for all three uses.
    static constexpr int kSimOnlyModel = 5147;
    static constexpr double kMotorolaStoragePauseSeconds = 1.0;

    SLTCommDevice();
    ~SLTCommDevice() override;
    SLTCommDevice(const SLTCommDevice&) = delete;
    SLTCommDevice& operator=(const SLTCommDevice&) = delete;

    // Configuration.
    void setFamily(const QString& family);
    const QString& family() const { return _family; }
    void setType(int type);
    int type() const { return _type; }
    void setFilename(const QString& path) { _commandQueue->setFilename(path); }
    void setDeviceAddress(const QString& address) { _commandQueue->setDeviceAddress(address); }
    void setWillCloseCallback(SLTWillCloseCallback* callback) { _commandQueue->setWillCloseCallback(callback); }
    void setQuorvalisID(int identifier);
    void setDeviceName(const QString& name) { _deviceName = name; }
    const QString& deviceName() const { return _deviceName; }
    void setStayConnected(bool stay) { _stayConnected = stay; }
    void setSMSValidityPeriod(int period) { _validityPeriod = period; }
    void setCurrentMem(const QString& memory) { _currentMem = memory; }
    void setMemories(const QStringList& memories) { _memories = memories; }
    const QStringList& memories() const { return _memories; }
    void setCurrentEncoding(const QString& encoding) { _currentEncoding = encoding; }
    void setOrigEncoding(const QString& encoding) { _origEncoding = encoding; }
    const QString& currentEncoding() const { return _currentEncoding; }
    const QString& origEncoding() const { return _origEncoding; }
    quint16 maxDataPacketSize() const { return _maxDataPacketSize; }
    quint16 maxTransportPacketSize() const { return _maxTransportPacketSize; }
    bool isConnected() const { return _commandQueue->isConnected(); }
    bool getMessagesInProgress() const { return _getMessagesInProgress; }

    // Control.
    // Queues a close of the link (no result), except on a Bluetooth link that
    // is to stay connected.
    void close(const QString& signal = QString());
    void fullStop();
    // false when the queue has nothing left; else true, and
    // "SLTCommDeviceFinishedQueue" is posted once it has run empty.
    bool notFinishedYet();

    // Vendor operations. Their state lives in an extension object of the
    // engine, one per type, made with the engine as argument on first use
    // and released with the engine; their reply stages are callbacks by
    // name (SLTCommandQueueCommDeviceCallbackSelString).
    template <class T>
    T& extension()
    {
        std::shared_ptr<void>& slot = _extensions[std::type_index(typeid(T))];
        if (!slot)
            slot = std::make_shared<T>(*this);
        return *static_cast<T*>(slot.get());
    }
    using CommandCallback = std::function<void(const QVariantMap& result)>;
    void registerCommandCallback(const QString& selector, CommandCallback callback);
    void addCommand(const QVariantMap& command) { _commandQueue->addCommand(command); }
    void addCommands(const QList<QVariantMap>& commands) { _commandQueue->addCommands(commands); }

    // Result plumbing.
    static SLTInvocationPtr getInvocationForSelector(std::weak_ptr<const void> target,
                                                     SLTInvocation::NotificationStage stage,
                                                     SLTInvocation::CommandStage commandStage = {});
    void commandResult(const platform::Notification& notification) override;
    void performCommandCallback(const QString& selector, const QVariantMap& result) override;
    // Answers the stage of the queue's notification with the result (invalid:
    // the reply could not be used) or the error kind the notification holds.
    void returnResult(const QVariant& result, const platform::Notification& notification);
    void returnOkResultforCommandRequest(QVariantMap command);
    void returnResultforCommandRequest(QVariantMap command);
    void returnProgressforCommandRequest(const QVariantMap& command, int current, int max);

    // Character sets of AT+CSCS.
    QString convertToCurrentEncoding(const QString& text) const;
    QString convertToNSStringEncoding(const QString& field) const;
    static QString parseCurrentTerminalEncoding(const QString& reply);
    QString getEncodedStringForEncoding(const QString& current, const QString& wanted) const;
    static QString stripQuotationMarks(const QString& field);

    // SMS and SIM operations; the last argument is the kit's stage.
    void getImsi(const SLTInvocationPtr& stage);
    void getSmscAddress(const SLTInvocationPtr& stage);
    void setPreferredSmsMemory(const SLTInvocationPtr& stage);
    void getMessagesInbox(const SLTInvocationPtr& stage);
    void getMessagesDrafts(const SLTInvocationPtr& stage);
    void getMessagesSent(const SLTInvocationPtr& stage);
    void getFreeMemory(const SLTInvocationPtr& stage);
    void getFreeMemorySM(const SLTInvocationPtr& stage);
    void deleteSms(const QVariantMap& message, const SLTInvocationPtr& stage);
    void deleteSmsArray(const QVariantList& messages, const SLTInvocationPtr& stage);
    void deleteSmsArray(const QVariantList& messages, const std::optional<QVariantList>& current,
                        const SLTInvocationPtr& stage);
    void deleteSmsFinished(const SLTInvocationPtr& stage);
    void sendTextMessage(const QString& text, const QStringList& recipients, bool specialChars,
                         const QString& smsc, const SLTInvocationPtr& stage);

    // The SIM phonebook of 27.007 (SLTCommDevicePhonebook.cpp). Each
    // operation but the parameters and the deletes switches the phone to the
    // richest character set it offers and back to its own. A failed step
    // reaches the stage once with its error kind, the rest of the operation
    // is dropped, and a switched set is switched back unless the link failed.
    void getPhoneBookParameters(const SLTInvocationPtr& stage);
    void getPhoneBookEntriesFrom(int first, int last, const SLTInvocationPtr& stage);
    void writePhoneBookEntry(const QVariantMap& entry, const SLTInvocationPtr& stage);
    void writeNewPhoneBookEntries(const QVariantList& entries, const SLTInvocationPtr& stage);
    void deletePhoneBookEntries(const QVariantList& locations, const SLTInvocationPtr& stage);
    // "start", "end", "maxNumberLength", "maxNameLength" of an AT+CPBR=? reply.
    static std::optional<QVariantMap> parsePhoneBookParameters(const QString& reply);
    // The same from a one-line answer "+X: (start-end),number,name,..." of
    // minFields to maxFields fields.
    static std::optional<QVariantMap> parsePhoneBookLimits(const QString& reply, qsizetype minFields,
                                                           qsizetype maxFields);
    // The entries of an AT+CPBR reply in the set in force; a line that gives
    // none is skipped with a log line.
    QVariantList parsePhoneBookEntries(const QString& reply) const;
    // The set named by an AT+CSCS? reply (a UCS2-coded name decoded).
    static std::optional<QString> parseCurrentEncodingAnswer(const QString& reply);
    // The AT+CPBW line that stores an entry at the first free location in the
    // set in force; nullopt for a number that cannot stand in the command.
    std::optional<QString> composePhoneBookWrite(const QVariantMap& entry) const;
    QString clearPhoneBookLocationCommand(int location) const;

    // Command dictionaries for the engine's queue (the vendor operations
    // build theirs with these and fill placeholders through the queue).
    QVariantMap makeCommand(const SLTInvocationPtr& stage, const char* signal, int requestedState,
                            const QString& text = QString()) const;
    QVariantMap makeSequenceEnd(const SLTInvocationPtr& stage, const char* signal,
                                const QVariant& payload = QVariant()) const;
    QVariantMap makePlaceholder(const SLTInvocationPtr& stage, const char* signal) const;
    SLTCommDeviceCommandQueue& commandQueue() { return *_commandQueue; }

    // Reply parsers (pure; also for fuzzing and benchmarks).
    static QString parseImsi(const QString& reply);
    static std::optional<QString> parseSmscAddress(const QString& reply);
    static std::optional<QString> parsePduMemoriesFrom(const QString& reply, const QString& family);
    static std::optional<QStringList> parseReadingPduMemoriesFrom(const QString& reply);
    static std::optional<QVariantList> parseFreeMemory(const QString& reply, const QString& family);
    static QString parseMR(const QString& reply);
    // Adds the listed PDUs of one storage to the list of their box.
    void getMessagesParseBuffer(const QString& reply, int state, const QString& memory);
    // The list of a box: 0 (inbox), 2 (drafts), 3 (sent); null when not made.
    SLTPduListPtr messageList(int state) const;

protected:
    // An engine over a queue of the caller's (tests give one with a
    // transport of their own).
    explicit SLTCommDevice(std::unique_ptr<SLTCommDeviceCommandQueue> queue);

private:
    // A notification for a stage on a later pass of the loop (nothing was
    // queued for it).
    void deliverLater(const SLTInvocationPtr& stage, const QString& name, const QVariantMap& userInfo);
    void deliverKindLater(const SLTInvocationPtr& stage, const QString& name, const char* kind);
    void deliverValue(const platform::Notification& notification, const QString& name, const QVariant& value);
    std::optional<QList<QVariantMap>> deleteCommands(const QVariantMap& message, const SLTInvocationPtr& stage,
                                                    const char* stepSignal, const char* endSignal) const;
    SLTPduListPtr& listForState(int state);

    // Engine stages.
    void imsiStage(const platform::Notification& n);
    void smscStage(const platform::Notification& n);
    void preferredMemoryStage2(const platform::Notification& n);
    void preferredMemoryStage3(const platform::Notification& n);
    void inboxStage2(const platform::Notification& n);
    void listStep(const platform::Notification& n);
    void listEnd(const platform::Notification& n);
    void freeMemoryStage(const platform::Notification& n);
    void deleteStage(const platform::Notification& n);
    void sendStage(const platform::Notification& n);
    void insertStoredSend();

    // SIM phonebook stages.
    void phonebookParametersStage(const platform::Notification& n);
    void phonebookReadStage(const platform::Notification& n);
    void phonebookWriteStage(const platform::Notification& n);
    void phonebookWriteNewStage(const platform::Notification& n);
    void phonebookDeleteStage(const platform::Notification& n);
    static void addPhonebookStages(QHash<QString, void (SLTCommDevice::*)(const platform::Notification&)>& table);
    // The current set's answer: the prior set stored, or false.
    bool takeCurrentEncoding(const platform::Notification& n);
    // The supported sets' answer: the set for the work chosen and the switch
    // to it put in the placeholder at the head.
    void insertEncodingSwitch(const platform::Notification& n, const char* signal);
    QString encodingSwitchCommand(const QString& wanted, const QString& codedFor) const;
    QVariantMap restoreCommand(const SLTInvocationPtr& stage, const char* signal) const;
    // A failed step: the stage hears its error kind, the rest of the
    // operation is dropped and a switched set is switched back.
    void failPhonebookStep(const platform::Notification& n);

    QString _deviceName;
    QString _family;
    int _quorvalisID = 0;
    int _type = -1;
    std::unique_ptr<SLTCommDeviceCommandQueue> _commandQueue;
    bool _stayConnected = false;
    SLTPduListPtr _pduListe0;
    SLTPduListPtr _pduListe2;
    SLTPduListPtr _pduListe3;
    bool _getMessagesInProgress = false;
    QString _currentMem;
    QStringList _memories;
    QString _mr;
    int _validityPeriod = 0;
    QString _currentEncoding;
    QString _origEncoding;
    quint16 _maxDataPacketSize = kMaxDataPacketSize;
    quint16 _maxTransportPacketSize = kMaxTransportPacketSize;
    platform::NotificationCenter::Token _queueEmptyObserver = 0;
    QHash<QString, CommandCallback> _commandCallbacks;
    // The pause before a PDU stored on the phone is sent from there.
    platform::Timer _storedSendTimer;
    SLTInvocationPtr _storedSendStage;
    // The phone may be in _currentEncoding instead of _origEncoding.
    bool _phonebookEncodingSwitched = false;
    std::unordered_map<std::type_index, std::shared_ptr<void>> _extensions;
};
