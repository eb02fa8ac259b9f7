#include <string_view>

#include "front/front.h"
#include "runtime/number.h"
#include "runtime/print.h"

namespace {

constexpr uint32_t kDefaultCount = 255;
constexpr std::string_view kFiller = "lorem ipsum ";

}  // namespace

void string_mode(const std::string& arg2, const std::string& arg3) {
    uint32_t count = kDefaultCount;
    if (!arg2.empty()) {
        count = text_to_uint(arg2);
        if (count == 0) report_argument_error(0);
    }
    const std::string_view text = arg3.empty() ? kFiller : std::string_view(arg3);
    // One write per copy, so memory stays flat however large the count.
    print_copies(0, text, count);
}
