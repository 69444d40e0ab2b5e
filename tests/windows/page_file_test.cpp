// The update page, created for real and driven with window messages. The ping is
// scripted; the client it starts is a real process: the stand-in program, kept from the
// test's resources in a client folder of the test's own and told by its environment how
// to end.
#include "app/page_file.h"

#include "win32/roles.h"

#include <chrono>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <memory>

#include <gtest/gtest.h>

#include "res/resource_ids.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"
#include "tests/windows/page_fixture.h"

namespace {

using namespace testing_support;
using Trace = std::vector<std::wstring>;
using Clock = std::chrono::steady_clock;

const EchoReply kAnswered{true, 0};

// The recording client, except that it is started for real from `folder`.
class RealClient : public fakes::FakeClient {
public:
    using FakeClient::FakeClient;
    ClientStart Start(const std::wstring& parameters) override {
        Log off;
        return Win32Client(off, folder).Start(parameters);
    }
    std::wstring folder;
};

std::string HelperBytes() {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return ReadFileBytes(std::filesystem::path(self).parent_path() / "varnok_test_helper.exe");
}

class UpdatePage : public PageFixture<PageFile> {
protected:
    void SetUp() override {
        PageFixture::SetUp();
        client_ = &realClient;
        clock_ = &realClock; // the fixed wait is a deadline on the clock: time must pass
        realClient.folder = (clientHome.path() / "Varnok").wstring();
        for (const wchar_t* name :
             {L"VARNOK_HELPER_EXIT", L"VARNOK_HELPER_SLEEP", L"VARNOK_HELPER_TOUCH"}) {
            ::SetEnvironmentVariableW(name, nullptr);
        }
        for (const char* image : {"unit.bin", "pages.ROM", "image file"}) {
            std::ofstream(image) << "image";
        }
    }
    // The bar ticks every 5 ms.
    std::unique_ptr<PageFile> MakePage() override {
        return std::make_unique<PageFile>(*services_, pc.notices, 5);
    }
    PageFile& Open() { return OpenPage(); }
    // The address the main window hands over when the update tab is selected.
    void HandAddress(const char* address) {
        page_->SetCurrentAddress(Addr(address), Addr("255.255.255.0"), Addr("10.0.0.1"));
    }
    // Clicks "Update" and handles messages until the outcome has been shown.
    void Update(int id) {
        Click(id);
        PumpUntil([this] { return !page_->Updating(); });
    }
    int Position(int id) const {
        return static_cast<int>(::SendMessageW(Item(id), PBM_GETPOS, 0, 0));
    }
    std::wstring Stored(const wchar_t* name) const {
        const StoredValue value = GetValue(L"File", name);
        return value.present ? std::wstring(reinterpret_cast<const wchar_t*>(value.bytes.data()))
                             : L"<missing>";
    }

    ScopedTempDir clientHome;
    ScopedTempDir dir; // the current directory
    RealClient realClient{pc.trace, pc.log};
    Win32Clock realClock;
};

TEST_F(UpdatePage, KeepsTheClientInItsFolderNeverInTheCurrentOne) {
    ::SetEnvironmentVariableW(L"VARNOK_HELPER_TOUCH", (dir.path() / "client-ran").c_str());
    Open();
    HandAddress("10.0.0.5");
    Type(IDC_BIN_PATH, L"unit.bin");
    pc.echoes.replies = {kAnswered};
    Update(IDC_BIN_UPDATE);
    const std::filesystem::path client = std::filesystem::path(realClient.folder) / "tftp.exe";
    EXPECT_NE(ReadFileBytes("client-ran").find(client.string()), std::string::npos);
    EXPECT_EQ(ReadFileBytes(client), HelperBytes()); // the whole embedded image
    EXPECT_FALSE(std::filesystem::exists("tftp.exe"));
}

TEST_F(UpdatePage, StartsWithStoredPathsAndBothUpdateButtonsEnabled) {
    PutValue(L"File", L"BinFile", REG_SZ, WideBytes(L"C:\\fw\\unit.bin"));
    Open();
    EXPECT_EQ(Stored(L"BinFile"), L"C:\\fw\\unit.bin");
    wchar_t text[MAX_PATH] = {};
    ::GetWindowTextW(Item(IDC_BIN_PATH), text, MAX_PATH);
    EXPECT_STREQ(text, L"C:\\fw\\unit.bin");
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_BIN_UPDATE)));
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_ROM_UPDATE)));
    EXPECT_FALSE(::IsWindowVisible(Item(IDC_FLASHING)));
}

