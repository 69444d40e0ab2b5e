// The portable half of the TFTP transfer: the client's command line and the start.
#include "upload/tftp.h"

TFTP::TFTP(std::uint16_t resourceId) {
    ExtractClient(resourceId);
}

std::wstring TFTP::PutParameters(const IPv4Address& address, const std::wstring& path) {
    const bool needsQuotes = path.find_first_of(L" \t") != std::wstring::npos;
    return L"-i " + address.ToText() + L" PUT " + (needsQuotes ? L"\"" + path + L"\"" : path);
}

bool TFTP::Put(const IPv4Address& address, const std::wstring& path) {
    // By its full path: a bare name would let the system's search pick another program.
    client_ = StartProgram(ClientPath(), PutParameters(address, path));
    return client_.Started();
}
