#include "scan/scan_config.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "files/printable_name.h"
#include "files/regular_file.h"
#include "formats/scan_pose.h"
#include "formats/structured_scan.h"
#include "parallel/parallel_for.h"
#include "scan/ply_mesh.h"
#include "scene/console.h"
#include "scene/materials.h"
#include "scene/plain_paths.h"
#include "scene/range_grid.h"
#include "scene/scene_state.h"

namespace {

bool fileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// The fields of one record. They keep their values from one record to the
// next, so a record cut short reuses the missing fields of the one before.
struct Record {
    std::string keyword;
    std::string file;
    float tx = 0, ty = 0, tz = 0;
    float qx = 0, qy = 0, qz = 0, qw = 0;
};

// Words are whole up to this many characters; longer ones (no file name can
// be, PATH_MAX being 4096 with its terminator) end the reading.
constexpr int kMaxConfigWord = 4096;
#define RANGELOOM_WORD_WIDTH "4096"

// After a conversion that took exactly kMaxConfigWord characters: whether
// the word goes on (and so is too long).
bool wordGoesOn(FILE* f) {
    const int c = std::getc(f);
    if (c == EOF) return false;
    std::ungetc(c, f);
    return !std::isspace(c);
}

// One word field ("%s"): 1, 0 or EOF as fscanf counts.
int readWord(FILE* f, std::string* out, bool* tooLong) {
    char* word = nullptr;
    // "m" makes fscanf allocate the word; clang's buffer check does not know
    // the modifier and takes &word for an 8-byte buffer.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wfortify-source"
#endif
    const int n = std::fscanf(f, "%" RANGELOOM_WORD_WIDTH "ms", &word);
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
    if (word != nullptr) {
        *out = word;
        if (std::strlen(word) == std::size_t(kMaxConfigWord) && wordGoesOn(f)) *tooLong = true;
    }
    std::free(word);
    return n;
}

// One number field ("%f"): 1, 0 or EOF as fscanf counts.
int readNumber(FILE* f, float* out, bool* tooLong) {
    int start = 0, end = 0;
    const int n = std::fscanf(f, " %n%" RANGELOOM_WORD_WIDTH "f%n", &start, out, &end);
    if (n == 1 && end - start == kMaxConfigWord && wordGoesOn(f)) *tooLong = true;
    return n;
}

// Reads one record with the format "%s %s %f %f %f %f %f %f %f", field by
// field with the same outcome. Returns false at the end of the input, before
// any field was read; a field that is not a number ends the record early and
// stays in the input for the next one. A word longer than kMaxConfigWord
// sets *tooLong and ends the record.
bool readRecord(FILE* f, Record* r, bool* tooLong) {
    if (readWord(f, &r->keyword, tooLong) == EOF) return false;
    if (*tooLong || readWord(f, &r->file, tooLong) != 1 || *tooLong) return true;
    for (float* field : {&r->tx, &r->ty, &r->tz, &r->qx, &r->qy, &r->qz, &r->qw})
        if (readNumber(f, field, tooLong) != 1 || *tooLong) return true;
    return true;
}

// A second reading of the configuration, behind the records: the line of
// each word and the words between two places, so that a record's words can
// be named with their lines.
class WordLines {
public:
    struct Word {
        long long line;
        std::string text;  // at most kMaxConfigWord + 1 characters
    };
    explicit WordLines(FILE* f) : f_(f) {}