TEST_F(UpdatePage, ChecksComeAfterBothPathsAreSaved) {
    const struct {
        const char* address;
        const wchar_t* binPath;
        const wchar_t* message;
    } cases[] = {
        {"0.0.0.0", L"C:\\fw\\unit.bin", L"box IP address is missing"},
        {"0.0.0.0", L"", L"box IP address is missing"},
        {"10.0.0.5", L"", L"box No file selected"},
    };
    for (const auto& c : cases) {
        Open();
        HandAddress(c.address);
        Type(IDC_BIN_PATH, c.binPath);
        Type(IDC_ROM_PATH, L"C:\\web\\pages.ROM");
        pc.trace.Clear();
        Click(IDC_BIN_UPDATE);
        EXPECT_EQ(pc.trace.Lines(), Trace{c.message});
        EXPECT_EQ(Stored(L"BinFile"), c.binPath);
        EXPECT_EQ(Stored(L"WebFile"), L"C:\\web\\pages.ROM");
        EXPECT_TRUE(::IsWindowEnabled(host_));
        page_.reset();
    }
}

TEST_F(UpdatePage, AnUnansweredPingFailsAtOnceAndStartsNoClient) {
    ::SetEnvironmentVariableW(L"VARNOK_HELPER_TOUCH", (dir.path() / "client-ran").c_str());
    Open();
    HandAddress("10.0.0.5");
    Type(IDC_BIN_PATH, L"unit.bin");
    pc.trace.Clear();
    Update(IDC_BIN_UPDATE);
    const Trace& trace = pc.trace.Lines();
    ASSERT_GE(trace.size(), 3u);
    EXPECT_EQ(trace[trace.size() - 3], L"icmp close"); // the ping is released, then the box
    EXPECT_EQ(trace.back(), L"msg 110");
    EXPECT_EQ(std::count(trace.begin(), trace.end(), L"echo 10.0.0.5"), 3);
    EXPECT_EQ(Position(IDC_BIN_PROGRESS), 1); // stays at 1 of 30
    EXPECT_FALSE(std::filesystem::exists("client-ran"));
    EXPECT_TRUE(::IsWindowEnabled(host_));
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_BIN_UPDATE)));
    EXPECT_FALSE(::IsWindowVisible(Item(IDC_FLASHING)));
}

TEST_F(UpdatePage, AnAnsweredPingReportsByTheClientsExitCode) {
    const struct {
        const wchar_t* exitCode;
        bool firmware;
        const wchar_t* outcome;
    } cases[] = {
        {L"0", true, L"msg 108"},
        {L"1", true, L"msg 110|The TFTP client ended with code 1."},
        {L"0", false, L"msg 108"},
        {L"3", false, L"msg 110|The TFTP client ended with code 3."},
    };
    for (const auto& c : cases) {
        ::SetEnvironmentVariableW(L"VARNOK_HELPER_EXIT", c.exitCode);
        ::SetEnvironmentVariableW(L"VARNOK_HELPER_TOUCH", (dir.path() / "client-ran").c_str());
        std::filesystem::remove("client-ran");
        Open();
        HandAddress("10.0.0.5");
        Type(c.firmware ? IDC_BIN_PATH : IDC_ROM_PATH, L"image file");
        pc.echoes.replies = {kAnswered};
        // The client's firewall rule is looked at first; it is in place already here.
        pc.firewall.rule = FirewallRule{L"C:\\work\\tftp.exe", true, true, true, true};
        pc.trace.Clear();
        Update(c.firmware ? IDC_BIN_UPDATE : IDC_ROM_UPDATE);
        EXPECT_EQ(pc.trace.Lines(),
                  (Trace{L"firewall find Varnok TFTP client", L"icmp load", L"icmp create",
                         L"echo 10.0.0.5", L"icmp close", L"icmp free", c.outcome}));
        EXPECT_TRUE(std::filesystem::exists("client-ran"));
        EXPECT_EQ(Position(c.firmware ? IDC_BIN_PROGRESS : IDC_ROM_PROGRESS), 0);
        EXPECT_TRUE(::IsWindowEnabled(host_));
        EXPECT_FALSE(::IsWindowVisible(Item(IDC_FLASHING)));
        page_.reset();
    }
}

