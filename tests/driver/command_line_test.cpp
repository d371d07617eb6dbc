// Reading the command line: options, the definition file taken whole, and what ends it.
#include "driver/command_line.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using Action = gm::CommandLine::Action;
using Problem = gm::CommandLine::Problem;

TEST(ParseCommandLine, TakesOptionsAndOneFileFromLeftToRight) {
  struct Case {
    std::vector<std::string> arguments;
    Action action;
    const char* file;  // nullptr: none
    bool report;
    Problem problem;
    const char* argument;
  };
  const Case cases[] = {
      {{}, Action::Run, nullptr, false, Problem::None, ""},
      {{"def.csv"}, Action::Run, "def.csv", false, Problem::None, ""},
      {{"--report"}, Action::Run, nullptr, true, Problem::None, ""},
      {{"def.csv", "--report"}, Action::Run, "def.csv", true, Problem::None, ""},
      // Taken whole: blanks, commas, quotes, slashes, a Shift-JIS 表 ending in 0x5C.
      {{" a, \"b\"/c\x95\x5c.csv "}, Action::Run, " a, \"b\"/c\x95\x5c.csv ", false, Problem::None, ""},
      {{"-"}, Action::Run, "-", false, Problem::None, ""},
      {{""}, Action::Run, "", false, Problem::None, ""},
      {{"--", "-d.csv"}, Action::Run, "-d.csv", false, Problem::None, ""},
      {{"--", "--report"}, Action::Run, "--report", false, Problem::None, ""},
      {{"--report", "--", "--"}, Action::Run, "--", true, Problem::None, ""},
      {{"-h"}, Action::Help, nullptr, false, Problem::None, ""},
      {{"def.csv", "--help", "--bogus"}, Action::Help, "def.csv", false, Problem::None, ""},
      {{"-V"}, Action::Version, nullptr, false, Problem::None, ""},
      {{"--version", "a", "b"}, Action::Version, nullptr, false, Problem::None, ""},
      {{"--bogus", "--help"}, Action::Error, nullptr, false, Problem::UnknownOption, "--bogus"},
      {{"-hV"}, Action::Error, nullptr, false, Problem::UnknownOption, "-hV"},
      {{"--help=1"}, Action::Error, nullptr, false, Problem::UnknownOption, "--help=1"},
      {{"--rep"}, Action::Error, nullptr, false, Problem::UnknownOption, "--rep"},
      {{"a.csv", "b.csv", "--help"}, Action::Error, "a.csv", false, Problem::SecondFile, "b.csv"},
      {{"a.csv", "--", "-b"}, Action::Error, "a.csv", false, Problem::SecondFile, "-b"},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& a : c.arguments) shown += "[" + a + "]";
    SCOPED_TRACE(shown);
    const gm::CommandLine line = gm::parse_command_line(c.arguments);
    EXPECT_EQ(line.action, c.action);
    EXPECT_EQ(line.definition_file, c.file ? std::optional<std::string>(c.file) : std::nullopt);
    EXPECT_EQ(line.report, c.report);
    EXPECT_EQ(line.problem, c.problem);
    EXPECT_EQ(line.argument, c.argument);
  }
}

}  // namespace
