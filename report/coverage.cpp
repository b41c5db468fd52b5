// Coverage from the snapshots of a run. Each snapshot holds every object's
// counters as they stood then; the counters only grow, so a test case's
// own counts are its end snapshot less its begin snapshot, and what ran
// outside any test case is the last snapshot less every test case's own.
// gcov turns each snapshot into per-line counts; as all snapshots come from
// the same objects, gcov lists the same lines in the same order for each,
// and the counts are subtracted place by place.
#include "report/coverage.h"
#include "report/text.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace zepreport {

namespace {

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// The next line of text from at, without its line feed; false at the end
// or when the text ends inside the line.
bool nextLine(std::string_view text, size_t &at, std::string_view &line)
{
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos)
        return false;
    line = text.substr(at, end - at);
    at = end + 1;
    return true;
}

bool parseFileLine(std::string_view line, SourceFile &file)
{
    std::istringstream fields{std::string(line)};
    std::string word, index, a, b, rest;
    uint64_t indexValue, aValue, bValue;
    if (!(fields >> word >> index >> a >> b) || (fields >> rest) || !parseHex(index, indexValue) ||
        !parseHex(a, aValue) || !parseHex(b, bValue) || aValue > UINT32_MAX || bValue > UINT32_MAX)
        return false;
    file.checksumA = static_cast<uint32_t>(aValue);
    file.checksumB = static_cast<uint32_t>(bValue);
    return true;
}

// "GCDA <size> <path>" and the size bytes after it, then a line feed.
bool parseObject(std::string_view text, size_t &at, std::string_view line, GcdaFile &object)
{
    size_t blank = line.find(' ', 5);
    uint64_t size;
    if (blank == std::string_view::npos || !parseDecimal(line.substr(5, blank - 5), size) || blank + 1 == line.size())
        return false;
    if (size > text.size() - at || at + size >= text.size() || text[at + size] != '\n')
        return false;
    object.path = std::string(line.substr(blank + 1));
    object.bytes = std::string(text.substr(at, size));
    at += size + 1;
    return true;
}

bool parseSnapshotHead(std::string_view line, Snapshot &snapshot)
{
    if (line.size() < 8 || line[6] != ' ' || std::string_view("BAE").find(line[5]) == std::string_view::npos)
        return false;
    snapshot.point = line[5];
    return parseDecimal(line.substr(7), snapshot.caseNumber);
}

// The stamp that gcc gives an object's notes and data files alike: the
// third word of either file's header.
bool stampOf(const std::string &bytes, std::string &stamp)
{
    if (bytes.size() < 12)
        return false;
    stamp = bytes.substr(8, 4);
    return true;
}

bool readWhole(const std::string &path, std::string &text)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return static_cast<bool>(in) || in.eof();
}

// Writes the snapshot's data files into directory with links to their
// notes files; a notes file that is missing or from another build makes
// the coverage stale.
bool placeSnapshot(const Snapshot &snapshot, const std::filesystem::path &directory, std::string &error)
{
    std::filesystem::create_directory(directory);
    for (size_t object = 0; object < snapshot.objects.size(); object++) {
        const GcdaFile &gcda = snapshot.objects[object];
        std::string notes = gcda.path.substr(0, gcda.path.size() - (gcda.path.size() >= 5 ? 5 : 0)) + ".gcno";
        std::string head, notesStamp, dataStamp;
        std::ifstream in(notes, std::ios::binary);
        head.resize(12);
        if (!in.read(head.data(), 12)) {
            error = notes + ": the notes file of the covered object is missing; build and run again";
            return false;
        }
        if (!stampOf(head, notesStamp) || !stampOf(gcda.bytes, dataStamp) || notesStamp != dataStamp) {
            error = notes + ": the object was built again after the run (stale coverage); run the test again";
            return false;
        }
        std::string name = "o" + std::to_string(object);
        std::ofstream out(directory / (name + ".gcda"), std::ios::binary);
        out << gcda.bytes;
        std::error_code failed;
        std::filesystem::create_symlink(notes, directory / (name + ".gcno"), failed);
        if (!out || failed) {
            error = directory.string() + ": cannot write a file for gcov";
            return false;
        }
    }
    return true;
}

