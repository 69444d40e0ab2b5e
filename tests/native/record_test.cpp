// The commissioning record's lines (fields a spreadsheet reads as given, never as a
// formula; the local time with its offset), and SHA-256 over memory and a file.
#include "core/csv.h"
#include "core/record.h"
#include "core/sha256.h"

#include <fstream>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "core/commissioning.h"
#include "tests/fakes/fakes.h"

#include "tests/support.h"

namespace {

TEST(RecordField, QuotesWhatWouldSplitAndGuardsFormulas) {
    const struct {
        const wchar_t* text;
        wchar_t separator;
        const wchar_t* field;
    } cases[] = {
        {L"plain text", L',', L"plain text"},
        {L"a,b", L',', L"\"a,b\""},
        {L"a,b", L';', L"a,b"},
        {L"say \"no\"", L',', L"\"say \"\"no\"\"\""},
        {L"two\r\nlines", L',', L"\"two\r\nlines\""},
        {L" padded", L',', L"\" padded\""},
        {L"=HYPERLINK(\"http://x\")", L',', L"\"'=HYPERLINK(\"\"http://x\"\")\""},
        {L"-cmd", L',', L"'-cmd"},
        {L"@SUM(A1)", L',', L"'@SUM(A1)"},
        {L"2026-12-09T14:03:22+01:00", L',', L"2026-12-09T14:03:22+01:00"},
        // A spreadsheet that splits at semicolons starts cells inside the field too.
        {L"x;=HYPERLINK(\"http://x\")", L',', L"\"x;'=HYPERLINK(\"\"http://x\"\")\""},
        {L"a,+1;-2", L',', L"\"a,'+1;'-2\""},
        {L"x;\"=cmd\"", L',', L"\"x;'\"\"=cmd\"\"\""},
        // An apostrophe where one could have been put is doubled, so reading takes one.
        {L"'=kept", L',', L"''=kept"},
        {L"a;'b", L',', L"a;''b"},
        {L"a; =b", L',', L"a; =b"}, // a cell beginning with a blank is text
    };
    for (const auto& c : cases) {
        const std::wstring field = CsvField(c.text, c.separator);
        EXPECT_EQ(field, c.field) << testing::PrintToString(c.text);
        EXPECT_EQ(CsvText(SplitCsvLine(field, c.separator).at(0)), c.text);
        // Split at either separator, quotes or not, no cell begins a formula.
        std::wstring cell;
        for (const wchar_t ch : field + L",") {
            if (ch != L',' && ch != L';') {
                cell += ch;
                continue;
            }
            const std::wstring shown = !cell.empty() && cell[0] == L'"' ? cell.substr(1) : cell;
            EXPECT_TRUE(shown.empty() || std::wstring(L"=+-@").find(shown[0]) == std::wstring::npos)
                << testing::PrintToString(field);
            cell.clear();
        }
    }
}

RecordEntry EntryOf(const wchar_t* serial) {
    RecordEntry entry;
    entry.serial = serial;
    entry.succeeded = true;
    return entry;
}

// The serials of a file's record lines, in order.
std::string Serials(const std::string& lines) {
    std::string serials;
    for (std::size_t at = lines.find(",10"); at != std::string::npos;
         at = lines.find(",10", at + 1)) {
        serials += (serials.empty() ? "" : " ") + lines.substr(at + 1, 4);
    }
    return serials;
}

// The rules of the pending record: a line never passes one that waits, a line leaves the
// pending file only once it is in the record, and what cannot be kept anywhere is kept in
// memory and said with the line itself. Each step: a line appended (its serial), or
// "release" (the spreadsheets let go), "flush" (the end of a run), "other" (the next line
// from another Varnok on the same files).
TEST(CommissioningRecordFile, LinesKeepTheirOrderAndLeaveThePendingFileOnlyIntoTheRecord) {
    const struct {
        const char* name;
        std::function<void(fakes::FakeStore&)> arrange;
        std::vector<std::string> steps;
        const char* record;               // serials in record.csv, in order
        const char* pending;              // serials still waiting beside it
        std::vector<const wchar_t*> told; // each message shown, by a phrase of it
    } cases[] = {
        {"the record held, then let go",
         [](fakes::FakeStore& s) { s.heldOpen = {kRecordFile}; },
         {"1000", "1001", "release", "1002"},
         "1000 1001 1002",
         "",
         {L"Its lines wait in C:\\Users\\tech\\AppData\\Roaming\\Varnok\\record.pending.csv"}},
        {"waiting lines follow at the end of the run",
         [](fakes::FakeStore& s) { s.heldOpen = {kRecordFile}; },
         {"1000", "release", "flush"},
         "1000",
         "",
         {L"Its lines wait in"}},
        {"another Varnok's line joins those that wait",
         [](fakes::FakeStore& s) { s.heldOpen = {kRecordFile}; },
         {"1000", "other", "release", "1002"},
         "1000 1001 1002",
         "",
         {L"Its lines wait in", L"Its lines wait in"}}, // each Varnok tells its own
        {"the pending file held open: the new line does not pass it",
         [](fakes::FakeStore& s) {
             s.files[kPendingRecordFile] = "t,1000,x\r\n";
             s.heldOpen = {kPendingRecordFile};
         },
         {"1001", "1002", "release", "1003"},
         "1000 1001 1002 1003",
         "",
         {L"cannot be kept yet: the lines before it wait in"}},
        {"the pending file unreadable: nothing is taken from it",
         [](fakes::FakeStore& s) {
             s.files[kPendingRecordFile] = "t,1000,x\r\n";
             s.unreadable = {kPendingRecordFile};
         },
         {"1001"},
         "",
         "1000",
         {L"cannot be opened now"}},
        {"neither file can be written",
         [](fakes::FakeStore& s) { s.writable = false; },
         {"1000", "1001"},
         "",
         "",
         {L"can be written neither to"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::Pc pc;
        c.arrange(pc.store);
        CommissioningRecord other(pc.store, pc.log);
        std::vector<std::wstring> told;
        for (const std::string& step : c.steps) {
            std::optional<std::wstring> message;
            if (step == "release") {
                pc.store.heldOpen.clear();
                pc.store.unreadable.clear();
            } else if (step == "flush") {
                message = pc.record.Flush();
            } else if (step == "other") {
                message = other.Append(EntryOf(L"1001"));
            } else {
                message = pc.record.Append(EntryOf(std::wstring(step.begin(), step.end()).c_str()));
            }
            if (message) {
                told.push_back(*message);
            }
        }
        EXPECT_EQ(Serials(pc.store.files[kRecordFile]), c.record);
        EXPECT_EQ(Serials(pc.store.files[kPendingRecordFile]), c.pending);
        ASSERT_EQ(told.size(), c.told.size());
        for (std::size_t i = 0; i < told.size(); ++i) {
            EXPECT_NE(told[i].find(c.told[i]), std::wstring::npos)
                << std::string(told[i].begin(), told[i].end());
        }
    }
}

// A line kept nowhere is said with the line itself, for the technician to copy; the export
// holds it too, after the lines that wait.
TEST(CommissioningRecordFile, ALineKeptNowhereIsSaidWholeAndExported) {
    fakes::Pc pc;
    pc.store.files[kPendingRecordFile] = "t,1000,x\r\n";
    pc.store.heldOpen = {kPendingRecordFile};
    RecordEntry entry = EntryOf(L"1001");
    entry.address = L"10.0.0.5";
    const std::optional<std::wstring> told = pc.record.Append(entry);
    ASSERT_TRUE(told);
    const std::string line = RecordLine(entry);
    EXPECT_NE(told->find(std::wstring(line.begin(), line.end() - 2)), std::wstring::npos);
    FileError error;
    const std::optional<std::string> whole = pc.record.Whole(error);
    ASSERT_TRUE(whole);
    EXPECT_EQ(*whole, RecordHeader() + "t,1000,x\r\n" + line);
}

TEST(RecordTime, Iso8601WithTheOffsetFromUtc) {
    const struct {
        LocalTime time;
        const wchar_t* text;
    } cases[] = {
        {{2026, 12, 9, 14, 3, 22, 60}, L"2026-12-09T14:03:22+01:00"},
        {{2026, 1, 2, 3, 4, 5, -210}, L"2026-01-02T03:04:05-03:30"},
        {{2026, 6, 30, 0, 0, 0, 0}, L"2026-06-30T00:00:00+00:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Iso8601(c.time), c.text);
    }
}

TEST(RecordLine, OneQuotedGuardedUtf8LinePerEntry) {
    EXPECT_EQ(RecordHeader(), "time,serial,mac,address,netmask,gateway,adapter,outcome,reason,"
                              "seconds,file,size,sha256\r\n");
    RecordEntry entry;
    entry.when = {2026, 12, 9, 14, 3, 22, -180};
    entry.serial = L"1234";
    entry.mac = L"00:50:c2:11:81:00";
    entry.address = L"10.0.0.5";
    entry.netmask = L"255.255.255.0";
    entry.gateway = L"0.0.0.0";
    entry.adapter = L"Ethernet, \u00e5";
    entry.reason = L"-ERR \"busy\"";
    entry.durationMs = 352;
    EXPECT_EQ(RecordLine(entry),
              "2026-12-09T14:03:22-03:00,1234,00:50:c2:11:81:00,10.0.0.5,255.255.255.0,0.0.0.0,"
              "\"Ethernet, \xC3\xA5\",FAILED,\"'-ERR \"\"busy\"\"\",0.352,,,\r\n");

    entry.succeeded = true;
    entry.reason.clear();
    entry.durationMs = 30105;
    entry.file = L"fw 2.bin";
    entry.size = 0;
    entry.sha256 = std::string(64, 'a');
    const std::string line = RecordLine(entry);
    EXPECT_EQ(line.substr(line.find(",SUCCESS") + 1),
              "SUCCESS,,30.105,fw 2.bin,0," + entry.sha256 + "\r\n");
}

TEST(Sha256, StandardVectorsWhateverTheUpdatePieces) {
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    };
    for (const auto& c : cases) {
        Sha256 whole;
        whole.Update(c.message.data(), c.message.size());
        EXPECT_EQ(HexDigest(whole.Finish()), c.digest) << c.message;
        Sha256 bytewise;
        for (char byte : c.message) {
            bytewise.Update(&byte, 1);
        }
        EXPECT_EQ(HexDigest(bytewise.Finish()), c.digest) << c.message;
        EXPECT_EQ(HexDigest(whole.Finish()), cases[0].digest); // Finish started afresh
    }
}

} // namespace
