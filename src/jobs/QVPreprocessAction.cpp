#include "jobs/QVPreprocessAction.h"

#include "jobs/JobCodes.h"
#include "jobs/QVAction.h"

QVPreprocessAction::QVPreprocessAction() = default;
QVPreprocessAction::~QVPreprocessAction() = default;

MFDevice* QVPreprocessAction::getActionDevice() const
{
    return _parentAction ? _parentAction->getActionDevice() : nullptr;
}

int QVPreprocessAction::preErr() const
{
    return _preErr;
}

void QVPreprocessAction::setAction(std::shared_ptr<QVAction> action)
{
    _parentAction = std::move(action);
    if (_parentAction) {
        _parentPriority = _parentAction->priority();
        _parentAction->setPriority(jobpriority::kParked);
    }
}

int QVPreprocessAction::startPreprocess()
{
    return jobcodes::kCannotStart;
}

bool QVPreprocessAction::preprocessed(float percent)
{
    if (auto parent = _parentAction)
        return parent->processAction(percent);
    return false;
}

void QVPreprocessAction::endPreprocess(int code)
{
    _preErr = code;
    auto parent = std::move(_parentAction);   // leaves _parentAction empty
    if (!parent)
        return;
    if (code != 0)
        parent->endAction(code);
    else
        parent->setPriority(_parentPriority);
}
