// The exit statuses of the batch programs (rangeloom-clean, rangeloom-register).
#pragma once

enum ExitStatus {
    kSuccess = 0,      // everything asked for was done
    kBadUsage = 1,     // the command line is wrong
    kUnreadable = 2,   // the input cannot be read or used, or files would collide: nothing is
                       // written
    kWriteFailed = 3,  // a file or the output folder could not be written
    kNoRoom = 4        // rangeloom-clean's work folder ran out of room: its spill is removed and
                       // nothing is written
};
