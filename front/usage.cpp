#include <string_view>

#include "front/front.h"
#include "runtime/print.h"
#include "runtime/runtime.h"

namespace {

constexpr std::string_view kMakerDomain = "www.zix-project.org";
constexpr std::string_view kCountError = "Number specified is not an integer!";
constexpr std::string_view kRangeError = "Character range low - high are not integers.";

// Empty strings stand for the usage text's empty lines.
constexpr std::string_view kUsage[] = {
    "",
    "ZIX",
    kMakerDomain,
    "",
    "Usage:",
    "\tzix -c [num] [low high]",
    "\tzix -s [num] [\"string\"]",
    "\tzix -a",
    "",
};

}  // namespace

void print_usage() {
    for (std::string_view line : kUsage) {
        if (line.empty()) {
            print_end(0, PrintMode::newline);
        } else {
            print_text(0, line, PrintMode::newline);
        }
    }
}

void report_argument_error(ArgumentErrorKind kind) {
    print_text(0, kind != 0 ? kRangeError : kCountError, PrintMode::newline);
    print_usage();
    runtime_end(0);
}
