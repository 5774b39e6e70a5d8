// Root of the HTTP layer's classes. Each class carries a run-time class record
// (its name and its base's record), so code holding a CObject can ask what it
// really is. Objects of the layer own platform handles and are never copied.
#pragma once

struct CRuntimeClass {
    const char* className;
    const CRuntimeClass* baseClass;  // null for CObject

    bool IsDerivedFrom(const CRuntimeClass* other) const;
};

class CObject {
public:
    static const CRuntimeClass classCObject;

    CObject() = default;
    virtual ~CObject() = default;
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;

    virtual const CRuntimeClass* GetRuntimeClass() const { return &classCObject; }
    bool IsKindOf(const CRuntimeClass* runtimeClass) const;
};
