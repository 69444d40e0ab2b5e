// The application: prepares the process, reads the command line, and either runs the
// main window (the program ends when it closes) or the command without it. It owns what
// is process-wide: the roles the system plays, the log, the commissioning record.
#pragma once

class Application {
public:
    // Returns the process's exit code.
    int InitInstance();
};
