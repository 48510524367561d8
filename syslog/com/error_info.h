#pragma once
// The calling thread's error information, as members of the control leave it
// for their caller (GetErrorInfo hands it over once).

#include "syslog/com/com.h"

namespace ostrel {

void SetThreadErrorInfo(ErrorInfo info);
void ClearThreadErrorInfo();
Status TakeThreadErrorInfo(ErrorInfo* info);

}  // namespace ostrel