    // The words from where the last call stopped up to offset (a word that
    // goes on past offset ends there: the next record takes the rest).
    std::vector<Word> upTo(long offset) {
        std::vector<Word> words;
        while (at_ < offset) {
            const int c = std::getc(f_);
            if (c == EOF) break;
            ++at_;
            if (std::isspace(c)) {
                end(&words);
                if (c == '\n') ++line_;
            } else {
                if (word_.text.empty()) word_.line = line_;
                if (word_.text.size() <= std::size_t(kMaxConfigWord)) word_.text += char(c);
            }
        }
        end(&words);
        return words;
    }
    long long line() const { return line_; }

private:
    void end(std::vector<Word>* words) {
        if (word_.text.empty()) return;
        words->push_back(std::move(word_));
        word_ = Word{};
    }
    FILE* f_;
    long at_ = 0;
    long long line_ = 1;
    Word word_{0, std::string()};
};

bool isKeyword(const std::string& word, const char* keyword) {
    return word.size() == std::strlen(keyword) && strcasecmp(word.c_str(), keyword) == 0;
}

// Why the record's pose cannot place a scan, or "": a quaternion that is
// zero (its squared length is, in single precision: every point would land
// on the translation) or not finite, a translation that is not finite.
std::string poseProblem(const Record& r) {
    char numbers[160];
    if (!std::isfinite(r.qx) || !std::isfinite(r.qy) || !std::isfinite(r.qz) ||
        !std::isfinite(r.qw)) {
        std::snprintf(numbers, sizeof numbers,
                      "its rotation quaternion is not finite (%g %g %g %g)", double(r.qx),
                      double(r.qy), double(r.qz), double(r.qw));
        return numbers;
    }
    if (r.qx * r.qx + r.qy * r.qy + r.qz * r.qz + r.qw * r.qw == 0.0f) {
        std::snprintf(numbers, sizeof numbers, "its rotation quaternion is zero (%g %g %g %g)",
                      double(r.qx), double(r.qy), double(r.qz), double(r.qw));
        return numbers;
    }
    if (!std::isfinite(r.tx) || !std::isfinite(r.ty) || !std::isfinite(r.tz)) {
        std::snprintf(numbers, sizeof numbers, "its translation is not finite (%g %g %g)",
                      double(r.tx), double(r.ty), double(r.tz));
        return numbers;
    }
    return std::string();
}

// At most this many lines name unused words, each with at most about
// kShownLineLength characters of them; a file of garbage would otherwise
// give a line for each of its lines, or one as long as the file.
constexpr std::size_t kMaxUnusedLines = 20;
constexpr std::size_t kShownWordLength = 64;
constexpr std::size_t kShownLineLength = 400;

// Collects the words of records that no keyword uses, line by line.
class UnusedWords {
public:
    explicit UnusedWords(const std::string& config) : config_(files::printableName(config)) {}
    void add(const std::vector<WordLines::Word>& words) {
        for (const WordLines::Word& w : words) {
            if (w.line != line_) flushLine();
            line_ = w.line;
            ++count_;
            if (lines_.size() >= kMaxUnusedLines || words_.size() > kShownLineLength) {
                cut_ = cut_ || lines_.size() < kMaxUnusedLines;
                continue;
            }
            std::string shown = w.text.size() > kShownWordLength
                                    ? w.text.substr(0, kShownWordLength) + "..."
                                    : w.text;
            words_ += (words_.empty() ? "" : " ") + files::printableName(shown);
        }
    }
    std::vector<std::string> lines() {
        flushLine();
        if (notShown_ > 0)
            lines_.push_back(config_ + ": " + std::to_string(notShown_) +
                             " more words on later lines are not used by any record either");
        return lines_;
    }

private:
    void flushLine() {
        if (count_ == 0) return;
        if (lines_.size() < kMaxUnusedLines)
            lines_.push_back(config_ + ", line " + std::to_string(line_) +
                             ": words not used by any record: " + words_ + (cut_ ? " ..." : ""));
        else
            notShown_ += count_;
        words_.clear();
        count_ = 0;
        cut_ = false;
    }
    std::string config_;
    std::vector<std::string> lines_;
    long long line_ = 0;
    std::string words_;  // shown words of line_, so far
    bool cut_ = false;   // words of line_ not shown
    std::size_t count_ = 0;
    std::size_t notShown_ = 0;
};

}  // namespace

std::string resolveScanPath(const std::string& scanName, const std::string& configName) {
    if (scanName.empty() || scanName[0] == '/' || fileExists(scanName)) return scanName;
    const std::size_t slash = configName.rfind('/');
    if (slash == std::string::npos) return scanName;
    const std::string beside = configName.substr(0, slash + 1) + scanName;
    return fileExists(beside) ? beside : scanName;
}

