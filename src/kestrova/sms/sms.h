#pragma once

#include "kestrova/sms/SmsConstants.h"
#include "kestrova/sms/addressList.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <bitset>
#include <memory>
#include <optional>
#include <vector>

namespace kestrova {

class pdu;

// One short message, sent or listed: the TP fields of 3GPP TS 23.040, the
// recipients, the text in its codings and, for a concatenated message, the
// part data. A listed concatenated message keeps the texts of its parts by
// part number (insertMultiPart); its text is built from them when it is
// decoded, with placeholder tags for parts not seen.
class sms {
public:
    // Time-stamp fields: year (since 2000), month, day, hour, minute, second,
    // time-zone offset in quarter hours (signed).
    using Timestamp = std::array<int, 7>;

    sms();
    // A message whose time stamp starts as `now` (a listing gives the empty
    // one: decoding never asks the clock).
    explicit sms(const Timestamp& now);
    ~sms();
    sms(const sms&) = delete;
    sms& operator=(const sms&) = delete;

    // Resets every field; with false the object is being reused.
    void init(bool fromConstructor);
    static Timestamp currentTimestamp();
    void initTimestamp();
    // Seconds of the time stamp on a common scale (only differences count).
    qint64 createTimeType() const;

    // Texts.
    void setUtf8String(const QByteArray& utf8);
    const QByteArray& getUtf8Bytes() const { return m_utf8; }
    int getUtf8Length() const { return int(m_utf8.size()); }
    void setUtf8Bytes(const QByteArray& utf8) { m_utf8 = utf8; }
    QString getUtf8Text() const { return QString::fromUtf8(m_utf8); }
    // The message as UTF-16 units for sending with TP-DCS 8; also kept as the
    // saved copy. Returns the length in units.
    int setUcs2Text(const QString& units);
    const QString& getUcs2Text() const { return m_ucs2; }
    int getUcs2Length() const { return int(m_ucs2.size()); }
    void setGsmCodedText(const QByteArray& coded) { m_gsmCoded = coded; }
    const QByteArray& getGsmCodedText() const { return m_gsmCoded; }
    int getGsmCodedLength() const { return int(m_gsmCoded.size()); }
    // Plain text slot; longer than 35700 bytes: 17.
    int setText(const QString& text);
    const QString& getText() const { return m_text; }

    // Coding.
    void setTP_DCS(int dcs) { m_tpDCS = quint8(dcs); }
    int getTP_DCS() const { return m_tpDCS; }
    SLTSmsCodePage getUsedCodepage() const { return m_codePage; }
    int getTP_MTI() const { return m_tpMTI; }
    int getTP_PID() const { return m_tpPID; }
    void setTP_PID(int pid) { m_tpPID = quint8(pid); }
    // GSM-coded text -> UTF-8 text for TP-DCS 0; other codings unchanged. A
    // joined concatenated message gets the text of its parts in number order,
    // a placeholder tag standing for each part not joined.
    void decodeCodedString();
    void decodeGsmToUtf8();
    // Moves the coded buffer into the UTF-8 slot.
    void decodeUCS2String();
    // UTF-8 text -> GSM-coded text (and its saved copy), code page set.
    void encodeGSMString();
    // Restores the texts consumed by encoding from their saved copies.
    void reloadCharBuffers();

    // Recipients (taken over).
    void setAddressList(std::unique_ptr<addressList> list) { m_recipients = std::move(list); }
    addressList* getAddressList() const { return m_recipients.get(); }

    // Numbers.
    int setSmsc(const QString& number);
    int getSmsc(QString& out) const;
    int setAddress(const QString& number);
    int getAddress(QString& out) const;
    QString getAddress() const;
    int getAddressType() const { return m_addressType; }
    const QString& getAddressDigits() const { return m_address; }
    void unsetAddress();

    // Validity.
    // Relative validity octet; values of 256 and more and negative values
    // give 173. Sets TP-VPF to relative.
    void setRelativeValidity(int octet);
    // "<number><unit>" with the unit "m", "h", "d" or "w".
    int setRelativeValidity(const QString& text);
    int getRelativeValidity() const { return m_tpVP; }
    int setAbsoluteValidity(int year, int month, int day, int hour, int minute, int second,
                            int offsetSeconds);
    const QString& getAbsoluteValidity() const { return m_absoluteValidity; }
    int getValidityFormat() const { return m_tpVPF; }
    int getValidity(int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& zone) const;
    const Timestamp& timestamp() const { return m_timestamp; }
    void setTimestamp(const Timestamp& timestamp) { m_timestamp = timestamp; }
    // Seven octets as 14 hex characters: their raw values; else 29.
    int decodeValidityString2(const QString& text);

