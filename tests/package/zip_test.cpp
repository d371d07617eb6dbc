// The Windows package as an unzip tool sees it: its central directory. Every file of the
// package is there under its own name, and every name that is not plain ASCII is UTF-8
// with the zip's UTF-8 flag set (general purpose bit 11): without the flag, Windows'
// "Extract all" reads the names in the system's code page and garbles the Japanese ones.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Entry {
  std::string name;
  std::uint16_t flags = 0;
};

std::uint32_t little_endian(const std::string& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) {
    value = value << 8 | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
  }
  return value;
}

// The entries of the central directory, found through the end record (the last
// "PK\5\6" that leaves room for its 22 bytes). Empty when there is none.
std::vector<Entry> central_directory(const std::string& zip) {
  std::vector<Entry> entries;
  const std::size_t end = zip.size() < 22 ? std::string::npos : zip.rfind("PK\x05\x06", zip.size() - 22);
  if (end == std::string::npos) return entries;
  const std::uint32_t count = little_endian(zip, end + 10, 2);
  std::size_t at = little_endian(zip, end + 16, 4);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (zip.compare(at, 4, "PK\x01\x02") != 0) break;
    Entry e;
    e.flags = static_cast<std::uint16_t>(little_endian(zip, at + 8, 2));
    const std::uint32_t name = little_endian(zip, at + 28, 2);
    const std::uint32_t extra = little_endian(zip, at + 30, 2);
    const std::uint32_t comment = little_endian(zip, at + 32, 2);
    e.name = zip.substr(at + 46, name);
    entries.push_back(e);
    at += 46 + name + extra + comment;
  }
  return entries;
}

bool plain_ascii(const std::string& s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

TEST(WindowsPackage, HoldsEveryFileUnderItsUtf8NameWithTheFlagSet) {
  const std::string path = GMGATHER_PACKAGE_ZIP;
  if (path.empty()) GTEST_SKIP() << "no package given (CMake variable GMGATHER_PACKAGE_ZIP)";
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << path;
  const std::string zip{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};

  // What the package must hold: the program and its papers at the top, and the example
  // data set of the source tree, file for file, under example/.
  std::set<std::string> want = {"gmgather.exe", "README.md", "README.ja.md", "LICENSE", "CHANGELOG.md"};
  const fs::path example = GMGATHER_EXAMPLES_DIR "/shipped";
  for (const auto& e : fs::recursive_directory_iterator(example)) {
    if (e.is_regular_file()) want.insert("example/" + fs::relative(e.path(), example).generic_string());
  }

  std::set<std::string> files;
  for (const Entry& e : central_directory(zip)) {
    SCOPED_TRACE(e.name);
    if (!plain_ascii(e.name)) EXPECT_NE(e.flags & 0x0800, 0) << "a UTF-8 name without the UTF-8 flag";
    EXPECT_EQ(e.name.find('\\'), std::string::npos) << "zip names use '/'";
    if (!e.name.ends_with("/")) files.insert(e.name);
  }
  EXPECT_EQ(files, want);
  EXPECT_TRUE(want.count("example/faults/F3_南海/Velmora長周期.csv"));
}

}  // namespace
