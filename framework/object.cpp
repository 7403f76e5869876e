// Root class of framework objects.
#include "framework/object.h"

const CRuntimeClass* CObject::GetRuntimeClass() const {
  static const CRuntimeClass runtimeClass = {"CObject"};
  return &runtimeClass;
}

void CObject::Serialize(CArchive&) {}
