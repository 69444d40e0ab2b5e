// Test entry for the Windows edge: Windows Sockets is started here, as the application
// does at start-up, before any test asks for the local address.
#include <winsock2.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    WSADATA data;
    if (::WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        return 2;
    }
    const int result = RUN_ALL_TESTS();
    ::WSACleanup();
    return result;
}
