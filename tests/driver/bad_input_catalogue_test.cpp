// A catalogue of bad inputs, run end to end. Each case spoils one thing in a valid data set
// (or in the console answer) and states exactly how the run must end: the console text, the
// report line, the exit status. Whatever the ending, the result files of an earlier run must
// stay byte for byte as they were, and no file may be left behind or taken away.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "support/cp932.hpp"
#include "support/data_set.hpp"
#include "support/error_end.hpp"
#include "support/process.hpp"
#include "support/warnings_line.hpp"

namespace {

using namespace std::string_literals;  // "...\0..."s keeps its NUL bytes
namespace fs = std::filesystem;
using testing_support::DataSet;
using testing_support::kPrompt;
using testing_support::kResultFiles;
using testing_support::kSpectrumHost;
using testing_support::kSpectrumName;
using testing_support::kWaveformHost;
using testing_support::kWaveformName;
using testing_support::RunResult;
using testing_support::ScratchFolder;

// Every catalogue run has several threads, more than most of its data sets have cases:
// the outcome of a bad input must be that of one thread, which reads case after case.
RunResult run_case(const ScratchFolder& folder, const std::string& input, rlim_t file_size_limit = 0) {
  return testing_support::run_in(folder, input, file_size_limit, "4");
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// ThreadSanitizer's shadow memory and thread bookkeeping make peak memory vary by more
// than a ratio of two runs can hold.
#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif
#else
constexpr bool kThreadSanitizer = false;
#endif

// ---------------------------------------------------------------------------------------
// The data set's files (host paths) and the paths the program builds for them (Shift-JIS,
// as its messages and reports show them).

std::string spectrum_file(int k) { return "quake/fault" + std::to_string(k) + "/" + kSpectrumHost; }
std::string waveform_file(int c) { return "quake/case" + std::to_string(c) + "/" + kWaveformHost; }
std::string spectrum_path(int k) { return "quake\\fault" + std::to_string(k) + kSpectrumName; }
std::string waveform_path(int c) { return "quake\\case" + std::to_string(c) + kWaveformName; }

std::string not_exist(const std::string& path) { return path + " not exist ! [Enter]"; }
std::string too_many(const std::string& path) { return path + " too many samples ! [Enter]"; }
const std::string kBadCounts = "Fault number or Case number Error ! [Enter]";

std::string severe(int number, int unit, const std::string& file) {
  std::string message;
  switch (number) {
    case 9: message = "permission to access file denied"; break;
    case 24: message = "end-of-file during read"; break;
    case 38: message = "error during write"; break;
    case 42: message = "no such device"; break;
    case 59: message = "list-directed I/O syntax error"; break;
    case 64: message = "input conversion error"; break;
    default: message = "?"; break;
  }
  return "txtrec: severe (" + std::to_string(number) + "): " + message + ", unit " + std::to_string(unit) +
         ", file " + file + "\n";
}
std::string end_of_file(int unit, const std::string& file) { return severe(24, unit, file); }
std::string syntax(int unit, const std::string& file) { return severe(59, unit, file); }
std::string conversion(int unit, const std::string& file) { return severe(64, unit, file); }

// Shift-JIS name of result file i (0-5), as reports show it.
std::string result_name(int i) { return testing_support::to_cp932(kResultFiles[i]); }

// ---------------------------------------------------------------------------------------
// Spoiling a data set.

using Setup = std::function<void(const ScratchFolder&)>;

Setup put(const std::string& file, const std::string& bytes) {
  return [=](const ScratchFolder& f) { f.write(file, bytes); };
}
// Replaces the first `from` in a file by `to`.
Setup edit(const std::string& file, const std::string& from, const std::string& to) {
  return [=](const ScratchFolder& f) {
    std::string text = f.read(file);
    const std::size_t at = text.find(from);
    if (at == std::string::npos) {
      ADD_FAILURE() << "no " << from << " in " << file;
      return;
    }
    f.write(file, text.replace(at, from.size(), to));
  };
}
Setup edit_definition(const std::string& from, const std::string& to) { return edit("def.csv", from, to); }
Setup delete_path(const std::string& relative) {
  return [=](const ScratchFolder& f) { fs::remove_all(f.path() / fs::path(relative)); };
}
// A folder (holding one file) in the place of a file.
Setup folder_at(const std::string& relative) {
  return [=](const ScratchFolder& f) {
    fs::remove_all(f.path() / fs::path(relative));
    f.write(relative + "/inside", "a file inside the folder");
  };
}
Setup fifo_at(const std::string& relative) {
  return [=](const ScratchFolder& f) {
    fs::remove_all(f.path() / fs::path(relative));
    ASSERT_EQ(mkfifo((f.path() / fs::path(relative)).c_str(), 0644), 0);
  };
}
Setup symlink_at(const std::string& relative, const std::string& target) {
  return [=](const ScratchFolder& f) {
    fs::remove_all(f.path() / fs::path(relative));
    fs::create_symlink(target, f.path() / fs::path(relative));
  };
}
Setup all_of(std::vector<Setup> steps) {
  return [=](const ScratchFolder& f) {
    for (const Setup& s : steps) s(f);
  };
}

// ---------------------------------------------------------------------------------------
// What a folder holds: every entry by its relative path, with the bytes of small files and
// the size and a hash of large ones (so that 64 MiB inputs are not held in memory).

using Listing = std::map<std::string, std::string>;

std::string digest(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::vector<char> chunk(1 << 20);
  std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a
  std::uint64_t size = 0;
  while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
    const auto n = static_cast<std::size_t>(in.gcount());
    for (std::size_t i = 0; i < n; ++i) {
      hash = (hash ^ static_cast<unsigned char>(chunk[i])) * 1099511628211ULL;
    }
    size += n;
  }
  return "<" + std::to_string(size) + " bytes, hash " + std::to_string(hash) + ">";
}

Listing listing(const ScratchFolder& folder) {
  Listing entries;
  const auto options = fs::directory_options::skip_permission_denied;
  for (const auto& e : fs::recursive_directory_iterator(folder.path(), options)) {
    const std::string relative = fs::relative(e.path(), folder.path()).string();
    const fs::file_status st = e.symlink_status();
    if (fs::is_directory(st)) {
      entries[relative + "/"] = "<folder>";
    } else if (fs::is_symlink(st)) {
      entries[relative] = "<link to " + fs::read_symlink(e.path()).string() + ">";
    } else if (!fs::is_regular_file(st)) {
      entries[relative] = "<special>";
    } else if (fs::file_size(e.path()) > 65536) {
      entries[relative] = digest(e.path());
    } else {
      entries[relative] = folder.read(relative);
    }
  }
  return entries;
}

// What differs between two listings, one line per entry ("" when nothing does).
std::string differences(const Listing& want, const Listing& got) {
  std::string lines;
  for (const auto& [name, bytes] : want) {
    const auto it = got.find(name);
    if (it == got.end()) {
      lines += "gone: " + name + "\n";
    } else if (it->second != bytes) {
      lines += "changed: " + name + "\n";
    }
  }
  for (const auto& entry : got) {
    if (want.count(entry.first) == 0) lines += "left behind: " + entry.first + "\n";
  }
  return lines;
}

// Result files of an earlier run, each with its own content.
void place_earlier_results(const ScratchFolder& folder, const std::string& under = "") {
  for (int i = 0; i < 6; ++i) {
    folder.write(under + kResultFiles[i],
                 "earlier result file " + std::to_string(i + 1) + "\r\n\x82\xa0,1.0\r\nno line end");  // あ
  }
}

// A run that stops a large console input early must not end the test with SIGPIPE.
void ignore_broken_pipes() { signal(SIGPIPE, SIG_IGN); }

// ---------------------------------------------------------------------------------------
// Runs that end early: a message and the Enter pause (status 1) or a report (status 2).

struct BadInput {
  const char* what;
  Setup prepare;
  std::string input;  // console input
  std::string out;    // console text after the prompt
  std::string err;    // standard error
  int status;
};

const std::string kAnswer = "def.csv\n\n";  // the definition file, then Enter for a message
const std::string kNoPause = "def.csv\n";

// With every option, the run ends as the plain one (the input's fault comes before all the
// options add), and a check asked for the same agrees with it: its first error is the
// run's ending. For the inputs that answer with def.csv: the others are the dialogue's.
void expect_ending_with_every_option(const BadInput& c, const RunResult& plain) {
  if (c.input != kAnswer && c.input != kNoPause) return;
  const std::vector<std::string> options = {"--spectra", "--fit", "--report"};
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  place_earlier_results(folder);
  if (c.prepare) c.prepare(folder);
  const RunResult r = testing_support::run_with_arguments(folder.path(), options, c.input);
  EXPECT_EQ(r.out, plain.out);
  EXPECT_EQ(r.err, plain.err);
  EXPECT_EQ(r.status, plain.status);
  std::vector<std::string> check = {"--check"};
  check.insert(check.end(), options.begin(), options.end());
  check.push_back("def.csv");
  const RunResult checking = testing_support::run_with_arguments(folder.path(), check);
  EXPECT_EQ(checking.status, 1) << checking.out;
  const std::string ending = r.status == 1 ? testing_support::error_end_on_one_line(r.out.substr(kPrompt.size()))
                                           : r.err.substr(0, r.err.find('\n'));
  const std::size_t error = checking.out.find(": error: ");
  ASSERT_NE(error, std::string::npos) << checking.out;
  EXPECT_EQ(checking.out.substr(error + 9, ending.size()), ending);
}

void expect_ending(const BadInput& c) {
  SCOPED_TRACE(c.what);
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  place_earlier_results(folder);
  if (c.prepare) c.prepare(folder);
  const Listing before = listing(folder);
  const RunResult r = run_case(folder, c.input);
  EXPECT_EQ(r.out, kPrompt + c.out);
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(differences(before, listing(folder)), "");
  expect_ending_with_every_option(c, r);
}

// Something missing, a folder, a FIFO or a device where a file is expected, at each stage.
const BadInput kMissing[] = {
    {"definition file in a folder that does not exist", nullptr, "nofolder\\def.csv\n\n",
     not_exist("nofolder\\def.csv"), "", 1},
    {"definition file is a FIFO", fifo_at("pipe.csv"), "pipe.csv\n\n", not_exist("pipe.csv"), "", 1},
    {"folder of fault 1 missing", delete_path("quake/fault1"), kAnswer, not_exist(spectrum_path(1)), "", 1},
    {"spectrum table of fault 1 missing", delete_path(spectrum_file(1)), kAnswer, not_exist(spectrum_path(1)),
     "", 1},
    {"spectrum table of fault 1 is a folder", folder_at(spectrum_file(1)), kAnswer,
     not_exist(spectrum_path(1)), "", 1},
    {"spectrum table of fault 1 is a FIFO", fifo_at(spectrum_file(1)), kAnswer, not_exist(spectrum_path(1)),
     "", 1},
    {"spectrum table of fault 1 is a link to an endless device", symlink_at(spectrum_file(1), "/dev/zero"),
     kAnswer, not_exist(spectrum_path(1)), "", 1},
    {"folder of fault 2 missing", delete_path("quake/fault2"), kAnswer, not_exist(spectrum_path(2)), "", 1},
    {"spectrum table of fault 2 is a folder", folder_at(spectrum_file(2)), kAnswer,
     not_exist(spectrum_path(2)), "", 1},
    {"a file where the folder of fault 2 is expected", edit_definition("2,quake\\fault2", "2,def.csv"),
     kAnswer, not_exist("def.csv" + kSpectrumName), "", 1},
    {"tables of faults 2 and 3 both missing: fault 2 is reported",
     all_of({edit_definition("2,3\r\n", "3,3\r\n"),
             edit_definition("2,quake\\fault2\r\n", "2,quake\\fault2\r\n3,quake\\fault3\r\n"),
             delete_path(spectrum_file(2))}),
     kAnswer, not_exist(spectrum_path(2)), "", 1},
    {"folder of case 3 (the last) missing", delete_path("quake/case3"), kAnswer, not_exist(waveform_path(3)),
     "", 1},
    {"waveform of case 3 missing", delete_path(waveform_file(3)), kAnswer, not_exist(waveform_path(3)), "",
     1},
    {"waveform of case 3 is a folder", folder_at(waveform_file(3)), kAnswer, not_exist(waveform_path(3)), "",
     1},
    {"waveform of case 3 is a FIFO", fifo_at(waveform_file(3)), kAnswer, not_exist(waveform_path(3)), "", 1},
};

TEST(CatalogueMissing, EachStageEndsWithItsMessage) {
  for (const BadInput& c : kMissing) expect_ending(c);
}

// The definition file: counts and section lines.
const BadInput kDefinition[] = {
    {"a title and nothing else", put("def.csv", "title only\r\n"), kAnswer, kBadCounts, "", 1},
    {"a title without a line end", put("def.csv", "title only"), kAnswer, kBadCounts, "", 1},
    {"0 faults", edit_definition("2,3\r\n", "0,3\r\n"), kAnswer, kBadCounts, "", 1},
    {"7 faults", edit_definition("2,3\r\n", "7,3\r\n"), kAnswer, kBadCounts, "", 1},
    {"-1 faults", edit_definition("2,3\r\n", "-1,3\r\n"), kAnswer, kBadCounts, "", 1},
    {"0 cases", edit_definition("2,3\r\n", "2,0\r\n"), kAnswer, kBadCounts, "", 1},
    {"-1 cases", edit_definition("2,3\r\n", "2,-1\r\n"), kAnswer, kBadCounts, "", 1},
    {"6 faults and 22 cases", edit_definition("2,3\r\n", "6,22\r\n"), kAnswer, kBadCounts, "", 1},
    {"case count is text", edit_definition("2,3\r\n", "2,three\r\n"), kAnswer, kBadCounts, "", 1},
    {"counts line empty: the heading below is read for them", edit_definition("2,3\r\n", "\r\n"), kAnswer,
     kBadCounts, "", 1},
    {"fault count is a null value", edit_definition("2,3\r\n", ",3\r\n"), kAnswer, kBadCounts, "", 1},
    {"case count is a null value", edit_definition("2,3\r\n", "2,,\r\n"), kAnswer, kBadCounts, "", 1},
    {"a slash after the fault count", edit_definition("2,3\r\n", "2/3\r\n"), kAnswer, kBadCounts, "", 1},
    {"fault count 2^32+2 (would wrap to 2)", edit_definition("2,3\r\n", "4294967298,3\r\n"), kAnswer,
     kBadCounts, "", 1},
    {"case count 2^32+3", edit_definition("2,3\r\n", "2,4294967299\r\n"), kAnswer, kBadCounts, "", 1},
    {"fault count 2^31", edit_definition("2,3\r\n", "2147483648,3\r\n"), kAnswer, kBadCounts, "", 1},
    {"fault count 1E999", edit_definition("2,3\r\n", "1E999,3\r\n"), kAnswer, kBadCounts, "", 1},
    {"fault count NaN", edit_definition("2,3\r\n", "NaN,3\r\n"), kAnswer, kBadCounts, "", 1},
    {"case count Infinity", edit_definition("2,3\r\n", "2,Infinity\r\n"), kAnswer, kBadCounts, "", 1},
    {"fault count of 2050 bytes", edit_definition("2,3\r\n", std::string(2049, '0') + "2,3\r\n"), kAnswer,
     kBadCounts, "", 1},
    {"a quoted count never closed", edit_definition("2,3\r\n", "'2,3\r\n"), kAnswer, kBadCounts, "", 1},
    {"a NUL byte in the fault count", edit_definition("2,3\r\n", "2\0,3\r\n"s), kAnswer, kBadCounts, "", 1},
    {"CR-only line ends: the whole file is the title", put("def.csv", "t\r2,3\rh\r1,quake\\fault1\r"),
     kAnswer, kBadCounts, "", 1},
    {"fault line number is letters", edit_definition("1,quake\\fault1", "one,quake\\fault1"), kNoPause, "",
     conversion(11, "def.csv"), 2},
    {"case line number is letters", edit_definition("3,quake\\case3", "c,quake\\case3"), kNoPause, "",
     conversion(11, "def.csv"), 2},
    {"fault line number 2^32+1 (would wrap to 1)",
     edit_definition("1,quake\\fault1", "4294967297,quake\\fault1"), kNoPause, "", conversion(11, "def.csv"),
     2},
    {"case line number 2^31", edit_definition("2,quake\\case2", "2147483648,quake\\case2"), kNoPause, "",
     conversion(11, "def.csv"), 2},
    {"fault line number written 1E0", edit_definition("1,quake\\fault1", "1E0,quake\\fault1"), kNoPause, "",
     conversion(11, "def.csv"), 2},
    {"fault line number -2^31", edit_definition("2,quake\\fault2", "-2147483648,quake\\fault2"), kAnswer,
     "Fault data line no.\r\n2\r\nError ! [Enter]", "", 1},
    {"an empty fault line reads as number 0", edit_definition("1,quake\\fault1\r\n", "\r\n"), kAnswer,
     "Fault data line no.\r\n1\r\nError ! [Enter]", "", 1},
    {"ends after the counts", put("def.csv", "t\r\n2,3\r\n"), kNoPause, "", end_of_file(11, "def.csv"), 2},
    {"ends inside the fault section", put("def.csv", "t\r\n2,3\r\nh\r\n1,quake\\fault1\r\n"), kNoPause, "",
     end_of_file(11, "def.csv"), 2},
};

TEST(CatalogueDefinitionFile, EachFaultEndsAsStated) {
  for (const BadInput& c : kDefinition) expect_ending(c);
}

std::string spectrum_rows(int header_lines, int rows) {
  std::string t;
  for (int i = 1; i <= header_lines; ++i) t += "header\r\n";
  for (int j = 1; j <= rows; ++j)
    t += "0.1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28\r\n";
  return t;
}

// Spectrum tables: truncated, shifted, text and out-of-range values in the numeric fields.
const BadInput kSpectrum[] = {
    {"fault 1 ends in its header", put(spectrum_file(1), spectrum_rows(10, 0)), kNoPause, "",
     end_of_file(12, spectrum_path(1)), 2},
    {"fault 1 ends in row 30", put(spectrum_file(1), spectrum_rows(15, 29) + "0.1,2,3,4"), kNoPause, "",
     end_of_file(12, spectrum_path(1)), 2},
    {"fault 2 has 16 header lines: a text line is row 1", put(spectrum_file(2), spectrum_rows(16, 55)),
     kNoPause, "", conversion(12, spectrum_path(2)), 2},
    {"fault 2 with CR-only line ends", put(spectrum_file(2), "h\r" + std::string("0.1,2\r") + "0.2,3\r"),
     kNoPause, "", end_of_file(12, spectrum_path(2)), 2},
    {"NaN in field 28", edit(spectrum_file(2), ",4.125000", ",NaN"), kNoPause, "",
     conversion(12, spectrum_path(2)), 2},
    {"Infinity in field 1 of fault 1", edit(spectrum_file(1), "\r\n0.100,", "\r\nInfinity,"), kNoPause, "",
     conversion(12, spectrum_path(1)), 2},
    {"-inf in field 2", edit(spectrum_file(1), " 1.2345E+03", "-inf"), kNoPause, "",
     conversion(12, spectrum_path(1)), 2},
    {"1E999 in field 28", edit(spectrum_file(2), ",4.125000", ",1E999"), kNoPause, "",
     conversion(12, spectrum_path(2)), 2},
    {"-1D999 in field 3", edit(spectrum_file(2), " 1.2345E+03, 1.2345E+03", " 1.2345E+03,-1D999"), kNoPause,
     "", conversion(12, spectrum_path(2)), 2},
    {"a quoted value", edit(spectrum_file(1), " 1.2345E+03", "'1.0'"), kNoPause, "",
     conversion(12, spectrum_path(1)), 2},
    {"a NUL byte in a field", edit(spectrum_file(1), " 1.2345E+03", " 1.2345\0E+03"s), kNoPause, "",
     conversion(12, spectrum_path(1)), 2},
};

TEST(CatalogueSpectrumTable, EachFaultEndsAsStated) {
  for (const BadInput& c : kSpectrum) expect_ending(c);
}

// Waveforms: header fields, samples, truncation, counts beyond 32 bits.
const BadInput kWaveform[] = {
    {"case 3 holds fewer samples than its count", put(waveform_file(3), "5,0.02\r\n1 2 3 4\r\n"), kNoPause,
     "", end_of_file(13, waveform_path(3)), 2},
    {"case 3 has no record after its header", put(waveform_file(3), "1,0.02\r\n"), kNoPause, "",
     end_of_file(13, waveform_path(3)), 2},
    {"case 3 is a header without a line end", put(waveform_file(3), "1,0.02"), kNoPause, "",
     end_of_file(13, waveform_path(3)), 2},
    {"case 3 is empty", put(waveform_file(3), ""), kNoPause, "", end_of_file(13, waveform_path(3)), 2},
    {"count -5 and no second record", put(waveform_file(3), "-5,0.02\r\n"), kNoPause, "",
     end_of_file(13, waveform_path(3)), 2},
    {"count 0 and no second record", put(waveform_file(3), "0,0.02\r\n"), kNoPause, "",
     end_of_file(13, waveform_path(3)), 2},
    {"count is text", put(waveform_file(2), "n,0.02\r\n10 -10\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"step is text", put(waveform_file(2), "2,dt\r\n10 -10\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"count 2^32+2 (would wrap to 2)", put(waveform_file(2), "4294967298,0.02\r\n10 -10\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"count 2^31", put(waveform_file(2), "2147483648,0.02\r\n10 -10\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"count -2^31-1", put(waveform_file(2), "-2147483649,0.02\r\n10 -10\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"count written 2E0", put(waveform_file(2), "2E0,0.02\r\n10 -10\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"count written 2.0", put(waveform_file(2), "2.0,0.02\r\n10 -10\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"a UTF-8 byte-order mark before the count", put(waveform_file(2), "\xEF\xBB\xBF" "2,0.02\r\n10 -10\r\n"),
     kNoPause, "", conversion(13, waveform_path(2)), 2},
    {"count 2^31-1", put(waveform_file(2), "2147483647,0.02\r\n10 -10\r\n"), kAnswer,
     too_many(waveform_path(2)), "", 1},
    {"step 1E999", put(waveform_file(2), "2,1E999\r\n10 -10\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"step NaN", put(waveform_file(2), "2,NaN\r\n10 -10\r\n"), kNoPause, "", conversion(13, waveform_path(2)),
     2},
    {"step Infinity", put(waveform_file(2), "2,Infinity\r\n10 -10\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"sample NaN", put(waveform_file(2), "2,0.02\r\n10 NaN\r\n"), kNoPause, "", syntax(13, waveform_path(2)),
     2},
    {"sample -nan", put(waveform_file(2), "2,0.02\r\n10 -nan\r\n"), kNoPause, "",
     syntax(13, waveform_path(2)), 2},
    {"sample Infinity", put(waveform_file(2), "2,0.02\r\nInfinity -10\r\n"), kNoPause, "",
     syntax(13, waveform_path(2)), 2},
    {"sample inf", put(waveform_file(2), "2,0.02\r\n10 inf\r\n"), kNoPause, "", syntax(13, waveform_path(2)),
     2},
    {"sample 0x10", put(waveform_file(2), "2,0.02\r\n10 0x10\r\n"), kNoPause, "",
     syntax(13, waveform_path(2)), 2},
    {"sample -1E999", put(waveform_file(2), "2,0.02\r\n10 -1E999\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"sample 1D999", put(waveform_file(2), "2,0.02\r\n10 1D999\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"sample quoted", put(waveform_file(2), "2,0.02\r\n10 '-10'\r\n"), kNoPause, "",
     syntax(13, waveform_path(2)), 2},
    {"repeat count 0", put(waveform_file(2), "2,0.02\r\n0*10\r\n"), kNoPause, "",
     syntax(13, waveform_path(2)), 2},
    {"sample of 2050 bytes", put(waveform_file(2), "2,0.02\r\n" + std::string(2048, '0') + "10 -10\r\n"),
     kNoPause, "", syntax(13, waveform_path(2)), 2},
    {"a repeated sample of 2050 bytes, its count included",
     put(waveform_file(1), "3,0.02\r\n" + std::string(2045, '0') + "3*100\r\n"), kNoPause, "",
     syntax(13, waveform_path(1)), 2},
    {"a NUL byte after a sample", put(waveform_file(2), "2,0.02\r\n10\0 -10\r\n"s), kNoPause, "",
     syntax(13, waveform_path(2)), 2},
    {"CR-only line ends: the header runs into the samples", put(waveform_file(2), "2,0.02\r10\r-10\r"),
     kNoPause, "", conversion(13, waveform_path(2)), 2},
};

TEST(CatalogueWaveform, EachFaultEndsAsStated) {
  for (const BadInput& c : kWaveform) expect_ending(c);
}

// The console answer, and paths with bytes no file name can hold: every message echoes the
// bytes exactly as the program used them.
const BadInput kNamesAndAnswers[] = {
    {"a quoted answer never closed", nullptr, "'def.csv\n", "", end_of_file(5, "stdin"), 2},
    {"an answer of 2050 bytes", nullptr, std::string(2050, 'n') + "\n\n", "", syntax(5, "stdin"), 2},
    {"a quoted answer of 2050 bytes", nullptr, "'" + std::string(2050, 'n') + "'\n\n", "", syntax(5, "stdin"),
     2},
    {"only empty lines", nullptr, "\n\r\n  \n", "", end_of_file(5, "stdin"), 2},
    {"an answer that is a slash: the name stays blank", nullptr, "/\n\n", not_exist(" "), "", 1},
    {"an answer that is a null value", nullptr, ",def.csv\n\n", not_exist(" "), "", 1},
    {"a NUL byte at the end of the answer (not def.csv)", nullptr, "def.csv\0\n\n"s, not_exist("def.csv\0"s),
     "", 1},
    {"a NUL byte inside the answer", nullptr, "de\0f.csv\n\n"s, not_exist("de\0f.csv"s), "", 1},
    {"a lone lead byte ends the answer", nullptr, "def.csv\x81\n\n", not_exist("def.csv\x81"), "", 1},
    {"0xFF and 0xFD in the answer", nullptr,
     "\xFF"
     "def\xFD.csv\n\n",
     not_exist("\xFF"
               "def\xFD.csv"),
     "", 1},
    {"a NUL byte ends the path of fault 1", edit_definition("1,quake\\fault1", "1,quake\\fault1\0"s), kAnswer,
     not_exist("quake\\fault1\0"s + kSpectrumName), "", 1},
    {"a lone lead byte ends the path of fault 1 (it takes the backslash as its trail byte)",
     edit_definition("1,quake\\fault1", "1,quake\\fault1\x83"), kAnswer,
     not_exist("quake\\fault1\x83" + kSpectrumName), "", 1},
    {"0x80 in the path of fault 2", edit_definition("2,quake\\fault2", "2,quake\\fault\x80"), kAnswer,
     not_exist("quake\\fault\x80" + kSpectrumName), "", 1},
    {"0xA0 in the path of case 3", edit_definition("3,quake\\case3", "3,quake\\case3\xA0"), kAnswer,
     not_exist("quake\\case3\xA0" + kWaveformName), "", 1},
    {"0xFD 0xFE 0xFF in the path of case 1", edit_definition("1,quake\\case1", "1,quake\\\xFD\xFE\xFF"),
     kAnswer, not_exist("quake\\\xFD\xFE\xFF" + kWaveformName), "", 1},
};

TEST(CatalogueNamesAndAnswers, EachEndsAsStated) {
  for (const BadInput& c : kNamesAndAnswers) expect_ending(c);
}

// Permissions stop every user but root: a file or folder of mode 000 cannot be read, and
// a read-only earlier result file may not be replaced.
TEST(CatalogueUnreadable, EachStageEndsAsStated) {
  if (geteuid() == 0) GTEST_SKIP() << "running as root: file modes do not stop root";
  struct Case {
    const char* what;
    std::string file;
    fs::perms mode;
    std::string out;  // after the prompt
    std::string err;
    int status;
  };
  const fs::perms kNone = fs::perms::none;
  const fs::perms kReadOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  const Case cases[] = {
      {"definition file", "def.csv", kNone, not_exist("def.csv"), "", 1},
      {"spectrum table of fault 1", spectrum_file(1), kNone, not_exist(spectrum_path(1)), "", 1},
      {"folder of fault 2", "quake/fault2", kNone, not_exist(spectrum_path(2)), "", 1},
      {"waveform of case 3", waveform_file(3), kNone, not_exist(waveform_path(3)), "", 1},
      {"folder of case 3", "quake/case3", kNone, not_exist(waveform_path(3)), "", 1},
      {"a read-only earlier result file 4", kResultFiles[3], kReadOnly, "", severe(9, 24, result_name(3)), 2},
      {"a read-only working folder", ".", kReadOnly | fs::perms::owner_exec, "",
       severe(9, 21, result_name(0)), 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder folder;
    DataSet::small().write_to(folder);
    place_earlier_results(folder);
    const fs::path p = folder.path() / fs::path(c.file);
    fs::permissions(p, c.mode);
    const Listing before = listing(folder);
    const RunResult r = run_case(folder, kAnswer);
    const Listing after = listing(folder);
    fs::permissions(p, fs::perms::owner_all);  // so that the folder can be removed
    EXPECT_EQ(r.out, kPrompt + c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(differences(before, after), "");
  }
}

// ---------------------------------------------------------------------------------------
// The result files. The six are written to temporary files first and put in the place of
// the earlier ones only when all six are complete: a refusal or a full disk on any of them
// leaves the earlier six as they were and no temporary file behind.

// A folder under the backup name (".old") the earlier file moves to while the new ones go
// in fails that rename after the files before it are in place: they are moved back.
TEST(CatalogueResultFiles, ANameTakenByAFolderLeavesTheEarlierFiles) {
  for (const std::string suffix : {"", ".old"}) {
    for (int i = 0; i < 6; ++i) {
      SCOPED_TRACE(kResultFiles[i] + suffix);
      ScratchFolder folder;
      DataSet::small().write_to(folder);
      place_earlier_results(folder);
      folder_at(kResultFiles[i] + suffix)(folder);
      const Listing before = listing(folder);
      const RunResult r = run_case(folder, kNoPause);
      EXPECT_EQ(r.out, kPrompt);
      // The start, which finishes what a stopped run left, names the folder it leaves alone.
      const std::string left_alone =
          suffix.empty() ? "" : "gmgather: " + result_name(i) + ".old left as it is (a folder or not a file there)\r\n";
      EXPECT_EQ(r.err, left_alone + severe(9, 21 + i, result_name(i)));
      EXPECT_EQ(r.status, 2);
      EXPECT_EQ(differences(before, listing(folder)), "");
    }
  }
}

// A FIFO under a result name is refused at once (the open does not wait for a reader).
TEST(CatalogueResultFiles, AFifoUnderAResultNameIsRefusedWithoutWaiting) {
  if (!testing_support::launcher().empty()) {
    GTEST_SKIP() << "a FIFO is not a Windows file type: through " << testing_support::launcher()
                 << " the program meets it as a pipe and refuses it as no disk file (report 9)";
  }
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  place_earlier_results(folder);
  fifo_at(kResultFiles[5])(folder);
  const Listing before = listing(folder);
  const RunResult r = run_case(folder, kNoPause);
  EXPECT_EQ(r.out, kPrompt);
  EXPECT_EQ(r.err, severe(42, 26, result_name(5)));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(differences(before, listing(folder)), "");
}

// A file-size limit fails the first file that outgrows it. With the small data set the
// target spectrum (file 1) is 1618 bytes; with six faults the per-fault spectra (file 3) are
// 5.8 KiB while files 1 and 2 stay under 4 KiB.
TEST(CatalogueResultFiles, AFullDiskOnTheFirstOrThirdFileLeavesTheEarlierFiles) {
  if (!testing_support::launcher().empty()) {
    GTEST_SKIP() << "the file-size limit is not passed through a launcher";
  }
  struct Case {
    int file;
    int faults;
    rlim_t limit;
  };
  for (const Case& c : {Case{0, 2, 1024}, Case{2, 6, 4096}}) {
    SCOPED_TRACE(kResultFiles[c.file]);
    ScratchFolder folder;
    DataSet d = DataSet::small();
    const std::vector<double> spectrum = d.spectra[1];
    d.spectra.resize(static_cast<std::size_t>(c.faults), spectrum);
    d.write_to(folder);
    place_earlier_results(folder);
    const Listing before = listing(folder);
    const RunResult r = run_case(folder, kNoPause, c.limit);
    EXPECT_EQ(r.out, kPrompt);
    EXPECT_EQ(r.err, severe(38, 21 + c.file, result_name(c.file)));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(differences(before, listing(folder)), "");
  }
}

// The sixth file (the peak velocities, under 1 KiB) is smaller than the first, so no
// file-size limit can make it the one that fails; a small file system can. The run's folder
// is a tmpfs of 11 pages holding the six earlier files (a page each): the first five new
// files (a page each) fill it, and the sixth finds it full.
TEST(CatalogueResultFiles, AFullDiskOnTheSixthFileLeavesTheEarlierFiles) {
  if (!testing_support::launcher().empty()) {
    GTEST_SKIP() << "a mounted file system is not passed through a launcher";
  }
  // A mount namespace of this test process's own, so that the mount is private to it and
  // goes away with it.
  static const bool isolated =
      unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  if (!isolated) GTEST_SKIP() << "cannot mount a small tmpfs here (needs CAP_SYS_ADMIN)";
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  // Every folder path as seen from the run's folder.
  std::string def = folder.read("def.csv");
  for (std::size_t at = def.find(",quake\\"); at != std::string::npos; at = def.find(",quake\\", at + 4)) {
    def.insert(at + 1, "..\\");
  }
  folder.write("def.csv", def);
  const fs::path out = folder.path() / "out";
  fs::create_directory(out);
  const long page = sysconf(_SC_PAGESIZE);
  const std::string size = "size=" + std::to_string(11 * page);
  if (mount("tmpfs", out.c_str(), "tmpfs", 0, size.c_str()) != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here";
  }
  place_earlier_results(folder, "out/");
  const Listing before = listing(folder);
  const RunResult r = testing_support::run_program(GMGATHER_EXE, out, "..\\def.csv\n", 0,
                                                    testing_support::launcher(), {}, "4");
  const Listing after = listing(folder);
  umount2(out.c_str(), MNT_DETACH);
  EXPECT_EQ(r.out, kPrompt);
  EXPECT_EQ(r.err, severe(38, 26, result_name(5)));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(differences(before, after), "");
}

// ---------------------------------------------------------------------------------------
// Odd inputs the run accepts: the six result files must equal those of a clean data set
// that says the same thing plainly.

struct Accepted {
  const char* what;
  Setup prepare;
  std::string input;
  DataSet (*same_as)();  // the clean data set; null for the small one
};

// The six result files a clean run of `d` writes, by name.
Listing results_of(const DataSet& d) {
  ScratchFolder folder;
  d.write_to(folder);
  const RunResult r = run_case(folder, kNoPause);
  EXPECT_EQ(r.status, 0) << r.err;
  Listing all = listing(folder);
  Listing results;
  for (const char* name : kResultFiles) results[name] = all[name];
  return results;
}

// Runs a spoiled small data set; returns the run and its peak memory.
RunResult expect_accepted(const Accepted& c) {
  SCOPED_TRACE(c.what);
  const Listing expected = results_of(c.same_as != nullptr ? c.same_as() : DataSet::small());
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  place_earlier_results(folder);
  if (c.prepare) c.prepare(folder);
  Listing want = listing(folder);
  for (const auto& [name, bytes] : expected) want[name] = bytes;
  const RunResult r = run_case(folder, c.input);
  EXPECT_EQ(r.out, kPrompt);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(differences(want, listing(folder)), "");
  return r;
}

const std::string kName40 = std::string(36, 'd') + ".csv";  // a definition file name of 40 bytes
Setup copy_definition_to(const std::string& name) {
  return [=](const ScratchFolder& f) { f.write(name, f.read("def.csv")); };
}

DataSet case2_without_samples() {
  DataSet d = DataSet::small();
  d.samples[1].clear();
  return d;
}
DataSet case2_second_sample_zero() {
  DataSet d = DataSet::small();
  d.samples[1][1] = 0.0;
  return d;
}

const Accepted kAccepted[] = {
    {"the case count on the next line", edit_definition("2,3\r\n", "2\r\n3\r\n"), kNoPause, nullptr},
    {"counts written as reals are cut toward zero", edit_definition("2,3\r\n", "2.9,3.5\r\n"), kNoPause,
     nullptr},
    {"a fault count of 2049 bytes", edit_definition("2,3\r\n", std::string(2048, '0') + "2,3\r\n"), kNoPause,
     nullptr},
    {"an answer of 2049 bytes keeps its first 40", copy_definition_to(kName40),
     kName40 + std::string(2009, 'x') + "\n", nullptr},
    {"a quoted answer of 2049 bytes keeps its first 40", copy_definition_to(kName40),
     "'" + kName40 + std::string(2009, 'x') + "'\n", nullptr},
    {"an answer ended by a CR and no LF", nullptr, "def.csv\r", nullptr},
    {"a sample of 2049 bytes", put(waveform_file(2), "2,0.02\r\n" + std::string(2047, '0') + "10 -10\r\n"),
     kNoPause, nullptr},
    {"a repeated sample of 2049 bytes, its count included",
     put(waveform_file(1), "3,0.02\r\n" + std::string(2044, '0') + "3*100\r\n"), kNoPause, nullptr},
    {"a huge repeat count fills only the samples asked for",
     put(waveform_file(1), "3,0.02\r\n99999999999999999999*100\r\n"), kNoPause, nullptr},
    {"samples with CR-only line ends after a CR LF header",
     put(waveform_file(1), "3,0.02\r\n100\r100\r100\r"), kNoPause, nullptr},
    {"a spectrum table whose last row has no line end",
     [](const ScratchFolder& f) {
       std::string t = f.read(spectrum_file(2));
       f.write(spectrum_file(2), t.substr(0, t.size() - 2));
     },
     kNoPause, nullptr},
    {"NUL and invalid Shift-JIS bytes in a header line",
     edit(spectrum_file(1), "header line 3", "header\0line\x81\xFF\x80 3"s), kNoPause, nullptr},
    {"sample count -5, then a record: no samples", put(waveform_file(2), "-5,0.02\r\n10 -10\r\n"), kNoPause,
     case2_without_samples},
    {"1E-999 reads as zero", put(waveform_file(2), "2,0.02\r\n10 -1E-999\r\n"), kNoPause,
     case2_second_sample_zero},
    {"every case's count 0 or less: no sample anywhere",
     all_of({put(waveform_file(1), "-5,0.02\r\n1 2\r\n"), put(waveform_file(2), "0,0.02\r\n\r\n"),
             put(waveform_file(3), "-1,0.02\r\n3\r\n")}),
     kNoPause, [] {
       DataSet d = DataSet::small();
       for (std::vector<double>& s : d.samples) s.clear();
       return d;
     }},
};

TEST(CatalogueAccepted, OddInputsGiveTheResultsOfPlainOnes) {
  for (const Accepted& c : kAccepted) expect_accepted(c);
}

// The definition file's name a console input answers with: its first line, unquoted, cut
// to 40 bytes.
std::string answered_name(const std::string& input) {
  std::string name = input.substr(0, input.find_first_of("\r\n"));
  if (name.size() >= 2 && name.front() == '\'') name = name.substr(1, name.size() - 2);
  return name.substr(0, 40);
}

// A run at the prompt with `options`, of the odd input `c` (`spoiled`) or of its plain
// twin, with a line for the Enter pause after an error message.
RunResult run_with(const Accepted& c, bool spoiled, const std::vector<std::string>& options, ScratchFolder& folder) {
  (c.same_as != nullptr && !spoiled ? c.same_as() : DataSet::small()).write_to(folder);
  if (spoiled && c.prepare) c.prepare(folder);
  const std::string& input = spoiled ? c.input : kNoPause;
  return testing_support::run_with_arguments(folder.path(), options, input + (input.ends_with('\n') ? "\n" : "\n\n"));
}

// With every option a run takes together, an odd input ends as its plain twin does:
// the same CSV files with --spectra --report, and with --fit as well the same end (the
// small set's records are too short to fit: the fit's own error); and a check with those
// options agrees with that run.
TEST(CatalogueAccepted, OddInputsEndAsPlainOnesWithEveryOption) {
  const std::vector<std::string> both = {"--spectra", "--report"};
  const std::vector<std::string> all = {"--spectra", "--fit", "--report"};
  for (const Accepted& c : kAccepted) {
    SCOPED_TRACE(c.what);
    ScratchFolder twin, spoiled;
    const RunResult want = run_with(c, false, both, twin);
    const RunResult got = run_with(c, true, both, spoiled);
    EXPECT_EQ(got.status, 0) << got.err;
    EXPECT_EQ(got.status, want.status);
    EXPECT_EQ(got.err, want.err);
    const Listing want_files = listing(twin), got_files = listing(spoiled);
    for (const auto& [name, bytes] : want_files) {
      if (name.ends_with(".csv") && name.find('/') == std::string::npos && name.find("def") == std::string::npos) {
        EXPECT_TRUE(got_files.count(name) == 1 && got_files.at(name) == bytes) << name;
      }
    }
    EXPECT_EQ(got_files.count("参考･結果図表.html"), 1u);

    ScratchFolder twin_fit, spoiled_fit, checked;
    const RunResult want_fit = run_with(c, false, all, twin_fit);
    const RunResult got_fit = run_with(c, true, all, spoiled_fit);
    EXPECT_EQ(got_fit.status, want_fit.status);
    EXPECT_EQ(got_fit.out, want_fit.out);
    EXPECT_EQ(got_fit.err, want_fit.err);
    DataSet::small().write_to(checked);
    if (c.prepare) c.prepare(checked);
    std::vector<std::string> check = {"--check"};
    check.insert(check.end(), all.begin(), all.end());
    check.push_back(answered_name(c.input));
    const RunResult checking = testing_support::run_with_arguments(checked.path(), check);
    EXPECT_EQ(checking.status, got_fit.status == 0 ? 0 : 1) << checking.out;
    if (got_fit.status == 1) {
      const std::string ending = testing_support::error_end_on_one_line(got_fit.out.substr(kPrompt.size()));
      const std::size_t error = checking.out.find(": error: ");
      ASSERT_NE(error, std::string::npos) << checking.out;
      EXPECT_EQ(checking.out.substr(error + 9, ending.size()), ending);
    }
  }
}

// ---------------------------------------------------------------------------------------
// No hangs, bounded memory: inputs far longer than any record the program needs. The run
// must end as it would for short ones, reading such lines in passing, with its peak
// resident memory within the static tables (a few MiB of waveform tables for these sets;
// 32 MiB at the largest run) plus bounded buffers: well below the 64 MiB that one such
// line held whole would take (under 20 MiB measured, the test process's own memory, which
// the forked child starts with, included). ctest's timeout stands guard for run time.

constexpr long kPeakRssBoundKib = 48 * 1024;
constexpr std::size_t kLong = std::size_t{64} << 20;

// Appends `count` copies of `byte` to a file without holding them in memory.
void append_run(const fs::path& p, char byte, std::size_t count) {
  std::ofstream out(p, std::ios::binary | std::ios::app);
  const std::string chunk(std::size_t{1} << 20, byte);
  for (std::size_t left = count; left > 0;) {
    const std::size_t n = std::min(left, chunk.size());
    out.write(chunk.data(), static_cast<std::streamsize>(n));
    left -= n;
  }
}
void append(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary | std::ios::app) << bytes;
}

// The table of fault 1 with header line 3 made `count` bytes of `byte` long.
Setup long_header_line(std::size_t count, char byte) {
  return [=](const ScratchFolder& f) {
    const std::string t = f.read(spectrum_file(1));
    const std::size_t line3 = t.find("header line 3");
    const fs::path p = f.path() / fs::path(spectrum_file(1));
    f.write(spectrum_file(1), t.substr(0, line3));
    append_run(p, byte, count);
    append(p, t.substr(t.find("\r\n", line3)));
  };
}

struct LongInput {
  const char* what;
  Setup prepare;
  std::function<std::string()> input;  // made when needed; null: the definition file's name
  std::string err;                     // empty: a normal end with the small data set's results
  int status;
};

// `count` copies of `byte` between two texts.
std::string framed(std::string_view before, char byte, std::size_t count, std::string_view after) {
  std::string s;
  s.reserve(before.size() + count + after.size());
  s.append(before).append(count, byte).append(after);
  return s;
}

// A file that is one line of `count` bytes without any line end.
Setup one_long_line(const std::string& file, char byte, std::size_t count) {
  return [=](const ScratchFolder& f) {
    f.write(file, "");
    append_run(f.path() / fs::path(file), byte, count);
  };
}

TEST(CatalogueBounded, LongLinesAreReadInPassing) {
  ignore_broken_pipes();
  constexpr std::size_t k16MiB = std::size_t{16} << 20;
  const LongInput cases[] = {
      {"a spectrum table that is one 64 MiB line", one_long_line(spectrum_file(1), 'h', kLong), nullptr,
       end_of_file(12, spectrum_path(1)), 2},
      {"a 64 MiB header line in a spectrum table", long_header_line(kLong, 'h'), nullptr, "", 0},
      {"64 MiB after the 28th field of a spectrum row",
       [](const ScratchFolder& f) {
         const std::string t = f.read(spectrum_file(2));
         const std::size_t row1_end = t.find("\r\n", t.find("\r\n0.100,"));
         const fs::path p = f.path() / fs::path(spectrum_file(2));
         f.write(spectrum_file(2), t.substr(0, row1_end) + ",");
         append_run(p, '9', kLong);
         append(p, t.substr(row1_end));
       },
       nullptr, "", 0},
      {"a 64 MiB title in the definition file",
       [](const ScratchFolder& f) {
         const std::string d = f.read("def.csv");
         f.write("def.csv", "");
         append_run(f.path() / "def.csv", 't', kLong);
         append(f.path() / "def.csv", d.substr(d.find("\r\n")));
       },
       nullptr, "", 0},
      {"a waveform with a 64 MiB line of blanks before its samples",
       [](const ScratchFolder& f) {
         f.write(waveform_file(2), "2,0.02\r\n");
         append_run(f.path() / fs::path(waveform_file(2)), ' ', kLong);
         append(f.path() / fs::path(waveform_file(2)), "\r\n10 -10\r\n");
       },
       nullptr, "", 0},
      {"a waveform with a 64 MiB line of blanks and no samples",
       [](const ScratchFolder& f) {
         f.write(waveform_file(2), "2,0.02\r\n");
         append_run(f.path() / fs::path(waveform_file(2)), ' ', kLong);
       },
       nullptr, end_of_file(13, waveform_path(2)), 2},
      {"a console answer followed by 16 MiB of blanks", nullptr,
       [] { return framed("def.csv", ' ', k16MiB, "\n"); }, "", 0},
      {"16 MiB of empty lines before the answer", nullptr, [] { return framed("", '\n', k16MiB, kNoPause); },
       "", 0},
      {"a console answer of 16 MiB", nullptr, [] { return framed("", 'x', k16MiB, "\n"); },
       syntax(5, "stdin"), 2},
      {"a quoted console answer running 16 MiB", nullptr, [] { return framed("'", 'x', k16MiB, "'\n"); },
       syntax(5, "stdin"), 2},
  };
  const Listing plain = results_of(DataSet::small());
  for (const LongInput& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder folder;
    DataSet::small().write_to(folder);
    place_earlier_results(folder);
    if (c.prepare) c.prepare(folder);
    Listing want = listing(folder);
    if (c.status == 0) {
      for (const auto& [name, bytes] : plain) want[name] = bytes;
    }
    const RunResult r = run_case(folder, c.input ? c.input() : kNoPause);
    EXPECT_EQ(r.out, kPrompt);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(differences(want, listing(folder)), "");
    std::printf("[ peak RSS ] %s: %ld KiB\n", c.what, r.peak_rss_kib);
    // ThreadSanitizer's shadow memory is counted too: the bound holds natively.
    if (!kAddressSanitizer && !kThreadSanitizer && testing_support::launcher().empty()) {
      EXPECT_LT(r.peak_rss_kib, kPeakRssBoundKib);
    }
  }
  if (kAddressSanitizer) {
    GTEST_SKIP() << "outcomes checked; the memory bound is not (AddressSanitizer's shadow memory)";
  }
}

// A run's own peak resident memory, in KiB, as /usr/bin/time measures it: a child of a
// small process, so that the test process's memory, which a forked child starts with and
// the kernel counts, is not counted (0 when it cannot be measured). The least of two
// runs: where the host backs a buffer with a large page varies from run to run.
long own_peak_kib(const ScratchFolder& folder, const std::vector<std::string>& arguments, int& status) {
  const fs::path report = folder.path() / "peak.txt";
  std::vector<std::string> command = {"-f", "%M", "-o", report.string(), GMGATHER_EXE};
  command.insert(command.end(), arguments.begin(), arguments.end());
  long least = 0;
  for (int run = 0; run < 2; ++run) {
    status = testing_support::run_program("/usr/bin/time", folder.path(), "", 0, "", command).status;
    const std::string peak = folder.read("peak.txt");
    fs::remove(report);
    const long kib = peak.empty() ? 0 : std::stol(peak);
    least = run == 0 ? kib : std::min(least, kib);
  }
  return least;
}

// A --report run and a check read each input once, through the run's own reader, holding
// no file whole: 64 MiB of values behind a waveform's count cost them no more memory than
// the plain run, which passes them by, and the page's own few megabytes at most. (A plain
// run of this small set now takes under 4 MiB, large pages being asked for only where
// whole ones are used: a share of it no longer leaves room for the page.)
TEST(CatalogueBounded, ReportAndCheckHoldNoFileWhole) {
  if (kAddressSanitizer || kThreadSanitizer || !testing_support::launcher().empty() || !fs::exists("/usr/bin/time")) {
    GTEST_SKIP() << "peak memory is measured natively, without a sanitizer, by /usr/bin/time";
  }
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  folder.write(waveform_file(2), "2,0.02\r\n10 -10\r\n");
  std::string lines;
  while (lines.size() < (std::size_t{1} << 20)) lines += "  1.500000E+01 -2.500000E+01  3.500000E+01\r\n";
  const fs::path wave = folder.path() / fs::path(waveform_file(2));
  for (std::size_t written = 0; written < kLong; written += lines.size()) append(wave, lines);
  int status = -1;
  const long plain = own_peak_kib(folder, {"def.csv"}, status);
  EXPECT_EQ(status, 0);
  for (const std::string option : {"--report", "--check"}) {
    SCOPED_TRACE(option);
    const long peak = own_peak_kib(folder, {option, "def.csv"}, status);
    EXPECT_EQ(status, 0);
    std::printf("[ peak RSS ] %s: %ld KiB, plain run %ld KiB\n", option.c_str(), peak, plain);
    EXPECT_GT(peak, 0);
    EXPECT_LE(peak, plain + 4 * 1024);
  }
}

// The largest count accepted, 100000 samples, all on one line.
TEST(CatalogueBounded, OneHundredThousandSamplesOnOneLine) {
  std::string line;
  for (int j = 0; j < 100000; ++j) line += j % 2 == 0 ? "12.5 " : "-7.25 ";
  const Accepted c{"100000 samples on one line", put(waveform_file(3), "100000,0.02\r\n" + line + "\r\n"),
                   kNoPause, [] {
                     DataSet d = DataSet::small();
                     d.samples[2].clear();
                     for (int j = 0; j < 100000; ++j) d.samples[2].push_back(j % 2 == 0 ? 12.5 : -7.25);
                     return d;
                   }};
  line.clear();
  line.shrink_to_fit();
  const RunResult r = expect_accepted(c);
  std::printf("[ peak RSS ] %s: %ld KiB\n", c.what, r.peak_rss_kib);
  if (kAddressSanitizer) {
    GTEST_SKIP() << "outcome checked; the memory bound is not (AddressSanitizer's shadow memory)";
  }
  if (testing_support::launcher().empty() && !kThreadSanitizer) {
    EXPECT_LT(r.peak_rss_kib, kPeakRssBoundKib);
  }
}

// ---------------------------------------------------------------------------------------
// Inputs a run takes without an error but that change its results: each is one warning of
// the check, and a run given the file counts it in its last line; the clean twin, one
// thing mended, gives neither. On a set of records long enough to warn of nothing else.

DataSet long_records() {
  DataSet d = DataSet::small();
  for (std::size_t c = 0; c < d.samples.size(); ++c) {
    d.samples[c].clear();
    for (int j = 0; j < 120; ++j) d.samples[c].push_back(double(c + 1) * double((j * 7) % 11 - 5));
  }
  return d;
}

// A waveform of `n` samples `text`, five to a line, the last one `last`.
std::string samples_of(int n, const std::string& text, const std::string& last) {
  std::string w = std::to_string(n) + ",0.02\r\n";
  for (int j = 1; j <= n; ++j) w += (j == n ? last : text) + (j % 5 == 0 || j == n ? "\r\n" : " ");
  return w;
}

// Case 2's folder under a name that the definition file gives in `spelling` (bytes), the
// folder on disk named as a run looks it up.
Setup case2_folder(const std::string& spelling, const std::string& host_name) {
  return [=](const ScratchFolder& f) {
    fs::rename(f.path() / "quake/case2", f.path() / "quake" / host_name);
    std::string def = f.read("def.csv");
    def.replace(def.find("quake\\case2"), 11, "quake\\" + spelling);
    f.write("def.csv", def);
  };
}

struct Warned {
  const char* what;
  Setup spoil, twin;   // the twin: the one thing done right (null: the set as it is)
  std::string warning;  // a piece of the check's line
};

TEST(CatalogueWarned, EachWarningIsCountedByTheRunAndItsTwinIsQuiet) {
  const std::string bom = "\xEF\xBB\xBF";
  const Warned cases[] = {
      // 100 numbers for a count of 200: each reads as two samples.
      {"decimal commas throughout", put(waveform_file(2), "200" + samples_of(100, "-6,2510", "-5,1234").substr(3)),
       put(waveform_file(2), samples_of(100, "-6.2510", "-5.1234")),
       "the samples are written with decimal commas: `-6,2510` reads as two samples"},
      {"a byte-order mark before the definition's title",
       [=](const ScratchFolder& f) { f.write("def.csv", bom + f.read("def.csv")); }, nullptr,
       "the file begins with a UTF-8 byte-order mark"},
      {"a byte-order mark before a spectrum table's header",
       [=](const ScratchFolder& f) { f.write(spectrum_file(2), bom + f.read(spectrum_file(2))); }, nullptr,
       "the file begins with a UTF-8 byte-order mark"},
      // 断層 in UTF-8, which a run looks up as the folder 譁ｭ螻､; the twin spells it in Shift-JIS.
      {"a folder name in UTF-8", case2_folder("\xE6\x96\xAD\xE5\xB1\xA4", "譁ｭ螻､"),
       case2_folder("\x92\x66\x91\x77", "断層"), "reads as UTF-8 (`quake\\\x92\x66\x91\x77`)"},
      {"a record of 99 samples", put(waveform_file(2), samples_of(99, "12.5", "-3.0")),
       put(waveform_file(2), samples_of(100, "12.5", "-3.0")), "the record holds 99 sample(s), fewer than 100"},
      {"a record of zeros", put(waveform_file(2), samples_of(120, "0.0", "-0.000")),
       put(waveform_file(2), samples_of(120, "0.0", "0.001")), "all 120 samples are 0"},
  };
  for (const Warned& c : cases) {
    SCOPED_TRACE(c.what);
    for (const bool spoilt : {true, false}) {
      ScratchFolder folder;
      long_records().write_to(folder);
      if (spoilt) c.spoil(folder);
      if (!spoilt && c.twin) c.twin(folder);
      const RunResult check = testing_support::run_with_arguments(folder.path(), {"--check", "def.csv"});
      const RunResult r = testing_support::run_with_arguments(folder.path(), {"def.csv"});
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(check.status, 0) << check.out;
      if (spoilt) {
        EXPECT_NE(check.out.find(": warning: "), std::string::npos) << check.out;
        EXPECT_NE(check.out.find(c.warning), std::string::npos) << check.out;
        EXPECT_TRUE(check.out.ends_with("0 error(s), 1 warning(s)\r\n")) << check.out;
        EXPECT_EQ(r.err, testing_support::warnings_line(1, "def.csv"));
      } else {
        EXPECT_EQ(check.out, "0 error(s), 0 warning(s)\r\n");
        EXPECT_EQ(r.err, "");
      }
      // The dialogue keeps its bytes: no word of warnings.
      const RunResult asked = run_case(folder, kNoPause);
      EXPECT_EQ(asked.out + asked.err, kPrompt);
    }
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------
// The design wave (--fit) that cannot be made: the run ends as for an input error, its
// message naming the phase case or the period, and the earlier files stay as they were.
// One case (the phase case, then) in each; the prompt form and the command-line form.

struct BadFit {
  const char* what;
  std::vector<double> samples;  // of case 1, the phase case
  double first_row_spectrum;    // of both faults at period row 1 (0.1 s)
  std::vector<std::string> message;  // its pieces; the last ends in " [Enter]"
};

TEST(CatalogueFit, EachUnfittableInputEndsAsStated) {
  std::vector<double> wave(400);
  for (std::size_t i = 0; i < wave.size(); ++i) wave[i] = 100.0 * std::sin(0.05 * static_cast<double>(i * i));
  const std::vector<std::string> short_case = {
      "Phase case no.", "1", " lasts 4.0000 s, shorter than the longest period 5.5000 s, no fit ! [Enter]"};
  const std::vector<std::string> too_large = {"Phase case no.", "1",
                                              " fitted to the target exceeds its field (F14.6), no fit ! [Enter]"};
  const std::vector<std::string> no_motion = {"Phase case no.", "1",
                                              " has no motion (all samples equal), no fit ! [Enter]"};
  const std::vector<std::string> bad_target = {"Target spectrum at period ", "0.1000",
                                               " s is not positive and finite, no fit ! [Enter]"};
  const BadFit cases[] = {
      {"all samples zero", std::vector<double>(400, 0.0), 3.0, no_motion},
      {"all samples 1.5", std::vector<double>(400, 1.5), 3.0, no_motion},
      {"200 samples (4 s) for a longest period of 5.5 s", std::vector<double>(wave.begin(), wave.begin() + 200),
       3.0, short_case},
      {"target 0 at 0.1 s", wave, 0.0, bad_target},
      // A wave of some 1e9 cm/s2: more than F14.6 holds.
      {"target 1e9 cm/s at 0.1 s", wave, 1e9, too_large},
  };
  for (const BadFit& c : cases) {
    const std::string& last = c.message.back();
    const std::string prompt_form = c.message[0] + "\r\n" + c.message[1] + "\r\n" + last;
    const std::string error_form =
        c.message[0] + "\r\n" + c.message[1] + "\r\n" + last.substr(0, last.size() - 8) + "\r\n";
    for (const bool command_line : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (command_line ? ", command-line form" : ", prompt form"));
      DataSet d = DataSet::small();
      d.samples = {c.samples};
      for (auto& s : d.spectra) s[0] = c.first_row_spectrum;
      ScratchFolder folder;
      d.write_to(folder);
      place_earlier_results(folder);
      const Listing before = listing(folder);
      const RunResult r = command_line
                              ? testing_support::run_with_arguments(folder.path(), {"--fit", "def.csv"})
                              : testing_support::run_with_arguments(folder.path(), {"--fit"}, kAnswer);
      EXPECT_EQ(r.out, command_line ? "" : kPrompt + prompt_form);
      EXPECT_EQ(r.err, command_line ? error_form : "");
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(differences(before, listing(folder)), "");
    }
  }
}
