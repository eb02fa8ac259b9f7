// zix: random characters, bulk text and a table of character codes.
#include <string>
#include <string_view>

#include "front/front.h"
#include "runtime/print.h"
#include "runtime/random.h"
#include "runtime/runtime.h"

namespace {

constexpr int32_t kMixedGenerator = 5;
constexpr std::string_view kIncorrect = "Incorrect parameters!";

bool contains(const std::string& text, std::string_view needle) {
    return text.find(needle) != std::string::npos;
}

// Runs the mode that the first argument names. The argument copies live until
// it returns, so they are released before the process ends.
void dispatch() {
    const std::string arg1 = runtime_arg(1);
    const std::string arg2 = runtime_arg(2);
    const std::string arg3 = runtime_arg(3);
    const std::string arg4 = runtime_arg(4);

    if (arg1.empty()) {
        print_usage();
    } else if (contains(arg1, "-c")) {
        character_mode(arg2, arg3, arg4);
    } else if (contains(arg1, "-s")) {
        string_mode(arg2, arg3);
    } else if (contains(arg1, "-a")) {
        character_table();
    } else {
        print_text(0, kIncorrect, PrintMode::newline);
        print_usage();
    }
}

}  // namespace

int main(int argc, char** argv) {
    runtime_set_args(argc, argv, 0);
    // The product is rounded to a double before it is truncated to the seed.
    // On the x87 unit (the i386 builds) only a store to memory rounds, so the
    // volatile makes it happen here rather than wherever the compiler spills.
    // (-ffloat-store would round every double variable of the build, slowly,
    // and still not a product used straight from a register.)
    const volatile double seed = clock_seconds() * 5000.0;
    seed_random(seed, kMixedGenerator);
    dispatch();
    runtime_end(0);
}