// One gcov for every snapshot: its data files are given in snapshot order
// ("<snapshot>/o<object>.gcda"), and it writes one document for each.
bool runGcov(const std::string &gcov, const std::filesystem::path &directory, const std::vector<Snapshot> &snapshots,
             std::string &output, std::string &error)
{
    std::string arguments = "--json-format --stdout --branch-probabilities";
    for (size_t at = 0; at < snapshots.size(); at++)
        for (size_t object = 0; object < snapshots[at].objects.size(); object++)
            arguments.append(" ").append(std::to_string(at)).append("/o").append(std::to_string(object)).append(".gcda");
    return runCaptured(directory.string(), gcov, arguments, output, error);
}

// gcov's documents, one per data file, dealt out to their snapshots.
bool dealOut(std::vector<GcovDocument> &all, const std::vector<Snapshot> &snapshots,
             std::vector<std::vector<GcovDocument>> &documents)
{
    size_t next = 0;
    for (const Snapshot &snapshot : snapshots) {
        if (all.size() - next < snapshot.objects.size())
            return false;
        documents.emplace_back(std::make_move_iterator(all.begin() + static_cast<long>(next)),
                               std::make_move_iterator(all.begin() + static_cast<long>(next + snapshot.objects.size())));
        next += snapshot.objects.size();
    }
    return next == all.size();
}

// Every count of the documents in one row, in gcov's order: per file its
// lines (count, then each branch) and then its functions.
std::vector<uint64_t> flatten(const std::vector<GcovDocument> &documents)
{
    std::vector<uint64_t> counts;
    for (const GcovDocument &document : documents)
        for (const GcovFile &file : document.files) {
            for (const GcovLine &line : file.lines) {
                counts.push_back(line.count);
                counts.insert(counts.end(), line.branches.begin(), line.branches.end());
            }
            for (const GcovFunction &function : file.functions)
                counts.push_back(function.count);
        }
    return counts;
}

void subtract(std::vector<uint64_t> &from, const std::vector<uint64_t> &amount)
{
    for (size_t at = 0; at < from.size(); at++)
        from[at] = from[at] > amount[at] ? from[at] - amount[at] : 0;
}

struct LineSum {
    uint64_t hits = 0;
    std::vector<uint64_t> branches;
    std::set<uint64_t> buckets;
};

struct FileSum {
    std::map<uint64_t, LineSum> lines;
    std::map<std::pair<uint64_t, std::string>, uint64_t> functions;
};

// A line that stands in several functions (templates, inline functions in
// several objects) adds up; branches add up place by place where the lists
// agree.
void addLine(LineSum &sum, uint64_t hits, const uint64_t *branches, size_t branchCount)
{
    sum.hits += hits;
    if (sum.branches.size() == branchCount) {
        for (size_t at = 0; at < branchCount; at++)
            sum.branches[at] += branches[at];
    } else {
        sum.branches.insert(sum.branches.end(), branches, branches + branchCount);
    }
}

// Walks the documents' structure over the final counts and each bucket's.
void sumUp(const std::vector<GcovDocument> &documents, const std::vector<uint64_t> &final,
           const std::vector<std::vector<uint64_t>> &buckets, const CoverageScope &scope,
           std::map<std::string, FileSum> &sums)
{
    size_t at = 0;
    for (const GcovDocument &document : documents)
        for (const GcovFile &file : document.files) {
            bool counted = scope.counts(file.path);
            FileSum *sum = counted ? &sums[file.path] : nullptr;
            for (const GcovLine &line : file.lines) {
                if (sum) {
                    LineSum &lineSum = sum->lines[line.number];
                    addLine(lineSum, final[at], &final[at + 1], line.branches.size());
                    for (size_t bucket = 0; bucket < buckets.size(); bucket++)
                        if (!buckets[bucket].empty() && buckets[bucket][at] > 0)
                            lineSum.buckets.insert(bucket);
                }
                at += 1 + line.branches.size();
            }
            for (const GcovFunction &function : file.functions) {
                if (sum)
                    sum->functions[{function.startLine, function.name}] += final[at];
                at++;
            }
        }
}

