// What Varnok is asked to do by its command line: open its window, or commission without
// it (one unit, a list of units, or an upload), or find the units on the network. Only a
// first word that is a command's verb makes a command; any other opens the window. "debug"
// may stand anywhere and is not part of the command.
#pragma once

#include <string>
#include <vector>

struct Command {
    enum Kind { Window, Apply, ApplyList, Upload, UpdateList, Find, NotUnderstood } kind = Window;
    // Apply: serial, address, netmask, gateway; ApplyList: the file; Upload: address, file;
    // UpdateList: the list's file, the firmware and the web pages ("-" for none);
    // Find: nothing, an adapter's address, or the first and last address of a range.
    std::vector<std::wstring> values;
    // "debug", in any letter case, as a whole argument after the program's own name: the
    // diagnostic log is on.
    bool debug = false;
};

// `arguments` with the program's name first.
Command ParseCommand(const std::vector<std::wstring>& arguments);

// The exit codes of a command run without the window.
constexpr int kExitAllSucceeded = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitNotUnderstood = 2;

// How to call it, for a command line that was not understood.
std::wstring UsageText();
