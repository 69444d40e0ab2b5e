// The update page.
#include "app/page_file.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/file_choice.h"
#include "core/commissioning.h"
#include "core/ticks.h"
#include "core/upload.h"
#include "res/resource_ids.h"
#include "win32/settings.h"

namespace {

constexpr wchar_t kSection[] = L"File";
constexpr UINT_PTR kProgressTimer = 1;

// The file dialog's filter: pairs of description and pattern, each ending in a NUL.
constexpr wchar_t kBinFilter[] = L"Binary program files\0*.bin\0All files\0*.*\0";
constexpr wchar_t kRomFilter[] = L"Web program files\0*.ROM\0All files\0*.*\0";

} // namespace

PageFile::PageFile(System& system, Notices& notices) : Page(system, notices) {}

UINT PageFile::GetTemplateID() const {
    return IDD_PAGE_FILE;
}

PageFile::Kind PageFile::KindOf(bool firmware) {
    if (firmware) {
        return {binPath_, binUpdate_, binProgress_, L"BinFile", L"bin", kBinFilter, kFirmwareTicks};
    }
    return {romPath_, romUpdate_, romProgress_, L"WebFile", L"ROM", kRomFilter, kWebPageTicks};
}

BOOL PageFile::OnInitDialog() {
    Page::OnInitDialog();
    binPath_.Attach(Item(IDC_BIN_PATH));
    binBrowse_.Attach(Item(IDC_BIN_BROWSE));
    binUpdate_.Attach(Item(IDC_BIN_UPDATE));
    binProgress_.Attach(Item(IDC_BIN_PROGRESS));
    romPath_.Attach(Item(IDC_ROM_PATH));
    romBrowse_.Attach(Item(IDC_ROM_BROWSE));
    romUpdate_.Attach(Item(IDC_ROM_UPDATE));
    romProgress_.Attach(Item(IDC_ROM_PROGRESS));
    currentDisplay_.Attach(Item(IDC_CURRENT_IP));
    ::ShowWindow(Item(IDC_FLASHING), SW_HIDE);
    LoadPaths();
    EnableControls(true);
    return TRUE;
}

bool PageFile::OnCommand(int id, int code) {
    if (code == BN_CLICKED) {
        switch (id) {
        case IDC_BIN_BROWSE:
            OnBrowseBin();
            return true;
        case IDC_BIN_UPDATE:
            OnUpdateBin();
            return true;
        case IDC_ROM_BROWSE:
            OnBrowseRom();
            return true;
        case IDC_ROM_UPDATE:
            OnUpdateRom();
            return true;
        case IDOK:
            SavePaths();
            return true;
        default:
            break;
        }
    }
    return Page::OnCommand(id, code);
}

void PageFile::LoadPaths() {
    for (bool firmware : {true, false}) {
        const Kind kind = KindOf(firmware);
        kind.path.SetText(GetProfileString(kSection, kind.setting, L""));
        kind.update.Enable(!kind.path.GetText().empty());
    }
}

void PageFile::SavePaths() {
    WriteProfileString(kSection, L"BinFile", binPath_.GetText());
    WriteProfileString(kSection, L"WebFile", romPath_.GetText());
}

void PageFile::EnableControls(bool enable) {
    SetBusy(!enable); // the main window as a whole
    const Control* inputs[] = {&binPath_, &binBrowse_, &binUpdate_,
                               &romPath_, &romBrowse_, &romUpdate_};
    for (const Control* control : inputs) {
        control->Enable(enable);
    }
    ::UpdateWindow(hwnd());
}

void PageFile::Browse(bool firmware) {
    const Kind kind = KindOf(firmware);
    const std::wstring current = kind.path.GetText();
    const std::size_t slash = current.find_last_of(L'\\');
    const std::wstring proposed = slash == std::wstring::npos ? current : current.substr(slash + 1);

    const std::optional<std::wstring> chosen =
        AskFileToOpen(hwnd(), {nullptr, kind.filter, kind.extension, proposed});
    if (!chosen) {
        return; // cancelled: nothing changes
    }
    kind.path.SetText(*chosen);
    kind.update.Enable(true);
}

void PageFile::SetCurrentAddress(const IPv4Address& address, const IPv4Address& netmask,
                                 const IPv4Address& gateway) {
    firmwareTransfer_ = false;
    transferRunning_ = false;
    KillTimer();
    binProgress_.SetPos(0);
    romProgress_.SetPos(0);
    currentAddress_ = address;
    currentNetmask_ = netmask;
    currentGateway_ = gateway;
    currentDisplay_.SetAddress(currentAddress_);
    currentDisplay_.Enable(false);
}

