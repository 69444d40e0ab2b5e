// The update page.
#include "app/page_file.h"

#include <memory>
#include <optional>
#include <string>

#include "app/image_paths.h"
#include "core/commissioning.h"
#include "res/resource_ids.h"

namespace {

constexpr UINT_PTR kProgressTimer = 1;

} // namespace

PageFile::PageFile(Services& services, Notices& notices, UINT tickMs)
    : Page(IDD_PAGE_FILE, services, notices), tickMs_(tickMs) {
    for (ImageKind kind : {ImageKind::Firmware, ImageKind::WebPages}) {
        SlotOf(kind).kind = kind;
    }
    OnControl(IDC_BIN_BROWSE, [this] { Browse(ImageKind::Firmware); });
    OnControl(IDC_BIN_UPDATE, [this] { RunUpdate(ImageKind::Firmware); });
    OnControl(IDC_ROM_BROWSE, [this] { Browse(ImageKind::WebPages); });
    OnControl(IDC_ROM_UPDATE, [this] { RunUpdate(ImageKind::WebPages); });
    OnControl(IDOK, [this] { SavePaths(); });
}

BOOL PageFile::OnInitDialog() {
    Page::OnInitDialog();
    const struct {
        ImageKind kind;
        int path, browse, update, progress;
    } kControls[] = {
        {ImageKind::Firmware, IDC_BIN_PATH, IDC_BIN_BROWSE, IDC_BIN_UPDATE, IDC_BIN_PROGRESS},
        {ImageKind::WebPages, IDC_ROM_PATH, IDC_ROM_BROWSE, IDC_ROM_UPDATE, IDC_ROM_PROGRESS},
    };
    for (const auto& each : kControls) {
        ImageSlot& slot = SlotOf(each.kind);
        slot.path.Attach(Item(each.path));
        slot.browse.Attach(Item(each.browse));
        slot.update.Attach(Item(each.update));
        slot.progress.Attach(Item(each.progress));
    }
    currentDisplay_.Attach(Item(IDC_CURRENT_IP));
    ::ShowWindow(Item(IDC_FLASHING), SW_HIDE);
    LoadPaths();
    EnableControls(true);
    return TRUE;
}

void PageFile::LoadPaths() {
    for (ImageSlot& slot : slots_) {
        slot.path.SetText(KeptImagePath(services_.settings, slot.kind));
        slot.update.Enable(!slot.path.GetText().empty());
    }
}

void PageFile::SavePaths() {
    for (ImageKind kind : {ImageKind::Firmware, ImageKind::WebPages}) {
        KeepImagePath(services_.settings, kind, SlotOf(kind).path.GetText());
    }
}

void PageFile::EnableControls(bool enable) {
    SetBusy(enable ? Busy::No : Busy::Whole); // the main window as a whole
    for (const ImageSlot& slot : slots_) {
        for (const Control* control :
             std::initializer_list<const Control*>{&slot.path, &slot.browse, &slot.update}) {
            control->Enable(enable);
        }
    }
    ::UpdateWindow(hwnd());
}

void PageFile::Browse(ImageKind kind) {
    ImageSlot& slot = SlotOf(kind);
    const std::optional<std::wstring> chosen = AskImage(hwnd(), kind, slot.path.GetText());
    if (!chosen) {
        return; // cancelled: nothing changes
    }
    slot.path.SetText(*chosen);
    slot.update.Enable(true);
}

