#!/usr/bin/env python3
"""Wirelet's Win32 windows under Wine, on a private Xvfb display.

    wine_window_test.py WINE_RUN PREFIX PROBE_EXE OUT_DIR open|absent

"open" links COM1 to a pseudo-terminal of this script (the only COM name
that leads anywhere), checks the window against its control table, the typed and sent
byte at the far end, and the bytes sent from the far end shown one per tick.
"absent" starts with COM2 chosen, which leads nowhere, and checks the error
state. The probe's report and the screenshots stay in OUT_DIR.
"""
import os
import select
import subprocess
import sys
import time
import tty

# The main window's controls as the terminal's design gives them:
# x, y, width, height in client pixels, in creation order.
MAIN = [
    (25, 25, 35, 15), (15, 5, 330, 145), (155, 25, 80, 15), (25, 45, 75, 15), (155, 45, 80, 15),
    (25, 65, 120, 15), (155, 65, 80, 15), (25, 85, 55, 15), (155, 85, 80, 15), (25, 105, 85, 15),
    (155, 105, 80, 15), (25, 125, 115, 15), (155, 125, 185, 15), (250, 35, 85, 35), (50, 174, 45, 15),
    (15, 155, 330, 75), (50, 201, 45, 15), (140, 170, 30, 20), (140, 197, 30, 20), (282, 175, 30, 15),
    (175, 203, 25, 15), (245, 170, 30, 20), (245, 197, 30, 20), (175, 175, 30, 15), (282, 203, 30, 15),
    (25, 240, 105, 15), (155, 238, 40, 20), (25, 270, 110, 15), (155, 268, 42, 20), (215, 265, 75, 25),
]
MAIN_TEXTS = {0: "Порт:", 1: "Текущие настройки", 2: "COM1", 3: "Скорость Б/с:", 4: "9600",
              5: "Количесто бит данных:", 6: "8", 8: "Нет", 10: "1", 12: "Нет", 13: "Настроить порт",
              14: "DTR", 16: "RTS", 17: "0", 18: "0", 21: "0", 22: "0", 25: "Приём байта",
              27: "Передача байта", 29: "Передать"}
# The dialog's; a drop-down list's height is the closed list's, which the
# font decides, so only its x, y and width are compared.
DIALOG = [
    (20, 25, 70, 15), (160, 20, 100, None), (20, 55, 110, 15), (160, 50, 100, None), (10, 5, 280, 250),
    (20, 85, 130, 15), (160, 80, 100, None), (20, 115, 90, 15), (20, 145, 105, 15), (20, 175, 120, 15),
    (160, 110, 100, None), (160, 140, 100, None), (160, 170, 100, None), (25, 265, 80, 25), (175, 265, 80, 25),
    (20, 200, 260, 50), (30, 220, 59, 15), (95, 217, 30, 20), (150, 220, 59, 15), (215, 217, 30, 20),
]
DIALOG_TEXTS = {0: "Порт:", 1: "COM1", 3: "9600", 4: "Настрийки порта", 6: "8", 10: "Нет", 11: "1", 12: "Нет",
                13: "Ok", 14: "Отмена", 15: "Xon / Xoff", 16: "Байт \"Xon\"", 17: "11", 19: "13"}
IDLE, RECEIVED = "A0A2A4", "FF0019"

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def read_report(path):
    try:
        with open(path, encoding="utf-8") as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