void PageFile::ArmTimer() {
    timerId_ = ::SetTimer(hwnd(), kProgressTimer, tickMs_, nullptr);
}

void PageFile::KillTimer() {
    if (timerId_ != 0) {
        ::KillTimer(hwnd(), timerId_);
        timerId_ = 0;
    }
}

void PageFile::RunUpdate(bool firmware) {
    if (uploadRunning_) {
        return;
    }
    const Kind kind = KindOf(firmware);
    SavePaths();
    if (currentAddress_.Equals(IPv4Address{})) {
        // No unit has been addressed yet: nothing to send to.
        notices_.Message(L"IP address is missing");
        return;
    }
    if (kind.path.GetText().empty()) {
        notices_.Message(L"No file selected");
        return;
    }
    // The client is only ever handed an absolute path to an existing file: a pasted path
    // in quotes works, and a name such as "-h" can never read as one of its options.
    const std::optional<std::wstring> path = ExistingFile(kind.path.GetText());
    if (!path) {
        notices_.Message(L"File not found");
        return;
    }
    kind.progress.SetRange(0, static_cast<int>(kind.ticks));
    kind.progress.SetPos(1);
    kind.progress.SetStep(1);
    firmwareTransfer_ = firmware;
    transferRunning_ = false;
    uploadRunning_ = true;
    outcome_.reset();
    EnableControls(false);
    HWND picture = Item(IDC_FLASHING);
    ::ShowWindow(picture, SW_SHOW);
    ::UpdateWindow(picture);

    // The ping, the client's start and the wait for its end run off the window's
    // thread; the fixed wait is the page's own timer, armed when the unit answered.
    const UploadRequest request{currentAddress_, currentNetmask_, currentGateway_, *path,
                                kind.ticks * tickMs_};
    const HWND page = hwnd();
    StartWork([this, request, page](std::stop_token stop) {
        const Done done = UploadAndRecord(
            system_, request, [page] { ::PostMessageW(page, kWorkStepMessage, 0, 0); }, stop);
        NoteRecordFailure(done.recordFailure);
        return done.outcome;
    });
}

void PageFile::OnWorkStep() {
    // The unit answered: the fixed wait begins.
    if (!uploadRunning_) {
        return;
    }
    transferRunning_ = true;
    KillTimer();
    ticksLeft_ = KindOf(firmwareTransfer_).ticks;
    ArmTimer();
}

void PageFile::OnWorkDone(const Outcome& outcome) {
    outcome_ = outcome;
    if (!transferRunning_ || Stopping()) {
        FinishUpdate(); // no wait had begun, or it no longer matters
    }
}

void PageFile::FinishUpdate() {
    const Kind kind = KindOf(firmwareTransfer_);
    KillTimer();
    if (transferRunning_ || kind.progress.GetPos() == static_cast<int>(kind.ticks)) {
        kind.progress.SetPos(0); // a wait ran: its bar empties
    }
    transferRunning_ = false;
    uploadRunning_ = false;
    if (!Stopping()) {
        ShowOutcome(notices_, *outcome_, UploadFailureReason(*outcome_));
    }
    ::ShowWindow(Item(IDC_FLASHING), SW_HIDE);
    EnableControls(true);
    if (HWND root = ::GetAncestor(hwnd(), GA_ROOT)) {
        ::SetWindowPos(root, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    }
}

void PageFile::OnTransferTick(UINT_PTR id) {
    if (id != timerId_ || timerId_ == 0) {
        return;
    }
    ::KillTimer(hwnd(), timerId_); // every tick is armed anew: ticks at least a period apart
    const Kind kind = KindOf(firmwareTransfer_);
    const int before = kind.progress.StepIt();
    switch (TransferTick(id, timerId_, before, kind.ticks, ticksLeft_)) {
    case TickOutcome::Continue:
        ArmTimer();
        break;
    case TickOutcome::Done:
        timerId_ = 0;
        transferRunning_ = false;
        if (outcome_) {
            kind.progress.SetPos(0);
            FinishUpdate();
        } else {
            // The client is still sending: the bar stays full until it ends.
            kind.progress.SetPos(static_cast<int>(kind.ticks));
        }
        break;
    case TickOutcome::NotOurs:
        break;
    }
}
