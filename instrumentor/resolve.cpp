// Matching the script's elements to the functions of the sources, with a
// message at the element's script line for each that matches nothing or
// more than one function, or a function that cannot be instrumented.
#include "instrumentor/resolve.h"

#include <tuple>

namespace zepinstr {
namespace {

struct Resolver {
    const Instrumentation &instrumentation;
    const std::vector<FunctionSite> &sites;
    std::vector<Weaving> weavings;  // one per site
    std::string messages;
};

std::string describe(const FunctionSite &site)
{
    std::string text;
    for (size_t at = 0; at < site.definition.name.size(); at++)
        text += (at ? "::" : "") + site.definition.name[at];
    text += "(";
    for (size_t at = 0; at < site.definition.spelled.size(); at++)
        text += (at ? ", " : "") + site.definition.spelled[at];
    text += ")";
    if (site.definition.isConst)
        text += " const";
    return "    " + site.body.file + ":" + std::to_string(site.body.line) + ": " + text + "\n";
}

std::string at(const ScriptPlace &place)
{
    return place.file + ":" + std::to_string(place.line) + ": ";
}

// Why a function cannot take woven code, or null.
const char *refusal(const FunctionSite &site)
{
    if (site.constexprFunction)
        return "a constexpr function runs at compile time";
    if (site.fromMacro)
        return "its body comes from a macro";
    if (site.tryBody)
        return "its body is a function-try-block";
    return nullptr;
}

// The one site the signature names among the candidates (indexes into the
// sites), or -1 after a message.
long findOne(Resolver &resolver, const std::string &element, const ScriptPlace &place, const std::string &signature,
             const std::vector<size_t> &candidates, const std::string &where)
{
    Signature wanted;
    if (!parseSignature(signature, wanted)) {
        resolver.messages += at(place) + element + " " + signature + ": not a function signature\n";
        return -1;
    }
    std::vector<Definition> definitions;
    for (size_t index : candidates)
        definitions.push_back(resolver.sites[index].definition);
    std::vector<size_t> found = matchSignature(wanted, definitions);
    if (found.size() == 1) {
        const FunctionSite &site = resolver.sites[candidates[found[0]]];
        if (const char *why = refusal(site)) {
            resolver.messages += at(place) + element + " " + signature + ": cannot instrument " + site.body.display +
                                 " at " + site.body.file + ":" + std::to_string(site.body.line) + ": " + why + "\n";
            return -1;
        }
        return static_cast<long>(candidates[found[0]]);
    }
    std::string message = at(place) + element + " " + signature + ": " +
                          (found.empty() ? "no such " + where : "several functions match, " + where) + "\n";
    // The candidates: those that match, or else every function of the
    // class (of the same name, outside a class).
    if (!found.empty()) {
        for (size_t index : found)
            message += describe(resolver.sites[candidates[index]]);
    } else {
        for (size_t index : candidates)
            if (where.rfind("method of", 0) == 0 || resolver.sites[index].definition.name.back() == wanted.name.back())
                message += describe(resolver.sites[index]);
    }
    resolver.messages += message;
    return -1;
}

// "class ns::Lift" or "Lift<T> : public Base": the qualified class name.
std::vector<std::string> className(const std::string &head)
{
    std::string name = head;
    for (const char *keyword : {"class ", "struct "})
        if (name.rfind(keyword, 0) == 0)
            name = name.substr(std::string(keyword).size());
    size_t colon = 0;
    while ((colon = name.find(':', colon)) != std::string::npos && colon + 1 < name.size() && name[colon + 1] == ':')
        colon += 2;
    if (colon != std::string::npos)
        name = name.substr(0, colon);
    return splitQualified(normaliseType(name));
}

void resolveClass(Resolver &resolver, const ContractClass &owner, const std::vector<std::vector<std::string>> &classes)
{
    std::vector<std::string> wanted = className(owner.head);
    const std::vector<std::string> *found = nullptr;
    for (const std::vector<std::string> &candidate : classes) {
        if (!nameEndsWith(candidate, wanted))
            continue;
        if (found != nullptr && *found != candidate) {
            resolver.messages += at(owner.place) + "CLASS " + owner.head + ": several classes of that name\n";
            return;
        }
        found = &candidate;
    }
    if (found == nullptr) {
        resolver.messages += at(owner.place) + "CLASS " + owner.head + ": no such class in the sources\n";
        return;
    }
    std::vector<size_t> members;
    for (size_t index = 0; index < resolver.sites.size(); index++) {
        if (resolver.sites[index].owner != *found)
            continue;
        members.push_back(index);
        if (observesEveryMember(owner) && refusal(resolver.sites[index]) == nullptr)
            resolver.weavings[index].owner = &owner;
    }
    for (const Wrap &wrap : owner.wraps) {
        long index = findOne(resolver, "WRAP", wrap.place, wrap.signature, members, "method of " + owner.head);
        if (index < 0)
            continue;
        resolver.weavings[static_cast<size_t>(index)].owner = &owner;
        resolver.weavings[static_cast<size_t>(index)].wrap = &wrap;
    }
}

std::vector<size_t> everySite(size_t count)
{
    std::vector<size_t> all(count);
    for (size_t index = 0; index < count; index++)
        all[index] = index;
    return all;
}

void addEdits(Plan &plan, const std::vector<FunctionSite> &sites, const std::vector<Weaving> &weavings)
{
    for (size_t index = 0; index < sites.size(); index++) {
        const Weaving &weaving = weavings[index];
        if (weaving.owner == nullptr && weaving.stub == nullptr && weaving.counters.empty())
            continue;
        FileEdits &edits = plan.files[sites[index].body.file];
        edits.insertions.push_back(Insertion{sites[index].bodyOffset, wovenEntry(sites[index].body, weaving)});
        if (sites[index].body.returnsValue)
            edits.insertions.push_back(Insertion{sites[index].endOffset, wovenExit(sites[index].body)});
        for (const std::string &counter : weaving.counters)
            edits.counters.push_back(counter);
    }
}

} // namespace

// In the order of their files and lines, so that candidates are listed the
// same whatever source included a header first.
std::vector<FunctionSite> distinctSites(const std::vector<FunctionSite> &sites)
{
    std::map<std::tuple<std::string, unsigned long, size_t>, const FunctionSite *> distinct;
    for (const FunctionSite &site : sites)
        distinct.emplace(std::make_tuple(site.body.file, site.body.line, site.bodyOffset), &site);
    std::vector<FunctionSite> out;
    for (const auto &[place, site] : distinct)
        out.push_back(*site);
    return out;
}

Plan planWeaving(const Instrumentation &instrumentation, const std::vector<FunctionSite> &sources,
                 const std::vector<std::vector<std::string>> &classes, const std::vector<FunctionSite> &harness)
{
    Plan plan;
    Resolver resolver{instrumentation, sources, std::vector<Weaving>(sources.size()), {}};
    for (const ContractClass &owner : instrumentation.classes)
        resolveClass(resolver, owner, classes);
    for (const MethodCheck &method : instrumentation.methods) {
        long index = findOne(resolver, "CHECK METHOD", method.place, method.signature, everySite(sources.size()),
                             "function in the sources");
        if (index >= 0)
            resolver.weavings[static_cast<size_t>(index)].counters.push_back(method.counter);
    }
    addEdits(plan, sources, resolver.weavings);
    Resolver stubs{instrumentation, harness, std::vector<Weaving>(harness.size()), {}};
    for (const Stub &stub : instrumentation.stubs) {
        long index = findOne(stubs, "STUB", stub.place, stub.signature, everySite(harness.size()),
                             "stub function in the harness");
        if (index >= 0)
            stubs.weavings[static_cast<size_t>(index)].stub = &stub;
    }
    addEdits(plan, harness, stubs.weavings);
    plan.messages = resolver.messages + stubs.messages;
    return plan;
}

} // namespace zepinstr
