// What a shell start result means and what is logged.
#include "core/program_run.h"

#include "core/log.h"

const wchar_t* StartFailureText(long long result) {
    switch (result) {
    case 0:
        return L"The operating system is out of memory or resources.";
    case 2:
        return L"The specified file was not found.";
    case 3:
        return L"The specified path was not found.";
    case 5:
        return L"The operating system denied access to the specified file.";
    case 8:
        return L"There was not enough memory to complete the operation.";
    case 11:
        return L"The .exe file is invalid (non-Microsoft Win32 .exe or error in .exe image).";
    case 26:
        return L"A sharing violation occurred.";
    case 27:
        return L"The file name association is incomplete or invalid.";
    case 28:
        return L"The DDE transaction could not be completed because the request timed out.";
    case 29:
        return L"The DDE transaction failed.";
    case 30:
        return L"The Dynamic Data Exchange (DDE) transaction could not be completed because "
               L"other DDE transactions were being processed.";
    case 31:
        return L"There is no application associated with the given file name extension. This "
               L"error will also be returned if you attempt to print a file that is not "
               L"printable.";
    case 32:
        return L"The specified DLL was not found.";
    default:
        return L"An unknown error occurred.";
    }
}

ProgramRun ReportStartResult(long long result, Log& log) {
    if (result > 32) {
        return {true, L"", L""};
    }
    const wchar_t* text = StartFailureText(result);
    log.Write(text);
    return {false, text, L""};
}
