// The application: prepares the process, reads the command line and runs the main
// window; the program ends when that window closes.
#pragma once

class Application {
public:
    // Returns the process's exit code.
    int InitInstance();
};
