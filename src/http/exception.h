// Exceptions of the HTTP layer. A platform failure is thrown as a pointer to a
// heap-made CInternetException; whoever catches it owns it and frees it with
// Discard once it has read errorCode.
#pragma once

#include <windows.h>

#include "http/object.h"

class CException : public CObject {
public:
    static const CRuntimeClass classCException;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCException; }

    void Discard();

    BOOL autoDelete;  // true for an exception made on the heap, which Discard frees

protected:
    explicit CException(BOOL autoDelete) : autoDelete(autoDelete) {}
};

class CInternetException : public CException {
public:
    static const CRuntimeClass classCInternetException;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCInternetException; }

    CInternetException(DWORD errorCode, DWORD_PTR context)
        : CException(TRUE), errorCode(errorCode), context(context)
    {
    }

    DWORD errorCode;    // the platform's Internet error code
    DWORD_PTR context;  // context of the object whose platform call failed
};

// Throws a new CInternetException. An error code of 0 stands for the
// platform's last error, taken before anything else can change it.
[[noreturn]] void RaiseInternetError(DWORD_PTR context, DWORD errorCode);
