// The page as its reader gets it: a strict HTML5 parser (html5lib, Debian's
// python3-html5lib) must accept it without one error, and headless Chromium must open it,
// give a DOM with every chart, the phase case's mark and the peak table, and paint a
// screenshot that is not blank. Kept under the build folder for a person to look at:
// report-pages/realistic.png and largest.png. Skips, saying why, where the parser or
// Chromium is missing; CI installs both.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "report/page.hpp"
#include "support/data_set.hpp"
#include "support/process.hpp"
#include "support/sanitized.hpp"
#include "support/synthetic_run.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::ScratchFolder;

const char* const kPageHost = "参考･結果図表.html";
const char* const kPython = "/usr/bin/python3";  // Debian's, which python3-html5lib is for
const fs::path kKept = fs::path(GMGATHER_BUILD_DIR) / "report-pages";

struct Finished {
  int status = -1;  // exit status; -1 when it did not end by itself
  std::string out;
  double seconds = 0.0;
};

// Runs the words through the shell, each quoted, its output into `out_file`, ended after
// two minutes.
Finished run_command(const std::vector<std::string>& words, const fs::path& out_file) {
  std::string line = "timeout -s KILL 120";
  for (const std::string& w : words) line += " '" + w + "'";
  line += " </dev/null >'" + out_file.string() + "' 2>/dev/null";
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system(line.c_str());
  Finished f;
  f.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  f.status = WIFEXITED(status) && WEXITSTATUS(status) != 137 ? WEXITSTATUS(status) : -1;
  std::ifstream in(out_file, std::ios::binary);
  f.out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return f;
}

std::string check_script() {
  std::string path = GMGATHER_TESTS_DIR;
  path += "/report/check_page.py";
  return path;
}

bool have_html5lib(const fs::path& scratch) {
  return access(kPython, X_OK) == 0 &&
         run_command({kPython, "-c", "import html5lib"}, scratch / "probe.txt").status == 0;
}

constexpr bool kSanitized = testing_support::kAddressSanitized;

// The sanitizer build renders the same page as the release build, which opens it: the
// browser adds nothing there but a minute of CI.
bool have_chromium(const fs::path& scratch) {
  return !kSanitized && run_command({"chromium", "--version"}, scratch / "probe.txt").status == 0;
}
const char* const kNoChromium = kSanitized ? "the sanitizer build leaves Chromium to the release build"
                                           : "chromium is not installed";

// Chromium as root in a container: no sandbox, no GPU, nothing from the network, a fresh
// profile each time.
std::vector<std::string> chromium(const fs::path& scratch) {
  static int profile = 0;
  return {"chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
          "--disable-background-networking", "--disable-component-update", "--disable-sync",
          "--hide-scrollbars", "--force-device-scale-factor=1",
          "--user-data-dir=" + (scratch / ("profile" + std::to_string(++profile))).string()};
}

void expect_well_formed(const fs::path& page, const fs::path& scratch) {
  const Finished f = run_command({kPython, check_script(), "parse", page.string()}, scratch / "parse.txt");
  EXPECT_EQ(f.status, 0) << f.out;
}

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Opens the page in Chromium: its DOM, a screenshot kept as `shot`, the time to load.
void open_in_chromium(const fs::path& page, const fs::path& scratch, int cases, const fs::path& shot,
                      int height, const std::vector<std::string>& peaks) {
  std::vector<std::string> dump = chromium(scratch);
  dump.push_back("--dump-dom");
  dump.push_back("file://" + page.string());
  const Finished dom = run_command(dump, scratch / "dom.html");
  ASSERT_EQ(dom.status, 0) << "chromium --dump-dom failed";
  EXPECT_EQ(count(dom.out, "<svg "), static_cast<std::size_t>(4 + 2 * cases)) << "charts in the DOM";
  EXPECT_EQ(count(dom.out, "<tr class=\"phase\">"), 3u) << "the phase case in the summary and its table rows";
  EXPECT_EQ(count(dom.out, "<figure class=\"chart small phase\">"), 2u) << "the phase case's small charts";
  const std::string table = dom.out.substr(dom.out.find("<table class=\"cases\">"));
  for (const std::string& peak : peaks) {
    EXPECT_NE(table.find("<td class=\"n\">" + peak + "</td>"), std::string::npos) << "peak " << peak;
  }

  std::vector<std::string> paint = chromium(scratch);
  fs::create_directories(shot.parent_path());
  paint.push_back("--screenshot=" + shot.string());
  paint.push_back("--window-size=1100," + std::to_string(height));
  paint.push_back("file://" + page.string());
  ASSERT_EQ(run_command(paint, scratch / "shot.txt").status, 0) << "chromium --screenshot failed";
  const Finished ink = run_command({kPython, check_script(), "ink", shot.string()}, scratch / "ink.txt");
  EXPECT_EQ(ink.status, 0) << "blank screenshot? " << ink.out;

  // The time to load, from inside the browser: a frame that opens the page and notes when
  // its load ends (the page itself runs no script).
  const fs::path harness = page.parent_path() / "load-time.html";
  std::ofstream(harness) << "<!DOCTYPE html><title>t</title><body><script>\n"
                            "const t0 = performance.now(); const f = document.createElement('iframe');\n"
                            "f.style.width = '1100px'; f.style.height = '900px';\n"
                            "f.onload = () => { const p = document.createElement('pre'); p.id = 'ms';\n"
                            "  p.textContent = 'load ' + Math.round(performance.now() - t0) + ' ms';\n"
                            "  document.body.appendChild(p); };\n"
                            "f.src = '" << page.filename().string() << "'; document.body.appendChild(f);\n"
                            "</script></body>\n";
  std::vector<std::string> timed = chromium(scratch);
  timed.push_back("--allow-file-access-from-files");
  timed.push_back("--dump-dom");
  timed.push_back("file://" + harness.string());
  const Finished t = run_command(timed, scratch / "timed.html");
  const std::string mark = "<pre id=\"ms\">";
  const std::size_t at = t.out.find(mark);
  const std::string load =
      at == std::string::npos ? "no load time" : t.out.substr(at + mark.size(), t.out.find('<', at + 1) - at - mark.size());
  std::printf("%s: %zu bytes; %s in Chromium (from its start to the DOM: %.1f s); screenshot %s",
              page.filename().c_str(), static_cast<std::size_t>(fs::file_size(page)), load.c_str(), dom.seconds,
              ink.out.c_str());
}