// Windows ends the session while the image is still being sent: the client is ended, and
// the record says the upload was cut short before the process goes (the closure that
// would have said it is run then, not left in a message nobody reads).
TEST_F(UpdatePage, TheSessionsEndStillRecordsAnUploadUnderWay) {
    ::SetEnvironmentVariableW(L"VARNOK_HELPER_SLEEP", L"20000");
    Open();
    HandAddress("10.0.0.5");
    Type(IDC_ROM_PATH, L"pages.ROM");
    pc.echoes.replies = {kAnswered};
    Click(IDC_ROM_UPDATE);
    PumpUntil([this] { return Position(IDC_ROM_PROGRESS) > 2; }); // sending, the unit waiting
    page_->StopWork();
    page_->FinishWork();
    const std::string record = pc.store.File(kRecordFile);
    EXPECT_NE(record.find(",FAILED,Interrupted"), std::string::npos) << record;
    EXPECT_FALSE(page_->Updating());
}

TEST_F(UpdatePage, AClientStillSendingAfterTheWaitIsWaitedFor) {
    ::SetEnvironmentVariableW(L"VARNOK_HELPER_SLEEP", L"1500");
    ::SetEnvironmentVariableW(L"VARNOK_HELPER_EXIT", L"0");
    Open();
    HandAddress("10.0.0.5");
    Type(IDC_ROM_PATH, L"pages.ROM");
    pc.echoes.replies = {kAnswered};
    const auto start = Clock::now();
    Click(IDC_ROM_UPDATE); // 15 ticks of 5 ms, then the client's own 1.5 s
    PumpUntil([this] { return Position(IDC_ROM_PROGRESS) == 15; }); // full while it sends
    PumpUntil([this] { return !page_->Updating(); });
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1400));
    EXPECT_EQ(pc.trace.Last(), L"msg 108");
    EXPECT_EQ(Position(IDC_ROM_PROGRESS), 0);
}

TEST_F(UpdatePage, AClientThatCannotStartFailsAfterTheFullWait) {
    Open();
    // Where the client's folder would go lies a file: no folder of Varnok's can be made.
    const std::filesystem::path blocked =
        std::filesystem::path(realClient.folder).parent_path() / "blocked";
    std::ofstream(blocked) << "no folder";
    realClient.folder = (blocked / "Varnok").wstring();
    HandAddress("10.0.0.5");
    Type(IDC_BIN_PATH, L"unit.bin");
    pc.echoes.replies = {kAnswered};
    const auto start = Clock::now();
    Update(IDC_BIN_UPDATE);
    EXPECT_EQ(pc.trace.Last().rfind(L"msg 110|The TFTP client could not be started: ", 0), 0u)
        << pc.trace.Last();
    EXPECT_EQ(Position(IDC_BIN_PROGRESS), 0);                        // the wait ran to its end:
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(150)); // 30 ticks of 5 ms
}

TEST_F(UpdatePage, SelectingTheTabAgainResetsTheBarsAndShowsTheAddress) {
    Open();
    HandAddress("10.0.0.5");
    Type(IDC_BIN_PATH, L"unit.bin");
    Update(IDC_BIN_UPDATE); // unanswered: the bar stays at 1
    ASSERT_EQ(Position(IDC_BIN_PROGRESS), 1);
    HandAddress("10.0.0.9");
    EXPECT_EQ(Position(IDC_BIN_PROGRESS), 0);
    EXPECT_EQ(AddressOf(IDC_CURRENT_IP), MAKEIPADDRESS(10, 0, 0, 9));
    EXPECT_FALSE(::IsWindowEnabled(Item(IDC_CURRENT_IP)));
    page_->OnTransferTick(7); // another timer's tick while idle: nothing happens
    EXPECT_EQ(Position(IDC_BIN_PROGRESS), 0);
}

// Cancels the file dialog from inside its own modal loop.
void CALLBACK CancelFileDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = ::FindWindowW(L"#32770", nullptr);
    if (dialog && ::IsWindowVisible(dialog)) {
        ::KillTimer(nullptr, timer);
        ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
}

