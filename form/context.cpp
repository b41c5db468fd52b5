// The run's Context, its file entries and the run-wide scalars.
#include "driver/files.h"
#include "form/form.h"
#include "form/memory.h"

#include <cstdlib>
#include <cstring>

uint64_t errorCount;
uint64_t nextId = 2;
uint32_t currentFileNo = 1;
uint32_t otdFileCount;
Context *context;

const char *const TOOL_TITLE = "V++ Oved Izodazir";
const char *const FEATURE_LABEL = "Object Testing";
const char *const RELEASE_TEXT = "8.3.0.1.342.020";

Context *createContext()
{
    Context *made = static_cast<Context *>(zepAlloc(sizeof(Context)));
    if (made == nullptr)
        return nullptr;
    memset(made, 0, sizeof(Context));
    made->language = LANGUAGE_CPP;
    made->featureLabel = FEATURE_LABEL;
    made->toolTitle = TOOL_TITLE;
    made->maxErrors = 30;
    // A target directory that is set but cannot be copied fails the Context
    // rather than being silently dropped from the generated code.
    const char *target = getenv("KRNTGT");
    made->targetDirectory = copyEnvironment("KRNTGT");
    bool targetLost = target != nullptr && *target != '\0' && made->targetDirectory == nullptr;
    made->workingDirectory = targetLost ? nullptr : currentDirectoryPrefix(nullptr, 0);
    if (made->workingDirectory == nullptr) {
        zepFree(made);
        return nullptr;
    }
    return made;
}

void releaseContext(Context *released)
{
    if (released == nullptr)
        return;
    for (SourceName *cell = released->sourceNames; cell != nullptr;) {
        SourceName *next = cell->next;
        zepFree(cell);
        cell = next;
    }
    for (FileEntry *entry = released->fileEntries; entry != nullptr;) {
        FileEntry *next = entry->nextEntry;
        zepFree(entry);
        entry = next;
    }
    zepFree(released);
}

FileEntry *entryForFile(uint32_t fileNo)
{
    if (context == nullptr)
        return nullptr;
    for (FileEntry *entry = context->fileEntries; entry != nullptr; entry = entry->nextEntry) {
        if (entry->fileNo == fileNo)
            return entry;
    }
    return nullptr;
}
