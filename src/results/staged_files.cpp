#include "results/staged_files.hpp"

namespace results {

StagedFiles::~StagedFiles() {
  for (std::size_t i = placed_; i < count_; ++i) platform::remove_file(files_[i].temp);
}

std::optional<textio::Fault> StagedFiles::stage(int unit_number, std::string_view name) {
  const platform::OpenError refusal = platform::check_replaceable(name);
  if (refusal != platform::OpenError::None) {
    return textio::Fault{textio::open_error_number(refusal), unit_number, std::string(name)};
  }
  Staged& staged = files_[count_];
  staged.name = name;
  staged.unit = unit_number;
  staged.temp.assign(name).append(kTemporarySuffix);
  ++count_;
  return std::nullopt;
}

std::optional<textio::Fault> StagedFiles::place_all() {
  for (; placed_ < count_; ++placed_) {
    const Staged& f = files_[placed_];
    const platform::OpenError refusal = platform::replace_file(f.temp, f.name);
    if (refusal != platform::OpenError::None) {
      return textio::Fault{textio::open_error_number(refusal), f.unit, std::string(f.name)};
    }
  }
  return std::nullopt;
}

}  // namespace results
