#include "formats/ptx_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "formats/scan_pose.h"

namespace formats {

namespace {

constexpr std::size_t kMaxLine = 4096;

// Hands out the source's lines one at a time without their line end (LF,
// CR LF) or trailing blanks, reading it in pieces.
class LineReader {
public:
    explicit LineReader(ByteSource& source) : source_(source), buffer_(1 << 16) {}

    enum Result { Line, End, TooLong, Unreadable };

    Result next(std::string_view* line) {
        for (;;) {
            const char* begin = buffer_.data() + start_;
            const void* nl = std::memchr(begin, '\n', end_ - start_);
            if (nl != nullptr || (atEnd_ && start_ < end_)) {
                const std::size_t length =
                    nl != nullptr ? static_cast<const char*>(nl) - begin : end_ - start_;
                ++number_;
                if (length > kMaxLine) return TooLong;
                start_ += length + (nl != nullptr ? 1 : 0);
                *line = trimEnd(std::string_view(begin, length));
                return Line;
            }
            if (atEnd_) return End;
            if (end_ - start_ > kMaxLine) {
                ++number_;
                return TooLong;
            }
            if (!refill()) return Unreadable;
        }
    }

    uint64_t number() const { return number_; }  // of the last line read, from 1

private:
    static std::string_view trimEnd(std::string_view s) {
        while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t'))
            s.remove_suffix(1);
        return s;
    }

    bool refill() {
        std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
        end_ -= start_;
        start_ = 0;
        const uint64_t left = source_.size() - offset_;
        const std::size_t want =
            static_cast<std::size_t>(std::min<uint64_t>(left, buffer_.size() - end_));
        if (!source_.readAt(offset_, buffer_.data() + end_, want)) return false;
        offset_ += want;
        end_ += want;
        atEnd_ = offset_ == source_.size();
        return true;
    }

    ByteSource& source_;
    std::vector<char> buffer_;
    std::size_t start_ = 0, end_ = 0;  // unread bytes of the buffer
    uint64_t offset_ = 0;              // source offset of the buffer's end
    bool atEnd_ = false;
    uint64_t number_ = 0;
};

// Splits a line into words at blanks and tabs; at most `max` words are
// kept, the count is of all of them.
std::size_t splitWords(std::string_view line, std::string_view* words, std::size_t max) {
    std::size_t count = 0;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i == line.size()) break;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (count < max) words[count] = line.substr(start, i - start);
        ++count;
    }
    return count;
}

bool parseNumber(std::string_view word, double* value) {
    if (!word.empty() && word[0] == '+') word.remove_prefix(1);
    const char* end = word.data() + word.size();
    const auto result = std::from_chars(word.data(), end, *value);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(*value);
}

bool parseCount(std::string_view word, int64_t* value) {
    if (!word.empty() && word[0] == '+') word.remove_prefix(1);
    const char* end = word.data() + word.size();
    const auto result = std::from_chars(word.data(), end, *value);
    return result.ec == std::errc() && result.ptr == end;
}

// A read failed: the message, and unwinding to readPtx.
struct Failure {
    std::string message;
};

class PtxParser {
public:
    PtxParser(ByteSource& source, const std::string& fileName, ScanReceiver& receiver)
        : lines_(source), fileName_(fileName), receiver_(receiver) {}

    void run() {
        std::size_t index = 0;
        for (;; ++index) {
            std::string_view first;
            if (!nextNonBlank(&first, index + 1)) break;
            ScanHeader header;
            header.index = index;
            header.name = "scan " + std::to_string(index + 1);
            readHeader(first, &header);
            const Next next = receiver_.beginScan(header);
            if (next == Next::Stop) return;
            if (!readPoints(header, next == Next::Read)) return;
        }
        if (index == 0) throw Failure{fileName_ + ": no scan: the file is empty"};
    }

private:
    [[noreturn]] void fail(std::size_t scan, const std::string& what) const {
        std::string where = fileName_;
        if (scan > 0) where += ": scan " + std::to_string(scan);
        if (lines_.number() > 0) where += ", line " + std::to_string(lines_.number());
        throw Failure{where + ": " + what};
    }

    // The next line; false at the end of the source.
    bool nextLine(std::string_view* line, std::size_t scan) {
        switch (lines_.next(line)) {
            case LineReader::Line:
                return true;
            case LineReader::End:
                return false;
            case LineReader::TooLong:
                fail(scan, "the line is longer than 4096 characters");
            case LineReader::Unreadable:
                break;
        }
        fail(scan, "the file cannot be read");
    }

    bool nextNonBlank(std::string_view* line, std::size_t scan) {
        while (nextLine(line, scan))
            if (!line->empty()) return true;
        return false;
    }

