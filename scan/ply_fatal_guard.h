// Reading PLY data with the library's fatal end turned into an outcome.
//
// The PLY library ends the process when data ends early or cannot be read
// (see ply_set_exit_handler). While a PlyFatalGuard lives on a thread, such
// an end met on that thread throws PlyReadEnded instead; the library and the
// loaders release what they hold on the way out. Other threads keep the
// handler that was installed before the first guard (the default one ends
// the process). Guards may live on several threads at once, and nest.
#pragma once

struct PlyReadEnded {
    int status;  // the exit status the library would have ended the process with
};

class PlyFatalGuard {
public:
    PlyFatalGuard();
    ~PlyFatalGuard();
    PlyFatalGuard(const PlyFatalGuard&) = delete;
    PlyFatalGuard& operator=(const PlyFatalGuard&) = delete;
};
