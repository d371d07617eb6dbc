// What the end-to-end catalogues of inputs share: the data set's paths, the texts the
// program ends with, ways of spoiling a set, listings of a folder to compare before and
// after a run, and the check that a bad input ends a run as stated.
#pragma once

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
#include "support/sanitized.hpp"
#include "support/warnings_line.hpp"

namespace catalogue {


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
inline RunResult run_case(const ScratchFolder& folder, const std::string& input, rlim_t file_size_limit = 0) {
  return testing_support::run_in(folder, input, file_size_limit, "4");
}

// ThreadSanitizer's shadow memory and thread bookkeeping make peak memory vary by more
// than a ratio of two runs can hold; AddressSanitizer's counts in it too.
inline constexpr bool kAddressSanitizer = testing_support::kAddressSanitized;
inline constexpr bool kThreadSanitizer = testing_support::kThreadSanitized;

// ---------------------------------------------------------------------------------------
// The data set's files (host paths) and the paths the program builds for them (Shift-JIS,
// as its messages and reports show them).

inline std::string spectrum_file(int k) { return "quake/fault" + std::to_string(k) + "/" + kSpectrumHost; }
inline std::string waveform_file(int c) { return "quake/case" + std::to_string(c) + "/" + kWaveformHost; }
inline std::string spectrum_path(int k) { return "quake\\fault" + std::to_string(k) + kSpectrumName; }
inline std::string waveform_path(int c) { return "quake\\case" + std::to_string(c) + kWaveformName; }

inline std::string not_exist(const std::string& path) { return path + " not exist ! [Enter]"; }
inline std::string too_many(const std::string& path) { return path + " too many samples ! [Enter]"; }
inline const std::string kBadCounts = "Fault number or Case number Error ! [Enter]";

inline std::string severe(int number, int unit, const std::string& file) {
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
inline std::string end_of_file(int unit, const std::string& file) { return severe(24, unit, file); }
inline std::string syntax(int unit, const std::string& file) { return severe(59, unit, file); }
inline std::string conversion(int unit, const std::string& file) { return severe(64, unit, file); }

// Shift-JIS name of result file i (0-5), as reports show it.
inline std::string result_name(int i) { return testing_support::to_cp932(kResultFiles[i]); }

// ---------------------------------------------------------------------------------------
// Spoiling a data set.

using Setup = std::function<void(const ScratchFolder&)>;

inline Setup put(const std::string& file, const std::string& bytes) {
  return [=](const ScratchFolder& f) { f.write(file, bytes); };
}
// Replaces the first `from` in a file by `to`.
inline Setup edit(const std::string& file, const std::string& from, const std::string& to) {
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
inline Setup edit_definition(const std::string& from, const std::string& to) { return edit("def.csv", from, to); }
inline Setup delete_path(const std::string& relative) {
  return [=](const ScratchFolder& f) { fs::remove_all(f.path() / fs::path(relative)); };
}
// A folder (holding one file) in the place of a file.
inline Setup folder_at(const std::string& relative) {
  return [=](const ScratchFolder& f) {
    fs::remove_all(f.path() / fs::path(relative));
    f.write(relative + "/inside", "a file inside the folder");
  };
}
inline Setup fifo_at(const std::string& relative) {
  return [=](const ScratchFolder& f) {
    fs::remove_all(f.path() / fs::path(relative));
    ASSERT_EQ(mkfifo((f.path() / fs::path(relative)).c_str(), 0644), 0);
  };
}
inline Setup symlink_at(const std::string& relative, const std::string& target) {
  return [=](const ScratchFolder& f) {
    fs::remove_all(f.path() / fs::path(relative));
    fs::create_symlink(target, f.path() / fs::path(relative));
  };
}
inline Setup all_of(std::vector<Setup> steps) {
  return [=](const ScratchFolder& f) {
    for (const Setup& s : steps) s(f);
  };
}

// ---------------------------------------------------------------------------------------
// What a folder holds: every entry by its relative path, with the bytes of small files and
// the size and a hash of large ones (so that 64 MiB inputs are not held in memory).

using Listing = std::map<std::string, std::string>;

inline std::string digest(const fs::path& p) {
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

inline Listing listing(const ScratchFolder& folder) {
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
inline std::string differences(const Listing& want, const Listing& got) {
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
inline void place_earlier_results(const ScratchFolder& folder, const std::string& under = "") {
  for (int i = 0; i < 6; ++i) {
    folder.write(under + kResultFiles[i],
                 "earlier result file " + std::to_string(i + 1) + "\r\n\x82\xa0,1.0\r\nno line end");  // あ
  }
}

// A run that stops a large console input early must not end the test with SIGPIPE.
inline void ignore_broken_pipes() { signal(SIGPIPE, SIG_IGN); }

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

inline const std::string kAnswer = "def.csv\n\n";  // the definition file, then Enter for a message
inline const std::string kNoPause = "def.csv\n";

// With every option, the run ends as the plain one (the input's fault comes before all the
// options add), and a check asked for the same agrees with it: its first error is the
// run's ending. For the inputs that answer with def.csv: the others are the dialogue's.
inline void expect_ending_with_every_option(const BadInput& c, const RunResult& plain) {
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

inline void expect_ending(const BadInput& c) {
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
inline Listing results_of(const DataSet& d) {
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
inline RunResult expect_accepted(const Accepted& c) {
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

}  // namespace catalogue
