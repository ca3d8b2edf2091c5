#!/usr/bin/python3
"""tavelin-calendar's file read back by two real iCalendar readers from Debian.

    readers_test.py BUILD_DIR SOURCE_DIR demo|fetch10000

demo:       the folder `scripts/demo.sh` fetches; also files that are no programs are added to
            a copy of it: each is named on standard error, the exit code is 1, the folder stays
            as it was.
fetch10000: the folder `tavelin` writes from a 10,000-reservation page of the simulator.

Each .tvpi file is read here on its own (Shift-JIS, key: value lines); the python3-icalendar
library must give back exactly those titles, stations and times, one event per file, and khal
must import the file into a throw-away configuration and list the programs of a chosen day.
"""
import collections
import datetime
import hashlib
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zoneinfo

import icalendar

TOKYO = zoneinfo.ZoneInfo("Asia/Tokyo")


def read_tvpi(path):
    lines = path.read_bytes().decode("cp932").split("\r\n")
    fields = {}
    for line in lines[: lines.index("")]:
        key, _, value = line.partition(": ")
        fields.setdefault(key.lower(), value.strip())
    day = datetime.date(int(fields["year"]), int(fields["month"]), int(fields["date"]))
    start_t = datetime.time.fromisoformat(fields["start"])
    end_t = datetime.time.fromisoformat(fields["end"])
    start = datetime.datetime.combine(day, start_t, TOKYO)
    end = datetime.datetime.combine(day, end_t, TOKYO)
    if end < start:
        end += datetime.timedelta(days=1)
    return (fields["program-title"], fields.get("station", ""), start, end)


def expected_events(folder):
    return collections.Counter(read_tvpi(p) for p in sorted(folder.glob("*.tvpi")))


STARTED = time.monotonic()


def step(text):
    print(f"[{time.monotonic() - STARTED:6.1f} s] {text}", flush=True)


def check(condition, message):
    if not condition:
        sys.exit("FAIL: " + message)


def run_calendar(build, folder, output):
    return subprocess.run([str(build / "src/tavelin-calendar"), str(folder), str(output)],
                          capture_output=True, text=True)


def check_icalendar(ics, expected, deck):
    raw = ics.read_bytes()
    check(raw.endswith(b"\r\n") and b"\n" not in raw.replace(b"\r\n", b""), "CR LF line ends")
    check(all(len(line) <= 75 for line in raw.split(b"\r\n")), "lines folded at 75 octets")
    calendar = icalendar.Calendar.from_ical(raw)
    events = calendar.walk("VEVENT")
    got = collections.Counter()
    uids = set()
    for event in events:
        start, end = event["DTSTART"].dt, event.get("DTEND", event["DTSTART"]).dt
        check(str(start.tzinfo) == "Asia/Tokyo", f"time zone of {event['SUMMARY']}: {start.tzinfo}")
        got[(str(event["SUMMARY"]), str(event.get("LOCATION", "")), start, end)] += 1
        uids.add(str(event["UID"]))
        check([str(c) for c in event["CATEGORIES"].cats] == [deck], "deck as category")
        check(event.get("DTSTAMP") is not None, "DTSTAMP")
    check(len(uids) == len(events), "one UID per event")
    missing, extra = expected - got, got - expected
    check(not missing and not extra,
          f"events differ from the files: missing {list(missing)[:3]}, extra {list(extra)[:3]}")
    step(f"icalendar: {len(events)} events equal the {sum(expected.values())} files")
    return uids


def check_khal(ics, expected):
    """Imports into a configuration of its own and lists the busiest day's programs."""
    # khal stores every event as a file of its own and commits each to its database: on a
    # disk that is an fsync per event (six minutes for 10,000), in memory (/dev/shm) none.
    shm = "/dev/shm" if os.access("/dev/shm", os.W_OK) else None
    with tempfile.TemporaryDirectory(prefix="tavelin-khal.", dir=shm) as temp:
        khal_run(ics, expected, pathlib.Path(temp))


