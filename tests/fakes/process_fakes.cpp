// Recording stand-ins for starting and watching a program and for writing out the TFTP
// client. Apart from fakes.cpp: the page tests under Wine start real programs.
#include <utility>

#include "common/launcher.h"
#include "tests/fakes/fakes.h"
#include "upload/tftp.h"

using fakes::world;

namespace {
int processToken;
}

StartedProgram StartProgram(const std::wstring& path, const std::wstring& parameters) {
    const fakes::Launch launch{L"open", path, parameters, false};
    world().launches.push_back(launch);
    world().trace.push_back(L"start " + path + L"|" + parameters);
    return ReportStartResult(world().launchSucceeds(launch) ? 33 : 2)
               ? StartedProgram(&processToken)
               : StartedProgram();
}

StartedProgram::StartedProgram(StartedProgram&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)) {}

StartedProgram& StartedProgram::operator=(StartedProgram&& other) noexcept {
    process_ = std::exchange(other.process_, nullptr);
    return *this;
}

StartedProgram::~StartedProgram() = default;

std::optional<unsigned long> StartedProgram::ExitCode() const {
    return process_ ? world().programExitCode : std::nullopt;
}

bool ExtractClient(std::uint16_t resourceId) {
    world().trace.push_back(L"extract " + std::to_wstring(resourceId));
    return true;
}

std::wstring ClientPath() {
    return L"C:\\work\\tftp.exe";
}
