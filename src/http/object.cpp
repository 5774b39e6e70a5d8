// The run-time class records are plain constants: they need no construction
// at start-up, so any class's record can name its base's from another file.
#include "http/object.h"

const CRuntimeClass CObject::classCObject{"CObject", nullptr};

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* other) const
{
    for (const CRuntimeClass* record = this; record != nullptr; record = record->baseClass) {
        if (record == other)
            return true;
    }
    return false;
}

bool CObject::IsKindOf(const CRuntimeClass* runtimeClass) const
{
    return GetRuntimeClass()->IsDerivedFrom(runtimeClass);
}
