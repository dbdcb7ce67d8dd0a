"""Drives the page in headless Chromium over the DevTools protocol: real drops
of real files, dialogs read back and dismissed, links clicked with the mouse
and the downloads compared byte for byte. Prints "ok NAME" or "FAILED NAME:
why" per case. Usage: page_test.py PAGE EXAMPLES WORK [SCREENSHOT]"""
import filecmp, json, os, shutil, struct, subprocess, sys, time
import websocket


class Page:
    """Chromium with the page open from file://, attached in flat mode."""

    def __init__(self, page, work):
        self.work, self.downloads, self.events, self.serial = work, [], [], 0
        profile = os.path.join(work, "profile")
        self.folder = os.path.join(work, "downloads")
        os.makedirs(self.folder, exist_ok=True)
        port_file = os.path.join(profile, "DevToolsActivePort")
        if os.path.exists(port_file):
            os.remove(port_file)  # an earlier browser's
        self.chromium = subprocess.Popen(
            ["chromium", "--headless", "--disable-gpu", "--no-first-run",
             "--disable-background-networking", "--disable-component-update",
             "--disable-sync", "--user-data-dir=" + profile,
             "--remote-debugging-port=0", "--window-size=800,600", "about:blank"]
            + (["--no-sandbox"] if os.geteuid() == 0 else []),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            self.attach(page, port_file)
        except BaseException:
            self.close()
            raise

    def attach(self, page, port_file):
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
        self.send("Browser.setDownloadBehavior", {
            "behavior": "allow", "downloadPath": self.folder,
            "eventsEnabled": True}, session=False)
        self.url = "file://" + os.path.abspath(page)
        self.send("Page.navigate", {"url": self.url})
        self.wait(lambda: self.js("document.getElementById('status')?"
                                  ".textContent.includes('Ready')"), 30, "the page")

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
        """The open dialog's heading and text, once one is open."""
        self.wait(lambda: self.js("document.getElementById('notice').open"),
                  seconds, "a dialog")
        return self.js("[...document.querySelectorAll('#notice h2, #notice p')]"
                       ".map(e => e.innerText).concat(document.activeElement"
                       ".textContent)")

    def click(self, selector):
        x, y = self.js(f"(r => [r.x + r.width / 2, r.y + r.height / 2])("
                       f"document.querySelector({json.dumps(selector)})"
                       ".getBoundingClientRect())")
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
            key = {"key": "Enter", "code": "Enter", "windowsVirtualKeyCode": 13}
            self.send("Input.dispatchKeyEvent", dict(key, type="keyDown", text="\r"))
            self.send("Input.dispatchKeyEvent", dict(key, type="keyUp"))
        self.js("window.closed")

    def links(self, seconds=30):
        """The offered downloads as (name, line), once the page is ready."""
        self.wait(lambda: self.js("document.getElementById('status').textContent"
                                  ".includes('Ready')"), seconds, "the links")
        return self.js("[...document.querySelectorAll('#outputs li')].map(li => "
                       "[li.querySelector('a').download, li.innerText])")

    def download(self, index, seconds=60):
        """Clicks the link and returns the saved file's path."""
        self.click(f"#outputs li:nth-child({index + 1}) a")
        def done():
            self.send("Runtime.evaluate", {"expression": "0"})  # collects events
            return any(e.get("method") == "Browser.downloadProgress" and
                       e["params"]["state"] != "inProgress" and
                       e["params"]["guid"] not in self.downloads for e in self.events)
        self.wait(done, seconds, "a download")
        event = next(e["params"] for e in self.events if e.get("method") ==
                     "Browser.downloadProgress" and e["params"]["state"] !=
                     "inProgress" and e["params"]["guid"] not in self.downloads)
        self.downloads.append(event["guid"])
        if event["state"] != "completed":
            raise RuntimeError("download " + event["state"])
        return event.get("filePath") or os.path.join(self.folder, self.js(
            f"document.querySelectorAll('#outputs a')[{index}].download"))

    def close(self):
        self.chromium.terminate()
        self.chromium.wait()


def main(page_file, examples, work):
    ex = lambda name: os.path.join(examples, name)
    given = os.path.join(work, "given")
    os.makedirs(os.path.join(given, "folder.fnt"))
    for source, name in (("sample.fnt", "sample.fnt"), ("sample.pcx", "glyphs.pcx"),
                         ("sample.txt", "名前.txt"), ("sample.txt", "notes.doc")):
        shutil.copy(ex(source), os.path.join(given, name))
    # A container whose text runs 3 MiB past its end: the split pads it.
    head = b"ElecbyteFnt\0" + struct.pack("<5I", 256, 64, 5, 69, 3 << 20) + bytes(32)
    open(os.path.join(given, "short.fnt"), "wb").write(head + b"imagetext")
    at = lambda *names: [os.path.join(given, n) for n in names]
    page = Page(page_file, work)
    warning, confirm = "警告", "確認"
    ok = True

    def case(name, check):
        nonlocal ok
        try:
            check()
            print("ok", name, flush=True)
        except Exception as e:  # one failing case does not hide the others
            ok = False
            print(f"FAILED {name}: {e!r}", flush=True)

    def expect(got, wanted):
        if got != wanted:
            raise AssertionError(f"{repr(got)[:300]}, expected {repr(wanted)[:300]}")

    def split():
        page.drop(at("sample.fnt"))
        expect(page.dialog(), [confirm, "分割を完了しました", "OK"])
        page.dismiss()
        expect(page.links(), [["sample.pcx", "sample.pcx (989 bytes)"],
                              ["sample.txt", "sample.txt (76 bytes)"]])
        for i, name in enumerate(("sample.pcx", "sample.txt")):
            expect(filecmp.cmp(page.download(i), ex(name), shallow=False), True)
        if len(sys.argv) > 4:
            page.send("Page.captureScreenshot")  # settles the layout first
            shot = page.send("Page.captureScreenshot", {"format": "png"})["data"]
            open(sys.argv[4], "wb").write(__import__("base64").b64decode(shot))

    def split_pads_with_zeros():
        page.drop(at("short.fnt"))
        expect(page.dialog(), [confirm, "分割を完了しました", "OK"])
        page.dismiss()
        expect([name for name, _ in page.links()], ["short.pcx", "short.txt"])
        expect([open(page.download(i), "rb").read() for i in range(2)],
               [b"image", b"text" + bytes((3 << 20) - 4)])

    def join_after_second():
        page.drop(at("glyphs.pcx", "名前.txt"))
        expect(page.dialog(), [confirm, "結合を完了しました", "OK"])
        page.dismiss(by_click=True)
        expect(page.links(), [["名前.fnt", "名前.fnt (1,129 bytes)"]])
        expect(filecmp.cmp(page.download(0), ex("sample.fnt"), shallow=False), True)

    def refusal_one_dialog_at_a_time():
        page.drop(at("notes.doc", "sample.fnt"))
        text = "取り扱えるファイルではありません\nfntファイルはひとつずつドロップして下さい"
        expect(page.dialog(), [warning, text, "OK"])
        page.drop(at("sample.fnt"))  # taken by no one while a dialog is up
        page.dismiss()
        expect(page.dialog(), [warning, text, "OK"])
        page.dismiss()
        expect(page.links(), [])
        expect(page.js("location.href"), page.url)

    def stop_names_the_file():
        page.drop(at("folder.fnt"))
        expect(page.dialog(), ["Tarnvell", "folder.fnt: a folder, not a file", "OK"])
        page.dismiss()
        expect(page.links(), [])

    def nothing_but_the_page():
        requests = {e["params"]["request"]["url"] for e in page.events
                    if e.get("method") == "Network.requestWillBeSent"}
        expect({u for u in requests if not u.startswith(("data:", "blob:"))},
               {page.url})
        expect([e["params"]["exceptionDetails"]["text"] for e in page.events
                if e.get("method") == "Runtime.exceptionThrown"], [])

    try:
        for name, check in (("split, links, downloads", split),
                            ("split pads a short member with zeros", split_pads_with_zeros),
                            ("join named after the second file", join_after_second),
                            ("refusal: one dialog at a time", refusal_one_dialog_at_a_time),
                            ("stop dialog names the file", stop_names_the_file),
                            ("no request beyond the page", nothing_but_the_page)):
            case(name, check)
    finally:
        page.close()
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
