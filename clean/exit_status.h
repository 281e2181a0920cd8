// The exit statuses of rangeloom-clean.
#pragma once

enum CleanStatus {
    kSuccess = 0,     // everything asked for was done
    kBadUsage = 1,    // the command line is wrong
    kUnreadable = 2,  // the configuration or a scan cannot be read, it names no scan, or two
                      // files would collide: nothing is written
    kWriteFailed = 3  // a file or the output folder could not be written (every other file is)
};
