// Raising and freeing the HTTP layer's exceptions.
#include "http/exception.h"

const CRuntimeClass CException::classCException{"CException", &CObject::classCObject};
const CRuntimeClass CInternetException::classCInternetException{"CInternetException",
                                                                &CException::classCException};

void CException::Discard()
{
    if (autoDelete)
        delete this;
}

void RaiseInternetError(DWORD_PTR context, DWORD errorCode)
{
    if (errorCode == 0)
        errorCode = GetLastError();
    throw new CInternetException(errorCode, context);
}
