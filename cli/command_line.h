// The command-line syntax of the batch programs: long options "--name",
// "--name=VALUE" or "--name VALUE", short ones "-x", "-xVALUE" or "-x VALUE",
// "--" ends the options; anything else (and "-" alone) is an operand. The
// programs keep their own tables of options and what each one does.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// How much a batch program prints.
enum class Verbosity {
    Quiet,   // errors only
    Normal,  // progress (on a terminal), the report, warnings and errors
    Verbose  // also the loaders' console transcript and the steps of the work
};

// What a command line asks for.
enum class ParseOutcome {
    Run,      // do the program's work
    Help,     // print the help text and stop
    Version,  // print the version and stop
    BadUsage  // the arguments are wrong; the parser says why
};

// An option's long name (without "--") and short letter ('\0': none).
struct OptionName {
    const char* longName;
    char shortName;
};

// One word or option of a command line.
struct CommandLineItem {
    bool isOption = false;  // an option (else an operand, in value)
    std::string name;       // the option's long name
    std::string value;      // the option's value, or the operand
    bool hasValue = false;  // an option given a value (always for value options)
};

// Walks the arguments (without the program's name) in order.
class OptionScanner {
public:
    template <std::size_t V, std::size_t F>
    OptionScanner(const std::vector<std::string>& args, const OptionName (&valueOptions)[V],
                  const OptionName (&flagOptions)[F])
        : args_(args),
          values_(valueOptions, valueOptions + V),
          flags_(flagOptions, flagOptions + F) {}

    // The next item; false at the end of the arguments, or at a mistake, when
    // error() says why in one line ("unknown option '--x'", "option --x needs
    // a value", "option --x takes no value", ...).
    bool next(CommandLineItem* item);
    const std::string& error() const { return error_; }

private:
    bool fail(const std::string& why);
    bool isValueOption(const std::string& name) const;
    bool isFlagOption(const std::string& name) const;
    const char* longNameOf(char shortName, bool* takesValue) const;

    const std::vector<std::string>& args_;
    std::vector<OptionName> values_;
    std::vector<OptionName> flags_;
    std::size_t at_ = 0;
    bool optionsEnded_ = false;
    std::string error_;
};

// "PROGRAM: MESSAGE" on standard error.
void printProgramError(const char* program, const std::string& message);

// The same, then "Try 'PROGRAM --help' for more information.".
void printUsageError(const char* program, const std::string& message);

// What a batch program does with a command line that does not ask for its
// work: the help text on standard output, "PROGRAM VERSION", or the parser's
// error with the hint to --help. Returns the exit status, or -1 for Run.
int answerCommandLine(ParseOutcome outcome, const char* program, const std::string& helpText,
                      const std::string& error);
