// Bringing a list of units to one release.
#include "core/image_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>

#include "core/firewall.h"
#include "core/text.h"
#include "core/turns.h"

namespace {

// The firewall as the units of one run meet it: asked once for all of them, the answers
// kept (the rule is the same for every client the run starts).
class FirewallAskedOnce : public Firewall {
public:
    explicit FirewallAskedOnce(Firewall& firewall) : firewall_(firewall) {}
    std::optional<FirewallRule> FindRule(const std::wstring& name) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!found_) {
            found_ = firewall_.FindRule(name);
        }
        return *found_;
    }
    bool PutRule(const std::wstring& name, const FirewallRule& rule) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!put_ || *found_ != rule) {
            put_ = firewall_.PutRule(name, rule);
            found_ = *put_ ? std::optional<FirewallRule>(rule) : std::nullopt;
        }
        return *put_;
    }
    RulesHeeded LocalRulesHeeded() override {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!heeded_) {
            heeded_ = firewall_.LocalRulesHeeded();
        }
        return *heeded_;
    }

private:
    Firewall& firewall_;
    std::mutex mutex_;
    std::optional<std::optional<FirewallRule>> found_;
    std::optional<bool> put_;
    std::optional<RulesHeeded> heeded_;
};

// The images of a run and the units' sequences.
class ImageBatch {
public:
    // Opens the images chosen, held for the whole run.
    ImageBatch(const ImageRoles& roles, const ImageChoice& images, const ImageEvents& events,
               std::stop_token stop);

    // Sends the units' images until none is left.
    void Work(ImageQueue& queue) {
        while (const std::optional<ListJob> job = queue.Next(stop_)) {
            took_ += Unit(*job) ? 1 : 0;
        }
    }
    std::size_t Took() const { return took_; }

private:
    // One unit: its firmware, then its web pages once the firmware went through.
    bool Unit(const ListJob& job);
    bool Images(const ListJob& job);

    UploadRequest Request(const ListJob& job, const OpenedImage& image, ImageKind kind) const {
        return {job.unit.address,
                job.unit.netmask,
                job.unit.gateway,
                image.path,
                FixedWaitTicks(kind) * 1000,
                job.unit.path};
    }

    // Sends one image to the unit: the check echo, a turn for the transfer, the client, and
    // the unit's time to write it.
    Done Image(const ListJob& job, ImageKind kind, const OpenedImage& image);

    // The unit's time to write the image, its row told each second.
    bool AwaitWriting(const ListJob& job, const UploadDeadline& deadline, ImageStage stage);

    // The web pages' record line of a unit they were not sent to.
    Done NotSent(const ListJob& job, const OpenedImage& image);

    Done Recorded(const ListJob& job, ImageKind kind, const SentImage& sent, bool waited) {
        const Done done = RecordUpload(roles_.record, sent, waited);
        Tell([&] { events_.image ? events_.image(job.index, kind, done) : void(); });
        return done;
    }

    void Stage(const ListJob& job, ImageStage stage, unsigned secondsLeft) {
        Tell([&] { events_.stage ? events_.stage(job.index, stage, secondsLeft) : void(); });
    }

    template <typename Call> void Tell(Call call) {
        const std::lock_guard<std::mutex> lock(eventsMutex_);
        call();
    }

    const ImageRoles& roles_;
    FirewallAskedOnce firewall_;
    const ImageEvents& events_;
    std::stop_token stop_;
    std::optional<OpenedImage> firmware_;
    std::optional<OpenedImage> webPages_;
    Turns transfers_{kTransfersAtOnce};
    std::mutex eventsMutex_;
    std::atomic<std::size_t> took_{0};
};

ImageBatch::ImageBatch(const ImageRoles& roles, const ImageChoice& images,
                       const ImageEvents& events, std::stop_token stop)
    : roles_(roles), firewall_(roles.upload.firewall), events_(events), stop_(stop) {
    if (!images.firmware.empty()) {
        firmware_ = OpenImageToSend(roles.files, images.firmware);
    }
    if (!images.webPages.empty()) {
        webPages_ = OpenImageToSend(roles.files, images.webPages);
    }
}

bool ImageBatch::Unit(const ListJob& job) {
    try {
        return Images(job);
    } catch (const std::exception& error) {
        // An error of Varnok's own ends this unit only.
        Done done;
        done.outcome = {Failure::InternalError, InternalErrorText(FromUtf8(error.what()))};
        Tell([&] { events_.finished ? events_.finished(job.index, false, done) : void(); });
        return false;
    }
}

bool ImageBatch::Images(const ListJob& job) {
    Tell([&] { events_.started ? events_.started(job.index) : void(); });
    std::optional<Done> failure;
    if (firmware_) {
        const Done done = Image(job, ImageKind::Firmware, *firmware_);
        failure = done.outcome.Succeeded() ? std::nullopt : std::optional<Done>(done);
    }
    if (webPages_) {
        const Done done =
            failure ? NotSent(job, *webPages_) : Image(job, ImageKind::WebPages, *webPages_);
        if (!failure && !done.outcome.Succeeded()) {
            failure = done;
        }
    }
    Tell([&] {
        events_.finished ? events_.finished(job.index, !failure, failure.value_or(Done{})) : void();
    });
    return !failure;
}

