// The guides (README.md, README.ja.md) against the program's own texts: every error
// message, fatal report and exit status they name is one the program has, and every one
// the program has is named in both.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "driver/messages.hpp"
#include "driver/run.hpp"
#include "inputs/spectrum_table.hpp"
#include "inputs/waveform.hpp"
#include "support/cp932.hpp"
#include "textio/report.hpp"

namespace {

struct Guide {
  const char* file;
  const char* statuses;  // the headings of its sections
  const char* messages;
  const char* reports;
};
const Guide kGuides[] = {
    {"README.md", "Exit statuses", "Messages", "Fatal reports"},
    {"README.ja.md", "終了ステータス", "エラーメッセージ", "致命的エラー"},
};

std::string read_guide(const char* file) {
  std::ifstream in(std::string(GMGATHER_SOURCE_DIR) + "/" + file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The first two cells of the table rows under the heading `title` whose first cell is a
// number or an end (E1...), up to the next heading.
std::vector<std::pair<std::string, std::string>> rows(const char* file, const std::string& title) {
  std::vector<std::pair<std::string, std::string>> found;
  std::istringstream lines(read_guide(file));
  bool inside = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("#")) inside = line.ends_with(" " + title);
    std::vector<std::string> cells;
    for (std::size_t bar = line.find('|'); inside && bar != std::string::npos;) {
      const std::size_t next = line.find('|', bar + 1);
      if (next == std::string::npos) break;
      const std::string cell = line.substr(bar + 1, next - bar - 1);
      const std::size_t first = cell.find_first_not_of(' ');
      cells.push_back(first == std::string::npos ? "" : cell.substr(first, cell.find_last_not_of(' ') + 1 - first));
      bar = next;
    }
    const std::string number = cells.empty() ? "" : cells[0].substr(cells[0].starts_with("E") ? 1 : 0);
    if (cells.size() >= 2 && !number.empty() && number.find_first_not_of("0123456789") == std::string::npos) {
      found.emplace_back(cells[0], cells[1]);
    }
  }
  return found;
}

// The texts between backquotes.
std::vector<std::string> quoted(const std::string& cell) {
  std::vector<std::string> pieces;
  for (std::size_t open = cell.find('`'); open != std::string::npos; open = cell.find('`', open + 1)) {
    const std::size_t close = cell.find('`', open + 1);
    if (close == std::string::npos) break;
    pieces.push_back(cell.substr(open + 1, close - open - 1));
    open = close;
  }
  return pieces;
}

TEST(Guides, NameTheProgramsExitStatuses) {
  for (const Guide& g : kGuides) {
    std::set<int> named;
    for (const auto& [status, meaning] : rows(g.file, g.statuses)) named.insert(std::stoi(status));
    EXPECT_EQ(named, (std::set{gm::kExitNormal, gm::kExitErrorEnd, gm::kExitFatal, gm::kExitUsage,
                              gm::kExitMissedCriteria, gm::kExitInterrupted}))
        << g.file;
  }
}

// A piece of a message as a guide quotes it: one of the program's texts, alone or after
// the definition file's name (NAME) or an input file's path (FOLDER and the file's name).
TEST(Guides, QuoteTheProgramsMessages) {
  const std::set<std::string> texts = {
      std::string(gm::kNotExist),     std::string(gm::kBadCounts),   std::string(gm::kBadFaultLine),
      std::string(gm::kLineError),    std::string(gm::kMissingFault), std::string(gm::kBadCaseLine),
      std::string(gm::kMissingCase),  std::string(gm::kTooManySamples)};
  const std::string prefixes[] = {"", "NAME", "FOLDER" + std::string(inputs::kSpectrumTableName),
                                  "FOLDER" + std::string(inputs::kWaveformName)};
  for (const Guide& g : kGuides) {
    SCOPED_TRACE(g.file);
    std::set<std::string> ends, named;
    for (const auto& [end, message] : rows(g.file, g.messages)) {
      ends.insert(end);
      for (const std::string& piece : quoted(message)) {
        const std::string sjis = testing_support::to_cp932(piece);
        bool known = false;
        for (const std::string& prefix : prefixes) {
          if (sjis.starts_with(prefix) && texts.count(sjis.substr(prefix.size()))) {
            named.insert(sjis.substr(prefix.size()));
            known = true;
          }
        }
        EXPECT_TRUE(known) << end << ": `" << piece << "` is no text of the program";
      }
    }
    EXPECT_EQ(ends, (std::set<std::string>{"E1", "E2", "E3", "E4", "E5", "E6", "E7", "E8", "E9"}));
    EXPECT_EQ(named, texts);
    EXPECT_NE(read_guide(g.file).find(gm::kResultFolderLine), std::string::npos) << "the window's closing line";
  }
}

TEST(Guides, QuoteTheRecordLayersReports) {
  using namespace textio;
  const std::set<int> numbers = {kErrPermission, kErrEndOfFile, kErrFileNotFound,     kErrOpenFailure,
                                 kErrWrite,      kErrRead,      kErrNoDevice,         kErrFileName,
                                 kErrListSyntax, kErrFormatMismatch, kErrOutputConversion, kErrInputConversion};
  for (const Guide& g : kGuides) {
    std::set<int> named;
    for (const auto& [number, message] : rows(g.file, g.reports)) {
      named.insert(std::stoi(number));
      // The program's message with U for the unit and F for the file.
      const std::string_view text = message_for(std::stoi(number));
      std::string want;
      for (std::size_t i = 0; i < text.size(); ++i) {
        want += text[i] == '%' && i + 1 < text.size() ? (text[++i] == 'd' ? 'U' : 'F') : text[i];
      }
      EXPECT_EQ(quoted(message), std::vector<std::string>{want}) << g.file << ", " << number;
    }
    EXPECT_EQ(named, numbers) << g.file;
  }
}

}  // namespace
