// Writing every scan of a configuration back out without its tossed points.
#pragma once

// writeCleaned on every scan of the scene (objects read from a configuration
// and analysed), in scene order; the lattice mesh and lone meshes are
// skipped. No file is written over a scan of the scene or twice: such a
// file is named ("Could not write NAME: it is also scan NAME") and the
// others are written. Says so when there was nothing to write. Returns the
// number of files that could not be written.
int writeAllCleaned();
