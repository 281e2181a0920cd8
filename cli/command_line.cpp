#include "cli/command_line.h"

#include <cstdio>

#include "cli/exit_status.h"
#include "version/version.h"

bool OptionScanner::fail(const std::string& why) {
    error_ = why;
    return false;
}

bool OptionScanner::isValueOption(const std::string& name) const {
    for (const OptionName& v : values_)
        if (name == v.longName) return true;
    return false;
}

bool OptionScanner::isFlagOption(const std::string& name) const {
    for (const OptionName& f : flags_)
        if (name == f.longName) return true;
    return false;
}

const char* OptionScanner::longNameOf(char shortName, bool* takesValue) const {
    for (const OptionName& v : values_) {
        if (v.shortName != '\0' && v.shortName == shortName) {
            *takesValue = true;
            return v.longName;
        }
    }
    for (const OptionName& f : flags_) {
        if (f.shortName != '\0' && f.shortName == shortName) {
            *takesValue = false;
            return f.longName;
        }
    }
    return nullptr;
}

bool OptionScanner::next(CommandLineItem* item) {
    *item = CommandLineItem();
    while (at_ < args_.size()) {
        const std::string& a = args_[at_++];
        if (optionsEnded_ || a.size() < 2 || a[0] != '-') {
            item->value = a;
            return true;
        }
        if (a == "--") {
            optionsEnded_ = true;
            continue;
        }
        item->isOption = true;
        bool takesValue = false;
        if (a[1] == '-') {
            const std::size_t eq = a.find('=');
            item->name = a.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
            item->hasValue = eq != std::string::npos;
            if (item->hasValue) item->value = a.substr(eq + 1);
            takesValue = isValueOption(item->name);
            if (!takesValue && !isFlagOption(item->name))
                return fail("unknown option '--" + item->name + "'");
            if (!takesValue && item->hasValue)
                return fail("option --" + item->name + " takes no value");
        } else {
            const char* longName = longNameOf(a[1], &takesValue);
            if (longName == nullptr) return fail(std::string("unknown option '-") + a[1] + "'");
            item->name = longName;
            item->hasValue = a.size() > 2;
            if (item->hasValue && !takesValue)
                return fail("unknown option '" + a + "' (give short options one by one)");
            if (item->hasValue) item->value = a.substr(2);
        }
        if (takesValue && !item->hasValue) {
            if (at_ >= args_.size()) return fail("option --" + item->name + " needs a value");
            item->value = args_[at_++];
            item->hasValue = true;
        }
        return true;
    }
    return false;
}

void printProgramError(const char* program, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
}

void printUsageError(const char* program, const std::string& message) {
    printProgramError(program, message);
    std::fprintf(stderr, "Try '%s --help' for more information.\n", program);
}

int answerCommandLine(ParseOutcome outcome, const char* program, const std::string& helpText,
                      const std::string& error) {
    switch (outcome) {
        case ParseOutcome::Help:
            std::fputs(helpText.c_str(), stdout);
            return kSuccess;
        case ParseOutcome::Version:
            std::printf("%s %s\n", program, RANGELOOM_VERSION);
            return kSuccess;
        case ParseOutcome::BadUsage:
            printUsageError(program, error);
            return kBadUsage;
        case ParseOutcome::Run:
            break;
    }
    return -1;
}
