// The one place through which the loaders, the analysis and the writers send
// their console reports. Normally the text goes straight to standard output
// (through stdio, so it keeps its order with anything else printed there).
// On a thread with a ConsoleCapture open it is collected instead, so that
// work done on several threads can be reported afterwards, in its order.
// setConsoleQuiet drops everything, for tools that print their own summary.
#pragma once

#include <sstream>
#include <string>

// printf to the console.
void consolePrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Text to the console as it is.
void consoleWrite(const std::string& text);
// Drops all console text while on (all threads).
void setConsoleQuiet(bool quiet);

// Text formatted like the standard output stream formats it (numbers with six
// significant digits), written to the console when the statement ends:
//   ConsoleText() << "center " << c.x << " " << c.y << std::endl;
class ConsoleText {
public:
    ConsoleText() = default;
    ConsoleText(const ConsoleText&) = delete;
    ConsoleText& operator=(const ConsoleText&) = delete;
    ~ConsoleText() { consoleWrite(text_.str()); }

    template <typename T>
    ConsoleText& operator<<(const T& value) {
        text_ << value;
        return *this;
    }
    // std::endl and the like: a line end.
    ConsoleText& operator<<(std::ostream& (*)(std::ostream&)) {
        text_ << '\n';
        return *this;
    }

private:
    std::ostringstream text_;
};

// Collects the console text of the current thread while it lives.
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    // The text collected so far (and forgets it).
    std::string take();

private:
    std::string text_;
    std::string* previous_;
};
