#pragma once

#include <memory>

class MFDevice;
class QVAction;

// A preparation step that must finish before its job may start. While it
// runs the job is parked at priority 7 (the pipe does not start it); a step
// that ends with 0 gives the job its priority back, one that ends with an
// error ends the job with that code.
class QVPreprocessAction {
public:
    QVPreprocessAction();
    virtual ~QVPreprocessAction();
    QVPreprocessAction(const QVPreprocessAction&) = delete;
    QVPreprocessAction& operator=(const QVPreprocessAction&) = delete;

    MFDevice* getActionDevice() const;
    MFDevice* getMFDevice() const { return getActionDevice(); }
    int preErr() const;
    // Keeps the job while the step runs and parks it.
    void setAction(std::shared_ptr<QVAction> action);
    std::shared_ptr<QVAction> parentAction() const { return _parentAction; }
    int parentPriority() const { return _parentPriority; }

    // Starts the step's work: 0 = started, else the code to end with. The
    // base cannot prepare anything and answers 0xE0000001.
    virtual int startPreprocess();
    // Progress of the step, shown as the job's progress.
    virtual bool preprocessed(float percent);
    virtual void endPreprocess(int code);

protected:
    std::shared_ptr<QVAction> _parentAction;
    int _parentPriority = 0;
    int _preErr = 0;
};
