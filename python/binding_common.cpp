#include "python/binding_common.h"

#include <cstdlib>
#include <new>

#include "clean/clean_run.h"

std::mutex& bindingLock() {
    static std::mutex lock;
    return lock;
}

CleanOptions parsedCleanOptions(std::vector<std::string> args, const std::string& input) {
    args.push_back("--");
    args.push_back(input);
    return parsedCommandLine(args);
}

CleanOptions parsedCommandLine(const std::vector<std::string>& args) {
    CleanOptions options;
    std::string error;
    switch (parseCleanOptions(args, &options, &error)) {
        case ParseOutcome::Run:
            return options;
        case ParseOutcome::BadUsage:
            throw BindingError(kBadUsage, error);
        case ParseOutcome::Help:
        case ParseOutcome::Version:
            break;
    }
    throw BindingError(kBadUsage, "--help and --version have nothing to run here");
}

MemoryStream::MemoryStream() : file_(open_memstream(&data_, &size_)) {
    if (file_ == nullptr) throw std::bad_alloc();
}

MemoryStream::~MemoryStream() {
    if (file_ != nullptr) std::fclose(file_);
    std::free(data_);
}

std::string MemoryStream::text() {
    std::fclose(file_);
    file_ = nullptr;
    return std::string(data_ == nullptr ? "" : data_, size_);
}

ErrorLines splitErrorLines(const std::string& errors) {
    const std::string program = std::string(kCleanProgram) + ": ";
    const std::string warning = "warning: ";
    ErrorLines lines;
    for (std::string line : linesOf(errors)) {
        if (line.compare(0, program.size(), program) == 0) line.erase(0, program.size());
        if (line.compare(0, warning.size(), warning) == 0)
            lines.warnings.push_back(line.substr(warning.size()));
        else
            lines.message += (lines.message.empty() ? "" : "\n") + line;
    }
    return lines;
}