void countBranches(LineCoverage &line)
{
    line.branches = line.branchCounts.size();
    line.branchesTaken = static_cast<uint64_t>(
        std::count_if(line.branchCounts.begin(), line.branchCounts.end(), [](uint64_t n) { return n > 0; }));
}

void mergeLine(LineCoverage &into, const LineCoverage &from, uint64_t bucketOffset)
{
    LineSum sum{into.hits, into.branchCounts, {into.buckets.begin(), into.buckets.end()}};
    addLine(sum, from.hits, from.branchCounts.data(), from.branchCounts.size());
    for (uint64_t bucket : from.buckets)
        sum.buckets.insert(bucket + bucketOffset);
    into.hits = sum.hits;
    into.branchCounts = sum.branches;
    into.buckets.assign(sum.buckets.begin(), sum.buckets.end());
    countBranches(into);
}

void mergeFile(FileCoverage &into, const FileCoverage &from, uint64_t bucketOffset)
{
    std::map<uint64_t, LineCoverage> lines;
    for (const LineCoverage &line : into.lines)
        lines[line.number] = line;
    for (const LineCoverage &line : from.lines) {
        auto [at, added] = lines.insert({line.number, LineCoverage{line.number, 0, 0, 0, {}, {}}});
        mergeLine(at->second, line, bucketOffset);
    }
    into.lines.clear();
    for (auto &[number, line] : lines)
        into.lines.push_back(std::move(line));
    for (const FunctionCoverage &function : from.functions) {
        auto same = std::find_if(into.functions.begin(), into.functions.end(), [&](const FunctionCoverage &f) {
            return f.line == function.line && f.name == function.name;
        });
        if (same == into.functions.end())
            into.functions.push_back(function);
        else
            same->calls += function.calls;
    }
}

void putInOrder(const std::map<std::string, FileSum> &sums, const CoverageScope &scope, Coverage &coverage)
{
    for (const auto &[path, sum] : sums) {
        FileCoverage file;
        file.path = path;
        file.name = scope.shown(path);
        file.sourceFound = access(path.c_str(), R_OK) == 0;
        for (const auto &[number, line] : sum.lines) {
            LineCoverage out{number, line.hits, 0, 0, line.branches, {line.buckets.begin(), line.buckets.end()}};
            countBranches(out);
            file.lines.push_back(std::move(out));
        }
        for (const auto &[key, calls] : sum.functions)
            file.functions.push_back({key.second, key.first, calls});
        coverage.files.push_back(std::move(file));
    }
    std::sort(coverage.files.begin(), coverage.files.end(),
              [](const FileCoverage &a, const FileCoverage &b) { return a.name < b.name; });
}

bool isUnder(const std::string &path, std::string directory)
{
    while (directory.size() > 1 && directory.back() == '/')
        directory.pop_back();
    return path == directory || startsWith(path, directory == "/" ? "/" : directory + "/");
}

} // namespace

std::string shellQuoted(const std::string &text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool runCaptured(const std::string &directory, const std::string &program, const std::string &arguments,
                 std::string &output, std::string &error)
{
    std::string errors = directory + "/" + "tool.err";
    std::string command = "cd " + shellQuoted(directory) + " && " + shellQuoted(program) + " " + arguments + " 2>" +
                          shellQuoted(errors);
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) {
        error = "cannot run " + program;
        return false;
    }
    char buffer[65536];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, got);
    if (pclose(pipe) == 0)
        return true;
    std::string messages;
    readWhole(errors, messages);
    error = program + " failed" + (messages.empty() ? std::string() : ": " + oneLine(trimmed(messages)));
    return false;
}