namespace {

// The distance of raster neighbours k and k + 1 when both hold a point, and
// that distance is a spacing at all (neither zero nor infinite nor nan);
// negative otherwise.
float neighbourSpacing(const PlyMesh& scan, std::size_t k) {
    const std::vector<int32_t>& g = scan.gridIndex;
    if (g[k] == -1 || g[k + 1] == -1) return -1.0f;
    const float d = (scan.vertices[g[k]] - scan.vertices[g[k + 1]]).length();
    return std::isfinite(d) && d > 0.0f ? d : -1.0f;
}

}  // namespace

float defaultTossThreshold(const PlyMesh& scan) {
    const std::vector<int32_t>& g = scan.gridIndex;
    for (std::size_t k = 0; k + 1 < g.size(); ++k) {
        const float d = neighbourSpacing(scan, k);
        if (d > 0.0f) return d;
    }
    return tossThreshold;
}

float medianRasterSpacing(const PlyMesh& scan) {
    std::vector<float> spacings;
    for (std::size_t k = 0; k + 1 < scan.gridIndex.size(); ++k) {
        const float d = neighbourSpacing(scan, k);
        if (d > 0.0f) spacings.push_back(d);
    }
    if (spacings.empty()) return 0.0f;
    const auto middle = spacings.begin() + static_cast<std::ptrdiff_t>(spacings.size() / 2);
    std::nth_element(spacings.begin(), middle, spacings.end());
    return *middle;
}

std::string thresholdNote(const PlyMesh& scan, float threshold) {
    const float median = medianRasterSpacing(scan);
    if (!(median > 0.0f) || (threshold <= 10.0f * median && median <= 10.0f * threshold))
        return std::string();
    char line[256];
    std::snprintf(line, sizeof line,
                  "The first neighbouring points of %s are %g apart, its median spacing is %g: "
                  "the default removal threshold may not suit the scans",
                  files::printableName(scan.fileName).c_str(), double(threshold), double(median));
    return line;
}

