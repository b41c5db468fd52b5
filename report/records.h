// The record files of one translated source file: the .ots file (one record
// per script element: code, id, text, line and parent) and the .tsf file
// (source path, instances, messages MS and texts TX, each after its line LK).
#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <string>

namespace zepreport {

struct Element {
    uint64_t id = 0;
    std::string code;       // two-letter .ots code ("TC", "CH" ...); empty for ON ERROR, which has none
    std::string text;       // the .ots text, unescaped; for ON ERROR the name from its message
    uint64_t line = 0;      // "line=" of the .ots record, else the LK line of the .tsf
    uint64_t parent = 0;    // "dad="
    bool onError = false;   // an ON ERROR block, known only from the .tsf
    bool hasMessage = false, hasTextRecord = false;
    std::string message;    // MS record of id + 1000000
    std::string textRecord; // TX record of id + 2000000 (on one line)
};

struct RecordSet {
    std::string otsPath, tsfPath;
    std::string source;    // the source file's path (tidied), for the report's head
    std::string fileName;  // the source file's name without directory, for "file:line"
    uint32_t checksumA = 0, checksumB = 0;
    std::map<uint64_t, Element> elements;

    const Element *find(uint64_t id) const;
    // "file:line" of an element.
    std::string where(const Element &element) const;
    // Name of the element's kind as the scripts write it ("TEST CASE").
    static std::string kindName(const Element &element);
};

// Reads and checks both record files. On failure error holds
// "file:line: reason" and false is returned.
bool readRecordSet(const std::string &otsPath, const std::string &tsfPath, RecordSet &records, std::string &error);
// The same on streams; the paths only name the files in messages.
bool parseRecordSet(std::istream &ots, const std::string &otsPath, std::istream &tsf, const std::string &tsfPath,
                    RecordSet &records, std::string &error);

// The checksum pair of a record file, from its trailer: the CK record of an
// .ots file (ots true) or the ID record of a .tsf file. False when the file
// cannot be read or has no such trailer.
bool readChecksumPair(const std::string &path, bool ots, uint32_t &a, uint32_t &b);

} // namespace zepreport
