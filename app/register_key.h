// The viewer's registration key ('g'): the poses of the loaded
// configuration's scans refined so that their overlapping surfaces meet (as
// rangeloom-register refines them), the scans placed anew, the analysis run
// again and its lattice replaced, the report printed, and the refined
// configuration written as NAME.registered.conf beside the configuration.
#pragma once

#include <string>

// The configuration the scans in the scene were loaded from (the viewer's
// input; "" for none). A new name forgets an earlier refinement.
void rememberConfiguration(const std::string& path);

// What 'g' does. With no configuration, or scans that one record each
// cannot move (PTX or E57 files, scans left out as unreadable), it says why
// and changes nothing. A second press starts from the poses of the first.
void refineLoadedConfiguration();