namespace {

// One scan a job delivered, or the failure that ended the job.
struct ScanResult {
    Loaded<PlyMesh> loaded;  // the scan, posed and baked, or why it could not be read
    std::string report;      // the loader's console text
    std::string adding;      // the line saying it was added ("" for none)
};

// One bmesh record, loaded on a worker thread: a PLY file gives one result,
// a PTX or E57 file one per scan read and, when it could not be read to the
// end, its failure last.
struct ScanJob {
    Record record;
    std::string path;                 // where the scan is read from
    int id = 0;                       // object id of its first scan, given in record order
    bool lean = false;                // loaded lean (PlyLoadOptions::lean)
    std::vector<ScanResult> results;  // in file order
    std::string poseProblem;          // why the record cannot place the scan: it is not read
};

// Gives the scan the material, the baked pose and the display mode of a
// configuration's scans; place applies the pose.
template <typename Place>
void finishScan(PlyMesh& scan, const PlyLoadOptions& options, Place place) {
    scan.setMaterial(scanMaterial);
    place();
    // A lean scan whose triangles stay in its raster keeps no normals.
    scan.bakeWorldPositions(!(options.lean && trianglesInRaster(scan)));
    scan.setDisplayMode(Smooth);
}

// Loads and poses a PLY scan; its report is collected, to be printed in
// record order.
void loadPlyScan(ScanJob* job) {
    ScanResult result;
    ConsoleCapture capture;
    PlyLoadOptions options;
    options.normalsFromPose = true;
    options.lean = job->lean;
    result.loaded = PlyMesh::load(job->id, job->path, options);
    if (PlyMesh* s = result.loaded.mesh.get()) {
        const Record& r = job->record;
        finishScan(*s, options, [&] {
            s->rotate(Quaternion(r.qx, r.qy, r.qz, r.qw));
            s->translate(r.tx, r.ty, r.tz);
        });
    }
    result.report = capture.take();
    result.adding = "Adding PLY mesh from " + files::printableName(job->path);
    job->results.push_back(std::move(result));
}

// One scan of a PTX or E57 file as a range image, placed by its own pose
// and then the record's. A transform that no pose can express (a scaling,
// a mirroring) leaves the scan out.
ScanResult placedScan(formats::StructuredScan&& scan, const ScanJob& job) {
    ScanResult result;
    ConsoleCapture capture;
    const formats::ScanHeader h = scan.header;
    const double defect = formats::rigidDefect(h.pose);
    if (!(defect <= formats::kRigidTolerance)) {
        const std::string reason = "scan " + std::to_string(h.index + 1) +
                                   ": its transform is not a rotation and a translation (off by " +
                                   std::to_string(defect) + ")";
        consolePrintf("Could not place %s: %s\n", files::printableName(job.path).c_str(),
                      reason.c_str());
        result.loaded.status = {LoadFailure::ScanFileDamaged, reason, 0};
        result.report = capture.take();
        return result;
    }
    PlyLoadOptions options;
    options.normalsFromPose = true;
    options.lean = job.lean;
    result.loaded.mesh = PlyMesh::fromScan(job.id, std::move(scan), job.path, options);
    PlyMesh& s = *result.loaded.mesh;
    const Record& r = job.record;
    finishScan(s, options,
               [&] { s.placeScan(Quaternion(r.qx, r.qy, r.qz, r.qw), Vec3(r.tx, r.ty, r.tz)); });
    result.report = capture.take();
    result.adding = "Adding " + std::string(h.structured ? "" : "unstructured ") + "scan " +
                    std::to_string(h.index + 1) + " of " + files::printableName(job.path);
    return result;
}

// A failure of a PTX or E57 file as a whole, with its report line.
ScanResult scanFileFailure(LoadFailure kind, const std::string& reason, const std::string& line) {
    ScanResult result;
    result.loaded.status = {kind, reason, 0};
    result.report = line + "\n";
    return result;
}

// The reader's message without the file name it starts with.
std::string reasonOf(const std::string& message, const std::string& path) {
    const std::string prefix = path + ": ";
    return message.compare(0, prefix.size(), prefix) == 0 ? message.substr(prefix.size()) : message;
}

// Reads the file scan by scan: each scan is made a mesh, and its points
// freed, before the next one is read.
void loadScanFile(ScanJob* job) {
    const std::string& path = job->path;
    std::string why;
    FILE* f = files::openRegularFile(path, &why);
    if (f == nullptr) {
        job->results.push_back(scanFileFailure(
            LoadFailure::CannotOpen, why, "Could not open file " + files::printableName(path)));
        return;
    }
    std::fclose(f);
    const formats::ReadStatus status =
        formats::forEachScan(path, [job](formats::StructuredScan& scan) {
            job->results.push_back(placedScan(std::move(scan), *job));
            return true;
        });
    if (!status.ok)
        job->results.push_back(
            scanFileFailure(LoadFailure::ScanFileDamaged, reasonOf(status.message, path),
                            "Could not read " + files::printableName(status.message)));
}

void loadJob(ScanJob* job) {
    if (formats::isStructuredScanFile(job->path))
        loadScanFile(job);
    else
        loadPlyScan(job);
}

bool damaged(const ScanResult& result) {
    return result.loaded.status.failure == LoadFailure::DataDamaged;
}
bool damaged(const ScanJob& job) {
    return std::any_of(job.results.begin(), job.results.end(),
                       [](const ScanResult& r) { return damaged(r); });
}

// The jobs of the configuration's records, ids given in record order (a
// record whose pose cannot place its scan uses up its id too).
std::vector<ScanJob> jobsOf(const ScanConfigRecords& config, bool lean) {
    std::vector<ScanJob> jobs;
    for (const ScanRecord& r : config.records) {
        ScanJob job;
        job.record = {"bmesh", r.name, r.tx, r.ty, r.tz, r.qx, r.qy, r.qz, r.qw};
        job.path = r.path;
        job.id = nextScanId++;
        job.poseProblem = r.poseProblem;
        job.lean = lean;
        jobs.push_back(std::move(job));
    }
    return jobs;
}

// Scans are independent: they load on all cores. A damaged scan ends the
// reading as if the scans were read one after the other: the workers take
// no record after it (a later one already taken still loads, and is dropped).
// Returns the number of jobs up to and including the damaged one.
std::size_t loadJobs(std::vector<ScanJob>& jobs) {
    std::atomic<std::size_t> end{jobs.size()};
    parallelFor(jobs.size(), workerThreads(), [&](std::size_t begin, std::size_t stop, int) {
        for (std::size_t i = begin; i < stop && i < end; ++i) {
            if (!jobs[i].poseProblem.empty()) continue;
            loadJob(&jobs[i]);
            if (!damaged(jobs[i])) continue;
            std::size_t seen = end;
            while (i + 1 < seen && !end.compare_exchange_weak(seen, i + 1)) {
            }
        }
    });
    return end;
}

// Loads the jobs and hands the scans over in record order (within a file,
// in file order), reported as if read one after the other; then the
// threshold. A file with several scans gives each of them an id: the ids of
// the records after it move up.
// A record whose pose cannot place its scan is named (its poseFailureLine and
// "; the scan is left out") in its place.
void loadAndReport(std::vector<ScanJob>& jobs, ScanConfigLoad* result,
                   const ScanConfigRecords* config = nullptr) {
    result->bmeshRecords = static_cast<int>(jobs.size());
    const std::size_t loaded = loadJobs(jobs);
    result->unread = static_cast<int>(jobs.size() - loaded);
    int extraIds = 0;
    for (std::size_t i = 0; i < loaded; ++i) {
        ScanJob& job = jobs[i];
        if (!job.poseProblem.empty()) {
            const std::string line = poseFailureLine(*config, config->records[i]);
            consolePrintf("%s; the scan is left out\n", line.c_str());
            result->failures.push_back(
                {job.record.file, job.path, {LoadFailure::BadPose, job.poseProblem, 0}});
            continue;
        }
        int id = job.id + extraIds;
        for (ScanResult& r : job.results) {
            consoleWrite(r.report);
            if (damaged(r)) {
                result->failures.push_back({job.record.file, job.path, r.loaded.status});
                nextScanId += extraIds;
                return;
            }
            if (!r.adding.empty()) ConsoleText() << r.adding << std::endl;
            if (r.loaded.mesh == nullptr) {
                result->failures.push_back({job.record.file, job.path, r.loaded.status});
            } else {
                r.loaded.mesh->id = id;
                result->scans.push_back({job.record.file, job.path, std::move(r.loaded.mesh)});
            }
            ++id;
        }
        if (job.results.size() > 1) extraIds += static_cast<int>(job.results.size()) - 1;
    }
    nextScanId += extraIds;
    if (result->scans.size() > 1) {
        const PlyMesh& first = *result->scans[0].mesh;
        result->threshold = defaultTossThreshold(first);
        result->thresholdNote = thresholdNote(first, result->threshold);
        if (!result->thresholdNote.empty()) consolePrintf("%s\n", result->thresholdNote.c_str());
    }
    consolePrintf("%s %f\n",
                  "Threshold for point removal: ", static_cast<double>(result->threshold));
}

}  // namespace

