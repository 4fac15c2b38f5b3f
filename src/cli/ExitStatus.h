#pragma once

// What the program's exit status tells a script.
enum ExitStatus : int
{
    ExitOk = 0,           // every command and queued task ended well
    ExitFailed = 1,       // a task or the command failed, or the journal or an NZB file could
                          // not be written; the reason was printed
    ExitUsage = 2,        // the command line was not understood
    ExitPartly = 3,       // some articles were posted, then a task failed (the rest was saved)
    ExitMissing = 4,      // the tasks ran, but articles are still missing on the server after
                          // the last check (the NZB file lists the others)
    ExitInterrupted = 130 // Ctrl+C or SIGTERM aborted the run (the queue was saved)
};
