// Shared pieces of the fuzz targets: the PLY library's fatal ends turned
// into an ordinary outcome, a private scratch folder for files the loaders
// must open by name, and quiet standard output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace fuzzing {

// Thrown by the exit handler these programs give the PLY library: a fatal
// condition (short data, bad type codes) ends one input, not the fuzzer.
struct LibraryExit {
    int status;  // the exit status the library would have ended the process with
};

// Installs the throwing exit handler (idempotent).
void throwOnLibraryExit();

// A folder private to this process, created on first use and removed with
// everything in it when the process ends normally.
const std::string& scratchDir();

// Writes the bytes to scratchDir()/name, replacing the file; returns the path.
std::string writeScratchFile(const std::string& name, const uint8_t* data, std::size_t size);
std::string writeScratchFile(const std::string& name, const std::string& text);

// A read stream over the bytes (which must outlive it); fclose it.
FILE* openMemory(const uint8_t* data, std::size_t size);

// stdio buffer sizes the targets read with, picked by an input byte; 0 keeps
// the stream's own buffer. Small ones make lines and items cross the end of
// the buffer.
std::size_t bufferSizeFor(uint8_t selector);

// Sends standard output (the loaders report every step there) to /dev/null,
// unless the environment sets RANGELOOM_FUZZ_VERBOSE. Standard error, where
// the library's messages and the sanitizers' reports go, is left alone.
void quietStdout();

// Ends the run with a message on standard error: a broken invariant that the
// fuzzer must record as a crash.
[[noreturn]] void fail(const std::string& what);

}  // namespace fuzzing
