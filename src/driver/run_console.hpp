#pragma once
// The console of a run: its input and output units, and the one place that decides how
// the run ends (a message and the Enter pause, a message on standard error, or the record
// layer's report).
#include <initializer_list>
#include <string_view>

#include "inputs/definition_file.hpp"
#include "inputs/input_outcome.hpp"
#include "platform/console.hpp"
#include "textio/record_reader.hpp"
#include "textio/record_writer.hpp"

namespace gm {

// Exit statuses.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitErrorEnd = 1;  // a checked error: its message (and the Enter pause)
inline constexpr int kExitFatal = 2;     // the record layer's fatal report; a start that stops
inline constexpr int kExitUsage = 3;     // a command line the program cannot take
inline constexpr int kExitMissedCriteria = 4;  // the design wave was written but misses its criteria
inline constexpr int kExitInterrupted = 130;  // Ctrl+C and its kin, on every system

// Every exit status with its meaning as the help shows it (UTF-8); the guides name each.
struct ExitStatus {
  int status;
  std::string_view meaning;
};
inline constexpr ExitStatus kExitStatuses[] = {
    {kExitNormal, "正常終了 / the run ended normally"},
    {kExitErrorEnd, "エラー終了 (メッセージあり) / an error end, with its message"},
    {kExitFatal, "致命的エラー / a fatal error (input, output, or what a run left)"},
    {kExitUsage, "コマンドラインの誤り / a command-line error"},
    {kExitMissedCriteria, "模擬地震波形が基準未達 / the design wave misses its criteria"},
    {kExitInterrupted, "Ctrl+C などで中断 / stopped by Ctrl+C or its kin"},
};

class RunConsole {
 public:
  // `messages_to_error`: error messages go to standard error, each line ended and without
  // the " [Enter]", and nothing waits for Enter (a run given its definition file).
  RunConsole(platform::Console& console, bool messages_to_error);

  textio::RecordReader& input() { return input_; }
  textio::Fault output_fault() const { return output_.fault(); }

  // Writes the pieces through the message layout: each piece but the last on a line of
  // its own, the last left open for the user. False when the console refused them.
  bool write_message(std::initializer_list<std::string_view> pieces);
  // Writes whole lines as they stand (a check's list) on the same unit, shown at once.
  // False when the console refused them.
  bool write_lines(std::string_view lines);

  // The record layer's fatal report: one line on standard error, no pause.
  int fatal(const textio::Fault& fault);

  // A checked error: the message, then the Enter pause (one console line, ignored).
  int error_end(std::initializer_list<std::string_view> pieces);

  // The end of a run stopped by an interrupt: one line on standard error saying which
  // files the folder holds, the earlier ones or (`placed`) the complete new set.
  int stopped(bool placed);

  // After an ending's message, in the command-line form: one line on standard error that
  // says what to do about its cause.
  void hint(std::string_view text);

  // The end a definition file or an input file calls for; kExitNormal for none.
  int definition_end(const inputs::DefinitionOutcome& outcome);
  int input_end(const inputs::InputOutcome& outcome);

 private:
  // Every piece on a line of its own, the last one too; a script reads whole lines.
  int error_end_on_error_stream(std::initializer_list<std::string_view> pieces);

  platform::Console& console_;
  textio::ConsoleSource source_;
  textio::ConsoleSink sink_;
  textio::ConsoleSink error_sink_;
  textio::RecordReader input_;
  textio::OutputUnit output_;
  textio::OutputUnit error_;
  bool messages_to_error_;
};

}  // namespace gm
