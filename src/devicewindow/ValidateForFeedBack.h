#pragma once

#include "jobs/QVFeedBack.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>

// Revalidates a center's image buttons when a job it handed to the queue
// ends: at once when made, and 0.34 s after the job's end; then it is gone.
// A notification without the end key leaves it registered.
class ValidateForFeedBack : public QObject {
    Q_OBJECT

public:
    static constexpr double kRevalidateDelay = 0.34;

    // Keeps itself alive until the job ends.
    static ValidateForFeedBack* allocValidateForFeedBack(QWidget* view, const std::shared_ptr<QVFeedBack>& entry);
    ~ValidateForFeedBack() override;

    // Validators alive now (for checks).
    static int liveCount();
    void feedBackEndNotify(const platform::Notification& notification);

private:
    ValidateForFeedBack(QWidget* view, const std::shared_ptr<QVFeedBack>& entry);

    QPointer<QWidget> validateView_;
    std::weak_ptr<QVFeedBack> entry_;
    bool ended_ = false;
};
