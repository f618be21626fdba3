"""Times the first launch from fresh VMs: extra wall time over an empty main, per JDK and load path.

usage: cold_start.py BUILD_DIR VMS OUT.md
Every round runs each case once, in a shuffled order, so that drift of the machine hits all alike.
"""
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time

JDKS = ["/usr/lib/jvm/java-17-openjdk-amd64", "/usr/lib/jvm/temurin-25-jdk-amd64"]


def cases(build, empty):
    """Name: (VM options, way). `empty` is a library path with nothing on it."""
    library = os.path.join(build, "libvokrane.so")
    return {
        "empty main": ([], "none"),
        "ProcessBuilder": ([], "ProcessBuilder"),
        "LinuxNative, packed copy": (["-Djava.library.path=" + empty], "LinuxNative"),
        "LinuxNative, java.library.path": (["-Djava.library.path=" + build], "LinuxNative"),
        "LinuxNative, com.vok.library.path": (["-Dcom.vok.library.path=" + library], "LinuxNative"),
        "Terminal, com.vok.library.path": (["-Dcom.vok.library.path=" + library], "Terminal"),
    }


def main():
    build, vms, out = os.path.abspath(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    with tempfile.TemporaryDirectory(prefix="vokrane-bench-") as empty:
        samples = measure(build, vms, cases(build, empty))
    report(samples, list(cases(build, "")), vms, out)


def measure(build, vms, named_cases):
    class_path = os.path.join(build, "vokrane.jar") + ":" + os.path.join(build, "vokrane-bench.jar")
    samples = {}
    shuffle = random.Random(42)
    for jdk in JDKS:
        java = os.path.join(jdk, "bin/java")
        named = list(named_cases.items())
        for _ in range(vms + 1):  # the first round warms the file cache and is not kept
            shuffle.shuffle(named)
            for name, (options, way) in named:
                command = [java, "--enable-native-access=ALL-UNNAMED"] + options + [
                    "-cp", class_path, "com.vok.bench.ColdStart", way]
                start = time.perf_counter_ns()
                subprocess.run(command, check=True, stdin=subprocess.DEVNULL)
                samples.setdefault((jdk, name), []).append((time.perf_counter_ns() - start) / 1e6)
        for key in samples:
            if key[0] == jdk:
                samples[key] = samples[key][1:]
    return samples


def report(samples, names, vms, out):
    rows = ["| JDK | case | median ms (p10–p90) | extra over empty main, ms | extra / ProcessBuilder's |",
            "|---|---|---|---|---|"]
    for jdk in JDKS:
        base = statistics.median(samples[jdk, "empty main"])
        builder = statistics.median(samples[jdk, "ProcessBuilder"]) - base
        for name in names:
            values = sorted(samples[jdk, name])
            median = statistics.median(values)
            low, high = values[int(0.1 * len(values))], values[min(len(values) - 1, int(0.9 * len(values)))]
            extra = median - base
            ratio = "" if name == "empty main" else f"{extra / builder:.2f}"
            rows.append(f"| {os.path.basename(jdk)} | {name} | {median:.1f} ({low:.1f}–{high:.1f}) | "
                        f"{extra:+.1f} | {ratio} |")
    table = "\n".join(rows)
    with open(out, "w") as md:
        md.write(f"# First launch from a fresh VM\n\nCommand: `bench/cold_start.py {' '.join(sys.argv[1:])}` "
                 f"({vms} VMs per case and JDK, interleaved)\n\n{table}\n")
    print(table)


if __name__ == "__main__":
    main()
