#!/usr/bin/env python3
"""Turns the JSON files of the benchmark programs into one table: workload, fieldkit's median,
the peer's median, their ratio (fieldkit / peer) and the target with a pass or miss mark.

Usage: bench/report.py [--markdown] RESULT.json...
"""
import json
import re
import sys

UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def load(paths):
    """Benchmark name -> entry: the median aggregate when there were repetitions, else the run."""
    runs, medians = {}, {}
    for path in paths:
        with open(path, encoding="utf-8") as f:
            text = f.read()
        # A program none of whose benchmarks matched a filter writes nothing.
        if not text.strip():
            continue
        data = json.loads(text)
        for b in data.get("benchmarks", []):
            name = re.sub(r"/(real_time|manual_time|iterations:\d+)", "",
                          b.get("run_name", b["name"]))
            if b.get("error_occurred"):
                runs[name] = {"error": b.get("error_message", "error")}
                continue
            entry = dict(b)
            entry["ns"] = b["real_time"] * UNIT_NS[b.get("time_unit", "ns")]
            if b.get("run_type") == "aggregate":
                if b.get("aggregate_name") == "median":
                    medians[name] = entry
            else:
                runs.setdefault(name, entry)
    runs.update(medians)
    return runs


def fmt_time(ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if ns >= scale:
            return f"{ns / scale:.3g} {unit}"
    return f"{ns:.3g} ns"


def fmt_rate(per_second, unit):
    if per_second >= 1e6:
        return f"{per_second / 1e6:.3g} M{unit}/s"
    if per_second >= 1e3:
        return f"{per_second / 1e3:.3g} k{unit}/s"
    return f"{per_second:.3g} {unit}/s"


class Table:
    def __init__(self, results):
        self.r = results
        self.rows = []

    def get(self, name):
        e = self.r.get(name)
        return None if e is None or "error" in e else e

    def missing(self, name):
        e = self.r.get(name)
        if e is None:
            return "not built"
        error = e.get("error", "")
        # The reason of a skipped case is in the run's output; the table only says so.
        return "skipped" if error.startswith("skipped: ") else error

    def row(self, workload, fk, peer, ratio, target, ok, peer_label=""):
        mark = "n/a" if ok is None else ("pass" if ok else "MISS")
        ratio_text = "-" if ratio is None else f"{ratio:.2f}"
        self.rows.append([workload, fk or "-", (peer_label + peer) if peer else "-", ratio_text,
                          target, mark])

    def time_pair(self, workload, fk_name, peer_name, limit, peer_label=""):
        """Times: the ratio is fieldkit's time over the peer's, at most `limit`."""
        fk, peer = self.get(fk_name), self.get(peer_name)
        ratio = fk["ns"] / peer["ns"] if fk and peer else None
        self.row(workload, fmt_time(fk["ns"]) if fk else self.missing(fk_name),
                 fmt_time(peer["ns"]) if peer else self.missing(peer_name), ratio,
                 f"<= {limit:g} x", None if ratio is None else ratio <= limit, peer_label)

    def rate_pair(self, workload, fk_name, peer_name, key, unit, scale, limit):
        """Rates: the ratio is fieldkit's rate over the peer's, at least `limit`."""
        fk, peer = self.get(fk_name), self.get(peer_name)
        fk_rate = fk.get(key) / scale if fk else None
        peer_rate = peer.get(key) / scale if peer else None
        ratio = fk_rate / peer_rate if fk_rate and peer_rate else None
        self.row(workload, fmt_rate(fk_rate, unit) if fk else self.missing(fk_name),
                 fmt_rate(peer_rate, unit) if peer else self.missing(peer_name), ratio,
                 f">= {limit:g} x", None if ratio is None else ratio >= limit)

    def trace_line(self):
        running = self.get("dms/decode/fieldkit_log_running")
        stopped = self.get("dms/decode/fieldkit_log_stopped")
        write = self.get("dms/trace_line/fputs_fflush")
        fk = None
        if running and stopped:
            lines = running.get("trace_lines_per_call") or 4
            fk = (running["ns"] - stopped["ns"]) / lines
        ratio = fk / write["ns"] if fk is not None and write else None
        self.row("StringToLatitude trace line vs one fputs+fflush",
                 fmt_time(fk) if fk is not None else "not measured",
                 fmt_time(write["ns"]) if write else "not measured", ratio, "<= 1.25 x",
                 None if ratio is None else ratio <= 1.25)

    def round_trip(self):
        def errors(name):
            e = self.get(name)
            if not e:
                return self.missing(name)
            return (f"{e['max_dlat_rad']:.1e}, {e['max_dlon_rad']:.1e} rad; "
                    f"{e['max_dh_m']:.1e} m")
        self.row("geocentric round trip: max error lat, lon; h",
                 errors("geocentric/reverse/fieldkit"), errors("geocentric/reverse/geographiclib"),
                 None, "(accuracy)", None)

    def attach(self):
        e = self.get("catalogs/attach/fieldkit")
        self.row("AttachTranslationFile, 20,000 entries",
                 fmt_time(e["ns"]) if e else self.missing("catalogs/attach/fieldkit"), None, None,
                 "< 50 ms", None if not e else e["ns"] < 50e6)
        e = self.get("catalogs/attach_free/fieldkit")
        self.row("AttachTranslationFile + FreeTranslations",
                 fmt_time(e["ns"]) if e else self.missing("catalogs/attach_free/fieldkit"), None,
                 None, "(info)", None)

    def info(self, workload, name):
        """A figure without a peer or a target, shown for reference."""
        e = self.get(name)
        self.row(workload, fmt_time(e["ns"]) if e else self.missing(name), None, None, "(info)",
                 None)

    def files(self):
        # The device file system has no peer; bench/compare measures it against itself.
        self.info("LoadIni, settings file of 40 x 25 keys", "files/load_ini")
        self.info("SaveIni onto that file", "files/save_ini")
        self.info("CopyDirectory, 1,000 files into a new folder", "files/copy_directory_fresh")
        self.info("CopyDirectory, 1,000 files onto a copy", "files/copy_directory_replace")
        self.info("CLogFile Start + one line + Stop", "files/log_start_stop")

    def tool(self, workload, name):
        """The tool against its floor: wall-time ratio and each child's peak resident set."""
        e = self.get(name)
        if not e:
            self.row(f"{workload} vs floor", self.missing(name), None, None, "<= 1.3 x", None)
            self.row(f"{workload}, peak RSS", self.missing(name), None, None, "<= 16 MiB", None)
            return
        ratio = e["ratio"]
        self.row(f"{workload} vs floor", fmt_time(e["ns"]), fmt_time(e["floor_s"] * 1e9), ratio,
                 "<= 1.3 x", ratio <= 1.3)
        rss = e["tool_rss_mib"]
        self.row(f"{workload}, peak RSS", f"{rss:.1f} MiB", f"{e['floor_rss_mib']:.1f} MiB", None,
                 "<= 16 MiB", rss <= 16)

    def build(self):
        self.time_pair("TBLH_To_XYZ vs Geocentric::Forward, 1M points",
                       "geocentric/forward/fieldkit", "geocentric/forward/geographiclib", 1.0)
        self.time_pair("TXYZ_To_BLH vs Geocentric::Reverse, 1M points",
                       "geocentric/reverse/fieldkit", "geocentric/reverse/geographiclib", 1.0)
        self.round_trip()
        self.time_pair("LatitudeToDDDMMSSSString vs DMS::Encode", "dms/encode/fieldkit",
                       "dms/encode/geographiclib", 0.33)
        self.time_pair("StringToLatitude (log stopped) vs DMS::Decode",
                       "dms/decode/fieldkit_log_stopped", "dms/decode/geographiclib", 0.33)
        self.trace_line()
        for size, label in (("1mb", "1 MB"), ("10mb", "10 MB")):
            self.time_pair(f"LoadIni {label} vs SimpleIni LoadFile", f"ini/load_{size}/fieldkit",
                           f"ini/load_{size}/simpleini", 1.0)
            self.time_pair(f"LoadIni {label} vs inih ini_parse", f"ini/load_{size}/fieldkit",
                           f"ini/load_{size}/inih", 1.5)
        self.time_pair("SaveIni 1 MB vs SimpleIni SaveFile", "ini/save_1mb/fieldkit",
                       "ini/save_1mb/simpleini", 1.0)
        self.time_pair("LoadIni 10 MB vs LoadIni 1 MB", "ini/load_10mb/fieldkit",
                       "ini/load_1mb/fieldkit", 12.0, peer_label="1 MB: ")
        self.rate_pair("CLogFile vs spdlog, 100,000 lines, 1 thread", "log/1_thread/fieldkit",
                       "log/1_thread/spdlog", "items_per_second", " lines", 1.0, 1.0)
        self.rate_pair("CLogFile vs spdlog, 100,000 lines, 4 threads", "log/4_threads/fieldkit",
                       "log/4_threads/spdlog", "items_per_second", " lines", 1.0, 1.0)
        self.rate_pair("CXMLReader vs expat, 10 MB document", "xml/read/fieldkit",
                       "xml/read/expat", "bytes_per_second", "B", 1.0, 0.5)
        self.time_pair("ugettext vs unordered_map, every msgid of 20,000, shuffled",
                       "catalogs/lookup/fieldkit", "catalogs/lookup/unordered_map", 1.0)
        self.attach()
        self.files()
        self.tool("fieldkit lat -, 1M lines", "tool/lat")
        self.tool("fieldkit parse-lat -, 1M lines", "tool/parse_lat")
        self.tool("fieldkit xyz --fields 2,3,4 -, 1M lines", "tool/xyz_fields")
        return self

    def render(self, markdown):
        header = ["workload", "fieldkit", "peer", "ratio", "target", "mark"]
        if markdown:
            lines = ["| " + " | ".join(header) + " |",
                     "|" + "|".join(["---"] * len(header)) + "|"]
            lines += ["| " + " | ".join(r) + " |" for r in self.rows]
            return "\n".join(lines)
        widths = [max(len(r[i]) for r in [header] + self.rows) for i in range(len(header))]
        def line(r):
            return "  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip()
        out = [line(header), "  ".join("-" * w for w in widths)]
        out += [line(r) for r in self.rows]
        missed = sum(1 for r in self.rows if r[-1] == "MISS")
        judged = sum(1 for r in self.rows if r[-1] in ("pass", "MISS"))
        out.append(f"\n{judged - missed} of {judged} targets met")
        return "\n".join(out)


def main(argv):
    markdown = "--markdown" in argv
    paths = [a for a in argv if a != "--markdown"]
    if not paths:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    print(Table(load(paths)).build().render(markdown))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
