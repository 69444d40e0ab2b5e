// The address page's input-check boxes, as an application framework shows them: OK,
// exclamation icon, titled with the application's name, owned by the main window.
#pragma once

#include <string>

int AppMessageBox(const std::wstring& text);

// The 450 Hz, 300 ms tone that precedes an input-check box.
void WarningBeep();
