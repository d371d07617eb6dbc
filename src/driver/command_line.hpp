#pragma once
// The command line: the forms of kUsageForms, the options of kRunOptions, -h/--help,
// -V/--version and --. Texts here are UTF-8; the console gets them as Shift-JIS.
#include <span>
#include <string>
#include <string_view>

#include "driver/run_options.hpp"

namespace gm {

// The forms of the command line, as the usage shows them; the guides show the same.
struct UsageForm {
  std::string_view command;
  std::string_view japanese;  // what it does, in a line of at most 48 columns
  std::string_view english;
};
inline constexpr UsageForm kUsageForms[] = {
    {"gmgather", "定義ファイル名を尋ねてから実行", "asks for the definition file, then runs"},
    {"gmgather [--report] [--spectra] [--fit] [--] DEFINITION_FILE", "定義ファイルを指定して実行 (入力待ちなし)",
     "runs on DEFINITION_FILE, never waits for Enter"},
    {"gmgather --check [--report] [--spectra] [--fit] [--] DEFINITION_FILE",
     "入力を点検して問題をすべて表示 (何も書かない)", "checks the inputs and lists every problem"},
    {"gmgather -h | --help", "使い方を表示", "shows this help"},
    {"gmgather -V | --version", "バージョンを表示", "shows the version"},
};

// The options that ask a run for something, each setting its flag of RunOptions, with
// what the help says of it.
struct RunOption {
  std::string_view name;
  bool RunOptions::*flag;
  std::string_view japanese;
  std::string_view english;
};
inline constexpr RunOption kRunOptions[] = {
    {"--report", &RunOptions::report, "結果図表 (HTML) も作成", "also writes the report page"},
    {"--spectra", &RunOptions::spectra, "各ケースの応答スペクトルも作成 (h = 0.05)",
     "also writes each case's response spectrum (h = 0.05)"},
    {"--fit", &RunOptions::fit, "位相ケースを目標スペクトルに適合させた模擬地震波形も作成",
     "also writes the phase case fitted to the target spectrum"},
    {"--check", &RunOptions::check, "入力を点検して問題をすべて表示 (何も書かない)",
     "checks the inputs and lists every problem; writes nothing"},
};
// The option of that name, or null.
const RunOption* find_run_option(std::string_view argument);

// What the arguments ask for. They are taken from left to right: --help or --version ends
// the reading at once, so "--help --bogus" shows the help and "--bogus --help" is an error.
struct CommandLine {
  enum class Action { Run, Help, Version, Error };
  enum class Problem { None, UnknownOption, SecondFile, CheckWithoutFile };
  Action action = Action::Run;
  // Run: what the run is asked to do; the definition file is taken whole as given
  // (Shift-JIS), and without one the run asks at the prompt.
  RunOptions options;
  // Error: what is wrong, and the argument that is wrong.
  Problem problem = Problem::None;
  std::string argument;
};

// Reads the arguments after the program's name (Shift-JIS bytes). An argument that begins
// with '-' is an option, except "-" alone and anything after "--".
CommandLine parse_command_line(std::span<const std::string> arguments);

// "gmgather 1.0.0": the version CMake gives the project.
std::string version_text();
// The whole help: what the program does, its forms and options, where the results go,
// the exit statuses. Lines end with CR LF, as every line the program writes.
std::string help_text();
// The forms alone, shown after a command-line error, and the line that names the problem.
std::string usage_text();
std::string problem_text(CommandLine::Problem problem);

}  // namespace gm