struct Tools {
  bool parser = false;
  bool browser = false;
};

Tools tools(const fs::path& scratch) { return {have_html5lib(scratch), have_chromium(scratch)}; }

TEST(PageInBrowser, RealisticExample) {
  ScratchFolder folder;
  fs::copy(GMGATHER_EXAMPLES_DIR "/realistic", folder.path(), fs::copy_options::recursive);
  const Tools have = tools(folder.path());
  if (!have.parser && !have.browser) GTEST_SKIP() << "neither python3-html5lib nor chromium is installed";
  const testing_support::RunResult r = testing_support::run_with_arguments(folder.path(), {"--report", "def.csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  const fs::path page = folder.path() / kPageHost;
  if (have.parser) expect_well_formed(page, folder.path());
  if (!have.browser) GTEST_SKIP() << kNoChromium << ": the page was parsed, not opened";
  // The peak velocities of the example, as 参考･各ケースの最大速度.csv gives them.
  open_in_chromium(page, folder.path(), 7, kKept / "realistic.png", 6200,
                   {"38.083280", "128.820720", "27.928930", "28.232380", "68.030190", "63.867060", "88.320060"});
  if (!have.parser) GTEST_SKIP() << "python3-html5lib is not installed: the page was opened, not parsed";
}

// The smallest run and the largest: parsed strictly; the largest opened too.
TEST(PageInBrowser, SmallestAndLargestRuns) {
  ScratchFolder folder;
  const Tools have = tools(folder.path());
  if (!have.parser && !have.browser) GTEST_SKIP() << "neither python3-html5lib nor chromium is installed";
  struct Case {
    const char* name;
    int faults, cases, samples;
  };
  for (const Case& c : {Case{"smallest", 1, 1, 1}, Case{"largest", gm::kRunMaxFaults, gm::kRunMaxCases, gm::kMaxSamples}}) {
    SCOPED_TRACE(c.name);
    gm::RunTables& t = testing_support::synthetic_run(c.faults, c.cases, c.samples);
    std::string bytes;
    report::render_page(t, {"def.csv", folder.path().string(), "2025-01-08 09:30:00", "test"}, bytes,
                        parallel::Pool(1));
    const fs::path page = folder.path() / (std::string(c.name) + ".html");
    std::ofstream(page, std::ios::binary) << bytes;
    if (have.parser) expect_well_formed(page, folder.path());
    if (have.browser && c.cases == gm::kRunMaxCases) {
      std::vector<std::string> peaks;
      for (const int k : {1, 11, 21}) {
        char field[32];
        std::snprintf(field, sizeof field, "%.6f", t.peak_velocity(k));
        peaks.push_back(field);
      }
      open_in_chromium(page, folder.path(), c.cases, kKept / "largest.png", 1400, peaks);
    }
  }
  if (!have.parser) GTEST_SKIP() << "python3-html5lib is not installed: the pages were opened, not parsed";
  if (!have.browser) GTEST_SKIP() << kNoChromium << ": the pages were parsed, not opened";
}

}  // namespace
