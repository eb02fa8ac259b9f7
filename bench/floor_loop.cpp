// The floor loop: the least work every run of `zix -c COUNT` must do, written
// for the benchmark alone: a Mersenne Twister with zix's seeding, each output
// mixed with a word from /dev/urandom (opened, read and closed once per 256
// draws) and tempered, the character formula in double arithmetic, and one
// write of the line. Nothing else: no argument handling, no print path, no
// buffer wiping.
// Usage: floor_loop COUNT > /dev/null
#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

uint32_t mt[624];
int mt_index = 624;

uint32_t temper(uint32_t y) {
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    return y ^ (y >> 18);
}

uint32_t twister() {
    if (mt_index == 624) {
        // The usual three passes: no index wraps inside a pass.
        auto step = [](uint32_t a, uint32_t b, uint32_t c) {
            const uint32_t y = (a & 0x80000000u) | (b & 0x7FFFFFFFu);
            return c ^ (y >> 1) ^ ((y & 1u) ? 0x9908B0DFu : 0u);
        };
        int k = 0;
        for (; k < 624 - 397; ++k) mt[k] = step(mt[k], mt[k + 1], mt[k + 397]);
        for (; k < 623; ++k) mt[k] = step(mt[k], mt[k + 1], mt[k + 397 - 624]);
        mt[623] = step(mt[623], mt[0], mt[396]);
        mt_index = 0;
    }
    return temper(mt[mt_index++]);
}

uint32_t urandom_word() {
    uint32_t word = 0;
    const int fd = open("/dev/urandom", O_RDONLY);
    if (fd < 0) return 0;
    if (read(fd, &word, 4) != 4) word = 0;
    close(fd);
    return word;
}

}  // namespace

int main(int argc, char** argv) {
    const uint32_t count =
        argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 255;
    timeval now{};
    gettimeofday(&now, nullptr);
    mt[0] = static_cast<uint32_t>(static_cast<int64_t>((now.tv_sec + now.tv_usec * 1e-6) * 5000.0));
    for (int i = 1; i < 624; ++i) mt[i] = 1664525u * mt[i - 1] + 1013904223u;

    const double low = 65.0;
    const double span = 25.0;
    std::vector<char> line(count + 1);
    uint32_t mix = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t y = twister();
        if (i % 256 == 0) mix = urandom_word();
        if (mix != 0) {
            mix = temper(static_cast<uint32_t>((uint64_t{y} * mix) >> 32));
            y = mix;
        }
        const double u = y * (1.0 / 4294967296.0);
        line[i] = static_cast<char>(std::lrint(u * span + low));
    }
    line[count] = '\n';
    std::fwrite(line.data(), line.size(), 1, stdout);
    std::fflush(stdout);
    return 0;
}
