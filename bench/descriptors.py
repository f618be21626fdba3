"""Times a launch against the number of descriptors open in the VM, and plots it.

usage: descriptors.py BUILD_DIR ROUNDS LAUNCHES_PER_ROUND RESULTS_DIR
Writes RESULTS_DIR/descriptors.md, descriptors.tsv and launch-vs-descriptors.png.
"""
import os
import statistics
import subprocess
import sys

COUNTS = [10, 1000, 10000, 19000]
METHODS = ["libvokrane", "ProcessBuilder", "posix_spawnp", "fork+execvp"]


def main():
    build, rounds, per_round, results = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4]
    samples = {}
    for count in COUNTS:
        print(f"timing launches with {count} more descriptors open", file=sys.stderr)
        out = subprocess.run(
            ["java", "--enable-native-access=ALL-UNNAMED", "-Djava.library.path=" + build,
             "-cp", os.path.join(build, "vokrane.jar") + ":" + os.path.join(build, "vokrane-bench.jar"),
             "com.vok.bench.LaunchBench", str(count), rounds, per_round, "0", str(count)],
            check=True, capture_output=True, text=True).stdout
        for line in out.splitlines():
            method, label, micros = line.split("\t")
            samples.setdefault((int(label), method), []).append(int(micros))
    medians = {key: statistics.median(values) for key, values in samples.items()}
    with open(os.path.join(results, "descriptors.tsv"), "w") as tsv:
        for method in METHODS:
            for count in COUNTS:
                values = sorted(samples[count, method])
                tsv.write(f"{count}\t{method}\t{medians[count, method]}\t{values[len(values) // 10]}\t"
                          f"{values[min(len(values) - 1, 9 * len(values) // 10)]}\n")
    span = COUNTS[-1] - COUNTS[0]
    rows = ["| descriptors open | " + " | ".join(f"{m} µs" for m in METHODS) + " |",
            "|---|" + "---|" * len(METHODS)]
    for count in COUNTS:
        rows.append(f"| {count:,} | " + " | ".join(f"{medians[count, m]:,.0f}" for m in METHODS) + " |")
    rows.append("| cost per descriptor | " + " | ".join(
        f"{1000 * (medians[COUNTS[-1], m] - medians[COUNTS[0], m]) / span:,.0f} ns" for m in METHODS) + " |")
    table = "\n".join(rows)
    with open(os.path.join(results, "descriptors.md"), "w") as md:
        md.write(f"# Launch cost against open descriptors\n\nCommand: `bench/descriptors.py BUILD {rounds} "
                 f"{per_round} RESULTS` (medians of {len(samples[COUNTS[0], METHODS[0]])} launches per cell, "
                 f"interleaved in rounds)\n\n{table}\n")
    plot = "\n".join(f"'{os.path.join(results, 'descriptors.tsv')}' using 1:(stringcolumn(2) eq '{m}' ? $3 : 1/0)"
                     f":4:5 with yerrorlines title '{m}'," for m in METHODS).rstrip(",")
    subprocess.run(["gnuplot"], text=True, check=True, input=f"""
set terminal pngcairo size 900,560 noenhanced font 'sans,11'
set output '{os.path.join(results, 'launch-vs-descriptors.png')}'
set title 'Launch and wait for /bin/true against descriptors open in the VM (median, bars p10-p90)'
set xlabel 'descriptors open in the VM'
set ylabel 'microseconds per launch'
set logscale xy
set xrange [5:40000]
set key top left
set grid
set datafile separator '\\t'
plot {plot.replace(chr(10), ' ')}
""")
    print(table)


if __name__ == "__main__":
    main()
