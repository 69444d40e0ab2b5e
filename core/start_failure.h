// Why the shell could not start a program, in the words the log uses. Why a start failed
// goes to the log (and into an outcome), never straight to the user.
#pragma once

#include <string>

// The English text for a shell start result of 32 or less.
const wchar_t* StartFailureText(long long result);

// Turns a shell start result into a program run: above 32 (signed) is a start; anything
// else is a failure whose text is logged when the log is on.
struct ProgramRun;
ProgramRun ReportStartResult(long long result);
