"""Times the editor paths with /bin/true as the editor, on a tmux terminal (with the library, and with it kept from
loading, as on another system) and without one, into editing.md."""
import os
import subprocess
import sys
import tempfile
import time

build, rounds, out = sys.argv[1], sys.argv[2], sys.argv[3]
java = ["java", "--enable-native-access=ALL-UNNAMED", "-Djava.library.path=" + build,
        "-cp", f"{build}/vokrane.jar:{build}/vokrane-bench.jar", "com.vok.bench.EditBench", rounds]
no_library = "-Dcom.vok.library.path=/nonexistent/libvokrane.so"
env = dict(os.environ, VISUAL="/bin/true", TERM="xterm")


def without_terminal():
    return subprocess.run(["setsid", "-w"] + java, env=env, stdin=subprocess.DEVNULL, capture_output=True,
                          text=True, check=True).stdout


def on_terminal(options=()):
    with tempfile.TemporaryDirectory() as scratch:
        # The server's socket in the scratch directory, so that it goes with it.
        result, socket = os.path.join(scratch, "result"), os.path.join(scratch, "tmux")
        command = " ".join(java[:1] + list(options) + java[1:]) + f" > {result} && touch {result}.done"
        subprocess.run(["tmux", "-S", socket, "-f", "/dev/null", "new-session", "-d", "-x", "120", "-y", "40",
                        "-e", "VISUAL=/bin/true", command], check=True)
        try:
            while not os.path.exists(result + ".done"):
                time.sleep(0.2)
        finally:
            subprocess.run(["tmux", "-S", socket, "kill-server"], capture_output=True)
        with open(result) as lines:
            return lines.read()


rows = {}
columns = ("no terminal", "a terminal, in the foreground", "the same, without the library")
for where, measure in zip(columns, (without_terminal, on_terminal, lambda: on_terminal([no_library]))):
    for line in measure().splitlines():
        way, median, p90 = line.split()
        rows.setdefault(way, {})[where] = f"{int(median) / 1000:.2f} ({int(p90) / 1000:.2f})"
with open(out, "w") as report:
    report.write(f"# The editor paths' round trip\n\n`bench/run` (`bench/editing.py {build} {rounds}`): one warm VM,"
                 f" {rounds} calls each after 20 to warm up, with `/bin/true` as the editor; median (90th"
                 f" percentile) in ms; without the library, `{no_library}`.\n\n| way | " + " | ".join(columns)
                 + " |\n|---|---|---|---|\n")
    for way, times in rows.items():
        report.write(f"| `{way}` | " + " | ".join(times[where] for where in columns) + " |\n")
print(open(out).read())
