"""Times Terminal.pager against a bare ProcessBuilder pipe to the same program, on a pseudo-terminal made by script(1),
with the library and with it kept from loading (as on another system), into paging.md."""
import os
import subprocess
import sys
import tempfile

build, megabytes, rounds, out = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4]
java = f"java --enable-native-access=ALL-UNNAMED -Djava.library.path={build} -cp {build}/vokrane.jar:{build}/vokrane-bench.jar"
no_library = "-Dcom.vok.library.path=/nonexistent/libvokrane.so"


def on_a_terminal(pager, args, options=""):
    """Runs PageBench with its standard output a pseudo-terminal, and gives back what it printed on standard error."""
    with tempfile.NamedTemporaryFile("r") as figures:
        command = f"BENCH_PAGER='{pager}' {java} {options} com.vok.bench.PageBench {args} 2> {figures.name}"
        subprocess.run(["script", "-qec", command, "/dev/null"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       env=dict(os.environ, TERM="xterm"), check=True)
        return figures.read().split()


_, bare, paged = on_a_terminal("cat > /dev/null", f"throughput {megabytes} {rounds}")
_, bare_median, bare_p90, paged_median, paged_p90 = on_a_terminal("head -c 1 > /dev/null", "start 200")
_, bare_median_vm, bare_p90_vm, paged_median_vm, paged_p90_vm = on_a_terminal("head -c 1 > /dev/null", "start 200", no_library)
with open(out, "w") as report:
    report.write(f"""# Paging

`bench/run` (`bench/paging.py {build} {megabytes} {rounds} {out}`): one VM each, its standard output a pseudo-terminal
made by `script`, JDK 17.

| what | bare `ProcessBuilder` | `Terminal.pager` | ratio |
|---|---|---|---|
| {megabytes} MB in 100-byte lines to `cat > /dev/null`, median of {rounds}, MB/s | {bare} | {paged} | {int(paged) / int(bare):.2f} |
| opening to `head -c 1` having read a byte and ended, median (90th percentile) of 200, ms | {int(bare_median) / 1000:.2f} ({int(bare_p90) / 1000:.2f}) | {int(paged_median) / 1000:.2f} ({int(paged_p90) / 1000:.2f}) | {int(paged_median) / int(bare_median):.2f} |
| the same, without the library (`{no_library}`) | {int(bare_median_vm) / 1000:.2f} ({int(bare_p90_vm) / 1000:.2f}) | {int(paged_median_vm) / 1000:.2f} ({int(paged_p90_vm) / 1000:.2f}) | {int(paged_median_vm) / int(bare_median_vm):.2f} |
""")
print(open(out).read())
