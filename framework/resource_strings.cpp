// String resources of the language satellite.
#include "framework/resource_strings.h"

#include "framework/module.h"

bool LoadResourceString(unsigned id, std::wstring& text) {
  HINSTANCE module = AfxGetResourceHandle();
  if (!module) return false;
  // With a zero buffer size LoadStringW hands out the resource's own read-only text.
  const wchar_t* resource = nullptr;
  const int length = ::LoadStringW(module, id, reinterpret_cast<LPWSTR>(&resource), 0);
  if (length <= 0 || !resource) return false;
  text.assign(resource, static_cast<size_t>(length));
  return true;
}
