// Process-wide switches for benchmarks and tests: the straightforward
// versions of steps that have a faster one with identical results, and the
// number of worker threads of the steps that use several.
#pragma once

// Edge pairing through an ordered map of packed vertex pairs (one tree
// lookup per face corner) instead of grouping by sorting.
void setPlainEdgePairing(bool on);
bool plainEdgePairing();

// Worker threads for loading scans and for the analysis; 0 (the default)
// means one per hardware thread.
void setWorkerThreads(int threads);
int workerThreads();
