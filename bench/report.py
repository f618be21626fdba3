"""Summarises launch samples into a Markdown table and a TSV per label, and plots every label's TSV."""
import collections
import glob
import os
import statistics
import subprocess
import sys

HEAPS = ["default", "1g", "4g"]
HEAP_NAMES = {"default": "default heap", "1g": "1 GiB", "4g": "4 GiB"}
METHODS = ["libvokrane", "ProcessBuilder", "posix_spawnp", "fork+execvp"]


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))]


def summarise(samples_path):
    samples = collections.defaultdict(list)
    with open(samples_path) as lines:
        for line in lines:
            method, heap, micros = line.split("\t")
            samples[heap, method].append(int(micros))
    return {key: (statistics.median(v), percentile(v, 0.1), percentile(v, 0.9), len(v)) for key, v in samples.items()}


def table(stats):
    rows = ["| heap | " + " | ".join(f"{m} median (p10–p90) µs" for m in METHODS)
            + " | libvokrane / ProcessBuilder | libvokrane / posix_spawnp |",
            "|---|" + "---|" * (len(METHODS) + 2)]
    for heap in HEAPS:
        cells = [f"{stats[heap, m][0]:,.0f} ({stats[heap, m][1]:,}–{stats[heap, m][2]:,})" for m in METHODS]
        library = stats[heap, "libvokrane"][0]
        rows.append(f"| {HEAP_NAMES[heap]} | " + " | ".join(cells)
                    + f" | {library / stats[heap, 'ProcessBuilder'][0]:.2f} | {library / stats[heap, 'posix_spawnp'][0]:.2f} |")
    return "\n".join(rows)


def plot(results_dir):
    """One line per method from the newest label, plus libvokrane from every other label."""
    summaries = sorted(glob.glob(os.path.join(results_dir, "*.tsv")), key=os.path.getmtime)
    commands = []
    for path in summaries:
        label = os.path.basename(path)[:-4]
        methods = METHODS if path == summaries[-1] else ["libvokrane"]
        for method in methods:
            title = f"{method} ({label})" if method == "libvokrane" else method
            commands.append(f"'{path}' using 1:(stringcolumn(3) eq '{method}' ? $4 : 1/0):5:6:xticlabels(2) "
                            f"with yerrorlines title '{title}'")
    script = f"""
set terminal pngcairo size 900,560 noenhanced font 'sans,11'
set output '{os.path.join(results_dir, 'launch-vs-heap.png')}'
set title 'Launch and wait for /bin/true from a Java VM (median, bars p10-p90)'
set xlabel 'touched, resident Java heap'
set ylabel 'microseconds per launch'
set logscale y
set key top left
set xrange [-0.3:2.3]
set grid ytics
set datafile separator '\\t'
plot {", ".join(commands)}
"""
    subprocess.run(["gnuplot"], input=script, text=True, check=True)


def main():
    label, samples_path, machine, command, results_dir = sys.argv[1:]
    stats = summarise(samples_path)
    with open(os.path.join(results_dir, label + ".tsv"), "w") as tsv:
        for method in METHODS:
            for x, heap in enumerate(HEAPS):
                median, low, high, _ = stats[heap, method]
                tsv.write(f"{x}\t{HEAP_NAMES[heap]}\t{method}\t{median}\t{low}\t{high}\n")
    launches = stats["default", "libvokrane"][3]
    with open(os.path.join(results_dir, label + ".md"), "w") as md:
        md.write(f"# Launch benchmark: {label}\n\nMachine: {machine}\n\nCommand: `{command}` "
                 f"({launches} timed launches per method and heap, interleaved in rounds)\n\n{table(stats)}\n\n"
                 f"spawn + waitpid alone (Google Benchmark, `{label}-spawn_bench.txt`):\n\n```\n")
        with open(os.path.join(results_dir, label + "-spawn_bench.txt")) as spawn_bench:
            md.write(spawn_bench.read())
        md.write("```\n")
    plot(results_dir)
    print(table(stats))


if __name__ == "__main__":
    main()
