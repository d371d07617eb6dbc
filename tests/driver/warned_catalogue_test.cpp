// Inputs a run takes with a warning, and design waves that cannot be made, end to end.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "driver/catalogue.hpp"
#include "support/process.hpp"

namespace {

using namespace catalogue;

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
