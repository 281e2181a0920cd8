// The library's fatal ends: each scenario runs in a child process (the
// probe) and must end with exactly its message on standard error and its
// exit status (-1 shows as 255).

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <string>

#include "ply_test_util.h"

namespace {

struct FatalCase {
    const char* scenario;
    int status;
    const char* err;
};

void expectProbe(const FatalCase& c) {
    plytest::ProbeResult r = plytest::runProbe({c.scenario});
    EXPECT_EQ(r.status, c.status) << c.scenario << "\nstderr: " << r.err << "\nstdout: " << r.out;
    EXPECT_EQ(r.err, c.err) << c.scenario;
}

TEST(FatalPaths, ReadingShortOrMalformedData) {
    const FatalCase cases[] = {
        {"text-end", 255, "ply_get_element: unexpected end of file\n"},
        {"text-bad-type", 255, "get_ascii_item: bad type = 0\n"},
        {"binary-end", 1, "PLY ERROR: fread() failed -- aborting.\n"},
        {"binary-bad-type", 1, "PLY ERROR: fread() failed -- aborting.\n"},
        {"store-bad-type", 255, "store_item: bad type = 11\n"},
        // Unsafe input: words missing from a text line, impossible list counts.
        {"text-few-values", 255, "ply_get_element: too few values in a line of element 'v'\n"},
        {"text-list-short", 255, "ply_get_element: too few values in a line of element 'v'\n"},
        {"text-list-negative", 255, "ply_get_element: unexpected end of file\n"},
        {"binary-list-negative", 1, "PLY ERROR: fread() failed -- aborting.\n"},
        {"binary-list-huge", 1, "PLY ERROR: fread() failed -- aborting.\n"},
        {"binary-dropped-list-huge", 1, "PLY ERROR: fread() failed -- aborting.\n"},
        {"no-element-selected", 255, "ply_get_element: no element selected\n"},
    };
    for (const FatalCase& c : cases) expectProbe(c);
}

TEST(FatalPaths, CompleteReadEndsNormally) {
    plytest::ProbeResult r = plytest::runProbe({"text-ok"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "read all\n");
    EXPECT_EQ(r.err, "");
}

TEST(FatalPaths, UnknownElementsWarnOrEnd) {
    const FatalCase cases[] = {
        {"select-unknown-element", 0, "ply_select_property: can't find element 'w'\n"},
        {"describe-property-unknown", 0, "ply_describe_property: can't find element 'w'\n"},
        {"other-properties-unknown", 0, "ply_get_other_properties: Can't find element 'w'\n"},
        {"describe-element-unknown", 255, "ply_describe_element: can't find element 'w'\n"},
        {"element-count-unknown", 255, "ply_element_count: can't find element 'w'\n"},
        {"elements-setup-unknown", 255, "ply_elements_setup: can't find element 'w'\n"},
        {"other-element-unknown", 255, "ply_get_other_element: can't find element 'w'\n"},
        {"no-element-set-up", 255, "ply_write_element: no element set up\n"},
    };
    for (const FatalCase& c : cases) expectProbe(c);
}

TEST(FatalPaths, BadTypeCodes) {
    const FatalCase cases[] = {
        {"header-bad-file-type", 255, "ply_header_complete: bad file type = 7\n"},
        {"write-scalar-bad", 255, "write_scalar_type: bad data code = 0\n"},
        {"write-ascii-bad", 255, "write_ascii_item: bad type = 9\n"},
        {"write-binary-bad", 255, "write_binary_item: bad type = 0\n"},
        {"old-write-bad", 255, "old_write_ascii_item: bad type = 12\n"},
        {"get-stored-bad", 255, "get_stored_item: bad type = 0\n"},
        {"get-item-value-bad", 255, "get_item_value: bad type = 9\n"},
        {"get-ascii-bad", 255, "get_ascii_item: bad type = 0\n"},
        {"write-text-memory-type-bad", 255, "get_stored_item: bad type = 0\n"},
        {"write-text-disk-type-bad", 255, "write_ascii_item: bad type = 10\n"},
        {"write-binary-disk-type-bad", 255, "write_binary_item: bad type = 0\n"},
    };
    for (const FatalCase& c : cases) expectProbe(c);
}

TEST(FatalPaths, OutputThatCannotBeWrittenIsNotReportedAsSuccess) {
    expectProbe({"full-device-text", 1, "PLY ERROR: fprintf() failed -- aborting.\n"});
    expectProbe({"full-device-binary", 1, "PLY ERROR: fwrite() failed -- aborting.\n"});
}

TEST(FatalPaths, AllocationFailureEndsInsteadOfWritingThroughNull) {
    expectProbe({"alloc-fails", 255, "Memory allocation bombed on line 77 in plyfile.cpp\n"});
}

TEST(FatalPaths, ExitGoesThroughTheReplaceableHandler) {
    expectProbe({"handler-called", 40, "ply_get_element: unexpected end of file\nhandler -1\n"});
    // A handler that returns does not let the library go on.
    expectProbe(
        {"handler-returns", 255, "ply_get_element: unexpected end of file\nhandler returned -1\n"});
}

}  // namespace

namespace {

struct Unwound {
    int status;
};
[[noreturn]] void throwingHandler(int status) {
    throw Unwound{status};
}

struct Listed {
    float x;
    unsigned char n;
    int* items;
};

// Reads the one instance of element "v" (x and the list l) with an exit
// handler that throws; returns the status of the fatal end, or 0.
int readUnwinding(const std::string& bytes, bool plain) {
    plytest::PathMode mode(plain);
    plytest::OpenedPly file(bytes);
    if (file.ply == nullptr) return -100;
    const ply_property_def props[] = {
        {"x", PLY_FLOAT, PLY_FLOAT, offsetof(Listed, x), 0, 0, 0, 0},
        {"l", PLY_INT, PLY_INT, offsetof(Listed, items), 1, PLY_UCHAR, PLY_UCHAR,
         offsetof(Listed, n)},
    };
    ply_select_properties(file.ply, "v", 2, props);
    ply_exit_handler_fn previous = ply_set_exit_handler(throwingHandler);
    int status = 0;
    Listed v{};
    try {
        ply_get_element(file.ply, &v);
    } catch (const Unwound& e) {
        status = e.status;
    }
    ply_set_exit_handler(previous);
    std::free(v.items);
    return status;
}

// A handler that throws turns the library's fatal end into an exception:
// the list being filled and the word array of the line go with it, so a
// caller that catches it (a batch tool, a fuzzer) keeps no garbage. The leak
// checker of the sanitizer build watches this test.
TEST(FatalPaths, AThrowingHandlerUnwindsWithoutLeavingStorage) {
    const std::string text =
        "ply\nformat ascii 1.0\nelement v 1\nproperty float x\n"
        "property list uchar int l\nend_header\n1.5 3 7 8\n";
    const std::string binary = std::string(
                                   "ply\nformat binary_little_endian 1.0\nelement v 1\n"
                                   "property float x\nproperty list uchar int l\nend_header\n") +
                               std::string("\0\0\xc0\x3f\x03\x07\0\0\0", 9);
    for (bool plain : {false, true}) {
        EXPECT_EQ(readUnwinding(text, plain), -1) << "plain " << plain;
        EXPECT_EQ(readUnwinding(binary, plain), 1) << "plain " << plain;
    }
}

}  // namespace
