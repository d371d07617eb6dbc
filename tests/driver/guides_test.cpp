// The guides (README.md, README.ja.md) against the program's own texts: every error
// message, fatal report and exit status they name is one the program has, and every one
// the program has is named in both.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "driver/messages.hpp"
#include "driver/run.hpp"
#include "inputs/spectrum_table.hpp"
#include "inputs/waveform.hpp"
#include "support/cp932.hpp"
#include "textio/report.hpp"

namespace {

using Row = std::vector<std::string>;

std::string read_guide(const char* name) {
  std::ifstream in(std::string(GMGATHER_SOURCE_DIR) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The data rows of the tables in the section headed `title`, up to the next heading; each
// row as its cells, trimmed.
std::vector<Row> section_rows(const std::string& guide, std::string_view title) {
  std::vector<Row> rows;
  std::istringstream lines(guide);
  bool inside = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("#")) {
      const std::size_t text = line.find_first_not_of("# ");
      inside = text != std::string::npos && line.substr(text) == title;
      continue;
    }
    if (!inside || !line.starts_with("|") || line.starts_with("|---")) continue;
    Row row;
    std::size_t start = 1;
    for (std::size_t bar = line.find('|', start); bar != std::string::npos; bar = line.find('|', start)) {
      const std::string cell = line.substr(start, bar - start);
      const std::size_t a = cell.find_first_not_of(' '), b = cell.find_last_not_of(' ');
      row.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
      start = bar + 1;
    }
    rows.push_back(row);
  }
  if (!rows.empty()) rows.erase(rows.begin());  // the header
  return rows;
}

std::vector<std::string> quoted_pieces(const std::string& cell) {
  std::vector<std::string> pieces;
  for (std::size_t open = cell.find('`'); open != std::string::npos; open = cell.find('`', open + 1)) {
    const std::size_t close = cell.find('`', open + 1);
    if (close == std::string::npos) break;
    pieces.push_back(cell.substr(open + 1, close - open - 1));
    open = close;
  }
  return pieces;
}

struct Guide {
  const char* file;
  const char* statuses;  // the section headings
  const char* messages;
  const char* reports;
};
const Guide kGuides[] = {
    {"README.md", "Exit statuses", "Messages", "Fatal reports"},
    {"README.ja.md", "終了ステータス", "エラーメッセージ", "致命的エラー"},
};

TEST(Guides, NameTheProgramsExitStatuses) {
  const std::set<int> program = {gm::kExitNormal, gm::kExitErrorEnd, gm::kExitFatal, gm::kExitUsage};
  for (const Guide& g : kGuides) {
    SCOPED_TRACE(g.file);
    std::set<int> named;
    for (const Row& row : section_rows(read_guide(g.file), g.statuses)) named.insert(std::stoi(row.at(0)));
    EXPECT_EQ(named, program);
  }
}

// A message piece as a guide writes it: one of the program's texts, alone or after the
// definition file's name (NAME) or the path of an input file (FOLDER, then its file name).
TEST(Guides, QuoteTheProgramsMessages) {
  const std::string_view texts[] = {gm::kNotExist,     gm::kBadCounts,   gm::kBadFaultLine, gm::kLineError,
                                    gm::kMissingFault, gm::kBadCaseLine, gm::kMissingCase,  gm::kTooManySamples};
  const std::string prefixes[] = {"", "NAME", "FOLDER" + std::string(inputs::kSpectrumTableName),
                                  "FOLDER" + std::string(inputs::kWaveformName)};
  for (const Guide& g : kGuides) {
    SCOPED_TRACE(g.file);
    const std::string guide = read_guide(g.file);
    std::set<std::string> ends, unused(std::begin(texts), std::end(texts));
    for (const Row& row : section_rows(guide, g.messages)) {
      ends.insert(row.at(0));
      for (const std::string& piece : quoted_pieces(row.at(1))) {
        const std::string sjis = testing_support::to_cp932(piece);
        bool known = false;
        for (std::string_view text : texts) {
          for (const std::string& prefix : prefixes) {
            if (sjis == prefix + std::string(text)) {
              known = true;
              unused.erase(std::string(text));
            }
          }
        }
        EXPECT_TRUE(known) << row.at(0) << ": `" << piece << "` is not a text of the program";
      }
    }
    EXPECT_EQ(ends, (std::set<std::string>{"E1", "E2", "E3", "E4", "E5", "E6", "E7", "E8", "E9"}));
    EXPECT_TRUE(unused.empty()) << "not in the guide: " << *unused.begin();
    EXPECT_NE(guide.find(gm::kResultFolderLine), std::string::npos) << "the console window's closing line";
  }
}

TEST(Guides, QuoteTheRecordLayersReports) {
  using namespace textio;
  const std::set<int> program = {kErrPermission, kErrEndOfFile, kErrFileNotFound, kErrOpenFailure,
                                 kErrWrite,      kErrRead,      kErrNoDevice,     kErrFileName,
                                 kErrListSyntax, kErrFormatMismatch, kErrOutputConversion,
                                 kErrInputConversion};
  for (const Guide& g : kGuides) {
    SCOPED_TRACE(g.file);
    std::set<int> named;
    for (const Row& row : section_rows(read_guide(g.file), g.reports)) {
      const int number = std::stoi(row.at(0));
      named.insert(number);
      // The program's message with U for the unit and F for the file.
      std::string want;
      const std::string_view message = message_for(number);
      for (std::size_t i = 0; i < message.size(); ++i) {
        const bool field = message[i] == '%' && i + 1 < message.size();
        want += field ? (message[++i] == 'd' ? 'U' : 'F') : message[i];
      }
      EXPECT_EQ(quoted_pieces(row.at(1)), std::vector<std::string>{want}) << number;
    }
    EXPECT_EQ(named, program);
  }
}

}  // namespace
