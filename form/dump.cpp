// A readable listing of the tree, for developers chasing a parser or
// expansion fault; the run itself never prints it.
#include "base/diagnostics.h"
#include "form/form.h"

static void dumpNameList(FILE *out, const NameEntry *list)
{
    fputs("(", out);
    for (const NameEntry *entry = list; entry != nullptr; entry = entry->next) {
        fputs(entry->text, out);
        if (entry->formal != nullptr)
            fprintf(out, "->%s", entry->formal);
        fputs(", ", out);
    }
    fputs("\b\b)  ", out);
}

static void dumpQualifiedName(FILE *out, const NameSegment *segments)
{
    for (const NameSegment *segment = segments; segment != nullptr; segment = segment->next) {
        if (segment->resolved != nullptr)
            fprintf(out, "%s [id=%lu sid=%lu] ", segment->text, (unsigned long)segment->resolved->id,
                    (unsigned long)segment->resolved->sid);
        else
            fprintf(out, "%s [id=NULL sid=NULL] ", segment->text);
        if (segment->arguments != nullptr)
            dumpNameList(out, segment->arguments);
        fputs(".", out);
    }
    fputs("\b ", out);
}

static const char *orEmpty(const char *text)
{
    return text != nullptr ? text : "";
}

static void dumpLabel(FILE *out, const char *label)
{
    if (label != nullptr)
        fprintf(out, "\"%s\" ", label);
}

// Prints the kind's text of one node; false for a kind the form does not know.
static bool dumpKind(FILE *out, const Node *node)
{
    const char *name = orEmpty(node->name);
    switch (node->kind) {
    case KIND_SCRIPT:
        fputs("SCRIPT\n", out);
        return true;
    case KIND_TEST_CLASS: {
        const ClassInfo *info = static_cast<const ClassInfo *>(node->payload);
        fprintf(out, "TEST CLASS %s ", name);
        if (info->parameters != nullptr)
            dumpNameList(out, info->parameters);
        if (info->base != nullptr) {
            fputs(": ", out);
            dumpQualifiedName(out, info->base);
        }
        return true;
    }
    case KIND_TEST_SUITE: case KIND_TEST_CASE: case KIND_SINGLE_CLASS: case KIND_CHECK_EXCEPTION:
    case KIND_CHECK_METHOD: case KIND_CHECK_STUB: case KIND_CLASS: case KIND_WRAP: case KIND_INCLUDE:
    case KIND_COMMENT_LINE: case KIND_COMMENT_BLOCK: case KIND_NATIVE_LINE: case KIND_NATIVE_BLOCK:
    case KIND_CPP_LINE: case KIND_CPP_BLOCK: case KIND_JAVA_LINE: case KIND_JAVA_BLOCK:
        fprintf(out, "%s %s ", kindName(node->kind), name);
        return true;
    case KIND_THREE_POINTS:
        fprintf(out, "%s ", name);
        return true;
    case KIND_CHECK_PROPERTY: {
        const PropertyCheckInfo *info = static_cast<const PropertyCheckInfo *>(node->payload);
        fputs("CHECK PROPERTY ", out);
        dumpLabel(out, info->label);
        dumpQualifiedName(out, info->target);
        return true;
    }
    case KIND_ON_ERROR: {
        const OnErrorInfo *info = static_cast<const OnErrorInfo *>(node->payload);
        fputs("ON ERROR ", out);
        if (info->action == KIND_CONTINUE)
            fputs("CONTINUE ", out);
        else if (info->action == KIND_EXIT)
            fputs("EXIT ", out);
        else if (info->bypassTarget != nullptr)
            fprintf(out, "BYPASS %s ", info->bypassTarget);
        else
            fputs("BYPASS ", out);
        return true;
    }
    case KIND_PRINT:
        fputs("PRINT ", out);
        dumpNameList(out, static_cast<const ListInfo *>(node->payload)->list);
        return true;
    case KIND_CALL:
        fputs("CALL ", out);
        dumpQualifiedName(out, static_cast<const CallInfo *>(node->payload)->target);
        return true;
    case KIND_PROC: case KIND_PROPERTY:
        fprintf(out, "%s %s ", kindName(node->kind), name);
        dumpNameList(out, static_cast<const ListInfo *>(node->payload)->list);
        return true;
    case KIND_ENSURE: case KIND_REQUIRE: case KIND_INVARIANT: case KIND_EXPRESSION:
        fprintf(out, "%s (%s) ", kindName(node->kind), name);
        return true;
    case KIND_RUN: case KIND_PROLOGUE: case KIND_EPILOGUE:
        fprintf(out, "%s ", kindName(node->kind));
        return true;
    case KIND_RUN_COMPONENT:
        fputs("RUN COMPONENT ", out);
        dumpQualifiedName(out, static_cast<const RunInfo *>(node->payload)->component);
        return true;
    case KIND_UMLSTATE:
        fprintf(out, "UMLSTATE %s (No %ld)", name, (long)static_cast<const StateInfo *>(node->payload)->stateNumber);
        return true;
    case KIND_TRANSITION: {
        const TransitionInfo *info = static_cast<const TransitionInfo *>(node->payload);
        fprintf(out, "TRANSITION %s TO %s ", orEmpty(info->fromState), orEmpty(info->toState));
        return true;
    }
    case KIND_CHECK: {
        const CheckInfo *info = static_cast<const CheckInfo *>(node->payload);
        fputs("CHECK ", out);
        dumpLabel(out, info->label);
        fprintf(out, "(%s) ", orEmpty(info->condition));
        return true;
    }
    case KIND_STUB:
        fprintf(out, "STUB %s : %s ", name, orEmpty(static_cast<const StubInfo *>(node->payload)->signature));
        return true;
    }
    return false;
}

void dumpTree(Run *run, const Node *node, FILE *out)
{
    for (; node != nullptr; node = node->nextSibling) {
        bool isRoot = node->kind == KIND_SCRIPT;
        if (!isRoot) {
            for (uint64_t level = 0; level < node->depth; level++)
                fputs("     ", out);
        }
        fprintf(out, "[id=%lu sid=%lu] ", (unsigned long)node->id, (unsigned long)node->sid);
        if (!dumpKind(out, node))
            report(run, MESSAGE_UNKNOWN_TOKEN, node->displayPath, node->line, messageArgument(node->name));
        if (!isRoot)
            fprintf(out, "  (%s:%ld)\n", orEmpty(node->fileName), (long)node->line);
        dumpTree(run, node->firstChild, out);
    }
}
