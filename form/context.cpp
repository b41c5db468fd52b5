// The run's Context and its file entries.
#include "form/form.h"
#include "base/memory.h"

#include <cstdlib>
#include <cstring>

const char *const TOOL_TITLE = "V++ Oved Izodazir";
const char *const FEATURE_LABEL = "Object Testing";
const char *const RELEASE_TEXT = ZEP_RELEASE_TEXT;

Context *createContext()
{
    Context *made = static_cast<Context *>(zepAlloc(sizeof(Context)));
    if (made == nullptr)
        return nullptr;
    memset(made, 0, sizeof(Context));
    made->featureLabel = FEATURE_LABEL;
    made->toolTitle = TOOL_TITLE;
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

FileEntry *entryForFile(const Context *context, uint32_t fileNo)
{
    if (context == nullptr)
        return nullptr;
    for (FileEntry *entry = context->fileEntries; entry != nullptr; entry = entry->nextEntry) {
        if (entry->fileNo == fileNo)
            return entry;
    }
    return nullptr;
}
