// The exit statuses of rangeloom-clean: those of every batch program. For it,
// kUnreadable means that the configuration or a scan cannot be read, that it
// names no scan, or that two files would collide (nothing is written), and
// kWriteFailed that a file or the output folder could not be written (every
// other file is).
#pragma once

#include "cli/exit_status.h"

using CleanStatus = ExitStatus;