def khal_run(ics, expected, home):
    (home / "calendar").mkdir(parents=True)
    config = home / "config"
    config.write_text(f"""[calendars]
[[tv]]
path = {home / 'calendar'}
type = calendar
[locale]
timeformat = %H:%M
dateformat = %Y-%m-%d
longdateformat = %Y-%m-%d
datetimeformat = %Y-%m-%d %H:%M
longdatetimeformat = %Y-%m-%d %H:%M
local_timezone = Asia/Tokyo
default_timezone = Asia/Tokyo
[sqlite]
path = {home / 'khal.db'}
""")
    env = dict(os.environ, HOME=str(home), XDG_CONFIG_HOME=str(home), XDG_DATA_HOME=str(home),
               TZ="Asia/Tokyo")
    khal = ["khal", "-c", str(config)]
    imported = subprocess.run(khal + ["import", "--batch", "-a", "tv", str(ics)], env=env,
                              capture_output=True, text=True)
    step("khal import done")
    check(imported.returncode == 0, "khal import: " + imported.stderr[-2000:])
    stored = len(list((home / "calendar").glob("*.ics")))
    check(stored == sum(expected.values()), f"khal stored {stored} events")
    days = collections.Counter(start.date() for _, _, start, _ in expected)
    day = days.most_common(1)[0][0]
    listed = subprocess.run(
        khal + ["list", "--day-format", "", "--format",
                "{start-date} {start-time}|{end-date} {end-time}|{title}|{location}",
                day.isoformat(), "1d"],
        env=env, capture_output=True, text=True)
    check(listed.returncode == 0, "khal list: " + listed.stderr[-2000:])
    got = collections.Counter(line for line in listed.stdout.splitlines() if line)
    want = collections.Counter()
    for (title, station, start, end), n in expected.items():
        day_start = datetime.datetime.combine(day, datetime.time(), TOKYO)
        if start < day_start + datetime.timedelta(days=1) and end > day_start or start == day_start:
            fmt = "%Y-%m-%d %H:%M"
            want[f"{start.strftime(fmt)}|{end.strftime(fmt)}|{title}|{station}"] += n
    check(got == want, f"khal list of {day}: got {list((got - want).items())[:3]}, "
                       f"missing {list((want - got).items())[:3]}")
    step(f"khal: {stored} events imported; {day} lists its {sum(want.values())} programs")


def folder_state(folder):
    return {p.name: hashlib.sha256(p.read_bytes()).hexdigest() for p in folder.iterdir()}


def demo_folder(build, source, work):
    kept = work / "kept"
    demo = subprocess.run([str(source / "scripts/demo.sh"), str(build)],
                          env=dict(os.environ, DEMO_KEEP=str(kept)), capture_output=True, text=True)
    check(demo.returncode == 0, "demo.sh: " + demo.stderr[-2000:])
    check("=== tavelin-calendar" in demo.stdout and "BEGIN:VEVENT" in demo.stdout,
          "the demo prints the calendar")
    return next(kept.iterdir())


def check_skipped_files(build, folder, work):
    broken = work / "broken" / folder.name
    shutil.copytree(folder, broken)
    good = expected_events(broken)
    first = sorted(broken.glob("*.tvpi"))[0].read_bytes()
    (broken / "cut.tvpi").write_bytes(first[: first.index(b"program-title")])
    (broken / "html.tvpi").write_bytes(b"Content-type: text/html\r\n\r\n<html></html>\r\n")
    (broken / "0229.tvpi").write_bytes(re.sub(rb"year: \d+\r\nmonth: \d+\r\ndate: \d+",
                                              b"year: 2027\r\nmonth: 02\r\ndate: 29", first))
    before = folder_state(broken)
    ics = work / "broken.ics"
    run = run_calendar(build, broken, ics)
    check(run.returncode == 1, f"exit code with skipped files: {run.returncode}")
    lines = run.stderr.splitlines()
    check(len(lines) == 3 and all(any(n in l for l in lines)
                                  for n in ("cut.tvpi", "html.tvpi", "0229.tvpi")),
          "one line per skipped file: " + run.stderr)
    check(folder_state(broken) == before, "the folder is left as it was")
    check_icalendar(ics, good, folder.name)
    print("skipped: " + "; ".join(lines))


