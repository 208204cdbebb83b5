#!/usr/bin/python3
"""Start-up benchmark: folioPage on a 300-chapter Book image against the ZIM reader
kiwix-desktop on the same chapters as a ZIM file, side by side in one run under Xvfb.

usage: bench.py [--dist build/dist/folioMake] [--chapters 300] [--runs 5] [--settle 3]
                [--work DIR] [--flags-off] [--visible]

For each program and run, in turn (folioPage, kiwix, folioPage, kiwix ...):
  - launch to first page: folioPage is started with FOLIO_REPORT_FIRST_PAGE=1 and prints, when
    its page pane has finished loading the first page, the milliseconds since the kernel
    started the process; the script also notes when that line arrives (its own clock from just
    before the launch). kiwix-desktop gives no such sign: the script polls the X server with
    xdotool for a window whose title starts with the first chapter's title, which the reader
    sets from the page once the page has loaded; that time is from just before the launch.
  - memory: --settle seconds after the first page, the resident memory (VmRSS) of the program
    and every process it started, summed over the process tree from /proc, and the same for
    the proportional set size (Pss, shared pages divided among the processes sharing them).
Each program starts with a fresh HOME and XDG folders, so neither reuses a cache of an earlier
run; the files themselves are in the page cache after the first run of each. The medians are
printed, with the ratios folioPage/kiwix.

--visible also times, for folioPage, when the first page can be seen: the script reads the
X server's pixels of the middle of the page pane every few ms (libX11 through ctypes) until
dark text stands on the white page, so a page reported loaded but not yet drawn would show.

--flags-off starts folioPage with its browser process flags switched off (the user's own
QTWEBENGINE_CHROMIUM_FLAGS are honoured, so a harmless flag stands in), to measure what they
bring.

Needs the packages of bench/startup/install-deps.sh (kiwix, python3-libzim, xvfb, xdotool).
"""
import argparse
import ctypes
import importlib.util
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))


def compile_bench():
    spec = importlib.util.spec_from_file_location(
        "compile_bench", os.path.join(REPO, "bench", "compile", "bench.py"))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def write_contents(folder, n):
    """The contents page of the book (tree.html): one link per chapter, as a maker's
    generated contents page has."""
    links = "".join('<li><a href="chapter%05d.html" target="main">第%d章</a></li>\r\n' % (i, i)
                    for i in range(1, n + 1))
    html = ("<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
            "charset=gb2312\">\r\n<title>目录</title>\r\n</head>\r\n<body>\r\n<ul>\r\n%s</ul>\r\n"
            "</body>\r\n</html>\r\n") % links
    with open(os.path.join(folder, "tree.html"), "wb") as f:
        f.write(html.encode("cp936"))


def process_tree(root):
    """The pid `root` and every process descending from it."""
    children = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % name, "rb") as f:
                stat = f.read()
        except OSError:
            continue
        ppid = int(stat[stat.rindex(b")") + 2:].split()[1])
        children.setdefault(ppid, []).append(int(name))
    tree, todo = [], [root]
    while todo:
        pid = todo.pop()
        tree.append(pid)
        todo.extend(children.get(pid, []))
    return tree


def memory_kb(pids):
    """Summed VmRSS and Pss of `pids`, in kB, and how many of them were counted."""
    rss = pss = counted = 0
    for pid in pids:
        try:
            with open("/proc/%d/status" % pid) as f:
                for line in f:
                    if line.startswith("VmRSS:"):
                        rss += int(line.split()[1])
            with open("/proc/%d/smaps_rollup" % pid) as f:
                for line in f:
                    if line.startswith("Pss:"):
                        pss += int(line.split()[1])
            counted += 1
        except OSError:
            continue
    return rss, pss, counted


def stop_tree(proc):
    pids = process_tree(proc.pid)
    for sig in (signal.SIGTERM, signal.SIGKILL):
        for pid in pids:
            try:
                os.kill(pid, sig)
            except OSError:
                pass
        try:
            proc.wait(timeout=5)
            break
        except subprocess.TimeoutExpired:
            continue
    time.sleep(0.3)


def fresh_env(base, display, home):
    env = dict(base)
    for sub in ("config", "cache", "data", "runtime"):
        os.makedirs(os.path.join(home, sub), exist_ok=True)
    os.chmod(os.path.join(home, "runtime"), 0o700)
    env.update({"DISPLAY": display, "HOME": home,
                "XDG_CONFIG_HOME": os.path.join(home, "config"),
                "XDG_CACHE_HOME": os.path.join(home, "cache"),
                "XDG_DATA_HOME": os.path.join(home, "data"),
                "XDG_RUNTIME_DIR": os.path.join(home, "runtime")})
    if os.geteuid() == 0:
        env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
    return env


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int),
                ("red_mask", ctypes.c_ulong), ("green_mask", ctypes.c_ulong),
                ("blue_mask", ctypes.c_ulong), ("obdata", ctypes.c_void_p),
                ("destroy_image", ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p))]