ScanConfigRecords readScanRecords(const std::string& fileName) {
    ScanConfigRecords result;
    result.fileName = fileName;
    std::string why;
    FILE* f = files::openRegularFile(fileName, &why);
    FILE* text = f != nullptr ? std::fopen(fileName.c_str(), "r") : nullptr;
    if (text == nullptr) {
        if (f != nullptr) {
            why = std::strerror(errno);
            std::fclose(f);
        }
        result.config = {LoadFailure::CannotOpen, why, 0};
        return result;
    }
    WordLines lines(text);
    UnusedWords unused(fileName);
    Record r;
    bool tooLong = false;
    bool header = false;  // the records so far are those of a refined configuration's first line
    for (bool first = true; readRecord(f, &r, &tooLong); first = false) {
        const std::vector<WordLines::Word> words = lines.upTo(std::ftell(f));
        if (tooLong) {
            const long long line = words.empty() ? lines.line() : words.back().line;
            result.config = {LoadFailure::HeaderNotAccepted,
                             "line " + std::to_string(line) + " holds a word of more than " +
                                 std::to_string(kMaxConfigWord) +
                                 " characters: not a scan configuration",
                             0};
            break;
        }
        if (first)
            header = words.size() >= 2 && words[0].line == 1 && words[0].text == "#" &&
                     words[1].text == kRefinedConfigMarker;
        header = header && !isKeyword(r.keyword, "bmesh") && !isKeyword(r.keyword, "camera") &&
                 !words.empty() && words.back().line == 1;
        if (header) continue;
        for (const WordLines::Word& w : words)
            if (isKeyword(w.text, "bmesh")) ++result.bmeshWords;
        if (isKeyword(r.keyword, "camera")) continue;
        if (!isKeyword(r.keyword, "bmesh")) {
            unused.add(words);
            continue;
        }
        ScanRecord record;
        record.name = r.file;
        record.path = resolveScanPath(r.file, fileName);
        record.line = words.empty() ? lines.line() : words.front().line;
        record.tx = r.tx, record.ty = r.ty, record.tz = r.tz;
        record.qx = r.qx, record.qy = r.qy, record.qz = r.qz, record.qw = r.qw;
        record.poseProblem = poseProblem(r);
        result.records.push_back(std::move(record));
    }
    std::fclose(text);
    std::fclose(f);
    result.unusedWords = unused.lines();
    return result;
}

