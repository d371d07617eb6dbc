// The bare cost of a run's input and output, as a process of its own: what no program that
// reads these inputs and writes these results can go below. Plain POSIX calls, no library
// of ours, no parsing and no formatting:
//
//   io_floor [--sync] <folder> <size>[,<size>...] <input>...
//
// reads each input once, front to back, and writes into <folder> one file per size, of
// that many bytes (the bytes of the result files, counted by whoever calls it). Without
// --sync nothing is flushed: on a folder in memory (tmpfs) this is the floor of the
// program's own work. With --sync the files are written under temporary names and put in
// place as a run must put a set in place that survives a power cut: every file flushed
// (side by side, one thread each, so that the disk sees them at once), a marker written
// and flushed, the folder flushed, the files renamed over the earlier ones, the folder
// flushed, the marker removed, the folder flushed. The folder's files keep their names
// from run to run, so that each run replaces the last, as a run of the program does.
//
// Prints nothing; exits 1 with a line on standard error when a call fails.
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kChunk = size_t{1} << 20;
constexpr int kMaxFiles = 16;
char chunk[kChunk];

[[noreturn]] void fail(const char* what, const char* path) {
  std::fprintf(stderr, "io_floor: %s %s: %s\n", what, path, std::strerror(errno));
  std::exit(1);
}

void read_whole(const char* path) {
  const int fd = open(path, O_RDONLY);
  if (fd < 0) fail("open", path);
  ssize_t n;
  while ((n = read(fd, chunk, kChunk)) > 0) {
  }
  if (n < 0) fail("read", path);
  close(fd);
}

void write_whole(const char* path, unsigned long long size) {
  const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) fail("create", path);
  while (size > 0) {
    const size_t n = size < kChunk ? static_cast<size_t>(size) : kChunk;
    if (write(fd, chunk, n) != static_cast<ssize_t>(n)) fail("write", path);
    size -= n;
  }
  if (close(fd) != 0) fail("close", path);
}

void* flush_file(void* path) {
  const int fd = open(static_cast<const char*>(path), O_WRONLY);
  if (fd < 0 || fdatasync(fd) != 0 || close(fd) != 0) fail("flush", static_cast<const char*>(path));
  return nullptr;
}

void flush_folder(const char* folder) {
  const int fd = open(folder, O_RDONLY | O_DIRECTORY);
  if (fd < 0 || fsync(fd) != 0 || close(fd) != 0) fail("flush", folder);
}

}  // namespace

int main(int argc, char** argv) {
  int arg = 1;
  const bool sync = arg < argc && std::strcmp(argv[arg], "--sync") == 0;
  if (sync) ++arg;
  if (argc - arg < 2) {
    std::fprintf(stderr, "usage: io_floor [--sync] <folder> <size>[,<size>...] <input>...\n");
    return 2;
  }
  const char* folder = argv[arg++];
  unsigned long long sizes[kMaxFiles];
  int files = 0;
  for (char* p = argv[arg++]; *p != '\0' && files < kMaxFiles;) {
    sizes[files++] = std::strtoull(p, &p, 10);
    if (*p == ',') ++p;
  }
  for (; arg < argc; ++arg) read_whole(argv[arg]);
  std::memset(chunk, 'x', kChunk);

  char names[kMaxFiles][4096];
  char temps[kMaxFiles][4096];
  for (int i = 0; i < files; ++i) {
    std::snprintf(names[i], sizeof names[i], "%s/floor%d.out", folder, i);
    std::snprintf(temps[i], sizeof temps[i], "%s.part", names[i]);
    write_whole(sync ? temps[i] : names[i], sizes[i]);
  }
  if (!sync) return 0;

  pthread_t flushers[kMaxFiles];
  for (int i = 0; i < files; ++i) {
    if (pthread_create(&flushers[i], nullptr, flush_file, temps[i]) != 0) fail("thread for", temps[i]);
  }
  for (int i = 0; i < files; ++i) pthread_join(flushers[i], nullptr);
  char marker[4096];
  std::snprintf(marker, sizeof marker, "%s/floor.marker", folder);
  write_whole(marker, 512);
  flush_file(marker);
  flush_folder(folder);
  for (int i = 0; i < files; ++i) {
    if (rename(temps[i], names[i]) != 0) fail("rename", temps[i]);
  }
  flush_folder(folder);
  if (unlink(marker) != 0) fail("remove", marker);
  flush_folder(folder);
  return 0;
}
