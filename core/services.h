// Every role the system plays for Varnok, as the application object owns them and hands
// them down to the window's pages and the command line. Core functions take only the
// roles they use (AssignmentRoles, UploadRoles, or single ones).
#pragma once

#include "core/change_record.h"
#include "core/client_program.h"
#include "core/clock.h"
#include "core/commissioning.h"
#include "core/data_store.h"
#include "core/desktop.h"
#include "core/echoes.h"
#include "core/firewall.h"
#include "core/log.h"
#include "core/neighbourhood.h"
#include "core/pc_tables.h"
#include "core/settings.h"
#include "core/setup.h"
#include "core/tables_lock.h"
#include "core/upload.h"

struct Services {
    PcTables& tables;
    Echoes& echoes;
    Clock& clock;
    ClientProgram& client;
    Firewall& firewall;
    OwnFiles& ownFiles;   // Varnok's own: the kept list, the record
    UserFiles& userFiles; // the technician's: lists, images, exports
    Settings& settings;
    ChangeRecord& changes;
    TablesLock& lock;
    Desktop& desktop;
    Log& log;
    CommissioningRecord& record;
    Neighbourhood& neighbourhood;

    AssignmentRoles Assignment() const { return {tables, echoes, clock, changes, lock, log}; }
    UploadRoles Upload() const { return {echoes, clock, client, firewall, log}; }
};
