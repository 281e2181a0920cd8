// How a loader's attempt to read a file ended, returned to its caller so
// that no caller has to read the loader's console report to find out.
#pragma once

#include <memory>
#include <string>

enum class LoadFailure {
    None,               // the file was read
    CannotOpen,         // the file could not be opened
    HeaderNotAccepted,  // its header is not one the reader accepts
    DataDamaged,        // its data ends early or cannot be read (the PLY library's fatal end)
    BadPose,            // its configuration record cannot place it (a zero or non-finite pose)
    ScanFileDamaged,    // a PTX or E57 file is damaged or not one its reader accepts; the
                        // reason names the scan and the line or page, and the scans the
                        // file delivered before it were read
};

struct LoadStatus {
    LoadFailure failure = LoadFailure::None;
    std::string reason;   // why it failed, for messages ("" when read)
    int fatalStatus = 0;  // DataDamaged: the status the PLY library would have exited with

    bool ok() const { return failure == LoadFailure::None; }
};

// A mesh read from a file: the mesh, or null with the status saying why not.
template <typename M>
struct Loaded {
    std::unique_ptr<M> mesh;  // owned by the caller; null exactly when !status.ok()
    LoadStatus status;
};
