// arp.exe or route.exe in the end-to-end tests' Wine prefix (STANDIN_TOOL names which).
// Appends its command line to the record file, then makes the same change to the Linux
// tables of the network namespace it runs in and waits until `ip` has finished, so that
// when Varnok's wait for this program ends the change is in place.
//
// Environment (paths are Linux paths):
//   VARNOK_E2E_RECORDS      file that gets one line per start: "arp -s 10.77.0.50 00-50-..."
//   VARNOK_E2E_INTERFACE    the PC's side of the segment, for commands that name no interface
//   VARNOK_E2E_LINKS        "10.77.0.1=pc0 5=pc0 ...": the links commands name by address or index
//   VARNOK_E2E_IGNORE       "arp -s" or similar: record such a start but change nothing
//                           (saying so on its output), to show that Varnok notices
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/e2e/standin/translate.h"

#ifndef STANDIN_TOOL
#error "STANDIN_TOOL must name the program this stand-in replaces"
#endif

namespace {

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) {
        out += *text < 128 ? static_cast<char>(*text) : '?';
    }
    return out;
}

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// One argument quoted so that the usual command-line splitting gives it back unchanged.
std::wstring Quote(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
        return Widen(argument);
    }
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += static_cast<wchar_t>(c);
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// Wine starts a Linux program given by its path but gives back no handle to wait on, so
// the shell leaves `ip`'s exit status in a file this program waits for.
int RunIp(const std::vector<std::string>& ipArguments, const std::string& recordFile) {
    const std::string done = recordFile + ".done-" + std::to_string(::GetCurrentProcessId()) + "-" +
                             std::to_string(::GetTickCount64());
    std::vector<std::string> argv{"sh", "-c",
                                  "ip \"$@\"; echo $? > \"$0.tmp\"; mv \"$0.tmp\" \"$0\"", done};
    argv.insert(argv.end(), ipArguments.begin(), ipArguments.end());
    std::wstring commandLine;
    for (const std::string& a : argv) {
        commandLine += (commandLine.empty() ? L"" : L" ") + Quote(a);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(L"Z:\\bin\\sh", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process)) {
        return 1;
    }
    if (process.hProcess) {
        ::CloseHandle(process.hProcess);
        ::CloseHandle(process.hThread);
    }
    const std::wstring doneFile = L"Z:" + Widen(done);
    for (int waited = 0; waited < 5000; waited += 10) {
        std::ifstream in(doneFile.c_str());
        int status = 0;
        if (in >> status) {
            in.close();
            ::DeleteFileW(doneFile.c_str());
            return status;
        }
        ::Sleep(10);
    }
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::string tool = STANDIN_TOOL;
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(Narrow(argv[i]));
    }
    const std::string records = Environment("VARNOK_E2E_RECORDS");
    const std::string line = standin::RecordLine(tool, arguments);
    if (!records.empty()) {
        std::ofstream out((L"Z:" + Widen(records)).c_str(), std::ios::app | std::ios::binary);
        out << line << '\n';
    }
    const auto command = standin::IpCommand(
        tool, arguments,
        standin::ParseLinks(Environment("VARNOK_E2E_INTERFACE"), Environment("VARNOK_E2E_LINKS")));
    if (!command) {
        std::fprintf(stderr, "%s: not understood: %s\n", tool.c_str(), line.c_str());
        return 1;
    }
    const std::string ignore = Environment("VARNOK_E2E_IGNORE");
    if (!ignore.empty() && line.rfind(ignore, 0) == 0) {
        // As the system's own programs say it when they change nothing, on their output.
        std::printf("The %s change was refused.\n", tool.c_str());
        return 0;
    }
    return RunIp(*command, records.empty() ? "/tmp/varnok-standin" : records);
}
