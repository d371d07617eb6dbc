#include "textio/report.hpp"

namespace textio {

std::string_view message_for(int number) noexcept {
  switch (number) {
    case kErrPermission: return "permission to access file denied, unit %d, file %s";
    case kErrEndOfFile: return "end-of-file during read, unit %d, file %s";
    case kErrFileNotFound: return "file not found, unit %d, file %s";
    case kErrWrite: return "error during write, unit %d, file %s";
    case kErrRead: return "error during read, unit %d, file %s";
    case kErrNoDevice: return "no such device, unit %d, file %s";
    case kErrFileName: return "file name specification error, unit %d, file %s";
    case kErrListSyntax: return "list-directed I/O syntax error, unit %d, file %s";
    case kErrFormatMismatch: return "format/variable-type mismatch, unit %d, file %s";
    case kErrOutputConversion: return "output conversion error, unit %d, file %s";
    case kErrInputConversion: return "input conversion error, unit %d, file %s";
    default: return "open failure, unit %d, file %s";
  }
}

std::string report_line(Severity severity, const Fault& fault) {
  std::string line(severity == Severity::Severe ? "txtrec: severe" : "txtrec: error");
  line += " (";
  line += std::to_string(fault.number);
  line += "): ";
  // Fill in the message's "%d" (the unit) and "%s" (the file) by hand: the file name is raw
  // bytes and must not pass through any formatting that could interpret them.
  const std::string_view message = message_for(fault.number);
  for (std::size_t i = 0; i < message.size(); ++i) {
    if (message[i] == '%' && i + 1 < message.size()) {
      if (message[i + 1] == 'd') {
        line += std::to_string(fault.unit);
        ++i;
        continue;
      }
      if (message[i + 1] == 's') {
        line += fault.file;
        ++i;
        continue;
      }
    }
    line += message[i];
  }
  line += '\n';
  return line;
}

int open_error_number(platform::OpenError error) noexcept {
  switch (error) {
    case platform::OpenError::None: return kStatusOk;
    case platform::OpenError::NotFound: return kErrFileNotFound;
    case platform::OpenError::AccessDenied: return kErrPermission;
    case platform::OpenError::NoDevice: return kErrNoDevice;
    case platform::OpenError::BadName: return kErrFileName;
    case platform::OpenError::Other: break;
  }
  return kErrOpenFailure;
}

}  // namespace textio
