// The console's command table in-process: every row reached by its name, nothing else taken for a command, --help
// made of the rows; and a child's command line read back as it was built.
#include "argument_quoting.h"
#include "command_line.h"

#include <gtest/gtest.h>
#include <shellapi.h>

namespace {

TEST(CommandTable, EveryRowIsReachedByItsNameAndListedInTheHelp)
{
    const std::string help = HelpText();
    for (const CommandRow& row : CommandTable()) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> arguments = {row.name};
        if (row.takesNames)
            arguments.push_back("Some Driver");
        CommandLine line;
        std::string error;
        ASSERT_TRUE(ParseCommandLine(arguments, line, error)) << error;
        EXPECT_EQ(Action::Run, line.action);
        EXPECT_EQ(&row, line.command);
        EXPECT_EQ(row.takesNames ? std::vector<std::string>{"Some Driver"} : std::vector<std::string>{}, line.names);
        EXPECT_NE(std::string::npos, help.find(std::string(row.name) + " ")) << help;
        EXPECT_NE(std::string::npos, help.find(row.usage)) << help;
    }
}

TEST(CommandTable, AnythingElseIsRefusedAsAnUnknownCommand)
{
    for (const char* word : {"move", "LIST", "", "-x", "default"}) {
        CommandLine line;
        std::string error;
        EXPECT_FALSE(ParseCommandLine({word}, line, error)) << word;
        EXPECT_EQ(nullptr, line.command) << word;
        EXPECT_EQ("unknown command \"" + std::string(word) + "\"", error);
    }
}

TEST(QuoteArgument, TheChildReadsBackEveryArgumentAsItWasGiven)
{
    const std::vector<std::wstring> arguments = {
        L"plain", L"", L"two words", L"tab\there", L"say \"hi\"", L"trailing\\", L"C:\\Program Files\\",
        L"back\\\\\"slash", L"\\\\server\\share", L"\"", L"\\", L"Larchmont Dual ASIO",
    };
    std::wstring commandLine = L"program.exe";
    for (const std::wstring& argument : arguments)
        commandLine += L" " + QuoteArgument(argument);
    int count = 0;
    LPWSTR* read = CommandLineToArgvW(commandLine.c_str(), &count);
    ASSERT_NE(nullptr, read);
    ASSERT_EQ(static_cast<int>(arguments.size()) + 1, count);
    for (size_t index = 0; index < arguments.size(); ++index)
        EXPECT_EQ(arguments[index], std::wstring(read[index + 1])) << index;
    LocalFree(read);
}

}  // namespace