    // Flags.
    void setStatusReportRequest(bool on) { m_tpSRR = on ? 0x20 : 0; }
    void setRejectDuplicates(bool on) { m_tpRD = on ? 0x04 : 0; }
    void setReplyPath(bool on) { m_tpRP = on ? 0x80 : 0; }
    // SMS-DELIVER flags as their bit values: status report indication (0x20)
    // and more messages to send (0x04).
    int getTP_SRI() const { return m_tpSRI; }
    int getTP_MMS() const { return m_tpMMS; }
    void setMR(int reference) { m_tpMR = quint8(reference); }
    int getMR() const { return m_tpMR; }

    // Concatenation.
    bool isMultiPart() const { return m_multiPart == 1; }
    // The reference's low octet (what the placeholder tags show).
    int getMultiPartMR() const { return isMultiPart() ? m_concatReference & 0xFF : 0; }
    // The whole reference: 8 or 16 bits as the header carried it.
    int getConcatReference() const { return isMultiPart() ? m_concatReference : 0; }
    int getPartCount() const { return m_partCount; }
    int getPartNumber() const { return m_partNumber; }
    void setConcatenation(int reference, int partCount, int partNumber);
    // Whether `part` belongs to this joined message: same sender, reference,
    // part count, coding and memory, time stamps less than 180 s apart, and a
    // part number not joined yet.
    bool acceptsPart(const sms& part) const;
    // Keeps the part's text under its number. 0 joined; 38 reference
    // differs, 37 part count differs, -1 that number is already joined.
    int insertMultiPart(const sms& part);
    // Makes this message the first joined part of its concatenated message.
    void setMultiPartTags();
    bool hasPart(int partNumber) const;
    bool hasAllParts() const;
    // "<ref-total-nr>" of this message: the part number and 0, else 37-39.
    int parsePartSetNr(const QString& tag, int& partNumber) const;
    static QString multiPartTag(int reference, int partCount, int partNumber);

    // Listing data.
    QString getSmsMemIndex() const { return m_memIndex; }
    QString getSmsMemory() const { return m_memory; }
    QString getSmsStatus() const { return m_status; }
    int getSmsMemIndex(QString& out) const { out = m_memIndex; return 0; }
    int getSmsMemory(QString& out) const { out = m_memory; return 0; }
    int getSmsStatus(QString& out) const { out = m_status; return 0; }
    int setSmsMemIndex(const QString& text) { m_memIndex = text; return 0; }
    int setSmsMemory(const QString& text) { m_memory = text; return 0; }
    int setSmsStatus(const QString& text) { m_status = text; return 0; }
    void setSmsStatusToRead();
    void setSmsStatusToUnread();

    QString createFilename() const;
    const QString& getFilename() const { return m_fileName; }
    bool isEqualToSms(const sms& other) const;

private:
    friend class pdu;

    // The text of one joined part: GSM-coded septets for TP-DCS 0, else
    // UTF-16 units (a surrogate pair may straddle two parts).
    struct Part {
        int number;
        QByteArray coded;
        QString units;
    };

    void init(bool fromConstructor, const Timestamp& now);
    void freeBuffers();
    Part ownPart() const;
    QString joinedText() const;

    quint8 m_smscType = kSmsTypeInternational;
    QString m_smscDigits;
    quint8 m_tpRP = 0;
    quint8 m_tpUDHI = 0;
    quint8 m_tpSRR = 0;
    quint8 m_tpSRI = 0;
    quint8 m_tpVPF = 0x10;
    quint8 m_tpRD = 0;
    quint8 m_tpMMS = 1;
    quint8 m_tpMTI = 1;
    std::unique_ptr<addressList> m_recipients;
    quint8 m_addressType = 0;
    QString m_address;
    quint8 m_tpPID = 0;
    quint8 m_tpDCS = 0;
    quint8 m_tpVP = 173;
    Timestamp m_timestamp{};
    QString m_absoluteValidity;
    quint8 m_tpMR = 0;
    QString m_text;
    QByteArray m_utf8;
    QByteArray m_gsmCoded;
    std::optional<QByteArray> m_savedGsmCoded;
    QString m_ucs2;
    std::optional<QString> m_savedUcs2;
    quint8 m_multiPart = 0;
    quint8 m_partCount = 0;
    quint8 m_partNumber = 0;
    quint16 m_concatReference = 212;
    quint8 m_headerLength = 0;
    quint8 m_headerSeptets = 0;
    QList<int> m_partLengths;   // encoding: the cut of the text into parts
    std::vector<Part> m_parts;  // listing: joined parts by number
    std::bitset<256> m_partsJoined;
    QString m_partUnits;        // listing: the UTF-16 units of a UCS2 part as received
    SLTSmsCodePage m_codePage = kSmsCodePageDefault;
    QString m_status;
    QString m_memIndex;
    QString m_memory;
    QString m_fileName;
};

} // namespace kestrova
