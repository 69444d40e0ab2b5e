// A list's images: the pairing of firmware and web pages, the rows' stages, the run's
// report and the unit's time to write an image.
#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

#include <gtest/gtest.h>

#include "core/image_run.h"
#include "core/mac_rule.h"
#include "core/run_report.h"
#include "core/turns.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"

namespace {

using testing_support::Addr;
using testing_support::CountOf;

const Adapter kEthernet{L"{e}", L"Ethernet", 4, {{Addr("10.0.0.20"), Addr("255.255.255.0")}}};
const wchar_t kFirmware[] = L"C:\\release\\unit.bin";
const wchar_t kWebPages[] = L"C:\\release\\web.ROM";

std::vector<ListJob> Jobs(const std::vector<const char*>& addresses) {
    std::vector<ListJob> jobs;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        const auto serial = 1000 + static_cast<std::uint32_t>(i);
        jobs.push_back(
            {i,
             {serial, MacOfSerial(serial).value_or(L""), Addr(addresses[i]), Addr("255.255.255.0"),
              Addr("10.0.0.1"), PathThrough(kEthernet, Addr(addresses[i]))}});
    }
    return jobs;
}

// What a run told, by unit: each image's outcome ("unit.bin SUCCESS", "web.ROM <reason>")
// in order, and whether it took every image.
struct Told {
    std::map<std::size_t, std::vector<std::wstring>> images;
    std::map<std::size_t, bool> took;
    std::map<std::size_t, std::vector<std::wstring>> stages;
};

Told SendImages(fakes::Pc& pc, const ImageChoice& choice, const std::vector<ListJob>& jobs,
                std::stop_source* stop = nullptr) {
    Told told;
    ImageEvents events;
    events.stage = [&](std::size_t index, ImageStage stage, unsigned left) {
        told.stages[index].push_back(ImageStageText(stage, left));
    };
    events.image = [&](std::size_t index, ImageKind kind, const Done& done) {
        told.images[index].push_back(
            std::wstring(kind == ImageKind::Firmware ? L"unit.bin " : L"web.ROM ") +
            (done.outcome.Succeeded() ? L"SUCCESS" : OutcomeReason(done.outcome)));
    };
    events.finished = [&](std::size_t index, bool took, const Done&) { told.took[index] = took; };
    RunImages({pc.Upload(), pc.store, pc.record}, choice, jobs, events,
              stop ? stop->get_token() : std::stop_token{});
    return told;
}

