// The update page: firmware (*.bin) and web-page (*.ROM) images go to the unit at the
// address the address page holds, checked first by the configuration ping, with a bar
// that advances once a second for the time the unit needs.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "app/page.h"
#include "core/address.h"
#include "core/commissioning.h"
#include "core/upload.h"
#include "win32/controls.h"

class PageFile : public Page {
public:
    // The bar ticks every `tickMs` (a second; tests shorten it).
    PageFile(Services& services, Notices& notices, UINT tickMs = 1000);

    // Each time the update tab is selected: back to idle, and this address from now on.
    void SetCurrentAddress(const IPv4Address& address, const IPv4Address& netmask,
                           const IPv4Address& gateway);

    void OnTransferTick(UINT_PTR id);

    // From the click on "Update" until its outcome has been shown.
    bool Updating() const { return uploadRunning_; }

protected:
    BOOL OnInitDialog() override;
    void OnTimer(UINT_PTR id) override { OnTransferTick(id); }

private:
    // The controls and setting of one kind of image.
    struct ImageSlot {
        Edit path;
        Button browse;
        Button update;
        ProgressBar progress;
        ImageKind kind = ImageKind::Firmware; // its kept path and the file dialog's filter
    };
    ImageSlot& SlotOf(ImageKind kind) { return slots_[static_cast<std::size_t>(kind)]; }

    void LoadPaths();
    void SavePaths();
    void EnableControls(bool enable);
    void Browse(ImageKind kind);
    void RunUpdate(ImageKind kind);
    // The checks before anything is sent: an address, a path, an existing file.
    std::optional<std::wstring> ImageToSend(ImageKind kind);
    void StartUpload(const UploadRequest& request);
    void OnUnitAnswered();
    void OnUploadDone(const SentImage& sent);
    void OnStopping() override;
    void ArmTimer();
    void KillTimer();
    void FinishUpdate();

    std::array<ImageSlot, 2> slots_; // by ImageKind
    IpAddressControl currentDisplay_;
    IPv4Address currentAddress_;
    IPv4Address currentNetmask_;
    IPv4Address currentGateway_;
    ImageKind transferKind_ = ImageKind::WebPages; // the kind of the upload under way
    bool transferRunning_ = false;                 // the fixed wait runs
    bool uploadRunning_ = false;                   // from the click to the outcome box
    bool waitDone_ = false;                        // the fixed wait ran to its end
    std::optional<SentImage> sent_;                // the upload's, once it has returned
    UINT_PTR timerId_ = 0;
    std::optional<UploadDeadline> deadline_; // the unit's time to write the image, once it answered
    UINT tickMs_ = 1000;
};
