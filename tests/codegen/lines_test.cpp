// The #line directives that lead back into the generated file must name the
// line that follows each of them, however the text before them was written:
// in short pieces, in blocks longer than the writer gathers, with or without
// line breaks inside the pieces.
#include "codegen/codegen.h"
#include "parser/parser.h"
#include "semantic/semantic.h"
#include "test_support.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class OutputLines : public TreeState {
protected:
    // The generated file of script, split into its lines.
    std::vector<std::string> generatedLines(const std::string &script)
    {
        directory.write("a.otd", script);
        run->context->codePath = "a.cc";
        run->context->instrPath = "a.oti";
        run->context->dynamicPath = "run.tdf";
        int result = -1;
        std::string errors = captureStderr([&] {
            parseSourceFile(run, "a.otd", root, 0, nullptr);
            resolve(run, root);
            expand(run, root);
            resolve(run, root);
            result = generate(run, root);
        });
        EXPECT_EQ(errors, "");
        EXPECT_EQ(result, 0);
        closeFile(run, run->context->codeStream);
        closeFile(run, run->context->instrStream);
        run->context->codeStream = run->context->instrStream = nullptr;
        std::ifstream in("a.cc", std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    // How many directives name the generated file; each must name the line
    // after its own.
    int checkDirectives(const std::vector<std::string> &lines)
    {
        int directives = 0;
        for (size_t i = 0; i < lines.size(); i++) {
            const std::string &line = lines[i];
            if (line.rfind("#line ", 0) != 0 || line.find("a.cc\"") == std::string::npos)
                continue;
            directives++;
            EXPECT_EQ(std::stoul(line.substr(6)), i + 2) << "directive on line " << i + 1 << ": " << line;
        }
        return directives;
    }

    ScratchDirectory directory;
};

TEST_F(OutputLines, DirectivesNameTheLineAfterThemAcrossLongAndShortPieces)
{
    // A native block longer than the writer's block, another with many line
    // breaks, and short statements around them, all twice so that the count
    // goes on after a long piece.
    std::string longLine = "      int filler = 0" + std::string(70000, ' ') + ";\n";
    std::string manyLines;
    for (int i = 0; i < 3000; i++)
        manyLines += "      counter = counter + " + std::to_string(i) + ";\n";
    std::string body = "      #{\n" + longLine + "      }#\n      CHECK (counter > 0);\n      #{\n" + manyLines +
                       "      }#\n      COMMENT between the blocks\n      #int x = 1;\n      CHECK (x == 1);\n";
    std::vector<std::string> lines =
        generatedLines("TEST CLASS TC\n{\n   TEST CASE T1\n   {\n" + body + body + "   }\n   run { T1; }\n}\nrun { TC; }\n");
    EXPECT_GE(checkDirectives(lines), 8);
}

} // namespace