void PageFile::SetCurrentAddress(const IPv4Address& address, const IPv4Address& netmask,
                                 const IPv4Address& gateway) {
    transferKind_ = ImageKind::WebPages;
    transferRunning_ = false;
    KillTimer();
    for (const ImageSlot& slot : slots_) {
        slot.progress.SetPos(0);
    }
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

std::optional<std::wstring> PageFile::ImageToSend(ImageKind kind) {
    if (currentAddress_ == IPv4Address{}) {
        // No unit has been addressed yet: nothing to send to.
        notices_.Message(L"IP address is missing");
        return std::nullopt;
    }
    return ImageOfField(SlotOf(kind).path, services_.userFiles, notices_);
}

void PageFile::RunUpdate(ImageKind kind) {
    if (uploadRunning_ || Working()) {
        return;
    }
    SavePaths();
    const std::optional<std::wstring> path = ImageToSend(kind);
    if (!path) {
        return;
    }
    const unsigned ticks = FixedWaitTicks(kind);
    ImageSlot& slot = SlotOf(kind);
    slot.progress.SetRange(0, static_cast<int>(ticks));
    slot.progress.SetPos(1);
    slot.progress.SetStep(1);
    transferKind_ = kind;
    transferRunning_ = false;
    uploadRunning_ = true;
    waitDone_ = false;
    sent_.reset();
    EnableControls(false);
    HWND picture = Item(IDC_FLASHING);
    ::ShowWindow(picture, SW_SHOW);
    ::UpdateWindow(picture);
    StartUpload({currentAddress_, currentNetmask_, currentGateway_, *path, ticks * tickMs_,
                 UnaskedPath(services_.tables.Adapters(), services_.settings, currentAddress_)});
}

void PageFile::StartUpload(const UploadRequest& request) {
    // The ping, the client's start and the wait for its end run off the window's thread;
    // the fixed wait is the page's own timer, armed when the unit answered.
    auto sent = std::make_shared<SentImage>();
    StartWork(
        [this, request, sent](std::stop_token stop) {
            *sent = SendImage(
                services_.Upload(), services_.userFiles, request,
                [this] { Post([this] { OnUnitAnswered(); }); }, stop);
        },
        [this, sent] {
            sent->outcome = Final(sent->outcome);
            OnUploadDone(*sent);
        });
}

void PageFile::OnUnitAnswered() {
    // The unit answered: the fixed wait begins.
    if (!uploadRunning_) {
        return;
    }
    transferRunning_ = true;
    KillTimer();
    deadline_.emplace(services_.clock.Milliseconds(), FixedWaitTicks(transferKind_) * tickMs_);
    ArmTimer();
}

void PageFile::OnUploadDone(const SentImage& sent) {
    sent_ = sent;
    if (!transferRunning_ || Stopping()) {
        FinishUpdate(); // no wait had begun, or it no longer matters
    }
}

void PageFile::OnStopping() {
    // Closed while the unit writes the image: the outcome is final now, and the record
    // says the wait was cut short.
    if (uploadRunning_ && sent_) {
        FinishUpdate();
    }
}

void PageFile::FinishUpdate() {
    const ImageSlot& slot = SlotOf(transferKind_);
    KillTimer();
    if (transferRunning_ ||
        slot.progress.GetPos() == static_cast<int>(FixedWaitTicks(transferKind_))) {
        slot.progress.SetPos(0); // a wait ran: its bar empties
    }
    transferRunning_ = false;
    uploadRunning_ = false;
    // The record's line is written now that the outcome is final.
    const Done done = RecordUpload(services_.record, *sent_, waitDone_);
    if (!Stopping()) {
        ShowOutcome(notices_, done.outcome, UploadFailureReason(done.outcome));
        if (done.recordFailure) {
            notices_.Message(*done.recordFailure);
        }
    }
    ::ShowWindow(Item(IDC_FLASHING), SW_HIDE);
    EnableControls(true);
    if (HWND root = ::GetAncestor(hwnd(), GA_ROOT)) {
        ::SetWindowPos(root, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    }
}

void PageFile::OnTransferTick(UINT_PTR id) {
    if (id != timerId_ || timerId_ == 0 || !deadline_) {
        return;
    }
    ::KillTimer(hwnd(), timerId_); // every tick is armed anew: ticks at least a period apart
    const ImageSlot& slot = SlotOf(transferKind_);
    const unsigned ticks = FixedWaitTicks(transferKind_);
    // The bar follows the unit's time to write the image (the same deadline the list's rows
    // and the command line follow), a step a second from the first.
    const std::uint64_t now = services_.clock.Milliseconds();
    slot.progress.SetPos(static_cast<int>(std::max(1u, deadline_->StepsPassed(now, ticks))));
    if (!deadline_->Over(now)) {
        ArmTimer();
        return;
    }
    timerId_ = 0;
    transferRunning_ = false;
    waitDone_ = true;
    if (sent_) {
        slot.progress.SetPos(0);
        FinishUpdate();
    }
    // Else the client is still sending: the bar stays full until it ends.
}
