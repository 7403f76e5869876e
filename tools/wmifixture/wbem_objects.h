// The fixture provider's WMI objects: services, enumerator, instance, and the module's object count.
#ifndef KCC_TOOLS_WMIFIXTURE_WBEM_OBJECTS_H
#define KCC_TOOLS_WMIFIXTURE_WBEM_OBJECTS_H

#include "tools/wmifixture/fixture_model.h"

#include <windows.h>
#include <wbemidl.h>

#include <memory>

namespace wmifixture {

// Live objects and server locks, for DllCanUnloadNow.
LONG LiveObjects();
void AddLiveObject();
void RemoveLiveObject();

// A services object over a snapshot of the fixture, for its classes of one namespace; the caller owns the
// returned reference.
IWbemServices* CreateServices(std::shared_ptr<const Fixture> fixture, const std::wstring& nameSpace);

// What a WMI that stopped answering does: never returns (the process ends around it).
[[noreturn]] void Hang();

} // namespace wmifixture

#endif
