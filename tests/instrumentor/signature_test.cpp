#include "instrumentor/signature.h"

#include <gtest/gtest.h>

using namespace zepinstr;

namespace {

Signature parsed(const std::string &text)
{
    Signature signature;
    EXPECT_TRUE(parseSignature(text, signature)) << text;
    return signature;
}

Definition definition(std::vector<std::string> name, std::vector<std::string> types, bool isConst = false)
{
    return Definition{std::move(name), types, types, isConst};
}

} // namespace

TEST(Signature, NamesTypesAndConstWithoutParameterNamesDefaultsOrSpacing)
{
    Signature withdraw = parsed("void  Account::withdraw( long amount )");
    EXPECT_EQ(withdraw.name, (std::vector<std::string>{"Account", "withdraw"}));
    EXPECT_EQ(withdraw.parameters, (std::vector<std::string>{"long"}));
    EXPECT_FALSE(withdraw.isConst);
    Signature made = parsed("Account(const std::string &owner, long limit = f(1, 2), unsigned long, int* )");
    EXPECT_EQ(made.parameters, (std::vector<std::string>{"const std::string&", "long", "unsigned long", "int*"}));
    Signature read = parsed("const std::map<int, long> &table(std::map<int, long> m) const noexcept");
    EXPECT_EQ(read.name, (std::vector<std::string>{"table"}));
    EXPECT_EQ(read.parameters, (std::vector<std::string>{"std::map<int,long>"}));
    EXPECT_TRUE(read.isConst);
    EXPECT_EQ(parsed("bool operator()(int x) const").name, (std::vector<std::string>{"operator()"}));
    EXPECT_EQ(parsed("Lift::~Lift(void)").parameters.size(), 0u);
    Signature none;
    EXPECT_FALSE(parseSignature("int value", none));
}

TEST(Signature, MatchesOverloadsByTypesConstAndWholeScopeNames)
{
    std::vector<Definition> found = {definition({"ns", "Lift", "call"}, {"int"}),
                                     definition({"ns", "Lift", "call"}, {"int", "bool"}),
                                     definition({"ns", "Lift", "floor"}, {}, true),
                                     definition({"ns", "SmallLift", "call"}, {"int"})};
    EXPECT_EQ(matchSignature(parsed("void call(int floor)"), found), (std::vector<size_t>{0, 3}));
    EXPECT_EQ(matchSignature(parsed("void Lift::call(int floor)"), found), (std::vector<size_t>{0}));
    EXPECT_EQ(matchSignature(parsed("void ns::Lift::call(int, bool express = true)"), found), (std::vector<size_t>{1}));
    EXPECT_EQ(matchSignature(parsed("int floor() const"), found), (std::vector<size_t>{2}));
    EXPECT_TRUE(matchSignature(parsed("int floor()"), found).empty());
    EXPECT_TRUE(matchSignature(parsed("void call(long floor)"), found).empty());
}
