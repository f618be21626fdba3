// spawn + waitpid of /bin/true on its own, with and without a large touched allocation in the caller.
#include <sys/wait.h>

#include <vector>

#include <benchmark/benchmark.h>

#include "vokrane.h"

namespace {

void spawnAndWait(benchmark::State &state) {
    std::vector<char> touched(static_cast<size_t>(state.range(0)) << 20, 1);
    benchmark::DoNotOptimize(touched.data());
    char *argv[] = {const_cast<char *>("/bin/true"), nullptr};
    for (auto _ : state) {
        pid_t pid = spawn(argv[0], argv);
        int status;
        if (pid <= 0 || waitpid(pid, &status, 0) != pid || status != 0) state.SkipWithError("launch failed");
    }
}

}  // namespace

BENCHMARK(spawnAndWait)->ArgName("touched_MiB")->Arg(0)->Arg(1024)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_MAIN();