// Web pages go only to a unit whose firmware went through; every image of every unit has
// its record line; one unit's failure costs the others nothing.
TEST(ImageRun, WebPagesFollowOnlyAFirmwareThatWentThrough) {
    const std::wstring refused = L"Error code 2: Access violation";
    const struct {
        const char* name;
        ImageChoice choice;
        std::map<std::size_t, std::vector<std::wstring>> images;
        std::size_t took;
    } cases[] = {
        {"both images",
         {kFirmware, kWebPages},
         {{0, {L"unit.bin SUCCESS", L"web.ROM SUCCESS"}},
          {1, {L"unit.bin " + refused, L"web.ROM Not sent: the firmware update failed."}},
          {2,
           {L"unit.bin The unit did not answer.",
            L"web.ROM Not sent: the firmware update failed."}}},
         1},
        {"web pages alone",
         {L"", kWebPages},
         {{0, {L"web.ROM SUCCESS"}},
          {1, {L"web.ROM SUCCESS"}},
          {2, {L"web.ROM The unit did not answer."}}},
         2},
        {"firmware alone",
         {kFirmware, L""},
         {{0, {L"unit.bin SUCCESS"}},
          {1, {L"unit.bin " + refused}},
          {2, {L"unit.bin The unit did not answer."}}},
         1},
        {"an image that cannot be read",
         {L"C:\\release\\missing.bin", kWebPages},
         {{0,
           {L"unit.bin The image C:\\release\\missing.bin cannot be read: The system cannot find "
            L"the file specified",
            L"web.ROM Not sent: the firmware update failed."}}},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::Pc pc;
        pc.store.userFiles = {{kFirmware, std::string(4096, 'f')}, {kWebPages, "web"}};
        for (const char* answering : {"10.0.0.101", "10.0.0.102"}) {
            pc.echoes.repliesTo[Addr(answering).ToText()] = {EchoReply{true, 0},
                                                             EchoReply{true, 0}};
        }
        // The unit at .102 refuses the firmware only.
        pc.client.endsWhere[L"10.0.0.102 PUT C:\\release\\unit.bin"] = {1, refused};
        const auto jobs = Jobs({"10.0.0.101", "10.0.0.102", "10.0.0.103"});
        const Told told = SendImages(pc, c.choice, jobs);
        for (const auto& [index, images] : c.images) {
            EXPECT_EQ(told.images.at(index), images) << index;
        }
        EXPECT_EQ(
            std::count_if(told.took.begin(), told.took.end(), [](auto& t) { return t.second; }),
            static_cast<std::ptrdiff_t>(c.took));
        // One record line per image and unit.
        const std::string record = pc.store.File(kRecordFile);
        std::size_t lines = 0;
        for (const auto& [index, images] : told.images) {
            lines += images.size();
        }
        EXPECT_EQ(CountOf(record, "\n") - 1, lines) << record;
        const std::size_t notSent = c.choice.firmware.empty()   ? 0
                                    : c.choice.webPages.empty() ? 0
                                                                : 2;
        if (c.images.size() == 3) {
            EXPECT_EQ(CountOf(record, "Not sent: the firmware update failed."), notSent);
        }
    }
}

// The row follows the unit: its check, the transfer, the unit writing with the seconds
// left, then the web pages.
TEST(ImageRun, TheRowFollowsTheUnitsSequenceSecondBySecond) {
    fakes::Pc pc;
    pc.store.userFiles = {{kFirmware, "f"}, {kWebPages, "w"}};
    pc.echoes.replies = {EchoReply{true, 0}, EchoReply{true, 0}};
    const Told told = SendImages(pc, {kFirmware, kWebPages}, Jobs({"10.0.0.101"}));
    std::vector<std::wstring> expected = {L"checking", L"sending firmware"};
    for (unsigned left = 30; left >= 1; --left) {
        expected.push_back(L"firmware: unit writing (" + std::to_wstring(left) + L" s)");
    }
    expected.insert(expected.end(), {L"checking", L"sending web pages"});
    for (unsigned left = 15; left >= 1; --left) {
        expected.push_back(L"web pages: unit writing (" + std::to_wstring(left) + L" s)");
    }
    EXPECT_EQ(told.stages.at(0), expected);
    EXPECT_EQ(told.images.at(0),
              (std::vector<std::wstring>{L"unit.bin SUCCESS", L"web.ROM SUCCESS"}));
}

// "Stop" while the unit writes its firmware: the firmware recorded as interrupted, the web
// pages as not sent, and nothing reported as taken.
TEST(ImageRun, AStopWhileTheUnitWritesLeavesItInterrupted) {
    fakes::Pc pc;
    pc.store.userFiles = {{kFirmware, "f"}, {kWebPages, "w"}};
    pc.echoes.replies = {EchoReply{true, 0}, EchoReply{true, 0}};
    std::stop_source stop;
    ImageEvents events;
    std::vector<std::wstring> images;
    bool took = true;
    events.stage = [&](std::size_t, ImageStage stage, unsigned left) {
        if (stage == ImageStage::FirmwareWriting && left == 20) {
            stop.request_stop();
        }
    };
    events.image = [&](std::size_t, ImageKind, const Done& done) {
        images.push_back(OutcomeReason(done.outcome));
    };
    events.finished = [&](std::size_t, bool t, const Done&) { took = t; };
    RunImages({pc.Upload(), pc.store, pc.record}, {kFirmware, kWebPages}, Jobs({"10.0.0.101"}),
              events, stop.get_token());
    EXPECT_EQ(images,
              (std::vector<std::wstring>{L"Interrupted before the unit had written the image.",
                                         L"Not sent: the run was stopped."}));
    EXPECT_FALSE(took);
}

// In one pass from power-on: units handed over as they take their address go on to their
// images at once, the run ending once no more will come.
TEST(ImageRun, UnitsHandedOverAsTheyComeEachGoOnToTheirImages) {
    fakes::Pc pc;
    pc.store.userFiles = {{kFirmware, "f"}};
    pc.echoes.replies = {EchoReply{true, 0}, EchoReply{true, 0}};
    ImageQueue queue;
    std::vector<std::size_t> took;
    ImageEvents events;
    events.finished = [&](std::size_t index, bool t, const Done&) {
        if (t) {
            took.push_back(index);
        }
    };
    const auto jobs = Jobs({"10.0.0.101", "10.0.0.102"});
    std::jthread run([&] {
        RunImages({pc.Upload(), pc.store, pc.record}, {kFirmware, L""}, queue, events);
    });
    queue.Push(jobs[1]);
    queue.Push(jobs[0]);
    queue.Close();
    run.join();
    std::sort(took.begin(), took.end());
    EXPECT_EQ(took, (std::vector<std::size_t>{0, 1}));
    // A stop ends the wait for more.
    ImageQueue waiting;
    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(waiting.Next(stop.get_token()));
}

// Turns: never more than their number at once, and a stop ends the wait for one.
TEST(Turns, NoMoreThanTheirNumberAtOnceAndAStopEndsTheWait) {
    Turns turns(3);
    std::atomic<int> now{0};
    std::atomic<int> most{0};
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < 12; ++t) {
            threads.emplace_back([&] {
                const Turns::Turn turn = turns.Take();
                const int at = ++now;
                int seen = most.load();
                while (at > seen && !most.compare_exchange_weak(seen, at)) {
                }
                std::this_thread::yield();
                --now;
            });
        }
    }
    EXPECT_LE(most.load(), 3);
    EXPECT_GE(most.load(), 1);
    std::vector<Turns::Turn> held;
    for (int t = 0; t < 3; ++t) {
        held.push_back(turns.Take());
    }
    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(turns.Take(stop.get_token()));
    held.pop_back();
    EXPECT_TRUE(turns.Take(stop.get_token()));
}

