// The list's "Update all": a cabinet's units brought to one release, the firmware and then
// the web pages to every unit side by side. The rows show where each unit stands.
#include <numeric>

#include "app/image_paths.h"
#include "app/page_list.h"
#include "app/wording.h"
#include "core/text.h"
#include "res/resource_ids.h"

void PageList::UpdateAll() {
    if (Working()) {
        return;
    }
    const std::optional<ImageChoice> images = ChosenImages();
    if (!images) {
        return;
    }
    std::vector<std::size_t> all(units_.size());
    std::iota(all.begin(), all.end(), std::size_t{0});
    // Units that share a MAC are sent their images each at its own address.
    const std::optional<UnitPlan> plan = Plan(all, MacSharing::Together);
    if (!plan) {
        return;
    }
    StartProgress(plan->jobs.size(),
                  ImagesTaken(!images->firmware.empty(), !images->webPages.empty()));
    EnableControls(false);
    StartWork(
        [this, jobs = plan->jobs, images = *images](std::stop_token stop) {
            RunImages({services_.Upload(), services_.userFiles, services_.record}, images, jobs,
                      ImageEventsOfPage(), stop);
        },
        [this] { OnRunDone({}); });
}

std::optional<ImageChoice> PageList::ChosenImages() {
    ImageChoice choice;
    for (ImageKind kind : {ImageKind::Firmware, ImageKind::WebPages}) {
        const Edit& field = kind == ImageKind::Firmware ? firmwarePath_ : webPagesPath_;
        KeepImagePath(services_.settings, kind, field.GetText());
        if (TrimBlanks(field.GetText()).empty()) {
            continue; // either image may be left out
        }
        const std::optional<std::wstring> path = ImageOfField(field, services_.userFiles, notices_);
        if (!path) {
            return std::nullopt;
        }
        (kind == ImageKind::Firmware ? choice.firmware : choice.webPages) = *path;
    }
    if (!choice.Any()) {
        notices_.Message(L"No file selected");
        firmwarePath_.Focus();
        return std::nullopt;
    }
    return choice;
}

void PageList::BrowseImage(ImageKind kind) {
    const Edit& field = kind == ImageKind::Firmware ? firmwarePath_ : webPagesPath_;
    if (const std::optional<std::wstring> chosen = AskImage(hwnd(), kind, field.GetText())) {
        field.SetText(*chosen);
        KeepImagePath(services_.settings, kind, *chosen);
    }
}

ImageEvents PageList::ImageEventsOfPage() {
    // Told from the units' threads: each handed to the window.
    ImageEvents events;
    events.started = [this](std::size_t) {
        Post([this] { (images_ ? *images_ : report_).Started(); });
    };
    events.stage = [this](std::size_t index, ImageStage stage, unsigned secondsLeft) {
        Post([this, index, text = ImageStageText(stage, secondsLeft)] { ShowStatus(index, text); });
    };
    events.image = [this](std::size_t, ImageKind, const Done& done) {
        NoteRecordFailure(done.recordFailure);
    };
    events.finished = [this](std::size_t index, bool took, const Done& failure) {
        Post([this, index, took, failure] { OnUnitImagesDone(index, took, failure); });
    };
    return events;
}

void PageList::OnUnitImagesDone(std::size_t index, bool took, const Done& failure) {
    (images_ ? *images_ : report_).Finished(took);
    // The row says how its images went; the unit's address and its kept state stay.
    list_.SetCell(static_cast<int>(index), kTime, ClockText(services_.clock.Now()));
    ShowStatus(index, UnitStatusText(took, took ? L"" : OutcomeReason(failure.outcome)));
}
