// The update page: firmware (*.bin) and web-page (*.ROM) images go to the unit at the
// address the address page holds, checked first by the configuration ping, with a bar
// that advances once a second for the time the unit needs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/page.h"
#include "core/address.h"
#include "win32/controls.h"

class PageFile : public Page {
public:
    PageFile(System& system, Notices& notices);
    UINT GetTemplateID() const override;

    // Each time the update tab is selected: back to idle, and this address from now on.
    void SetCurrentAddress(const IPv4Address& address, const IPv4Address& netmask,
                           const IPv4Address& gateway);

    void OnBrowseBin() { Browse(true); }
    void OnBrowseRom() { Browse(false); }
    void OnUpdateBin() { RunUpdate(true); }
    void OnUpdateRom() { RunUpdate(false); }
    void OnTransferTick(UINT_PTR id);

    // From the click on "Update" until its outcome has been shown.
    bool Updating() const { return uploadRunning_; }

    // Tests shorten the one-second tick.
    void SetTickPeriodForTesting(UINT milliseconds) { tickMs_ = milliseconds; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnTimer(UINT_PTR id) override { OnTransferTick(id); }
    void OnWorkStep() override;
    void OnWorkDone(const Outcome& outcome) override;

private:
    struct Kind {
        Edit& path;
        Button& update;
        ProgressBar& progress;
        const wchar_t* setting;
        const wchar_t* extension;
        const wchar_t* filter;
        unsigned ticks;
    };
    Kind KindOf(bool firmware);

    void LoadPaths();
    void SavePaths();
    void EnableControls(bool enable);
    void Browse(bool firmware);
    void RunUpdate(bool firmware);
    void ArmTimer();
    void KillTimer();
    void FinishUpdate();

    Edit binPath_;
    Button binBrowse_;
    Button binUpdate_;
    ProgressBar binProgress_;
    Edit romPath_;
    Button romBrowse_;
    Button romUpdate_;
    ProgressBar romProgress_;
    IpAddressControl currentDisplay_;
    IPv4Address currentAddress_;
    IPv4Address currentNetmask_;
    IPv4Address currentGateway_;
    bool firmwareTransfer_ = false;  // the kind of the upload under way
    bool transferRunning_ = false;   // the fixed wait runs
    bool uploadRunning_ = false;     // from the click to the outcome box
    std::optional<Outcome> outcome_; // the upload's, once it has returned
    UINT_PTR timerId_ = 0;
    unsigned ticksLeft_ = 0;
    UINT tickMs_ = 1000;
};