bool CoverageScope::counts(const std::string &path) const
{
    std::string lower;
    for (char c : path.substr(path.size() >= 4 ? path.size() - 4 : 0))
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == ".otd" || lower == ".stb" || lower == ".dcl" || lower == ".otc")
        return false;
    for (const std::string &exclude : excludes)
        if (isUnder(path, exclude))
            return false;
    if (roots.empty())
        return !isUnder(path, "/usr");
    return std::any_of(roots.begin(), roots.end(), [&](const std::string &root) { return isUnder(path, root); });
}

std::string CoverageScope::shown(const std::string &path) const
{
    for (std::string root : roots) {
        while (root.size() > 1 && root.back() == '/')
            root.pop_back();
        if (isUnder(path, root) && path.size() > root.size() + 1)
            return path.substr(root == "/" ? 1 : root.size() + 1);
    }
    return path;
}

bool parseCoverageData(std::string_view text, const std::string &path, CoverageData &data, std::string &error)
{
    size_t at = 0;
    std::string_view line;
    if (!nextLine(text, at, line) || line != "ZEPCOV 1") {
        error = path + ": not a coverage file of format 1";
        return false;
    }
    Snapshot open;
    bool inSnapshot = false;
    while (nextLine(text, at, line)) {
        bool good = true;
        if (startsWith(line, "FILE ") && !inSnapshot) {
            data.files.emplace_back();
            good = parseFileLine(line, data.files.back());
        } else if (startsWith(line, "SNAP ") && !inSnapshot) {
            open = Snapshot();
            good = inSnapshot = parseSnapshotHead(line, open);
        } else if (startsWith(line, "GCDA ") && inSnapshot) {
            open.objects.emplace_back();
            // A crash while the bytes were written cuts the snapshot off.
            if (!parseObject(text, at, line, open.objects.back()))
                return true;
        } else if (line == "DONE" && inSnapshot) {
            data.snapshots.push_back(std::move(open));
            inSnapshot = false;
        } else {
            good = false;
        }
        if (!good) {
            error = path + ": unexpected line " + quoted(line, 60);
            return false;
        }
    }
    return true;
}

bool buildCoverage(const std::vector<std::vector<GcovDocument>> &snapshots, const CoverageData &data,
                   const CoverageScope &scope, Coverage &coverage, std::string &error)
{
    if (snapshots.empty())
        return true;
    std::vector<std::vector<uint64_t>> counts;
    for (const std::vector<GcovDocument> &documents : snapshots) {
        counts.push_back(flatten(documents));
        if (counts.back().size() != counts.front().size()) {
            error = "the snapshots of the coverage file are not of the same objects";
            return false;
        }
    }
    // Bucket 0 is filled last: what the test cases' own counts leave.
    std::vector<std::vector<uint64_t>> buckets(1);
    std::map<uint64_t, size_t> begun;
    for (size_t at = 0; at < data.snapshots.size(); at++) {
        const Snapshot &snapshot = data.snapshots[at];
        uint64_t number = snapshot.caseNumber;
        if (snapshot.point == 'B') {
            begun[number] = at;
        } else if (snapshot.point == 'A' && begun.count(number) && number < (1u << 24)) {
            buckets.resize(std::max<size_t>(buckets.size(), number + 1));
            buckets[number] = counts[at];
            subtract(buckets[number], counts[begun[number]]);
            begun.erase(number);
        }
        coverage.cases = std::max(coverage.cases, number);
    }
    for (const auto &[number, at] : begun)
        coverage.lostCases.push_back(number);
    buckets[0] = counts.back();
    for (size_t bucket = 1; bucket < buckets.size(); bucket++)
        if (!buckets[bucket].empty())
            subtract(buckets[0], buckets[bucket]);
    std::map<std::string, FileSum> sums;
    sumUp(snapshots.back(), counts.back(), buckets, scope, sums);
    putInOrder(sums, scope, coverage);
    return true;
}

