#pragma once
// Faults that tests make the file layer show (see refuse_flushes_for_testing): the one
// piece of the file layer that both hosts share.
#include <string_view>

namespace platform {

// Whether flushes of a file created under `sjis_path` are to fail.
bool flush_refused_for_testing(std::string_view sjis_path);

}  // namespace platform