def window_geometry(display, prefix):
    """x, y, width, height of the first window whose title starts with `prefix`, or None."""
    env = dict(os.environ, DISPLAY=display)
    found = subprocess.run(["xdotool", "search", "--name", "^" + prefix], env=env,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    for window in found.stdout.split():
        shell = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        g = dict(line.split("=", 1) for line in shell.stdout.split() if "=" in line)
        if int(g.get("WIDTH", 0)) > 200:
            return int(g["X"]), int(g["Y"]), int(g["WIDTH"]), int(g["HEIGHT"])
    return None


def shows_text(xlib, dpy, x, y, w, h):
    """Whether the screen rectangle is mostly white with dark text on it (24-bit TrueColor)."""
    xlib.XGetImage.restype = ctypes.POINTER(XImage)
    image = xlib.XGetImage(dpy, xlib.XDefaultRootWindow(dpy), x, y, w, h,
                           ctypes.c_ulong(0xffffffff), 2)
    if not image:
        return False
    im = image.contents
    pixels = memoryview(ctypes.string_at(im.data, im.bytes_per_line * h)).cast("I")
    im.destroy_image(ctypes.cast(image, ctypes.c_void_p))
    white = dark = 0
    for v in pixels:
        v &= 0xffffff
        if v == 0xffffff:
            white += 1
        elif (v >> 16) < 80 and ((v >> 8) & 255) < 80 and (v & 255) < 80:
            dark += 1
    return white > len(pixels) // 2 and dark > len(pixels) // 200


def watch_visible(display, start, title, result, stop, timeout=60):
    """Sets result[0] to the ms from `start` at which the window titled `title` shows dark
    text on white in the middle of its page pane (the right of the window below the
    toolbars)."""
    xlib = ctypes.CDLL("libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    xlib.XDefaultRootWindow.restype = ctypes.c_ulong
    xlib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                               ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = xlib.XOpenDisplay(display.encode())
    try:
        geometry = None
        while not stop.is_set() and time.perf_counter() - start < timeout:
            geometry = geometry or window_geometry(display, title)
            if geometry:
                x, y, w, h = geometry
                if shows_text(xlib, dpy, x + w * 2 // 5, y + h // 3, w // 4, h // 4):
                    result[0] = (time.perf_counter() - start) * 1000
                    return
            time.sleep(0.003)
    finally:
        xlib.XCloseDisplay(dpy)


def run_folio(reader, book, env, settle, visible=False, timeout=60):
    start = time.perf_counter()
    proc = subprocess.Popen([reader, book], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE)
    internal = external = None
    seen, stop = [None], threading.Event()
    if visible:
        watcher = threading.Thread(target=watch_visible,
                                   args=(env["DISPLAY"], start, "folioPage-", seen, stop))
        watcher.start()
    try:
        deadline = start + timeout
        while time.perf_counter() < deadline:
            line = proc.stderr.readline()
            if not line:
                break
            if line.startswith(b"folio: first page"):
                external = (time.perf_counter() - start) * 1000
                internal = float(line.split()[-2])
                break
        if internal is None:
            raise RuntimeError("folioPage never reported its first page")
        # Keep reading its error output so the program never blocks on a full pipe.
        subprocess.Popen(["cat"], stdin=proc.stderr, stdout=subprocess.DEVNULL)
        time.sleep(settle)
        rss, pss, count = memory_kb(process_tree(proc.pid))
    finally:
        stop.set()
        if visible:
            watcher.join()
        stop_tree(proc)
    return internal, external, rss, pss, count, seen[0]


def window_titled(display, prefix):
    found = subprocess.run(["xdotool", "search", "--name", "^" + prefix],
                           env=dict(os.environ, DISPLAY=display), stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL)
    return found.returncode == 0 and found.stdout.strip() != b""


def run_kiwix(zim, env, display, title, settle, timeout=60):
    start = time.perf_counter()
    proc = subprocess.Popen(["kiwix-desktop", zim], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    external = None
    try:
        while time.perf_counter() - start < timeout:
            if window_titled(display, title):
                external = (time.perf_counter() - start) * 1000
                break
            time.sleep(0.01)
        if external is None:
            raise RuntimeError("kiwix-desktop never showed the first chapter")
        time.sleep(settle)
        rss, pss, count = memory_kb(process_tree(proc.pid))
    finally:
        stop_tree(proc)
    return external, rss, pss, count


def free_display():
    for n in range(90, 200):
        if not os.path.exists("/tmp/.X11-unix/X%d" % n) and not os.path.exists("/tmp/.X%d-lock" % n):
            return ":%d" % n
    sys.exit("bench: no free X display")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dist", default=os.path.join(REPO, "build", "dist", "folioMake"))
    ap.add_argument("--chapters", type=int, default=300)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--settle", type=float, default=3.0)
    ap.add_argument("--work", default=None)
    ap.add_argument("--flags-off", action="store_true")
    ap.add_argument("--visible", action="store_true")
    args = ap.parse_args()

    folio = os.path.join(args.dist, "folio")
    reader = os.path.join(args.dist, "folioPage", "folioPage")
    for program in (folio, reader):
        if not os.access(program, os.X_OK):
            sys.exit("bench: %s is not built" % program)
    for tool in ("kiwix-desktop", "Xvfb", "xdotool"):
        if not shutil.which(tool):
            sys.exit("bench: %s is missing (bench/startup/install-deps.sh)" % tool)

    work = args.work or tempfile.mkdtemp(prefix="folio_startup_")
    os.makedirs(work, exist_ok=True)
    n = args.chapters
    folder = compile_bench().make_project(work, n, os.path.join(REPO, "data", "Book",
                                                                "cover.png"))
    write_contents(folder, n)
    out = os.path.join(work, "out")
    os.makedirs(out, exist_ok=True)
    subprocess.run([folio, "compile", folder, "--out", out, "--maker", args.dist, "--date",
                    "2026-12-08"], check=True, stdout=subprocess.DEVNULL)
    book = os.path.join(out, "Bench%d.exe" % n)
    zim = os.path.join(work, "Bench%d.zim" % n)
    subprocess.run([sys.executable, os.path.join(HERE, "make_zim.py"), folder, zim, "--main",
                    "chapter00001.html", "--title", "Bench%d" % n], check=True,
                   stdout=subprocess.DEVNULL)
    print("book %s: %d bytes; ZIM %s: %d bytes" % (os.path.basename(book), os.path.getsize(book),
                                                  os.path.basename(zim), os.path.getsize(zim)))

    display = free_display()
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x900x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(1.0)
        base = dict(os.environ, FOLIO_REPORT_FIRST_PAGE="1")
        # kiwix-desktop always starts as it would for its user: the stand-in flag is
        # folioPage's only.
        kiwix_base = dict(base)
        if args.flags_off:
            base["QTWEBENGINE_CHROMIUM_FLAGS"] = "--no-default-browser-check"
        folio_runs, kiwix_runs = [], []
        for run in range(args.runs):
            home = os.path.join(work, "home-folio-%d" % run)
            folio_runs.append(run_folio(reader, book, fresh_env(base, display, home),
                                        args.settle, args.visible))
            home = os.path.join(work, "home-kiwix-%d" % run)
            kiwix_runs.append(run_kiwix(zim, fresh_env(kiwix_base, display, home), display, "第1章",
                                        args.settle))
            f, k = folio_runs[-1], kiwix_runs[-1]
            seen = "" if not args.visible else (
                " visible %6.0f ms" % f[5] if f[5] is not None else " never seen")
            print("run %d: folioPage %6.0f ms (own clock %6.0f ms%s) %7.1f MB RSS %7.1f MB PSS "
                  "%d processes | kiwix %6.0f ms %7.1f MB RSS %7.1f MB PSS %d processes"
                  % (run + 1, f[1], f[0], seen, f[2] / 1024, f[3] / 1024, f[4], k[0],
                     k[1] / 1024, k[2] / 1024, k[3]))
    finally:
        xvfb.terminate()
        xvfb.wait()

    med = lambda rows, i: statistics.median(r[i] for r in rows)
    f_ext, f_int, f_rss, f_pss = (med(folio_runs, 1), med(folio_runs, 0), med(folio_runs, 2),
                                  med(folio_runs, 3))
    k_ext, k_rss, k_pss = med(kiwix_runs, 0), med(kiwix_runs, 1), med(kiwix_runs, 2)
    print("median of %d runs, %d chapters%s:" % (args.runs, n,
                                                 " (folioPage flags off)" if args.flags_off else ""))
    print("  launch to first page: folioPage %.0f ms (own clock %.0f ms), kiwix %.0f ms, "
          "folioPage/kiwix %.2f" % (f_ext, f_int, k_ext, f_ext / k_ext))
    seen = [r[5] for r in folio_runs if r[5] is not None]
    if args.visible:
        print("  folioPage's page seen on the screen: %s (in %d of %d runs)"
              % ("%.0f ms" % statistics.median(seen) if seen else "never", len(seen),
                 len(folio_runs)))
    print("  resident memory:      folioPage %.1f MB, kiwix %.1f MB, folioPage/kiwix %.2f"
          % (f_rss / 1024, k_rss / 1024, f_rss / k_rss))
    print("  proportional (Pss):   folioPage %.1f MB, kiwix %.1f MB, folioPage/kiwix %.2f"
          % (f_pss / 1024, k_pss / 1024, f_pss / k_pss))
    if not args.work:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
