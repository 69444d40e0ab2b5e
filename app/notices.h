// What the user is told, and how. Two kinds of box: the program's own ("Varnok
// message": exclamation sound and icon, no owner) for outcomes and the ICMP failures,
// and the input checks' box (titled "Varnok", owned by the main window, after a tone).
// The pages, the list and the command line tell through this interface; tests record it.
#pragma once

#include <cstddef>
#include <string>

#include "core/outcome.h"

class Log;

class Notices {
public:
    // Messages go to `log` first.
    explicit Notices(Log& log) : log_(log) {}
    virtual ~Notices() = default;

    // The program's own box with `text` (cut to kMaxMessageChars); the text goes to the
    // log first, when the log is on.
    void Message(const std::wstring& text);
    // The program's own box with `text` and, below it, `address` in a field of its own,
    // selected, so that the technician can copy it alone; both go to the log first, on
    // one line, when the log is on.
    void MessageWithAddress(const std::wstring& text, const std::wstring& address);
    // The program's own box with string-table text `id`, and `secondLine` below it when
    // there is one; not logged.
    virtual void MessageId(unsigned id, const std::wstring& secondLine = {}) = 0;
    // The input checks' box with `text`.
    virtual void Warn(const std::wstring& text) = 0;
    // The 450 Hz, 300 ms tone that precedes an input check's box.
    virtual void Beep() = 0;

protected:
    virtual void ShowBox(const std::wstring& text) = 0;
    virtual void ShowAddressBox(const std::wstring& text, const std::wstring& address) = 0;

private:
    Log& log_;
};

constexpr std::size_t kMaxMessageChars = 1023;

// An assignment's or an upload's outcome as boxes: an ICMP failure's own box (111 or
// 109) first, then "SUCCESS!" or "FAILED!!!", with `reason` on a second line when given;
// an address already in use gets its own message alone.
void ShowOutcome(Notices& notices, const Outcome& outcome, const std::wstring& reason = {});
// An "Apply"'s outcome as boxes: a step that ran but did not change the PC's tables, or an
// error of Varnok's own, says why on the second line.
void ShowAssignmentOutcome(Notices& notices, const Outcome& outcome);
