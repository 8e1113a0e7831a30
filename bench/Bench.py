#!/usr/bin/env python3
"""Runs every benchmark figure beside its reference and prints one table.

   Bench.py BUILD_DIR CORPUS_DIR [RESULTS_FILE]

Each figure is measured side by side with its reference in the same run (interleaved where it is
a time), since this machine is noisy."""
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

build, corpus = sys.argv[1], sys.argv[2]
results_file = sys.argv[3] if len(sys.argv) > 3 else None
setup_file = os.path.join(corpus, "Setup.bin")
package_file = os.path.join(corpus, "Package.tar")
rows = []


def row(figure, value, reference, goal, met):
    rows.append((figure, value, reference, goal, "met" if met else "MISSED"))


def size_of(command, data):
    return len(subprocess.run(command, input=data, stdout=subprocess.PIPE, check=True).stdout)


def timed(command, **options):
    start = time.perf_counter()
    subprocess.run(command, check=True, **options)
    return time.perf_counter() - start


# Packed size and pack time.
work = tempfile.mkdtemp(prefix="talvorin-bench-")
packet = os.path.join(work, "corpus.packet")
pack_seconds = timed([os.path.join(build, "tools", "PackSetup"), "pack", setup_file, package_file, "-o", packet],
                     stdout=subprocess.DEVNULL)
packed = os.path.getsize(packet)
with open(setup_file, "rb") as first, open(package_file, "rb") as second:
    data = first.read() + second.read()
references = {
    "gzip -9": size_of(["gzip", "-9", "-c"], data),
    "libdeflate-gzip -12": size_of(["libdeflate-gzip", "-12", "-c"], data),
    "xz -9e": size_of(["xz", "-9e", "-c"], data),
    "zstd -19 --long=27": size_of(["zstd", "-19", "--long=27", "-c", "-q"], data),
}
for name, size in references.items():
    if name.startswith("xz"):
        row(f"packed size vs {name}", f"{packed:,} B", f"{size:,} B", "within 12 %", packed <= size * 1.12)
    elif name.startswith("zstd"):
        rows.append((f"packed size vs {name}", f"{packed:,} B", f"{size:,} B", "(reported)",
                     f"{(packed / size - 1) * 100:+.1f} %"))
    else:
        row(f"packed size vs {name}", f"{packed:,} B", f"{size:,} B", "smaller by a clear margin",
            packed < size * 0.95)
row("pack time, %.1f MB" % (len(data) / 1e6), f"{pack_seconds:.2f} s", "", "under 10 s", pack_seconds < 10)

# Expansion throughput.
lines = subprocess.run([os.path.join(build, "bench", "BenchExpand"), packet], stdout=subprocess.PIPE, check=True,
                       text=True).stdout
figures = dict(line.split() for line in lines.splitlines())
warm, copy_warm = float(figures["expand_warm_MBps"]), float(figures["memcpy_warm_MBps"])
fresh, copy_fresh = float(figures["expand_fresh_MBps"]), float(figures["memcpy_fresh_MBps"])
row("ExpandPacket, buffers touched", f"{warm:,.0f} MB/s", f"memcpy {copy_warm:,.0f} MB/s", "at least half",
    warm >= copy_warm / 2)
rows.append(("ExpandPacket, fresh buffers", f"{fresh:,.0f} MB/s", f"memcpy {copy_fresh:,.0f} MB/s", "(reported)",
             f"{fresh / copy_fresh:.2f} of memcpy"))

# The launcher against the floor, with a setup program that does nothing.
launcher = os.path.join(build, "bench", "BenchLauncher")
bench_packet = os.path.join(build, "payloads", "Bench", "Setup.packet")
floor = [os.path.join(build, "bench", "LaunchFloor"), bench_packet, os.path.join(build, "bench", "NoOpSetup")]
temp = tempfile.mkdtemp(prefix="talvorin-bench-temp-")
environment = dict(os.environ, TMPDIR=temp)
launcher_times, floor_times = [], []
for _ in range(21):
    launcher_times.append(timed([launcher], env=environment))
    floor_times.append(timed(floor + [temp]))
launcher_time, floor_time = statistics.median(launcher_times), statistics.median(floor_times)
row("launcher run, no-op setup program", f"{launcher_time * 1000:.1f} ms", f"floor {floor_time * 1000:.1f} ms",
    "at most 1.3 x floor", launcher_time <= floor_time * 1.3)
assert not os.listdir(temp), "the launcher left files behind"

# Peak memory against the blocks the launcher must hold.
def peak_kib(command, env):
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, env=env, stderr=subprocess.PIPE, text=True)
    return int(result.stderr.strip().splitlines()[-1])


with open(bench_packet, "rb") as stream:
    import zlib
    raw = stream.read()
    inflated = zlib.decompress(raw[4:])
output_size, reference_count = (int.from_bytes(inflated[i:i + 4], "little") for i in (4, 12))
library_size = 0
for line in open(os.path.join(build, "CMakeCache.txt")):
    if line.startswith("TALVORIN_ZLIB_IMAGE:"):
        library_size = os.path.getsize(line.split("=", 1)[1].strip())
blocks = len(inflated) + output_size + 12 * reference_count + library_size
bare = min(peak_kib([launcher], dict(os.environ, TMPDIR="/" + "d" * 300)) for _ in range(3))
peak = min(peak_kib([launcher], environment) for _ in range(3))
budget = 1.1 * blocks / 1024 + bare
row("peak memory of a launcher run", f"{peak:,} KiB", f"blocks {blocks // 1024:,} KiB + bare {bare:,} KiB",
    f"at most {budget:,.0f} KiB", peak <= budget)

# The table.
header = ("figure", "measured", "reference", "goal", "result")
widths = [max(len(str(r[i])) for r in rows + [header]) for i in range(5)]
table = ["| " + " | ".join(str(c).ljust(w) for c, w in zip(header, widths)) + " |",
         "|" + "|".join("-" * (w + 2) for w in widths) + "|"]
table += ["| " + " | ".join(str(c).ljust(w) for c, w in zip(r, widths)) + " |" for r in rows]
print("\n".join(table))

if results_file:
    cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "?")
    memory = next((l.split()[1] for l in open("/proc/meminfo") if l.startswith("MemTotal")), "?")
    with open(results_file, "w") as out:
        out.write("# Benchmark results\n\n")
        out.write(f"Last run: {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}, `bash bench/run.sh`.\n\n")
        out.write(f"Machine: {os.cpu_count()} cores, {cpu}, {int(memory) // 1024 // 1024} GiB, "
                  f"Linux {platform.release()}.\n\n")
        out.write(f"Corpus: setup program {os.path.getsize(setup_file):,} B, package {os.path.getsize(package_file):,} B "
                  f"(tools/MakeCorpus.sh). Benchmark launcher: no-op setup program and the same package.\n\n")
        out.write("\n".join(table) + "\n\n")
        out.write("How each figure is measured, and what was tried where a goal is missed: bench/README.md.\n")

shutil.rmtree(work, ignore_errors=True)
shutil.rmtree(temp, ignore_errors=True)