def fetch_folder(build, work, rows):
    """tavelin in fetch mode against the simulator serving a generated table page."""
    today = datetime.date.today()
    weekdays = "月火水木金土日"
    page = ["<html><body><table border=1><tbody>",
            "<tr><th>番組名</th><th>CH</th><th>日付</th><th>時間</th><th>画質</th></tr>"]
    for i in range(rows):
        day = today + datetime.timedelta(days=i % 10)
        hour, minute = i // 10 % 24, i // 240 % 60
        channel = f"CH{i % 12 + 1}" if i % 2 == 0 else f"BS10{i % 3}"
        page.append(f'<tr><td><a href="b_proginfo.htm?{i}">番組 <b>{i}</b> &amp; 特集</a></td>'
                    f"<td>{channel}</td><td>{day.month}/{day.day}({weekdays[day.weekday()]})</td>"
                    f"<td>{hour:02}:{minute:02}-{(hour + 1) % 24:02}:{minute:02}</td>"
                    "<td>SP</td></tr>")
    page.append("</tbody></table></body></html>")
    (work / "page.html").write_bytes("\r\n".join(page).encode("cp932") + b"\r\n")
    for sub in ("config/tavelin", "root", "temp", "runtime", "out"):
        (work / sub).mkdir(parents=True)
    sim = subprocess.Popen([str(build / "tools/recorder-sim/recorder-sim"), "--port", "0",
                            "--program-file", str(work / "page.html")],
                           stdout=subprocess.PIPE, text=True)
    try:
        port = re.search(r"listening on port (\d+)", sim.stdout.readline()).group(1)
        (work / "config/tavelin/registry.reg").write_text(
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\software\\Morvik\\Qadrel2\\etc]\r\n"
            f'"RootPath"="{work}/root/"\r\n')
        (work / "root/nubra.ini").write_bytes(
            f"[RD1]\r\nRDH1_IP_Text=127.0.0.1\r\nRDH1_Port_Text={port}\r\n".encode())
        output = work / "out/RD1"
        subprocess.run(["/usr/bin/env", "-i", "PATH=/usr/bin:/bin", f"HOME={work}",
                        f"XDG_CONFIG_HOME={work}/config", f"XDG_RUNTIME_DIR={work}/runtime",
                        f"temp={work}/temp/", str(build / "src/tavelin"), str(output)],
                       check=True, timeout=600)
    finally:
        sim.terminate()
        sim.wait()
    count = len(list(output.glob("*.tvpi")))
    step(f"tavelin fetched {count} programs")
    check(count == rows, f"the fetch wrote {count} files, not {rows}")
    return output


def main():
    build, source, case = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]), sys.argv[3]
    with tempfile.TemporaryDirectory(prefix="tavelin-calendar-readers.") as temp:
        work = pathlib.Path(temp)
        folder = demo_folder(build, source, work) if case == "demo" else \
            fetch_folder(build, work, 10000)
        expected = expected_events(folder)
        check(sum(expected.values()) > 0, "no programs in " + str(folder))
        ics = work / "tv.ics"
        run = run_calendar(build, folder, ics)
        check(run.returncode == 0, f"tavelin-calendar: {run.returncode} {run.stderr}")
        uids = check_icalendar(ics, expected, folder.name)
        again = work / "again.ics"
        check(run_calendar(build, folder, again).returncode == 0, "second run")
        check(check_icalendar(again, expected, folder.name) == uids, "UIDs kept across runs")
        check_khal(ics, expected)
        if case == "demo":
            check_skipped_files(build, folder, work)
    print("PASS")


if __name__ == "__main__":
    main()
