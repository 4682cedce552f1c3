#pragma once

#include <QByteArray>
#include <QImage>

// Rewrites one vCard 3.0 text into vCard 2.1 for phones that accept only 2.1:
// TEL, EMAIL, URL, N, ORG, TITLE, FN, ADR and NOTE with 2.1 type words, as
// plain ASCII or quoted-printable; BDAY reduced to its date; binary values
// and the rest dropped; "VERSION:2.1". A photo given by the caller goes in
// before the END line as a JPEG of at most 32768 bytes, shrunk by 0.8 per
// side until it fits (left out when a side would fall below 12 pixels).
class VCard3To21 {
public:
    static constexpr int kPhotoByteLimit = 32768;

    static QByteArray dictionary21ForVCard(const QByteArray& text, const QImage& photo = QImage());

    explicit VCard3To21(const QImage& photo = QImage()) : _photo(photo) {}
    void rewrite(const QByteArray& text);
    const QByteArray& data() const { return _data; }
    // Whether the VERSION value was "3.0" (true before any VERSION).
    bool isVersion30() const { return _isVersion30; }

private:
    void addLine(const QString& name, const QByteArray& value, const QStringList& params);

    QByteArray _data;
    bool _isVersion30 = true;
    QImage _photo;
};
