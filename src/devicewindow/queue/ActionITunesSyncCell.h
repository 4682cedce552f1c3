#pragma once

#include "widgets/ProgressCycle.h"

#include "devicewindow/queue/ActionMasterView.h"

#include <QPointer>

// A queue row of a music-library sync: beside the bar two rings, one for
// the conversion and one for the transfer, each with a "current/total"
// line. It reads its counts from the job's user info under the six keys
// below (nothing writes them yet).
class ActionITunesSyncCell : public ActionMasterView {
    Q_OBJECT

public:
    static inline const QString kTotalConvertKey = QStringLiteral("ITunesSyncTotalCovertKey");
    static inline const QString kCurrentConvertKey = QStringLiteral("ITunesSyncCurrentCovertKey");
    static inline const QString kTotalTransferKey = QStringLiteral("ITunesSyncTotalTransferKey");
    static inline const QString kCurrentTransferKey = QStringLiteral("ITunesSyncCurrentTransferKey");
    static inline const QString kPercentConvertKey = QStringLiteral("ITunesSyncProzCovertKey");
    static inline const QString kPercentTransferKey = QStringLiteral("kITunesSyncProzTransferKey");
    static constexpr int kRowHeight = 52;
    static constexpr int kRingSide = 30;

    explicit ActionITunesSyncCell(QWidget* parent = nullptr);

    static QString nibName() { return QStringLiteral("ActionITunesSyncCell"); }
    void setFeedBack(const std::shared_ptr<QVFeedBack>& entry) override;
    void feedBackNotify(const platform::Notification& notification) override;
    void setDoAnimate(bool animate) override;
    int rowHeight() const override { return kRowHeight; }

    ProgressCycle* convertProgress() const { return convertProgress_; }
    ProgressCycle* transferProgress() const { return transferProgress_; }
    QLabel* convertInfo() const { return convertInfo_; }
    QLabel* transferInfo() const { return transferInfo_; }

private:
    ProgressCycle* makeRing(const char* name, const QString& accessibleName);
    // Bar and both rings: animated and indeterminate by the job's status.
    void followStatus(int status);

    QPointer<ProgressCycle> convertProgress_;
    QPointer<ProgressCycle> transferProgress_;
    QPointer<QLabel> convertInfo_;
    QPointer<QLabel> transferInfo_;
};
