#pragma once
// What a reader passes over in silence, told to whoever watches it: the bytes its source
// begins with, how it cut each field of a fixed-width record, what a statement dropped
// behind the values it took, a slash that ended a read early, and two values that look
// like one number written with a decimal comma. A reader with no observer does none of
// this work; one with an observer reads every value exactly as it would without one.
//
// The texts handed over are views into the reader's buffer, valid during the call only.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace textio {

// A place in a source: the 1-based line, and the 1-based byte of that line (0: the
// place is a whole line).
struct Place {
  int line = 0;
  int column = 0;
};

// A field of a fixed-width record, as cut, before its value was converted.
struct FieldCut {
  Place place;     // where the field starts
  int item = 0;    // the 1-based item of the statement it goes to
  bool numeric = false;  // an I or F field (a comma ends it early), not an A field
  std::string_view text;  // its bytes as cut, without the comma that ended it
  bool present = false;   // it starts before the record's end (else it is empty)
  bool ended_by_comma = false;
  // A numeric field that took all its width, no comma among its bytes, while the record
  // goes on right behind it with neither a blank nor its end, and whose own last byte is
  // no blank: a value cut in two, or (next == ',') a value that fills the field so that
  // its comma makes the next field an empty one.
  bool full = false;
  char next = 0;                // the byte behind a full field
  std::string_view rest;        // behind a full field: the free-form value that goes on
                                // there (at most kObservedRestBytes of it)
};
inline constexpr std::size_t kObservedRestBytes = 48;
inline constexpr std::size_t kObservedStartBytes = 4;

// Bytes a reader passed over without taking values from them: the rest of a record that a
// statement dropped behind what it took, or everything from a place to the end of the
// source (RecordReader::pass_over_rest).
struct PassedOver {
  Place from;                  // where the bytes begin
  std::uint64_t values = 0;    // free-form values among them: runs of bytes between
                               // blanks, TABs, commas, slashes and line ends
  std::uint64_t lines_used = 0;  // their lines that hold a byte other than a blank (a
                                 // CR before a line's LF is not part of the line)
  int first_used_line = 0;       // the first of those (0: none)
};

// Two values of a read of reals that look like one number written with a decimal comma:
// an optional sign and digits, standing alone behind a blank or a line's start, then a
// comma, then right behind it digits that end at a blank or a line's end (or are the
// last value the statement takes). The reader takes them as two values.
struct CommaPair {
  Place place;                  // of the first value
  std::size_t item = 0;         // the 1-based item the first value goes to
  std::string_view first;       // its bytes (at most kObservedRestBytes of them)
  std::string_view second;      // the second value's bytes (likewise)
  // The line holds a decimal point besides, as far as the reader's buffer shows the line
  // (a line longer than the buffer is seen in part).
  bool point_on_line = false;
};

class ReadObserver {
 public:
  virtual ~ReadObserver() = default;
  // The first bytes of the source (up to kObservedStartBytes; fewer only for a shorter
  // source), told once, when they first come in: a byte-order mark a statement would take
  // as text. Told only to an observer set before the reader first fills its buffer.
  virtual void began(std::string_view /*first_bytes*/) {}
  // Each field of a fixed-width statement, in order, as it is cut.
  virtual void field(const FieldCut&) {}
  // What a statement dropped of its last record, from right behind its last value (or
  // field) to the record's end, its LF included. Not told for a record skipped whole
  // (skip_record, or a free-form read of no items); told for a read of reals of none.
  virtual void dropped(const PassedOver&) {}
  // A slash ended a free-form statement after it took `items` values.
  virtual void slash(Place, std::size_t /*items*/) {}
  virtual void comma_pair(const CommaPair&) {}
};

}  // namespace textio
