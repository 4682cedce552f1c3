#pragma once

#include "jobs/JobNames.h"
#include "jobs/QVFeedBack.h"

#include <QString>

namespace queue_tests {

// A job entry whose texts, status and answers a test sets.
class ScriptedEntry : public QVFeedBack {
public:
    explicit ScriptedEntry(QString text = QStringLiteral("Reading battery"), int errorHandling = 2)
        : text_(std::move(text)), errorHandling_(errorHandling)
    {
    }
    QString description() const override { return QStringLiteral("Battery check"); }
    QString displayString() const override { return text_; }
    QString displaySubString() const override { return subText; }
    QString statusNibIdent() const override { return nib; }
    int feedBackStatus() const override { return status; }
    int feedBackErrorHandling() const override { return errorHandling_; }
    QString feedBackErrorString() const override { return errorString; }
    QVariant getUserInfo() const override { return userInfo; }
    bool cancelAction() override
    {
        ++cancels;
        return true;
    }
    void end(int code)
    {
        postFeedBackNotify({{jobnames::kFeedBackEntryKey, QVariant::fromValue(shared_from_this())}, {jobnames::kFeedEndActionKey, code}});
    }
    void start()
    {
        postFeedBackNotify({{jobnames::kFeedBackEntryKey, QVariant::fromValue(shared_from_this())}, {jobnames::kFeedStartActionKey, true}});
    }
    void progress(double percent)
    {
        postFeedBackNotify(
            {{jobnames::kFeedBackEntryKey, QVariant::fromValue(shared_from_this())}, {jobnames::kFeedProcessActionKey, percent}});
    }

    QString subText;
    QString errorString = QStringLiteral("The phone does not answer.");
    QVariantMap userInfo;
    QString nib;
    int status = 1;
    int cancels = 0;

private:
    QString text_;
    int errorHandling_;
};

} // namespace queue_tests
