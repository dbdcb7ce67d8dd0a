"""Drives the page in headless Chromium over the DevTools protocol: real drops
of real files and files chosen in the intercepted chooser, dialogs read back
and dismissed, links clicked and the downloads compared byte for byte, and
axe-core's audits. Prints "ok CASE" or "FAILED CASE: why" per case.
Usage: page_test.py PAGE EXAMPLES WORK AXE_JS [SCREENSHOT]   (also writes
SCREENSHOT with -phone before .png: the phone's screen in German)"""
import base64, json, os, shutil, signal, struct, subprocess, sys, time
import websocket


KEYS = {"Tab": (9, ""), "Enter": (13, "\r"), "Space": (32, " ")}


class Page:
    """Chromium with the page open from file://, attached in flat mode, its
    languages set as a user sets them, its file chooser intercepted; ready
    once the status says `ready`."""

    def __init__(self, page, work, languages, ready):
        # A timeout's SIGTERM unwinds too, so the browser never outlives us.
        signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
        self.events, self.serial, self.saved = [], 0, 0
        self.idle = "document.body && !document.body.classList.contains('busy')"
        self.ready = (self.idle + " && document.getElementById('status')"
                      ".textContent === " + json.dumps(ready))
        self.folder = os.path.join(work, "downloads")
        profile = os.path.join(work, "profile")
        self.chromium = subprocess.Popen(
            ["chromium", "--headless", "--disable-gpu", "--no-first-run",
             "--disable-background-networking", "--disable-component-update",
             "--disable-sync", "--user-data-dir=" + profile,
             "--remote-debugging-port=0", "--accept-lang=" + languages, "about:blank"]
            + (["--no-sandbox"] if os.geteuid() == 0 else []),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            port_file = os.path.join(profile, "DevToolsActivePort")
            self.wait(lambda: os.path.exists(port_file) and
                      "/devtools/" in open(port_file).read(), 30, "DevTools")
            port, path = open(port_file).read().split("\n")[:2]
            self.ws = websocket.create_connection(
                f"ws://127.0.0.1:{port}{path}", suppress_origin=True, timeout=60)
            targets = self.send("Target.getTargets", session=False)["targetInfos"]
            target = next(t for t in targets if t["type"] == "page")["targetId"]
            self.session = self.send("Target.attachToTarget", {
                "targetId": target, "flatten": True}, session=False)["sessionId"]
            for domain in ("Page", "Runtime", "Network"):
                self.send(domain + ".enable")
            self.send("Page.setInterceptFileChooserDialog", {"enabled": True})
            self.send("Browser.setDownloadBehavior", {
                "behavior": "allow", "downloadPath": self.folder,
                "eventsEnabled": True}, session=False)
            self.url = "file://" + os.path.abspath(page)
            self.send("Page.navigate", {"url": self.url})
            self.wait(lambda: self.js(self.ready), 30, "the page")
        except BaseException:
            self.close()
            raise

    def send(self, method, params=None, session=True):
        self.serial += 1
        message = {"id": self.serial, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = self.session
        self.ws.send(json.dumps(message))
        while True:
            reply = json.loads(self.ws.recv())
            if reply.get("id") != self.serial:
                self.events.append(reply)
            elif "error" in reply:
                raise RuntimeError(f"{method}: {reply['error']}")
            else:
                return reply["result"]

    def js(self, expression):
        result = self.send("Runtime.evaluate", {"expression": expression,
                           "returnByValue": True, "awaitPromise": True})
        if "exceptionDetails" in result:
            raise RuntimeError(result["exceptionDetails"]["text"])
        return result["result"].get("value")

    def wait(self, condition, seconds, what):
        end = time.time() + seconds
        while not condition():
            if time.time() > end:
                raise RuntimeError("timed out waiting for " + what)
            time.sleep(0.02)

    def drop(self, paths):
        data = {"items": [], "files": paths, "dragOperationsMask": 1}
        x, y = self.js("[innerWidth / 2, innerHeight - 20]")
        for kind in ("dragEnter", "dragOver", "drop"):
            self.send("Input.dispatchDragEvent", {"type": kind, "x": x, "y": y,
                      "data": data})

    def dialog(self, seconds=30):
        """The open dialog's name and description, as its ARIA references
        give them, and its focused button."""
        self.wait(lambda: self.js("document.getElementById('notice').open"),
                  seconds, "a dialog")
        return self.js("(d => ['aria-labelledby', 'aria-describedby'].map(a => "
                       "document.getElementById(d.getAttribute(a)).innerText))("
                       "document.getElementById('notice')).concat("
                       "document.activeElement.textContent)")

    def box(self, selector):
        return self.js(f"(r => [r.x + r.width / 2, r.y + r.height / 2, r.width, "
                       f"r.height, r.bottom])(document.querySelector("
                       f"{json.dumps(selector)}).getBoundingClientRect())")

    def click(self, selector):
        x, y = self.box(selector)[:2]
        for kind in ("mouseMoved", "mousePressed", "mouseReleased"):
            self.send("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y,
                      "button": "left", "clickCount": 1})

    def dismiss(self, by_click=False):
        """Presses Enter or clicks OK; returns once the dialog has closed."""
        self.js("window.closed = new Promise(r => document.getElementById("
                "'notice').addEventListener('close', r, {once: true})); 0")
        if by_click:
            self.click("#notice button")
        else:
            self.key("Enter")
        self.js("window.closed")

    def key(self, name, modifiers=0):  # 8: Shift
        code, text = KEYS[name]
        key = {"key": name.replace("Space", " "), "code": name,
               "windowsVirtualKeyCode": code, "modifiers": modifiers}
        self.send("Input.dispatchKeyEvent", dict(key, type="keyDown", text=text)
                  if text else dict(key, type="rawKeyDown"))
        self.send("Input.dispatchKeyEvent", dict(key, type="keyUp"))

    def tap(self, selector):
        x, y = self.box(selector)[:2]
        for kind, points in (("touchStart", [{"x": x, "y": y}]), ("touchEnd", [])):
            self.send("Input.dispatchTouchEvent", {"type": kind, "touchPoints": points})

    def choose(self, paths):
        """Answers the file chooser the page opened; [] cancels it."""
        def opened():
            self.js("0")  # takes in the events sent meanwhile
            return [e for e in self.events if e.get("method") == "Page.fileChooserOpened"]
        self.wait(opened, 10, "the file chooser")
        event = opened()[0]
        self.events.remove(event)
        self.send("DOM.setFileInputFiles", {
            "files": paths, "backendNodeId": event["params"]["backendNodeId"]})

    def audit(self, axe):
        """axe-core's violations of WCAG 2.2 A and AA and its best practices."""
        if not self.js("!!window.axe"):
            self.js(open(axe).read() + ";0")
        return self.js("axe.run(document, {runOnly: ['wcag2a', 'wcag2aa', 'wcag21a', "
                       "'wcag21aa', 'wcag22aa', 'best-practice']}).then(r => r.violations"
                       ".map(v => v.id + ': ' + v.nodes.map(n => n.target).join(' ')))")

    def links(self, seconds=30):
        """The download links as [name, line], once the page is ready again."""
        self.wait(lambda: self.js(self.idle), seconds, "the links")
        return self.js("[...document.querySelectorAll('#outputs li')].map(li => "
                       "[li.querySelector('a').download, li.innerText])")

    def download(self, index, seconds=60, by_key=False):
        """Clicks the link, or presses Enter on it; the saved file's path once
        the browser is done."""
        name = self.js(f"document.querySelectorAll('#outputs a')[{index}].download")
        if by_key:
            self.key("Enter")
        else:
            self.click(f"#outputs li:nth-child({index + 1}) a")
        def ends():
            self.js("0")  # takes in the events sent meanwhile
            return [e["params"]["state"] for e in self.events
                    if e.get("method") == "Browser.downloadProgress"
                    and e["params"]["state"] != "inProgress"][self.saved:]
        self.wait(ends, seconds, "a download")
        state = ends()[0]
        self.saved += 1
        if state != "completed":
            raise RuntimeError("download " + state)
        return os.path.join(self.folder, name)

    def screenshot(self, path):
        self.send("Page.captureScreenshot")  # settles the layout first
        shot = self.send("Page.captureScreenshot", {"format": "png"})["data"]
        open(path, "wb").write(base64.b64decode(shot))

    def close(self):
        self.chromium.terminate()
        self.chromium.wait()


def main(page_file, examples, work, axe, screenshot=None):
    ex = lambda name: os.path.join(examples, name)
    read = lambda path: open(path, "rb").read()
    given = os.path.join(work, "given")
    os.makedirs(os.path.join(given, "folder.fnt"))
    for source, name in (("sample.fnt", "sample.fnt"), ("sample.pcx", "glyphs.pcx"),
                         ("sample.txt", "名前.txt"), ("sample.txt", "notes.doc")):
        shutil.copy(ex(source), os.path.join(given, name))
    # A container whose text runs 3 MiB past its end, and members of 1 GiB in
    # files that take no room.
    header = lambda image, text: b"ElecbyteFnt\0" + struct.pack(
        "<5I", 256, 64, image, 64 + image, text) + bytes(32)
    for name, head, size in (("short.fnt", header(5, 3 << 20) + b"imagetext", None),
                             ("large.fnt", header(1 << 30, 1 << 30), 64 + (2 << 30)),
                             ("large.pcx", b"", 1 << 30), ("large.txt", b"", 1 << 30)):
        with open(os.path.join(given, name), "wb") as f:
            f.write(head)
            f.truncate(size)
    at = lambda *names: [os.path.join(given, n) for n in names]
    warning, confirm = "警告", "確認"  # the notices' captions
    page = Page(page_file, work, "ja", "準備完了")  # the documents' texts

    def expect(got, wanted):
        if got != wanted:
            raise AssertionError(f"{repr(got)[:300]}, expected {repr(wanted)[:300]}")

    def notice(caption, text, by_click=False):  # the dialog up, then dismissed
        expect(page.dialog(), [caption, text, "OK"])
        page.dismiss(by_click)

    def keyboard():
        """keys: chosen as dropped, cancel does nothing; axe"""
        audits = [page.audit(axe)]  # the fresh page
        for _ in range(3):
            if page.js("document.activeElement.id") != "choose":
                page.key("Tab")
        page.key("Enter")
        page.choose(at("名前.txt", "glyphs.pcx"))  # named after the second
        expect(page.dialog(), [confirm, "結合を完了しました", "OK"])
        audits.append(page.audit(axe))
        page.dismiss()
        expect(page.links(), [["glyphs.fnt", "glyphs.fnt (1,129 バイト)"]])
        audits.append(page.audit(axe))
        page.key("Tab")
        expect(read(page.download(0, by_key=True)), read(ex("sample.fnt")))
        page.key("Tab", 8)
        page.key("Space")
        page.choose([])
        time.sleep(0.5)
        expect([page.js("[document.getElementById('notice').open, "
                        "document.getElementById('status').textContent]"),
                page.links(), audits],
               [[False, "結合を完了しました"], [["glyphs.fnt", "glyphs.fnt (1,129 バイト)"]],
                [[], [], []]])

    def split():
        """split, links, downloads; a short member padded with zeros"""
        for base, members in (("short", [b"image", b"text" + bytes((3 << 20) - 4)]),
                              ("sample", [read(ex("sample.pcx")), read(ex("sample.txt"))])):
            page.drop(at(base + ".fnt"))
            notice(confirm, "分割を完了しました")
            expect(page.links(), [[base + kind, f"{base}{kind} ({len(m):,} バイト)"]
                                  for kind, m in zip((".pcx", ".txt"), members)])
            expect([read(page.download(i)) for i in range(2)], members)
        if screenshot:
            page.screenshot(screenshot)

    def join():
        """join named after the second file"""
        page.drop(at("glyphs.pcx", "名前.txt"))
        notice(confirm, "結合を完了しました", by_click=True)
        expect(page.links(), [["名前.fnt", "名前.fnt (1,129 バイト)"]])
        expect(read(page.download(0)), read(ex("sample.fnt")))

    def large():
        """a split and a join of 1 GiB members read none of them"""
        page.js("window.read = 0; for (const f of ['arrayBuffer', 'stream', 'text', 'bytes']) {"
                " const g = Blob.prototype[f]; Blob.prototype[f] = function (...a) {"
                " read += this.size; return g.apply(this, a); }; } 0")
        for drop, done in (["large.fnt"], "分割"), (["large.pcx", "large.txt"], "結合"):
            page.drop(at(*drop))
            notice(confirm, done + "を完了しました")
            links = page.links()  # the next drop only once the page is ready
        expect([links, page.js("read") < 4096],
               [[["large.fnt", "large.fnt (2,147,483,712 バイト)"]], True])

    def refusal():
        """refusal: one dialog at a time"""
        page.drop(at("notes.doc", "sample.fnt"))
        text = "取り扱えるファイルではありません\nfntファイルはひとつずつドロップして下さい"
        expect(page.dialog(), [warning, text, "OK"])
        page.drop(at("sample.fnt"))  # taken by no one while a dialog is up
        page.dismiss()
        notice(warning, text)
        expect([page.links(), page.js("location.href")], [[], page.url])

    def stop():
        """stop dialog names the file"""
        page.drop(at("folder.fnt"))
        notice("Tarnvell", "folder.fnt: 開く: ファイルではなくフォルダーです")
        expect(page.links(), [])

    def offline():
        """no request beyond the page"""
        urls = {e["params"]["request"]["url"] for e in page.events
                if e.get("method") == "Network.requestWillBeSent"}
        expect({u for u in urls if not u.startswith(("data:", "blob:"))}, {page.url})
        expect([e["params"]["exceptionDetails"]["text"] for e in page.events
                if e.get("method") == "Runtime.exceptionThrown"], [])

    def german():
        """German texts and stops; a phone's tap; axe"""
        os.makedirs(os.path.join(work, "de"))
        de = Page(page_file, os.path.join(work, "de"), "de-DE,de", "Bereit")
        try:
            de.send("Emulation.setDeviceMetricsOverride", {
                "width": 390, "height": 844, "deviceScaleFactor": 3, "mobile": True})
            de.send("Emulation.setTouchEmulationEnabled", {"enabled": True})
            expect(de.js("[document.documentElement.lang, document.querySelector"
                         "('main p').textContent, document.getElementById('choose')"
                         ".textContent, innerWidth - document.documentElement.scrollWidth]"),
                   ["de", "Dateien irgendwo auf dieser Seite ablegen oder mit der "
                    "Schaltfläche auswählen: eine .fnt, um sie aufzuteilen, oder eine "
                    ".pcx und eine .txt zusammen, um sie zusammenzufügen.",
                    "Dateien auswählen", 0])
            width, height, bottom = de.box("#choose")[2:]
            expect([width >= 44, height >= 44, bottom <= 844], [True] * 3)
            audits = [de.audit(axe)]
            de.tap("#choose")
            de.choose(at("notes.doc"))
            expect(de.dialog(), ["Warnung", "Das ist keine fnt-Datei.\nZum Zusammen"
                                 "fügen die pcx- und die txt-Datei gemeinsam ablegen.", "OK"])
            audits.append(de.audit(axe))
            de.dismiss()
            de.links()  # ready again
            de.drop(at("folder.fnt"))
            expect(de.dialog(), ["Tarnvell", "folder.fnt: Öffnen: ein Ordner, keine Datei", "OK"])
            de.dismiss()
            de.links()
            de.drop(at("sample.fnt"))
            expect(de.dialog()[0], "Hinweis")
            de.dismiss()
            expect([de.links()[0], audits + [de.audit(axe)]],
                   [["sample.pcx", "sample.pcx (989 Bytes)"], [[], [], []]])
            if screenshot:  # the phone's first screen, in German
                de.screenshot(screenshot.replace(".png", "-phone.png"))
        finally:
            de.close()

    ok = True
    try:
        for case in (keyboard, split, join, large, refusal, stop, offline, german):
            try:  # one failing case does not hide the others
                case()
                print("ok", case.__doc__, flush=True)
            except Exception as e:
                ok = False
                print(f"FAILED {case.__doc__}: {e!r}", flush=True)
    finally:
        page.close()
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:6]))
