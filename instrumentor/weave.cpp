// Woven code. The contracts' own fragments come from the instrumentation
// file as they stand (with their #line to the script); around them the
// sites through which they report, the object's call depth and its state.
#include "instrumentor/weave.h"

#include "instrumentor/edits.h"

#include <cstdio>

namespace zepinstr {
namespace {

std::string hex(unsigned long value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%lx", value);
    return text;
}

// A block whose contract fragments report through a site of this kind.
std::string siteBlock(const char *site, const char *kind, const char *when, const Body &body,
                      const std::string &fragments)
{
    return std::string("{\nconst _muv_Site ") + site + "{" + kind + ", " + when + ", " + quotedText(body.display) +
           "};\n" + fragments + "}\n";
}

std::string allInvariants(const ContractClass &owner)
{
    std::string text;
    for (const std::string &invariant : owner.invariants)
        text += invariant;
    return text;
}

std::string stateObject(const ContractClass &owner)
{
    return "*_muv_state_of(" + hex(owner.id) + ", " + (owner.single ? "nullptr" : "this") + ")";
}

// The state conditions stand in doubled parentheses, "if( ( a == b ) )",
// which clang takes for a mistyped assignment.
std::string stateUpdate(const ContractClass &owner)
{
    return "{\n_muv_StateType &_muv_state = " + stateObject(owner) +
           ";\n#ifdef __clang__\n#pragma clang diagnostic push\n"
           "#pragma clang diagnostic ignored \"-Wparentheses-equality\"\n#endif\n"
           "auto _muv_check_state = [&](_muv_StateType State) -> _muv_Boolean {\n" + owner.check +
           "};\n#ifdef __clang__\n#pragma clang diagnostic pop\n#endif\n"
           "const _muv_Transition _muv_transition{_MUV_CLASS_FILE_CLS};\n" + owner.tables + owner.update + "}\n";
}

bool hasThis(const Body &body)
{
    return body.kind == MemberFunction || body.kind == Constructor || body.kind == Destructor;
}

// Invariants and states watch calls from outside the object: public member
// functions, constructors and the destructor.
bool observed(const Body &body, const Weaving &weaving)
{
    return weaving.owner != nullptr && observesEveryMember(*weaving.owner) && hasThis(body) &&
           (body.isPublic || body.kind == Constructor || body.kind == Destructor);
}

std::string classEntry(const Body &body, const Weaving &weaving)
{
    const ContractClass &owner = *weaving.owner;
    std::string text = "[[maybe_unused]] const _zep_Int _MUV_CLASS_FILE_CLS = _muv_file(" + hex(owner.checksumA) +
                       ", " + hex(owner.checksumB) + "), _MUV_CLASS_FILE_ACM = _MUV_CLASS_FILE_CLS;\n";
    bool watch = observed(body, weaving);
    if (watch)
        text += "const _muv_Call _muv_call(this);\n";
    if (watch && body.kind != Constructor && !owner.invariants.empty())
        text += "if (_muv_call.outer)\n" +
                siteBlock("_muv_assert_invariant", "_MUV_INVARIANT", "_MUV_BEFORE", body, allInvariants(owner));
    // A new object starts without a state, whatever one lived at its
    // address before.
    if (watch && (body.kind == Destructor || body.kind == Constructor))
        text += "_muv_forget_object(this);\n";
    if (weaving.wrap != nullptr && !weaving.wrap->require.empty())
        text += siteBlock("_muv_assert_pre_cond", "_MUV_REQUIRE", "_MUV_IN", body, weaving.wrap->require);
    std::string exit;
    if (weaving.wrap != nullptr && !weaving.wrap->ensure.empty())
        exit += siteBlock("_muv_assert_post_cond", "_MUV_ENSURE", "_MUV_IN", body, weaving.wrap->ensure);
    if (watch && body.kind != Destructor) {
        std::string after;
        if (!owner.invariants.empty())
            after += siteBlock("_muv_assert_invariant", "_MUV_INVARIANT", "_MUV_AFTER", body, allInvariants(owner));
        if (!owner.update.empty())
            after += stateUpdate(owner);
        if (!after.empty())
            exit += "if (_muv_call.outer) {\n" + after + "}\n";
    }
    if (!exit.empty())
        text += "auto _muv_exit = [&]() {\n" + exit +
                "};\nconst _muv_Guard<decltype(_muv_exit)> _muv_guard(_muv_exit);\n";
    return text;
}

std::string stubEntry(const Stub &stub)
{
    std::string text = "{\n" + stub.entry + "}\n";
    if (!stub.exit.empty())
        text += "auto _muv_exit = [&]() {\n" + stub.exit +
                "};\nconst _muv_Guard<decltype(_muv_exit)> _muv_guard(_muv_exit);\n";
    return text;
}

} // namespace

bool observesEveryMember(const ContractClass &owner)
{
    return !owner.invariants.empty() || !owner.update.empty();
}

const char WOVEN_CODE_LINE[] = "#line 1 \"<zepinstr woven code>\"";

std::string wovenEntry(const Body &body, const Weaving &weaving)
{
    std::string text(1, '\n');
    text += WOVEN_CODE_LINE;
    text += '\n';
    for (const std::string &counter : weaving.counters)
        text += "++" + counter + ";\n";
    if (weaving.owner != nullptr)
        text += classEntry(body, weaving);
    if (weaving.stub != nullptr)
        text += stubEntry(*weaving.stub);
    if (body.returnsValue)
        text += "{\n";
    return text + lineDirective(body.line, body.file) + std::string(body.column, ' ');
}

std::string wovenExit(const Body &body)
{
    return std::string("\n") + WOVEN_CODE_LINE + "\n}\n" + lineDirective(body.endLine, body.file) +
           std::string(body.endColumn, ' ');
}

std::string placeWovenCode(const std::string &text, const std::string &copy)
{
    const size_t markLength = sizeof WOVEN_CODE_LINE - 1;
    std::string placed;
    placed.reserve(text.size());
    unsigned long line = 1;
    for (size_t at = 0; at < text.size(); ++line) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        if (end - at == markLength + 1 && text.compare(at, markLength, WOVEN_CODE_LINE) == 0)
            placed += lineDirective(line + 1, copy);
        else
            placed.append(text, at, end - at);
        at = end;
    }
    return placed;
}

std::string copyHead(const std::string &original, const std::vector<std::string> &counters, bool woven)
{
    std::string text;
    if (woven)
        text += "#include \"lib/TP.h\"\n";
    for (const std::string &counter : counters)
        text += "extern VELD_U_INT32 " + counter + ";\n";
    return text + lineDirective(1, original);
}

} // namespace zepinstr