bool readCoverage(const std::string &path, const Trace &trace, const std::string &gcov, const CoverageScope &scope,
                  Coverage &coverage, std::string &error)
{
    std::string text;
    CoverageData data;
    if (!readWhole(path, text)) {
        error = path + ": cannot read the coverage file";
        return false;
    }
    if (!parseCoverageData(text, path, data, error))
        return false;
    bool sameTranslation = data.files.size() == trace.files.size();
    for (size_t at = 0; sameTranslation && at < data.files.size(); at++)
        sameTranslation = data.files[at].checksumA == trace.files[at].checksumA &&
                          data.files[at].checksumB == trace.files[at].checksumB;
    if (!sameTranslation) {
        error = path + ": the coverage file is not of the run of " + trace.path + " (stale); run the test again";
        return false;
    }
    char pattern[] = "/tmp/zepreport-XXXXXX";
    const char *base = mkdtemp(pattern);
    if (!base) {
        error = "cannot make a scratch directory for gcov";
        return false;
    }
    bool good = true;
    for (size_t at = 0; good && at < data.snapshots.size(); at++)
        good = placeSnapshot(data.snapshots[at], std::filesystem::path(base) / std::to_string(at), error);
    std::string output;
    std::vector<GcovDocument> all;
    std::vector<std::vector<GcovDocument>> documents;
    good = good && runGcov(gcov, base, data.snapshots, output, error) && parseGcovJson(output, all, error);
    if (good && !dealOut(all, data.snapshots, documents)) {
        error = gcov + " did not read every object of " + path;
        good = false;
    }
    std::error_code ignored;
    std::filesystem::remove_all(base, ignored);
    return good && buildCoverage(documents, data, scope, coverage, error);
}

void mergeCoverage(Coverage &into, const Coverage &from, uint64_t bucketOffset)
{
    for (const FileCoverage &file : from.files) {
        auto same = std::find_if(into.files.begin(), into.files.end(),
                                 [&](const FileCoverage &f) { return f.path == file.path; });
        if (same == into.files.end()) {
            into.files.push_back(FileCoverage{file.path, file.name, {}, {}, file.sourceFound});
            same = into.files.end() - 1;
        }
        mergeFile(*same, file, bucketOffset);
    }
    std::sort(into.files.begin(), into.files.end(),
              [](const FileCoverage &a, const FileCoverage &b) { return a.name < b.name; });
    for (uint64_t lost : from.lostCases)
        into.lostCases.push_back(lost + bucketOffset);
    into.cases = std::max(into.cases, from.cases + bucketOffset);
}

CoverageTotals fileTotals(const FileCoverage &file)
{
    CoverageTotals totals;
    for (const LineCoverage &line : file.lines) {
        totals.lines++;
        totals.linesHit += line.hits > 0;
        totals.branches += line.branches;
        totals.branchesTaken += line.branchesTaken;
    }
    for (const FunctionCoverage &function : file.functions) {
        totals.functions++;
        totals.functionsCalled += function.calls > 0;
    }
    return totals;
}

CoverageTotals coverageTotals(const Coverage &coverage)
{
    CoverageTotals sum;
    for (const FileCoverage &file : coverage.files) {
        CoverageTotals one = fileTotals(file);
        sum.lines += one.lines;
        sum.linesHit += one.linesHit;
        sum.branches += one.branches;
        sum.branchesTaken += one.branchesTaken;
        sum.functions += one.functions;
        sum.functionsCalled += one.functionsCalled;
    }
    return sum;
}

} // namespace zepreport
