#include "driver/command_line.hpp"

#include <initializer_list>
#include <string_view>

#include "driver/run.hpp"

#ifndef GMGATHER_VERSION
#error "GMGATHER_VERSION comes from project(... VERSION ...) in CMakeLists.txt"
#endif

namespace gm {
namespace {

// Lines of at most 79 columns (a Japanese character takes two) for an 80-column console.
constexpr std::string_view kDescription[] = {
    " - 地震動の計算結果を集めて結果ファイルを作ります",
    "                 gathers ground-motion results into result files",
};

constexpr std::string_view kForms[] = {
    "使い方 / Usage:",
    "  gmgather                     定義ファイル名を尋ねてから実行",
    "                               asks for the definition file, then runs",
    "  gmgather [--report] [--spectra] [--fit] [--] DEFINITION_FILE",
    "                               定義ファイルを指定して実行 (入力待ちなし)",
    "                               runs on DEFINITION_FILE, never waits for Enter",
    "  gmgather --check [--spectra] [--fit] [--] DEFINITION_FILE",
    "                               入力を点検して問題をすべて表示 (何も書かない)",
    "                               checks the inputs and lists every problem",
    "  gmgather -h | --help | -V | --version",
};

constexpr std::string_view kOptions[] = {
    "オプション / Options:",
    "  --report       レポートも作成 / also writes the report page",
    "  --spectra      各ケースの応答スペクトルも作成 (h = 0.05)",
    "                 also writes each case's response spectrum (h = 0.05)",
    "  --fit          位相ケースを目標スペクトルに適合させた模擬地震波形も作成",
    "                 also writes the phase case fitted to the target spectrum",
    "  -h, --help     この説明を表示 / shows this help",
    "  -V, --version  バージョンを表示 / shows the version",
    "  --             以降はファイル名 (- で始まる名前のため)",
    "                 ends the options (for a name that begins with -)",
    "",
    "結果ファイル (Shift-JIS の CSV) は現在のフォルダに書かれます。",
    "Windows で定義ファイルを gmgather.exe にドロップしたときは、定義ファイルの",
    "フォルダに書かれます。",
    "The result files (Shift-JIS CSV) go to the current folder; to the definition",
    "file's folder when the file is dropped on gmgather.exe in Windows.",
    "",
    "終了ステータス / Exit status:",
};

void add_lines(std::string& text, std::initializer_list<std::string_view> lines) {
  for (std::string_view line : lines) {
    text += line;
    text += "\r\n";
  }
}

template <std::size_t N>
void add_lines(std::string& text, const std::string_view (&lines)[N]) {
  for (std::string_view line : lines) add_lines(text, {line});
}

std::string status_line(int status, std::string_view meaning) {
  return "  " + std::to_string(status) + "  " + std::string(meaning);
}

}  // namespace

CommandLine parse_command_line(std::span<const std::string> arguments) {
  CommandLine line;
  bool options_ended = false;
  for (const std::string& argument : arguments) {
    if (!options_ended && argument.size() > 1 && argument[0] == '-') {
      if (argument == "--") {
        options_ended = true;
      } else if (argument == "-h" || argument == "--help") {
        line.action = CommandLine::Action::Help;
        return line;
      } else if (argument == "-V" || argument == "--version") {
        line.action = CommandLine::Action::Version;
        return line;
      } else if (argument == "--report") {
        line.options.report = true;
      } else if (argument == "--spectra") {
        line.options.spectra = true;
      } else if (argument == "--check") {
        line.options.check = true;
      } else if (argument == "--fit") {
        line.options.fit = true;
      } else {
        line.action = CommandLine::Action::Error;
        line.problem = CommandLine::Problem::UnknownOption;
        line.argument = argument;
        return line;
      }
    } else if (line.options.definition_file) {
      line.action = CommandLine::Action::Error;
      line.problem = CommandLine::Problem::SecondFile;
      line.argument = argument;
      return line;
    } else {
      line.options.definition_file = argument;
    }
  }
  if (line.options.check && !line.options.definition_file) {
    line.action = CommandLine::Action::Error;
    line.problem = CommandLine::Problem::CheckWithoutFile;
  }
  return line;
}

std::string version_text() { return "gmgather " GMGATHER_VERSION; }

std::string usage_text() {
  std::string text;
  add_lines(text, kForms);
  return text;
}

std::string help_text() {
  std::string text = version_text();
  text += kDescription[0];
  text += "\r\n";
  add_lines(text, {kDescription[1], ""});
  add_lines(text, kForms);
  add_lines(text, {""});
  add_lines(text, kOptions);
  add_lines(text, {
      status_line(kExitNormal, "正常終了 / the result files were written"),
      status_line(kExitErrorEnd, "エラー終了 (メッセージあり) / an error end, with its message"),
      status_line(kExitFatal, "入出力の致命的エラー / a fatal input or output error"),
      status_line(kExitUsage, "コマンドラインの誤り / a command-line error"),
      status_line(kExitMissedCriteria, "模擬地震波形が基準未達 / the design wave misses its criteria"),
      status_line(kExitInterrupted, "Ctrl+C などで中断 / stopped by Ctrl+C or its kin"),
  });
  return text;
}

std::string problem_text(CommandLine::Problem problem) {
  switch (problem) {
    case CommandLine::Problem::UnknownOption: return "gmgather: 不明なオプション / unknown option: ";
    case CommandLine::Problem::SecondFile: return "gmgather: 定義ファイルは1つだけ / one definition file only: ";
    case CommandLine::Problem::CheckWithoutFile:
      return "gmgather: --check には定義ファイルが必要 / --check needs a definition file";
    case CommandLine::Problem::None: break;
  }
  return "gmgather: ";
}

}  // namespace gm
