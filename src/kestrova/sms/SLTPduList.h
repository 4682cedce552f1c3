#pragma once

#include "kestrova/sms/pduList.h"

#include <memory>

namespace kestrova {

// Carries a pduList through the engine's notifications; `state` tells the
// receiver which box the listing came from (-1 until set).
class SLTPduList {
public:
    SLTPduList();
    ~SLTPduList();
    SLTPduList(const SLTPduList&) = delete;
    SLTPduList& operator=(const SLTPduList&) = delete;

    pduList& liste() { return *m_liste; }
    void setState(int state) { m_state = state; }
    int state() const { return m_state; }

private:
    std::unique_ptr<pduList> m_liste;
    int m_state = -1;
};

} // namespace kestrova
