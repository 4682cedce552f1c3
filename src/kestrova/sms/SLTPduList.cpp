#include "kestrova/sms/SLTPduList.h"

namespace kestrova {

SLTPduList::SLTPduList() : m_liste(std::make_unique<pduList>())
{
}

// Receivers of the engine's notifications observe by token and remove their
// tokens themselves; the carrier holds no registration of its own.
SLTPduList::~SLTPduList() = default;

} // namespace kestrova
