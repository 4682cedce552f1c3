#pragma once

#include "jobs/QVFeedBack.h"

#include <QList>

#include <memory>

class MFDevice;
class QVAction;
class QVActionMachine;

// Several independent jobs posted together, each into the pipe of its own
// type, shown as one entry with a combined percentage. The container is no job
// and occupies no pipe; once started it lives until its last member ended and
// then posts its own end with that member's code.
class QVActionContainer : public QVFeedBack {
public:
    QVActionContainer();
    explicit QVActionContainer(std::shared_ptr<QVActionMachine> actionMachine);
    ~QVActionContainer() override;

    // A new container of class T for the machine; null without a machine.
    template <class T = QVActionContainer>
    static std::shared_ptr<T> allocQVActionContainer(const std::shared_ptr<QVActionMachine>& actionMachine)
    {
        if (!actionMachine)
            return nullptr;
        return std::make_shared<T>(actionMachine);
    }

    MFDevice* getActionDevice() const;
    MFDevice* getMFDevice() const { return getActionDevice(); }
    std::shared_ptr<QVActionMachine> actionMachine() const { return _actionMachine; }
    QList<std::shared_ptr<QVAction>> actionContainer() const;

    // false once started, without a machine, or when the machine would refuse it.
    virtual bool addActionToContainer(const std::shared_ptr<QVAction>& action);
    virtual unsigned previewCount() const;
    virtual unsigned actionCount() const;
    // Posts every member; false when there is nothing to post.
    virtual bool doStartContainer();
    bool doPostNotify() const override;
    QString description() const override;
    std::shared_ptr<QVFeedBack> refContent() const override;
    bool cancelAction() override;
    int feedBackStatus() const override;
    virtual float calcCurrentProzent() const;
    float lastFeedBackProz() const;
    // A member's report.
    void feedBackNotify(const platform::Notification& notification);

protected:
    std::shared_ptr<QVActionMachine> _actionMachine;
    QList<std::shared_ptr<QVAction>> _actionContainer;
    bool _isRunning = false;
    bool _actionStarted = false;
    std::shared_ptr<QVFeedBack> _lastFeedBackNotify;
    unsigned _actionCount = 0;
    float _lastFeedBackProz = 0.0f;

private:
    // Keeps a started container alive until its last member ended.
    std::shared_ptr<QVFeedBack> _selfWhileRunning;
};
