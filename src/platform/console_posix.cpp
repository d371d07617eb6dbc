// The console on a POSIX host. The program speaks Shift-JIS; a Linux terminal almost
// always speaks UTF-8. Pipes and files get the program's bytes untouched, so scripts and
// the tests see exactly what the program wrote; only a UTF-8 terminal gets converted text,
// or every stream once the program asks for UTF-8 output.
#include "platform/console.hpp"
#include "platform/interrupt.hpp"
#include "platform/interrupt_record.hpp"
#include "platform/posix_iconv.hpp"
#include "platform/posix_io.hpp"
#include "platform/shift_jis.hpp"

#include <cerrno>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <string>

#include <iconv.h>
#include <langinfo.h>
#include <poll.h>
#include <unistd.h>

namespace platform {
namespace {

// Waits until `fd` has input (or its end) or an interrupt comes; false for the interrupt.
bool wait_for_input(int fd) {
  for (;;) {
    if (interrupted()) return false;
    const int wake = interrupt_wake_descriptor();
    pollfd watched[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
    // The wake pipe stays readable once an interrupt came; while a deferral hides that
    // interrupt, only the input counts.
    const nfds_t count = wake >= 0 && recorded_interrupt() == 0 ? 2 : 1;
    const int ready = ::poll(watched, count, -1);
    if (ready < 0 && errno == EINTR) continue;
    // Input, its end, an error on it or a failed poll: the read tells which.
    if (ready != 0 && (count == 1 || watched[1].revents == 0)) return true;
  }
}

// One read, going on after an interruption unless it was an interrupt: a read waiting
// for the user gives up then (-1), so that the run can end.
ssize_t read_once(int fd, char* buffer, std::size_t n) {
  for (;;) {
    if (!wait_for_input(fd)) {
      errno = EINTR;
      return -1;
    }
    const ssize_t got = ::read(fd, buffer, n > kMaxIo ? kMaxIo : n);
    if (got >= 0 || errno != EINTR) return got;
  }
}

// Whether the user's locale encodes text as UTF-8. The locale is only borrowed for the
// question: the rest of the program (number parsing above all) relies on the "C" locale.
bool user_locale_is_utf8() {
  const char* current = std::setlocale(LC_CTYPE, nullptr);
  const std::string saved = current != nullptr ? current : "C";
  bool utf8 = false;
  if (std::setlocale(LC_CTYPE, "") != nullptr) {
    const char* codeset = nl_langinfo(CODESET);
    utf8 = codeset != nullptr && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
  }
  std::setlocale(LC_CTYPE, saved.c_str());
  return utf8;
}

// Standard output or standard error.
class OutputStream {
 public:
  explicit OutputStream(int fd) : fd_(fd) {}
  ~OutputStream() {
    // A lead byte still waiting for its partner at exit goes out as it is.
    if (!held_.empty()) {
      const std::string_view last = replacement_.empty() ? std::string_view(held_) : replacement_;
      write_all(fd_, last.data(), last.size());
    }
    if (cd_ != kNoConverter) iconv_close(cd_);
  }
  OutputStream(const OutputStream&) = delete;
  OutputStream& operator=(const OutputStream&) = delete;

  void show_as_utf8() {
    if (cd_ == kNoConverter) cd_ = iconv_open("UTF-8", "CP932");
  }
  // Asked for UTF-8 wherever the stream leads: what is not Shift-JIS must not reach a
  // UTF-8 reader as stray bytes.
  void write_utf8_everywhere() {
    show_as_utf8();
    replacement_ = "\xEF\xBF\xBD";  // U+FFFD
  }

  bool write(std::string_view bytes) {
    if (cd_ == kNoConverter) return write_all(fd_, bytes.data(), bytes.size());
    std::string text = held_;
    text.append(bytes);
    held_.clear();
    hold_split_character(text, held_);
    if (text.empty()) return true;
    std::string shown;
    shown.reserve(text.size() * 3);
    convert(cd_, text, shown, nullptr, [](const char* s, std::size_t left) -> std::size_t {
      // A well-formed pair with no character assigned goes out whole, so its trail
      // byte is not taken for a katakana of its own.
      const bool pair = left >= 2 && is_lead_byte(static_cast<unsigned char>(s[0])) &&
                        is_trail_byte(static_cast<unsigned char>(s[1]));
      return pair ? 2 : 1;
    }, replacement_);
    return write_all(fd_, shown.data(), shown.size());
  }

 private:
  int fd_;
  iconv_t cd_ = kNoConverter;
  std::string held_;
  std::string_view replacement_;  // for what iconv refuses; empty: the bytes as they are
};

// Standard input.
class InputStream {
 public:
  explicit InputStream(int fd) : fd_(fd) {}
  ~InputStream() {
    if (cd_ != kNoConverter) iconv_close(cd_);
  }
  InputStream(const InputStream&) = delete;
  InputStream& operator=(const InputStream&) = delete;

  void read_as_utf8() { cd_ = iconv_open("CP932", "UTF-8"); }

  std::ptrdiff_t read(char* buffer, std::size_t n) {
    if (cd_ == kNoConverter) return read_once(fd_, buffer, n);
    if (n == 0) return 0;
    // One read(2) per line typed: waiting for more would block the user. Only when a
    // read brought nothing but the start of a character is another one made, and the
    // rest of that character is then already on its way.
    while (ready_pos_ == ready_.size()) {
      ready_.clear();
      ready_pos_ = 0;
      if (end_pending_) {
        end_pending_ = false;
        return 0;
      }
      char raw[4096];
      const ssize_t got = read_once(fd_, raw, sizeof raw);
      if (got < 0) return -1;
      if (got == 0) {
        if (partial_.empty()) return 0;
        // The input ended inside a character: hand its bytes over as they are, and
        // report the end on the next call (a terminal gives it only once).
        ready_.swap(partial_);
        end_pending_ = true;
        break;
      }
      std::string text;
      text.swap(partial_);
      text.append(raw, static_cast<std::size_t>(got));
      convert(cd_, text, ready_, &partial_, utf8_char_length);
      // Cannot happen with a sane converter; keeps a broken one from hoarding bytes.
      if (partial_.size() > 4) {
        ready_.append(partial_);
        partial_.clear();
      }
    }
    // Conversion can change the length, so what does not fit waits for the next call.
    std::size_t take = ready_.size() - ready_pos_;
    if (take > n) take = n;
    std::memcpy(buffer, ready_.data() + ready_pos_, take);
    ready_pos_ += take;
    return static_cast<std::ptrdiff_t>(take);
  }

 private:
  int fd_;
  iconv_t cd_ = kNoConverter;
  std::string ready_;     // converted input the program has not taken yet
  std::size_t ready_pos_ = 0;
  std::string partial_;   // start of a UTF-8 character whose other bytes are still to come
  bool end_pending_ = false;
};

class PosixConsole final : public Console {
 public:
  PosixConsole() {
    const bool in_tty = ::isatty(STDIN_FILENO) == 1;
    const bool out_tty = ::isatty(STDOUT_FILENO) == 1;
    const bool err_tty = ::isatty(STDERR_FILENO) == 1;
    if (!(in_tty || out_tty || err_tty) || !user_locale_is_utf8()) return;
    if (in_tty) input_.read_as_utf8();
    if (out_tty) output_.show_as_utf8();
    if (err_tty) error_.show_as_utf8();
  }

  std::ptrdiff_t read_input(char* buffer, std::size_t n) override { return input_.read(buffer, n); }
  bool write_output(std::string_view bytes) override { return output_.write(bytes); }
  bool write_error(std::string_view bytes) override { return error_.write(bytes); }
  void convert_output_to_utf8() override {
    output_.write_utf8_everywhere();
    error_.write_utf8_everywhere();
  }

 private:
  InputStream input_{STDIN_FILENO};
  OutputStream output_{STDOUT_FILENO};
  OutputStream error_{STDERR_FILENO};
};

void ignore_signal(int sig) {
  struct sigaction action {};
  action.sa_handler = SIG_IGN;
  sigemptyset(&action.sa_mask);
  sigaction(sig, &action, nullptr);
}

}  // namespace

std::string shift_jis_from_utf8(std::string_view utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == kNoConverter) return std::string(utf8);
  std::string out;
  convert(cd, utf8, out, nullptr, utf8_char_length, "?");
  iconv_close(cd);
  return out;
}

Console& host_console() {
  static PosixConsole console;
  return console;
}

void prepare_process() {
  // A reader that went away or a file-size limit must show up as a failed write the
  // program can report, not as a signal that ends it mid-record.
  ignore_signal(SIGPIPE);
  ignore_signal(SIGXFSZ);
}

}  // namespace platform
