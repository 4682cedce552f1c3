#pragma once

#include <QByteArray>
#include <QString>

namespace kestrova {

class sms;

// One PDU in the PDU mode of AT+CMGS / AT+CMGL (3GPP TS 27.005): the hex text
// with the service-centre part in front, the TPDU length (the AT+CMGS length
// argument) and, for a listed message, its storage index, status and memory.
class pdu {
public:
    pdu() = default;
    explicit pdu(QByteArray text, unsigned storageIndex = 0, int status = 0,
                 QString memory = QStringLiteral("SM"));

    // Fills the text and TPDU length with the next SMS-SUBMIT part of the
    // message; `more` is 1 while further parts remain. 0 or an error number.
    int encodePdu(sms& message, int& more);
    // Decodes an SMS-DELIVER or SMS-SUBMIT into the message. 0, 1 (user data
    // not decodable), 29, 30, 31 (malformed), 32 (message type not handled).
    int decodePdu(sms& message) const;

    const QByteArray& getPduText() const { return m_text; }
    void setPduText(const QByteArray& text) { m_text = text; }
    int getTpduLength() const { return m_tpduLength; }
    unsigned getStorageIndex() const { return m_storageIndex; }
    void setStorageIndex(unsigned index) { m_storageIndex = index; }
    int getStatus() const { return m_status; }
    void setStatus(int status) { m_status = quint8(status); }
    const QString& getMemory() const { return m_memory; }
    void setMemory(const QString& memory) { m_memory = memory; }

private:
    int m_tpduLength = 0;
    unsigned m_storageIndex = 0;
    quint8 m_status = 0;
    QByteArray m_text;
    QString m_memory = QStringLiteral("SM");
};

} // namespace kestrova