TEST(RunReport, CountsAndSummaryOfAddressesAndImages) {
    RunReport addresses(20, L"took their address");
    EXPECT_EQ(addresses.Counts(0), L"0:00   0 took their address, 0 failed, 0 in flight, of 20");
    addresses.Waiting();
    EXPECT_EQ(addresses.Counts(61'000), L"1:01   waits for another Varnok");
    for (int i = 0; i < 5; ++i) {
        addresses.Started();
    }
    addresses.Finished(true);
    addresses.Finished(false);
    EXPECT_EQ(addresses.Counts(72'999),
              L"1:12   1 took their address, 1 failed, 3 in flight, of 20");
    EXPECT_EQ(addresses.Summary(), L"1 of 2 units took their address");
    EXPECT_FALSE(addresses.AllSucceeded());

    RunReport images(2, ImagesTaken(true, true));
    images.Started();
    images.Started();
    images.Finished(true);
    images.Finished(true);
    EXPECT_EQ(images.Summary(), L"2 of 2 units took both images");
    EXPECT_TRUE(images.AllSucceeded());
    EXPECT_EQ(ImagesTaken(true, false), L"took the firmware");
    EXPECT_EQ(ImagesTaken(false, true), L"took the web pages");
}

TEST(UploadDeadline, CountsDownFromTheUnitsAnswer) {
    const UploadDeadline deadline(10'000, 30'000);
    const struct {
        std::uint64_t now;
        unsigned secondsLeft;
        unsigned steps; // of 30
        bool over;
    } cases[] = {
        {10'000, 30, 0, false}, {10'001, 30, 0, false}, {11'000, 29, 1, false},
        {39'500, 1, 29, false}, {40'000, 0, 30, true},  {90'000, 0, 30, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.now);
        EXPECT_EQ(deadline.SecondsLeft(c.now), c.secondsLeft);
        EXPECT_EQ(deadline.StepsPassed(c.now, 30), c.steps);
        EXPECT_EQ(deadline.Over(c.now), c.over);
    }
}

} // namespace