std::string poseFailureLine(const ScanConfigRecords& config, const ScanRecord& record) {
    return files::printableName(config.fileName) + ", line " + std::to_string(record.line) +
           ": bmesh " + files::printableName(record.name) + ": " + record.poseProblem;
}

ScanConfigLoad loadScanRecords(const ScanConfigRecords& config, bool lean) {
    ScanConfigLoad result;
    result.threshold = tossThreshold;
    result.config = config.config;
    const std::string shownName = files::printableName(config.fileName);
    if (!config.config.ok()) {
        if (config.config.failure == LoadFailure::CannotOpen &&
            !files::isNotRegularReason(config.config.reason))
            consolePrintf("Could not open file %s\n", shownName.c_str());
        else if (config.config.failure == LoadFailure::CannotOpen)
            consolePrintf("Could not open file %s: %s\n", shownName.c_str(),
                          config.config.reason.c_str());
        else
            consolePrintf("Could not read file %s: %s\n", shownName.c_str(),
                          config.config.reason.c_str());
        return result;
    }
    for (const std::string& line : config.unusedWords) consolePrintf("%s\n", line.c_str());
    std::vector<ScanJob> jobs = jobsOf(config, lean);
    loadAndReport(jobs, &result, &config);
    return result;
}

ScanConfigLoad readScanFileAsConfig(const std::string& path, bool lean) {
    ScanConfigLoad result;
    result.threshold = tossThreshold;
    std::vector<ScanJob> jobs(1);
    jobs[0].record.keyword = "bmesh";
    jobs[0].record.file = path;
    jobs[0].record.qw = 1.0f;
    jobs[0].path = path;
    jobs[0].id = nextScanId++;
    jobs[0].lean = lean;
    loadAndReport(jobs, &result);
    return result;
}

ScanConfigLoad readScanConfig(const std::string& fileName, bool lean) {
    return loadScanRecords(readScanRecords(fileName), lean);
}

void addScansToScene(ScanConfigLoad& load) {
    for (ConfigScan& scan : load.scans) {
        sceneList.push_back(scan.mesh.release());
        visibilityFlags.set(sceneList.size() - 1, true);
    }
    tossThreshold = load.threshold;
}