def wait_for(path, predicate, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        lines = read_report(path)
        if predicate(lines):
            return lines
        time.sleep(0.05)
    return read_report(path)


def controls(lines, window):
    found = {}
    for line in lines:
        parts = line.split(" ", 7)
        if line.startswith(window + " control "):
            text = line.split("|", 1)[1][:-1]
            found[int(parts[2])] = (tuple(map(int, parts[3:7])), parts[7].split(" ")[0], text)
    return found


def check_table(lines, window, table, texts, client):
    check(f"{window} client {client[0]} {client[1]}" in lines, f"{window} client area is not {client}")
    shown = controls(lines, window)
    for i, expected in enumerate(table):
        if i not in shown:
            failures.append(f"{window} control {i} missing")
            continue
        rect = shown[i][0]
        same = all(e is None or e == r for e, r in zip(expected, rect))
        check(same, f"{window} control {i} at {rect}, table has {expected}")
    for i, text in texts.items():
        check(i in shown and shown[i][2] == text, f"{window} control {i} shows {shown.get(i, (0, 0, None))[2]!r}")
    return shown


def pin_com_ports(wine_run, prefix, out_dir, com1):
    """Wine's device manager links COM names to /dev/ttyS* again whenever
    the prefix's services start (with a new Wine server, as after a minute
    without programs); a name set in the registry is linked as set instead. An empty value is not enough (the
    name is then given to a ttyS device), and under Wine 8 a name set to a
    missing file still opens; a directory never opens as a port. So COM1
    leads to com1 when given, every other name of the terminal's list to a
    directory."""
    ports = os.path.join(out_dir, "ports.reg")
    nowhere = out_dir
    with open(ports, "w", encoding="utf-16") as f:
        f.write("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n")
        for n in range(1, 9):
            f.write(f'"COM{n}"="{com1 if n == 1 and com1 else nowhere}"\r\n')
    subprocess.run([wine_run, prefix, "reg", "import", "Z:" + ports], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def run(wine_run, prefix, probe, out_dir, scenario):
    report = os.path.join(out_dir, f"wirelet-{scenario}.txt")
    for stale in (report, report + ".stop"):
        if os.path.exists(stale):
            os.remove(stale)
    master, slave = os.openpty()
    tty.setraw(slave)
    pty = os.ttyname(slave)
    pin_com_ports(wine_run, prefix, out_dir, pty if scenario == "open" else "")
    com = ["--com", f"1={pty}"] if scenario == "open" else []
    program = subprocess.Popen([wine_run, "--xvfb", *com, prefix, probe, "Z:" + report, scenario],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        if scenario == "open":
            lines = wait_for(report, lambda l: "ready" in l or "ended 0" in l, 90)
            check("ready" in lines, "the probe never got ready")
            sent = b""
            ready, _, _ = select.select([master], [], [], 5)
            if ready:
                sent = os.read(master, 16)
            check(sent == b"\xff", f"'300' sent {sent!r}, not the byte 255")
            os.write(master, b"\x01\x16\xff")
            wait_for(report, lambda l: sum(1 for x in l if x.startswith("tick ") and "|255|" in x) >= 3, 30)
            open(report + ".stop", "w").close()
        program.wait(timeout=90)
    finally:
        if program.poll() is None:
            program.kill()
        os.close(master)
        os.close(slave)
    return read_report(report)


def settings_file_bytes(prefix, windows_path):
    """The file at a C: path of the prefix, or None."""
    if not windows_path.lower().startswith("c:"):
        return None
    parts = [p for p in windows_path[2:].split("\\") if p]
    try:
        with open(os.path.join(prefix, "drive_c", *parts), "rb") as f:
            return f.read()
    except OSError:
        return None


def check_open(lines, out_dir, prefix):
    check("title | Порт COM1 открыт|" in lines, "title is not ' Порт COM1 открыт'")
    check("beeps 0" in lines, "a beep although the port opened")
    shown = check_table(lines, "main", MAIN, MAIN_TEXTS, (362, 310))
    for i in (14, 16, 29):
        check(shown.get(i, (0, ""))[1] == "enabled", f"main control {i} is not enabled")
    check("section font |Taboha| -13 700" in lines, "section font is not Taboha, 10 pt (96 dpi), bold")
    focus = [int(line.split(" ")[1]) for line in lines if line.startswith("focus ")]
    # From the send field, Tab walks the buttons, boxes and fields in the
    # order of creation and wraps around.
    check(focus == [28, 29, 13, 14, 16, 17, 18, 21, 22, 26, 28], f"Tab order: {focus}")
    check("dialog shown" in lines, "no settings dialog on 'Настроить порт'")
    check("dialog title |Настройка Порта|" in lines, "dialog title")
    check_table(lines, "dialog", DIALOG, DIALOG_TEXTS, (305, 300))
    check("second press same dialog" in lines, "a second dialog opened")
    check("after cancel closed" in lines, "Отмена left the dialog open")
    check("reopened dialog |COM1|" in lines, "the dialog does not show the choices last applied")
    check("xon field enabled" in lines, "choosing Xon / Xoff did not enable its group")
    check("after ok closed | Порт COM1 открыт| |Программное ( Xon / Xoff )|" in lines, "Ok did not apply")
    settings = next((line[len("settings "):] for line in lines if line.startswith("settings ")), "")
    stored = settings_file_bytes(prefix, settings)
    expected = ("[Порт]\r\nПорт = 0\r\nСкорость = 11\r\nКоличество бит = 3\r\nЧётность = 2\r\n"
                "Стоп Биты = 0\r\nУправление потоком = 0\r\nБайт Xon = 11\r\nБайт Xoff = 13\r\n").encode("cp1251")
    check(stored == expected, f"Wirelet.ini after Ok holds {stored!r}")
    check("typed |300|" in lines, "typing '3x004' did not give '300'")
    check("pasted letters |300|" in lines, "pasted letters were taken")
    check("pasted past the limit |300|" in lines, "a paste went past three digits")
    check("pasted digits |45|" in lines, "pasted digits were refused")
    check("sent |300|" in lines, "the send field changed on sending")
    ticks = [line.split(" ") for line in lines if line.startswith("tick ")]
    fields = [t[2].strip("|") for t in ticks]
    start = fields.index("1") if "1" in fields else -1
    check(start >= 0 and fields[start:start + 4] == ["1", "22", "255", "255"],
          f"bytes not shown one per tick: {fields[max(start, 0):max(start, 0) + 4]}")
    if start >= 0:
        lamps = [t[3] for t in ticks[start:start + 4]]
        check(lamps == [RECEIVED, RECEIVED, RECEIVED, IDLE], f"lamp colours per tick: {lamps}")
    for name in ("main.bmp", "dialog.bmp"):
        path = os.path.join(out_dir, name)
        check(os.path.exists(path) and os.path.getsize(path) > 10000, f"no screenshot {name}")


def check_absent(lines):
    check("title | Ошибка! Порт COM2 недоступен.|" in lines, "title is not the error title for COM2")
    check("beeps 1" in lines, "not exactly one beep for the failed open")
    shown = controls(lines, "main")
    check(shown.get(2, (0, 0, ""))[2] == "COM2", "port value is not COM2")
    for i in (14, 16, 29):
        check(shown.get(i, (0, ""))[1] == "disabled", f"main control {i} is not disabled")
    check("box |Ошибка| |Выбраный порт занят или не соществует| main disabled" in lines,
          "sending without a port shows no modal error box")
    check("box closed" in lines, "the error box did not close on OK")


def main():
    wine_run, prefix, probe, out_dir, scenario = sys.argv[1:6]
    os.makedirs(out_dir, exist_ok=True)
    lines = run(wine_run, prefix, probe, os.path.abspath(out_dir), scenario)
    check("ended 0" in lines, "the program did not end normally")
    if scenario == "open":
        check_open(lines, out_dir, prefix)
    else:
        check_absent(lines)
    for f in failures:
        print("FAIL:", f)
    if failures:
        print("\n".join(lines))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