    void headerLine(std::size_t scan, const char* what, std::size_t count, double* values) {
        std::string_view line;
        if (!nextLine(&line, scan)) fail(scan, std::string("the file ends before ") + what);
        numbersOn(line, scan, what, count, values);
    }

    void numbersOn(std::string_view line, std::size_t scan, const char* what, std::size_t count,
                   double* values) {
        std::string_view words[8];
        const std::size_t n = splitWords(line, words, 8);
        if (n != count)
            fail(scan, "expected " + std::to_string(count) + " numbers (" + what + "), found " +
                           std::to_string(n) + " words");
        for (std::size_t k = 0; k < count; ++k)
            if (!parseNumber(words[k], &values[k]))
                fail(scan, "'" + std::string(words[k]) + "' is not a finite number (" + what + ")");
    }

    int64_t sizeLine(std::string_view line, std::size_t scan, const char* what) {
        std::string_view words[2];
        int64_t value = 0;
        if (splitWords(line, words, 2) != 1 || !parseCount(words[0], &value) || value < 1 ||
            value > (int64_t(1) << 31))
            fail(scan, std::string("expected the number of ") + what +
                           " (a whole number from 1 to 2^31), found '" + std::string(line) + "'");
        return value;
    }

    void readHeader(std::string_view first, ScanHeader* header) {
        const std::size_t scan = header->index + 1;
        header->columns = sizeLine(first, scan, "columns");
        std::string_view line;
        if (!nextLine(&line, scan)) fail(scan, "the file ends before the number of rows");
        header->rows = sizeLine(line, scan, "rows");
        header->structured = true;
        header->hasIntensity = true;
        header->recordCount = static_cast<uint64_t>(header->rows) * uint64_t(header->columns);
        double unused[3];
        headerLine(scan, "the scanner's position", 3, unused);
        headerLine(scan, "the scanner's x axis", 3, unused);
        headerLine(scan, "the scanner's y axis", 3, unused);
        headerLine(scan, "the scanner's z axis", 3, unused);
        double rows[4][4];
        for (int r = 0; r < 4; ++r) headerLine(scan, "a row of the transform", 4, rows[r]);
        // PTX's matrix acts on row vectors; the pose's on column vectors.
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) header->pose.matrix[r][c] = rows[c][r];
        setQuaternionFromMatrix(&header->pose);
    }

    // Reads the scan's point lines; false when the receiver stops the read.
    bool readPoints(const ScanHeader& header, bool deliver) {
        const std::size_t scan = header.index + 1;
        const uint64_t rows = static_cast<uint64_t>(header.rows);
        std::vector<ScanPoint> block;
        if (deliver)
            block.reserve(
                static_cast<std::size_t>(std::min<uint64_t>(header.recordCount, kBlockPoints)));
        for (uint64_t k = 0; k < header.recordCount; ++k) {
            std::string_view line;
            if (!nextLine(&line, scan))
                fail(scan, "the file ends after " + std::to_string(k) + " of the scan's " +
                               std::to_string(header.recordCount) + " points");
            if (!deliver) continue;
            std::string_view words[8];
            const std::size_t n = splitWords(line, words, 8);
            if (n != 4 && n != 7)
                fail(scan,
                     "expected a point (4 or 7 numbers), found " + std::to_string(n) + " words");
            double v[7];
            for (std::size_t i = 0; i < n; ++i)
                if (!parseNumber(words[i], &v[i]))
                    fail(scan, "'" + std::string(words[i]) + "' is not a finite number");
            ScanPoint p;
            p.column = static_cast<int64_t>(k / rows);
            p.row = static_cast<int64_t>(rows - 1 - k % rows);
            p.valid = !(v[0] == 0.0 && v[1] == 0.0 && v[2] == 0.0);
            if (p.valid) {
                p.x = v[0];
                p.y = v[1];
                p.z = v[2];
            }
            p.intensity = static_cast<float>(v[3]);
            block.push_back(p);
            if (block.size() == kBlockPoints) {
                if (!receiver_.points(block.data(), block.size())) return false;
                block.clear();
            }
        }
        if (!block.empty() && !receiver_.points(block.data(), block.size())) return false;
        return receiver_.endScan();
    }

    LineReader lines_;
    const std::string& fileName_;
    ScanReceiver& receiver_;
};

}  // namespace

ReadStatus readPtx(ByteSource& source, const std::string& fileName, ScanReceiver& receiver) {
    try {
        PtxParser(source, fileName, receiver).run();
    } catch (const Failure& f) {
        return ReadStatus{false, f.message};
    }
    return ReadStatus{};
}

}  // namespace formats
