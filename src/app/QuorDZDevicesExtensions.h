#pragma once

#include <QImage>
#include <QString>
#include <QVariantMap>

// Questions asked of a device-database row (a model) by the information
// windows: its display name, what it supports and its picture.
namespace quordz {

// Manufacturer followed directly by model (the model alone without a maker).
QString devName(const QVariantMap& row);
// Compares the rows' names, case-insensitively: <0, 0, >0.
int devNameComparisation(const QVariantMap& row, const QVariantMap& other);

// A text value of the row; empty when absent or not a text or number.
QString textValue(const QVariantMap& row, const QString& key);

// USB: "Dorvanti.DT_USB_Model" present and not empty.
bool supportsUSB(const QVariantMap& row);
// Sending: "Dorvanti.sendSMS" present, not empty and not "NoSMS".
bool supportsSMSSend(const QVariantMap& row);
// Reading: the sync description of "Dorvanti.SyncMLProtocol" has a non-zero
// "SyncML.syncSMS" or a non-empty "SyncML.SMSDatabase".
bool supportsSMSRead(const QVariantMap& row);
inline bool supportsSMSFull(const QVariantMap& row) { return supportsSMSRead(row) && supportsSMSSend(row); }
// The export's mark: "R/W", "W", "R" or empty.
QString smsExportMark(const QVariantMap& row);

// The identification a picture is asked for: "Dorvanti.Identification",
// else "SIEMENS+C81".
QString pictureIdentification(const QVariantMap& row);
// The model's picture, else the image "DefaultHandyLogo".
QImage modelPicture(const QVariantMap& row);

// Whether the information windows show their debugging parts: the
// application controller's flag (the debug switches without one); tests
// may force it.
bool debuggingOn();
void setDebuggingOverride(int value); // -1: none, 0 off, 1 on

} // namespace quordz