Done ImageBatch::Image(const ListJob& job, ImageKind kind, const OpenedImage& image) {
    const bool firmware = kind == ImageKind::Firmware;
    Stage(job, ImageStage::Checking, 0);
    const UploadRequest request = Request(job, image, kind);
    Turns::Turn turn;
    std::optional<std::uint64_t> answeredAt;
    const UploadRoles upload{roles_.upload.echoes, roles_.upload.clock, roles_.upload.client,
                             firewall_, roles_.upload.log};
    const SentImage sent = SendOpenedImage(
        upload, image, request,
        [&] {
            // The unit answered: its transfer waits for a turn, and its time to write
            // the image runs from the client's start.
            turn = transfers_.Take(stop_);
            answeredAt = roles_.upload.clock.Milliseconds();
            Stage(job, firmware ? ImageStage::SendingFirmware : ImageStage::SendingWebPages, 0);
        },
        stop_);
    turn.Release();
    const bool waited =
        sent.outcome.Succeeded() && answeredAt &&
        AwaitWriting(job, UploadDeadline(*answeredAt, request.fixedWaitMs),
                     firmware ? ImageStage::FirmwareWriting : ImageStage::WebPagesWriting);
    return Recorded(job, kind, sent, waited);
}

bool ImageBatch::AwaitWriting(const ListJob& job, const UploadDeadline& deadline,
                              ImageStage stage) {
    Clock& clock = roles_.upload.clock;
    for (std::uint64_t now = clock.Milliseconds(); !deadline.Over(now);
         now = clock.Milliseconds()) {
        Stage(job, stage, deadline.SecondsLeft(now));
        // To the next whole second left, so that the countdown steps by seconds.
        const std::uint64_t left = deadline.LeftMs(now);
        const auto slice = static_cast<unsigned>(left % 1000 == 0 ? 1000 : left % 1000);
        if (!clock.PauseUnlessStopped(slice, stop_)) {
            return false;
        }
    }
    return true;
}

Done ImageBatch::NotSent(const ListJob& job, const OpenedImage& image) {
    const UploadRequest request = Request(job, image, ImageKind::WebPages);
    const SentImage sent{WebPagesNotSent(stop_.stop_requested()),
                         UploadEntry(roles_.upload.clock.Now(), image, request)};
    return Recorded(job, ImageKind::WebPages, sent, true);
}

} // namespace

std::wstring ImageStageText(ImageStage stage, unsigned secondsLeft) {
    const std::wstring left = L" (" + std::to_wstring(secondsLeft) + L" s)";
    switch (stage) {
    case ImageStage::Checking:
        return L"checking";
    case ImageStage::SendingFirmware:
        return L"sending firmware";
    case ImageStage::FirmwareWriting:
        return L"firmware: unit writing" + left;
    case ImageStage::SendingWebPages:
        return L"sending web pages";
    case ImageStage::WebPagesWriting:
        return L"web pages: unit writing" + left;
    }
    return L"";
}

Outcome WebPagesNotSent(bool stopped) {
    return {Failure::NotSent,
            stopped ? L"Not sent: the run was stopped." : L"Not sent: the firmware update failed."};
}

void ImageQueue::Push(const ListJob& job) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(job);
    }
    changed_.notify_one();
}

void ImageQueue::Close() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

std::optional<ListJob> ImageQueue::Next(std::stop_token stop) {
    std::unique_lock<std::mutex> lock(mutex_);
    // In slices: no stop callback (see core/turns.h).
    while (jobs_.empty() && !closed_ && !stop.stop_requested()) {
        changed_.wait_for(lock, std::chrono::milliseconds(50));
    }
    if (jobs_.empty() || stop.stop_requested()) {
        return std::nullopt;
    }
    ListJob job = jobs_.front();
    jobs_.pop_front();
    return job;
}

namespace {

std::size_t Run(const ImageRoles& roles, const ImageChoice& images, ImageQueue& queue,
                std::size_t threads, const ImageEvents& events, std::stop_token stop) {
    ImageBatch batch(roles, images, events, stop);
    {
        // Every unit of a cabinet in flight at once: the units' fixed waits overlap.
        std::vector<std::jthread> units;
        for (std::size_t t = 0; t < threads; ++t) {
            units.emplace_back([&batch, &queue] { batch.Work(queue); });
        }
    }
    return batch.Took();
}

} // namespace

std::size_t RunImages(const ImageRoles& roles, const ImageChoice& images,
                      const std::vector<ListJob>& jobs, const ImageEvents& events,
                      std::stop_token stop) {
    ImageQueue queue;
    for (const ListJob& job : jobs) {
        queue.Push(job);
    }
    queue.Close();
    return Run(roles, images, queue, std::min(jobs.size(), kUnitsInFlight), events, stop);
}

std::size_t RunImages(const ImageRoles& roles, const ImageChoice& images, ImageQueue& queue,
                      const ImageEvents& events, std::stop_token stop) {
    return Run(roles, images, queue, kUnitsInFlight, events, stop);
}
