#include "report/sources.h"
#include "report/text.h"

#include <algorithm>
#include <filesystem>

namespace zepreport {

namespace {

namespace fs = std::filesystem;

// One pair of record files, by their common path without the ending:
// "dir/lift.otd01" for dir/lift.otd01.ots and dir/lift.otd01.tsf.
struct Candidate {
    std::string stem;
    uint64_t fileNumber = 0;  // the digits the name ends with (01: the first source file)
    bool hasOts = false, hasTsf = false;
    bool otsPair = false, tsfPair = false;  // the trailer could be read
    uint32_t otsA = 0, otsB = 0, tsfA = 0, tsfB = 0;

    std::string ots() const { return stem + ".ots"; }
    std::string tsf() const { return stem + ".tsf"; }
    bool otsIs(const SourceFile &file) const { return otsPair && otsA == file.checksumA && otsB == file.checksumB; }
    bool tsfIs(const SourceFile &file) const { return tsfPair && tsfA == file.checksumA && tsfB == file.checksumB; }
};

bool recordEnding(const std::string &name, std::string &stem)
{
    if (name.size() <= 4)
        return false;
    std::string ending = name.substr(name.size() - 4);
    if (ending != ".ots" && ending != ".tsf")
        return false;
    stem = name.substr(0, name.size() - 4);
    return true;
}

bool collectStems(const std::vector<std::string> &places, std::vector<std::string> &stems, std::string &error)
{
    for (const std::string &place : places) {
        std::error_code failure;
        fs::file_status status = fs::status(place, failure);
        std::string stem;
        if (fs::is_directory(status)) {
            std::vector<std::string> found;
            for (fs::directory_iterator entry(place, failure), end; !failure && entry != end; entry.increment(failure)) {
                std::error_code ignored;
                if (entry->is_regular_file(ignored) && recordEnding(entry->path().filename().string(), stem))
                    found.push_back(tidyPath((entry->path().parent_path() / stem).string()));
            }
            if (failure) {
                error = place + ": cannot read the directory";
                return false;
            }
            std::sort(found.begin(), found.end());
            stems.insert(stems.end(), found.begin(), found.end());
        } else if (fs::exists(status)) {
            if (!recordEnding(place, stem)) {
                error = place + ": not a record file (.ots or .tsf) and not a directory";
                return false;
            }
            stems.push_back(tidyPath(stem));
        } else {
            error = place + ": no such file or directory";
            return false;
        }
    }
    std::vector<std::string> unique;
    for (const std::string &stem : stems)
        if (std::find(unique.begin(), unique.end(), stem) == unique.end())
            unique.push_back(stem);
    stems = unique;
    return true;
}

Candidate examine(const std::string &stem)
{
    Candidate candidate;
    candidate.stem = stem;
    std::string name = fs::path(stem).filename().string();
    size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9')
        digits--;
    if (digits < name.size() && name.size() - digits <= 9)
        candidate.fileNumber = std::stoull(name.substr(digits));
    std::error_code ignored;
    candidate.hasOts = fs::exists(candidate.ots(), ignored);
    candidate.hasTsf = fs::exists(candidate.tsf(), ignored);
    if (candidate.hasOts)
        candidate.otsPair = readChecksumPair(candidate.ots(), true, candidate.otsA, candidate.otsB);
    if (candidate.hasTsf)
        candidate.tsfPair = readChecksumPair(candidate.tsf(), false, candidate.tsfA, candidate.tsfB);
    return candidate;
}

std::string pairText(bool readable, uint32_t a, uint32_t b)
{
    return readable ? checksumText(a, b) : std::string("no checksum trailer");
}

// "source file 0 (run.trace:3, checksum pair 12h 34h)"
std::string sourceText(const Trace &trace, size_t index)
{
    const SourceFile &file = trace.files[index];
    return "source file " + std::to_string(index) + " (" + trace.path + ":" + std::to_string(file.line) +
           ", checksum pair " + checksumText(file.checksumA, file.checksumB) + ")";
}

// The other file of a pair whose one file matches is wrong: missing or stale.
std::string halfMatch(const Trace &trace, size_t index, const Candidate &candidate, bool otsMatches)
{
    const std::string &good = otsMatches ? candidate.ots() : candidate.tsf();
    const std::string &bad = otsMatches ? candidate.tsf() : candidate.ots();
    bool present = otsMatches ? candidate.hasTsf : candidate.hasOts;
    if (!present)
        return bad + ": record file missing; " + good + " is that of " + sourceText(trace, index);
    bool readable = otsMatches ? candidate.tsfPair : candidate.otsPair;
    uint32_t a = otsMatches ? candidate.tsfA : candidate.otsA, b = otsMatches ? candidate.tsfB : candidate.otsB;
    return bad + ": stale record file (" + pairText(readable, a, b) + "): " + good + " is that of " +
           sourceText(trace, index) + "; translate the script again";
}

std::string staleFiles(const Trace &trace, size_t index, const std::vector<const Candidate *> &stale,
                       const std::vector<std::string> &places)
{
    if (stale.empty()) {
        std::string searched;
        for (const std::string &place : places)
            searched += (searched.empty() ? "" : ", ") + place;
        return "no record files for " + sourceText(trace, index) + " in " + searched;
    }
    std::string names;
    for (const Candidate *candidate : stale) {
        std::string shown = candidate->hasOts ? candidate->ots() : candidate->tsf();
        bool readable = candidate->hasOts ? candidate->otsPair : candidate->tsfPair;
        uint32_t a = candidate->hasOts ? candidate->otsA : candidate->tsfA;
        uint32_t b = candidate->hasOts ? candidate->otsB : candidate->tsfB;
        names += (names.empty() ? "" : ", ") + shown + " (" + pairText(readable, a, b) + ")";
    }
    if (stale.size() == 1)
        return names.substr(0, names.find(" (")) + ": stale record file" + names.substr(names.find(" (")) +
               ", not that of " + sourceText(trace, index) + "; translate the script again";
    return "stale record files " + names + ", none is that of " + sourceText(trace, index) +
           "; translate the script again";
}

} // namespace

bool findRecordSets(const Trace &trace, const std::vector<std::string> &places, std::vector<RecordSet> &sets,
                    std::string &error)
{
    std::vector<std::string> searched = places.empty() ? std::vector<std::string>{"."} : places;
    std::vector<std::string> stems;
    if (!collectStems(searched, stems, error))
        return false;
    std::vector<Candidate> candidates;
    for (const std::string &stem : stems)
        candidates.push_back(examine(stem));

    sets.assign(trace.files.size(), RecordSet());
    for (size_t index = 0; index < trace.files.size(); index++) {
        const SourceFile &file = trace.files[index];
        const Candidate *match = nullptr, *half = nullptr;
        std::vector<const Candidate *> stale;
        for (const Candidate &candidate : candidates) {
            bool ots = candidate.otsIs(file), tsf = candidate.tsfIs(file);
            if (ots && tsf) {
                match = &candidate;
                break;
            }
            if ((ots || tsf) && half == nullptr)
                half = &candidate;
            if (!ots && !tsf && candidate.fileNumber == index + 1)
                stale.push_back(&candidate);
        }
        if (match == nullptr) {
            error = half ? halfMatch(trace, index, *half, half->otsIs(file)) : staleFiles(trace, index, stale, searched);
            return false;
        }
        if (!readRecordSet(match->ots(), match->tsf(), sets[index], error))
            return false;
    }
    return true;
}

} // namespace zepreport
