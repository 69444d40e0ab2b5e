// How a start of an outside program went, and why the shell could not start one, in the
// words the log uses. Why a start failed goes to the log (and into an outcome), never
// straight to the user.
#pragma once

#include <string>

class Log;

struct ProgramRun {
    bool started = false;
    std::wstring failure; // why it did not start
    std::wstring output;  // the last line it printed, when it is known
    bool ended = false;   // it ran past its time and was ended: whatever it did, it failed
};

// The English text for a shell start result of 32 or less.
const wchar_t* StartFailureText(long long result);

// Turns a shell start result into a program run: above 32 (signed) is a start; anything
// else is a failure whose text goes to `log`.
ProgramRun ReportStartResult(long long result, Log& log);
