// Whatever a user takes the characters of character mode for, once printed
// no copy of them may stay in the process's memory, nor the generator's state
// from which they could be worked out again. A preloaded library dumps every
// writable mapping at the very end of the process; the dump must not hold any
// twelve bytes in a row of the generated line, any sixteen bytes in a row of
// the twister's words, the mixing word or the last value drawn, whether the
// line went to a file, a pipe or a terminal.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "support/pty_harness.h"
#include "support/run_program.h"
#include "runtime/random.h"
#include "runtime/random_seams.h"
#include "support/test_files.h"

namespace {

constexpr size_t kLineLength = 64;
constexpr size_t kWindow = 12;
constexpr size_t kStateWindow = 16;

// The run's clock and its one word from /dev/urandom are fixed (a preloaded
// library stands in for them, see dump_file), so the state it must reach is
// known: a clock of 1800000000 s is the seed 2043514880.
constexpr uint32_t kEntropyWord = 0x5EC2E7A1u;

// What the generator holds after the line's draws, as it lies in memory: the
// twister's words, the mixing word and the last value.
std::vector<std::string> state_after_the_line() {
    random_reset();
    random_use_sources(nullptr, [] { return kEntropyWord; });
    seed_random(2043514880.0, 5);
    double last = 0;
    for (size_t i = 0; i < kLineLength; ++i) last = next_random(1);
    random_use_sources(nullptr, nullptr);
    const uint32_t mixing = random_entropy_word();
    const auto bytes = [](const void* at, size_t n) {
        return std::string(static_cast<const char*>(at), n);
    };
    return {bytes(random_twister_words(), 624 * 4), bytes(&mixing, 4), bytes(&last, 8)};
}

// The first run of kLineLength letters A to Z in out: the generated line,
// among whatever control sequences a terminal got around it.
std::string generated_line(const std::string& out) {
    size_t run = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        run = out[i] >= 'A' && out[i] <= 'Z' ? run + 1 : 0;
        if (run == kLineLength) return out.substr(i + 1 - kLineLength, kLineLength);
    }
    return "";
}

bool holds(const std::string& dump, const std::string& piece) {
    const std::boyer_moore_horspool_searcher searcher(piece.begin(), piece.end());
    return std::search(dump.begin(), dump.end(), searcher) != dump.end();
}

// Whether the dump holds any window bytes in a row of bytes (all of them,
// when there are fewer; at least four). The dump runs to megabytes, and
// under an emulator a full look-up at each of its bytes takes a minute: each
// place is first tried on its first four bytes against a table of bits for
// the windows' first four bytes, and only a hit is looked up in full.
bool holds_a_window(const std::string& dump, const std::string& bytes, size_t window) {
    window = std::min(window, bytes.size());
    constexpr int kBits = 20;
    const auto slot = [](const char* at) {
        uint32_t four;
        std::memcpy(&four, at, sizeof four);
        return (four * 0x9E3779B1u) >> (32 - kBits);
    };
    std::vector<uint64_t> starts(size_t{1} << (kBits - 6));
    std::unordered_set<std::string_view> windows;
    for (size_t at = 0; at + window <= bytes.size(); ++at) {
        windows.insert(std::string_view(bytes).substr(at, window));
        starts[slot(&bytes[at]) >> 6] |= uint64_t{1} << (slot(&bytes[at]) & 63);
    }
    for (size_t at = 0; at + window <= dump.size(); ++at) {
        const uint32_t s = slot(&dump[at]);
        if ((starts[s >> 6] >> (s & 63) & 1) == 0) continue;
        if (windows.count(std::string_view(dump).substr(at, window)) != 0) return true;
    }
    return false;
}

bool letter(char c) {
    return c >= 'A' && c <= 'Z';
}

// The twelve-byte windows of line that the dump still holds, by offset. The
// line is all letters A to Z, so each window can only stand inside a run of
// such letters: the dump is read once, and only those runs are looked into.
std::vector<size_t> windows_left(const std::string& dump, const std::string& line) {
    std::map<std::string_view, size_t> windows;
    for (size_t at = 0; at + kWindow <= line.size(); ++at) {
        windows.emplace(std::string_view(line).substr(at, kWindow), at);
    }
    std::set<size_t> found;
    for (size_t i = 0; i < dump.size();) {
        if (!letter(dump[i])) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < dump.size() && letter(dump[end])) ++end;
        for (size_t at = i; at + kWindow <= end; ++at) {
            const auto hit = windows.find(std::string_view(dump).substr(at, kWindow));
            if (hit != windows.end()) found.insert(hit->second);
        }
        i = end;
    }
    return std::vector<size_t>(found.begin(), found.end());
}

struct dump_file {
    std::string path = "/tmp/zix-dump-" + std::to_string(getpid());
    ~dump_file() { std::remove(path.c_str()); }
    // LD_BIND_NOW: every library binds its symbols at load, as the program
    // binds its own. The preloaded libraries (and the C++ and C library code
    // they call) would otherwise bind lazily in the middle of a draw, and the
    // dynamic linker saves the vector registers, twister words among them,
    // on the stack to do so: a copy the program never made.
    std::vector<std::string> env() const {
        return {"LD_PRELOAD=" ZIX_EXIT_MEMORY_DUMP ":" ZIX_FAKE_SOURCES, "ZIX_MEMORY_DUMP=" + path,
                "ZIX_FAKE_CLOCK=1800000000:0", "ZIX_FAKE_ENTROPY=5ec2e7a1", "LD_BIND_NOW=1"};
    }
};

// One way of running zix -c 64: what it printed, and its exit status.
struct output_route {
    const char* name;
    std::function<std::pair<std::string, int>(const dump_file&)> run;
};

TEST(NoCopyLeft, GeneratedLineAndGeneratorStateAreNowhereInMemoryAtExit) {
    const std::vector<std::string> args = {"-c", std::to_string(kLineLength)};
    const output_route routes[] = {
        {"file",
         [&](const dump_file& dump) {
             const run_result r = run_program(ZIX_PROGRAM, args, output_kind::file, dump.env());
             return std::make_pair(r.out, r.exit_status);
         }},
        {"pipe",
         [&](const dump_file& dump) {
             const run_result r = run_program(ZIX_PROGRAM, args, output_kind::pipe, dump.env());
             return std::make_pair(r.out, r.exit_status);
         }},
        {"terminal",
         [&](const dump_file& dump) {
             pty_options o;
             o.args = args;
             o.env = dump.env();
             const pty_result r = run_on_pty(ZIX_PROGRAM, o);
             return std::make_pair(r.out, r.exit_status);
         }},
    };
    const std::vector<std::string> state = state_after_the_line();
    for (const output_route& route : routes) {
        SCOPED_TRACE(route.name);
        const dump_file dump;
        const auto [out, status] = route.run(dump);
        EXPECT_EQ(status, 0);
        const std::string line = generated_line(out);
        ASSERT_EQ(line.size(), kLineLength) << out;
        const std::string memory = read_file(dump.path);
        // The dump is worth searching: it holds the process's environment,
        // where the dump's own path is.
        ASSERT_TRUE(holds(memory, dump.path)) << memory.size() << " bytes dumped";
        EXPECT_EQ(windows_left(memory, line), std::vector<size_t>{}) << line;
        for (const std::string& piece : state) {
            EXPECT_FALSE(holds_a_window(memory, piece, kStateWindow)) << piece.size() << " bytes";
        }
    }
}

}  // namespace
