// String resources of the language satellite, by id.
#ifndef KCC_FRAMEWORK_RESOURCE_STRINGS_H
#define KCC_FRAMEWORK_RESOURCE_STRINGS_H

#include <string>

// Replaces text with string `id` of the resource module and returns true; when the module or
// the string is missing, returns false and leaves text as it was.
bool LoadResourceString(unsigned id, std::wstring& text);

#endif
