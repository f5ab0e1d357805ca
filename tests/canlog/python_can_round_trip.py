#!/usr/bin/env python3
"""Round trips between our log library and python-can's readers and writers.

Our writer -> python-can's reader, and python-can's writer -> our reader, for
candump logs and Vector ASC. Each side must see the sample frames: identifier,
format, remote flag, length, data, channel, spacing to the microsecond, and the
direction where the format carries one.

usage: python_can_round_trip.py LOG_SAMPLE_TOOL WORK_DIR
"""
import os
import subprocess
import sys

import can


def run(tool, *args):
    return subprocess.run([tool, *args], check=True, capture_output=True, text=True).stdout


def parse_listing(text):
    frames = []
    for line in text.splitlines():
        rel, channel, direction, ident, ext, rtr, length, *data = line.split()
        frames.append(dict(rel=int(rel), channel=int(channel), tx=direction == "Tx",
                           id=int(ident, 16), ext=ext == "1", rtr=rtr == "1",
                           length=int(length), data=bytes.fromhex(data[0] if data else "")))
    return frames


def channel_number(channel):
    if isinstance(channel, int):
        return channel
    return int(str(channel).lstrip("vcan"))


def from_messages(messages):
    first = messages[0].timestamp
    return [dict(rel=round((m.timestamp - first) * 1e6), channel=channel_number(m.channel),
                 tx=not m.is_rx, id=m.arbitration_id, ext=m.is_extended_id,
                 rtr=m.is_remote_frame, length=m.dlc,
                 data=b"" if m.is_remote_frame else bytes(m.data)) for m in messages]


def compare(label, got, expected, keeps_direction=True, keeps_remote_length=True):
    failures = []
    if len(got) != len(expected):
        failures.append(f"{label}: {len(got)} frames, expected {len(expected)}")
    for i, (g, e) in enumerate(zip(got, expected)):
        e = dict(e)
        if not keeps_direction:
            e["tx"] = False
        if not keeps_remote_length and e["rtr"]:
            e["length"] = 0
        if g != e:
            failures.append(f"{label}: frame {i}: got {g}, expected {e}")
    return failures


def to_messages(expected, base):
    return [can.Message(timestamp=base + f["rel"] / 1e6, channel=f"can{f['channel']}",
                        is_rx=not f["tx"], arbitration_id=f["id"], is_extended_id=f["ext"],
                        is_remote_frame=f["rtr"], dlc=f["length"],
                        data=None if f["rtr"] else f["data"]) for f in expected]


def main():
    tool, work = sys.argv[1], sys.argv[2]
    os.makedirs(work, exist_ok=True)
    expected = parse_listing(run(tool, "list"))
    failures = []

    # Ours -> python-can.
    ours_log = os.path.join(work, "ours.log")
    run(tool, "write", "log", ours_log)
    failures += compare("our candump log read by python-can",
                        from_messages(list(can.CanutilsLogReader(ours_log))), expected,
                        keeps_direction=False)
    ours_asc = os.path.join(work, "ours.asc")
    run(tool, "write", "asc", ours_asc)
    failures += compare("our ASC read by python-can",
                        from_messages(list(can.ASCReader(ours_asc))), expected)

    # python-can -> ours. Its candump writer marks the direction but drops a
    # remote frame's length.
    base = 1_700_000_000.0
    theirs_log = os.path.join(work, "theirs.log")
    with can.CanutilsLogWriter(theirs_log) as writer:
        for message in to_messages(expected, base):
            writer.on_message_received(message)
    failures += compare("python-can candump log read by us",
                        parse_listing(run(tool, "read", "log", theirs_log)), expected,
                        keeps_remote_length=False)
    theirs_asc = os.path.join(work, "theirs.asc")
    with can.ASCWriter(theirs_asc) as writer:
        for message in to_messages(expected, base):
            message.channel = int(message.channel[3:])
            writer.on_message_received(message)
    failures += compare("python-can ASC read by us",
                        parse_listing(run(tool, "read", "asc", theirs_asc)), expected)

    for failure in failures:
        print(failure)
    print(f"{4 - len({f.split(':')[0] for f in failures})} passed, "
          f"{len({f.split(':')[0] for f in failures})} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
