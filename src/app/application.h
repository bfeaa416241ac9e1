#pragma once

// The program's start-up sequence: framework set-up, data folders, log,
// long-lived objects, interface. Returns the event loop's exit code.
int runLattica(int argc, char *argv[]);