TEST_F(UpdatePage, CancellingTheFileDialogChangesNothing) {
    PutValue(L"File", L"BinFile", REG_SZ, WideBytes(L"C:\\fw\\old.bin"));
    Open();
    ::SetTimer(nullptr, 0, 100, CancelFileDialog);
    Click(IDC_BIN_BROWSE);
    wchar_t text[MAX_PATH] = {};
    ::GetWindowTextW(Item(IDC_BIN_PATH), text, MAX_PATH);
    EXPECT_STREQ(text, L"C:\\fw\\old.bin");
    EXPECT_EQ(Stored(L"BinFile"), L"C:\\fw\\old.bin");
}

TEST_F(UpdatePage, OnlyAnExistingFileIsSentAndByItsAbsolutePath) {
    std::filesystem::create_directory("my fw");
    { std::ofstream("my fw\\unit.bin") << "image"; }
    const std::wstring absolute = (dir.path() / "my fw" / "unit.bin").wstring();
    const struct {
        const wchar_t* typed;
        bool sent;
    } cases[] = {
        {L"-h", false},    // would read as the client's help
        {L"my fw", false}, // a folder
        {L"no-such.bin", false},
        {L"   ", false},
        {L"  \"my fw\\unit.bin\"  ", true}, // pasted with Explorer's "Copy as path"
        {L"my fw\\unit.bin", true},         // relative: made absolute
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.typed)));
        const std::filesystem::path marker = dir.path() / "client-ran";
        std::filesystem::remove(marker);
        ::SetEnvironmentVariableW(L"VARNOK_HELPER_TOUCH", marker.c_str());
        Open();
        HandAddress("10.0.0.5");
        Type(IDC_BIN_PATH, c.typed);
        pc.echoes.replies = {kAnswered};
        pc.trace.Clear();
        Update(IDC_BIN_UPDATE);
        if (c.sent) {
            EXPECT_EQ(pc.trace.Last(), L"msg 108");
            const std::string ran = ReadFileBytes(marker);
            EXPECT_NE(ran.find("PUT \"" + std::filesystem::path(absolute).string() + "\""),
                      std::string::npos)
                << ran;
        } else {
            EXPECT_EQ(pc.trace.Lines(), Trace{L"box File not found"}); // before any echo
            EXPECT_FALSE(std::filesystem::exists(marker));
            // The path as typed, selected, to be corrected or typed over (in the page
            // enabled, as the main window enables the page it shows).
            ::EnableWindow(page_->hwnd(), TRUE);
            Update(IDC_BIN_UPDATE);
            EXPECT_EQ(::GetFocus(), Item(IDC_BIN_PATH));
            EXPECT_EQ(::SendMessageW(Item(IDC_BIN_PATH), EM_GETSEL, 0, 0),
                      MAKELONG(0, std::wcslen(c.typed)));
        }
        page_.reset();
    }
}

// Walks into the folder "fw" in the open-file dialog and picks "unit.bin" there, as a
// user does, from inside the dialog's own modal loop.
void CALLBACK PickInSubfolder(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = ::FindWindowW(L"#32770", nullptr);
    HWND name = dialog ? ::GetDlgItem(dialog, 0x47c) : nullptr; // the file name combo box
    if (!dialog || !::IsWindowVisible(dialog) || !name) {
        return;
    }
    static int step = 0;
    const wchar_t* typed = step == 0 ? L"fw" : L"unit.bin";
    ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed));
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    if (++step == 2) {
        step = 0;
        ::KillTimer(nullptr, timer);
    }
}

TEST_F(UpdatePage, BrowsingIntoAFolderLeavesTheWorkingFolderWhereItWas) {
    std::filesystem::create_directory("fw");
    { std::ofstream("fw\\unit.bin") << "image"; }
    Open();
    const std::filesystem::path before = std::filesystem::current_path();
    ::SetTimer(nullptr, 0, 300, PickInSubfolder);
    Click(IDC_BIN_BROWSE);
    wchar_t text[MAX_PATH] = {};
    ::GetWindowTextW(Item(IDC_BIN_PATH), text, MAX_PATH);
    EXPECT_EQ(std::filesystem::path(text), dir.path() / "fw" / "unit.bin");
    EXPECT_EQ(std::filesystem::current_path(), before);
}

} // namespace
