// Bringing a list of units to one release: the firmware image, then the web-page image of
// the same version, to every unit side by side. Each unit runs the update page's sequence
// for each image (the check echo at its address, the client, the unit's fixed time to
// write it); the web pages go only to a unit whose firmware went through, so that no unit
// is left with a firmware and older web pages. The fixed waits of all units overlap; the
// transfers take turns, a few at a time.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "core/commissioning.h"
#include "core/list_run.h"
#include "core/upload.h"

// The images chosen: either may be left out (empty).
struct ImageChoice {
    std::wstring firmware;
    std::wstring webPages;
    bool Any() const { return !firmware.empty() || !webPages.empty(); }
};

// Transfers at once. Each is a few MiB over the wired link to a unit's small TFTP server;
// see tools/bench for the measurement behind the number.
constexpr std::size_t kTransfersAtOnce = 8;

// Where a unit's sequence stands, as its row shows it.
enum class ImageStage {
    Checking,
    SendingFirmware,
    FirmwareWriting,
    SendingWebPages,
    WebPagesWriting
};
// "checking", "sending firmware", "firmware: unit writing (30 s)", ...; `secondsLeft` is
// the countdown of a unit writing.
std::wstring ImageStageText(ImageStage stage, unsigned secondsLeft);

// The web pages' outcome for a unit whose firmware did not go through: not sent, for that
// reason or because the run was `stopped`.
Outcome WebPagesNotSent(bool stopped);

// Told from the units' threads, one call at a time.
struct ImageEvents {
    // A unit's sequence began.
    std::function<void(std::size_t index)> started;
    // A unit's sequence reached `stage`; a unit writing is told again each second, with the
    // seconds left.
    std::function<void(std::size_t index, ImageStage stage, unsigned secondsLeft)> stage;
    // An image's outcome is final and its record line written.
    std::function<void(std::size_t index, ImageKind kind, const Done& done)> image;
    // Every image of the unit is done: `took` when it took every one chosen; else
    // `failure`, the first that failed.
    std::function<void(std::size_t index, bool took, const Done& failure)> finished;
};

struct ImageRoles {
    UploadRoles upload;
    UserFiles& files;
    CommissioningRecord& record;
};

// Units handed to an image run while it runs: each one as it takes its address, so that it
// goes on to its images at once, without waiting for the rest of the cabinet.
class ImageQueue {
public:
    void Push(const ListJob& job);
    // No more units will come.
    void Close();
    // The next unit, waited for; nothing once closed and empty, or when `stop` came.
    std::optional<ListJob> Next(std::stop_token stop);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<ListJob> jobs_;
    bool closed_ = false;
};

// Sends the images chosen to every unit of `jobs` (their address, netmask and gateway from
// the list, the adapter of their subnet), all units in flight at once, kTransfersAtOnce
// transfers at a time. The images are opened once for the whole run, deny-write. A stop
// ends every client; each image under way is then recorded as interrupted, and no unit
// starts another. Returns how many units took every image chosen.
std::size_t RunImages(const ImageRoles& roles, const ImageChoice& images,
                      const std::vector<ListJob>& jobs, const ImageEvents& events,
                      std::stop_token stop = {});
// The same for the units of `queue`, as they come, until it is closed and empty.
std::size_t RunImages(const ImageRoles& roles, const ImageChoice& images, ImageQueue& queue,
                      const ImageEvents& events, std::stop_token stop = {});
