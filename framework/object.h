// Root class of framework objects that carry a run-time class (CWmiData derives from it).
#ifndef KCC_FRAMEWORK_OBJECT_H
#define KCC_FRAMEWORK_OBJECT_H

struct CRuntimeClass {
  const char* m_lpszClassName;
};

class CArchive;

class CObject {
public:
  virtual const CRuntimeClass* GetRuntimeClass() const;
  virtual ~CObject() = default;
  virtual void Serialize(CArchive& archive);

protected:
  CObject() = default;
  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;
};

#endif
