// The UI driver's script: each command-line argument is one step done to the running
// Varnok window, in order. Names stand for the controls of the two pages:
//   serial=TEXT  address=A.B.C.D  netmask=A.B.C.D  gateway=A.B.C.D
//   firmware-path=TEXT  web-path=TEXT               set a control's content
//   apply  show  browse-firmware  update-firmware  browse-web  update-web   click a button
//   tab=N                 switch the tab control to page N (0 address, 1 update, 2 list,
//                         3 find)
//   box[=SECONDS]         wait for a "Varnok message" box (30 s unless given), print its
//                         text, press OK
//   check[=SECONDS]       the same for an input check's box ("Varnok"), printed as
//                         "check: TEXT"
//   dialog=TITLE          the steps that follow act in the dialog of that title (waited
//                         for 20 s), such as "Fill the list"; main: in the main window again
//   focus=ID              wait (5 s) until the control (or a field inside it) has the
//                         focus; print whether all the focused field's text is selected
//   no-box=SECONDS        fail if a "Varnok message" box appears within that time
//   adapter=NAME          wait for the "Network adapter" question (20 s), print its lines
//                         and the one preselected, choose the line that begins with NAME
//   read=ID               print a control's text
//   until=ID:TEXT         wait (60 s) until the control's text holds TEXT; print the
//                         text, the time since the last click and the window's slowest
//                         answer meanwhile
//   ready                 wait (150 s) until the window takes commands (its tab control is
//                         enabled: no page's work runs, the start's own included)
//   where=ID              print the screen position of a control's centre, "where ID: X Y",
//                         for a real mouse click there (xdotool)
//   text=ID:TEXT  ip=ID:A.B.C.D  click=ID   the same by control id
//   sleep=MS
//   close                 close the main window, as its close box does
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "res/resource_ids.h"

namespace driver {

// Control ids of Varnok's pages, from the program's own resource ids.
enum Control : int {
    kSerial = IDC_SERIAL,
    kAddress = IDC_NEW_IP,
    kNetmask = IDC_NEW_NETMASK,
    kGateway = IDC_NEW_GATEWAY,
    kShow = IDC_SHOW,
    kFirmwarePath = IDC_BIN_PATH,
    kBrowseFirmware = IDC_BIN_BROWSE,
    kUpdateFirmware = IDC_BIN_UPDATE,
    kWebPath = IDC_ROM_PATH,
    kBrowseWeb = IDC_ROM_BROWSE,
    kUpdateWeb = IDC_ROM_UPDATE,
    kFirmwareProgress = IDC_BIN_PROGRESS,
    kWebProgress = IDC_ROM_PROGRESS,
    kTabs = IDC_TABS,
    kCurrentAddress = IDC_CURRENT_IP,
    kApply = IDC_APPLY,
};

struct Step {
    enum Kind {
        SetText,
        SetAddress,
        Click,
        Tab,
        Box,
        Check,
        NoBox,
        Dialog,
        Focus,
        Adapter,
        Read,
        Until,
        Ready,
        Where,
        Sleep,
        Close
    } kind;
    int control = 0;
    std::string text;          // SetText, Until; Adapter: the name; Dialog: the title
    std::uint32_t address = 0; // SetAddress: first octet in the highest byte (MAKEIPADDRESS)
    unsigned number = 0;       // Tab: page; Box, Check, NoBox: seconds; Sleep: milliseconds
};

struct Script {
    std::vector<Step> steps;
    std::string error; // empty when every argument was understood
};

Script ParseScript(const std::vector<std::string>& arguments);

} // namespace driver
