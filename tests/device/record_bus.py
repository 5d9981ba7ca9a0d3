#!/usr/bin/env python3
"""Records a real exchange on a line as tallowick-monitor sees it, for the
replay book's fixture replay_bus.jsonl:

  tests/device/record_bus.py BUILD OUT.jsonl

mbpoll (the master) and the libmodbus slave of the tests (BUILD/tests/rtu_slave)
talk through this relay, which passes each write on after the time its bytes
take at 9600 baud and copies it into a third pty, where BUILD/src/tallowick-monitor
--json OUT.jsonl listens as it would on the wire. Needs mbpoll."""
import os, select, signal, subprocess, sys, time, tty

build, out = sys.argv[1], sys.argv[2]
slave = subprocess.Popen([f"{build}/tests/rtu_slave", "pty"], stdin=subprocess.PIPE,
                         stdout=subprocess.PIPE, text=True)
slave_fd = os.open(slave.stdout.readline().split()[1], os.O_RDWR | os.O_NOCTTY)
master_m, master_s = os.openpty()
watch_m, watch_s = os.openpty()
for fd in (slave_fd, master_s, watch_s):
    tty.setraw(fd)
monitor = subprocess.Popen([f"{build}/src/tallowick-monitor", "--json", out, os.ttyname(watch_s)],
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
time.sleep(1)


def line_time(data):
    return len(data) * 10 / 9600


def on_the_line(to, data):
    time.sleep(line_time(data))
    os.write(to, data)
    os.write(watch_m, data)


def relay(seconds):
    until = time.monotonic() + seconds
    while time.monotonic() < until:
        ready, _, _ = select.select([master_m, slave_fd], [], [], 0.05)
        for fd in ready:
            on_the_line(slave_fd if fd == master_m else master_m, os.read(fd, 512))


def poll(*args, values=()):
    cmd = ["mbpoll", "-m", "rtu", "-b", "9600", "-P", "none", "-0", "-1", "-o", "0.3", *args,
           os.ttyname(master_s), *values]
    process = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while process.poll() is None:
        relay(0.05)
    relay(0.2)


poll("-a", "1", "-r", "0", "-c", "2")             # holding 0-1: 5 0
poll("-a", "1", "-t", "0", "-r", "0", "-c", "8")  # coils 0-7: off
poll("-a", "1", "-t", "3", "-r", "0", "-c", "1")  # input 0: 5
poll("-a", "1", "-r", "1", values=["7"])          # holding 1 := 7 (06)
poll("-a", "1", "-r", "0", "-c", "2")             # holding 0-1: 5 7
poll("-a", "1", "-r", "100", "-c", "1")           # outside the slave's map: exception 02
poll("-a", "1", "-r", "0", "-c", "2")             # holding 0-1 a third time: 5 7
# The slave answers nothing after these two, so they come last.
poll("-a", "2", "-r", "0", "-c", "1")             # another unit: no reply
on_the_line(slave_fd, bytes.fromhex("0103000000010000"))  # a wrong CRC: no reply
relay(0.3)
monitor.send_signal(signal.SIGINT)
monitor.wait()
slave.stdin.close()
slave.wait()
