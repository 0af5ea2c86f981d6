#!/usr/bin/python3
"""The search bar in a real browser: headless Chromium with the unpacked
extension and the native host, a stand-in desktop program that records its
arguments, and a loopback "search engine".

    bar_browser_test.py QXBAR_HOST EXTENSION_DIR
"""
import base64
import hashlib
import http.server
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

CHROMIUM = "/usr/lib/chromium/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
ENGINES_START = "http://engine.example/?q=|search -1 -1\r\n"


def extension_id(extension):
    key = json.loads((extension / "manifest.json").read_text())["key"]
    digest = hashlib.sha256(base64.b64decode(key)).hexdigest()[:32]
    return digest.translate(str.maketrans("0123456789abcdef", "abcdefghijklmnop"))


def wait_for(what, condition, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError(f"timed out waiting for {what}")


def check(condition, message):
    if not condition:
        raise AssertionError(message)


class ResultPage(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        body = b"<!DOCTYPE html><title>results</title><p>results for quillex</p>"
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def main():
    host = pathlib.Path(sys.argv[1]).resolve()
    extension = pathlib.Path(sys.argv[2]).resolve()
    work = pathlib.Path(tempfile.mkdtemp(prefix="qxbar-browser-"))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), ResultPage)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    driver = None
    try:
        # The program folder: a stand-in program and an engines file.
        folder = work / "program folder"
        folder.mkdir()
        runs = folder / "runs.jsonl"
        program = folder / "quillex"
        program.write_text(
            "#!/usr/bin/python3\nimport json, sys\n"
            f"open({str(runs)!r}, 'a').write(json.dumps(sys.argv[1:]) + '\\n')\n")
        program.chmod(0o755)
        engines = folder / "engines.qeg"
        engines.write_bytes(ENGINES_START.encode())
        config = work / "config"
        (config / "Quillex").mkdir(parents=True)
        (config / "Quillex" / "Quillex.ini").write_text(f'[Main]\nPath="{folder}"\n')

        # The host registers itself; Chromium reads the manifest from its
        # user data folder.
        env = dict(os.environ, HOME=str(work / "home"), XDG_CONFIG_HOME=str(config))
        subprocess.run([str(host), "--register"], env=env, check=True, capture_output=True)
        profile = work / "profile"
        (profile / "NativeMessagingHosts").mkdir(parents=True)
        shutil.copy(config / "chromium" / "NativeMessagingHosts" / "quillex.qxbar.json",
                    profile / "NativeMessagingHosts")
        os.environ.update(HOME=env["HOME"], XDG_CONFIG_HOME=env["XDG_CONFIG_HOME"])

        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                    f"--user-data-dir={profile}", f"--load-extension={extension}",
                    f"--disable-extensions-except={extension}"):
            options.add_argument(arg)
        driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
        driver.get(f"chrome-extension://{extension_id(extension)}/popup.html")
        popup = driver.current_window_handle

        def launches():
            return [json.loads(line) for line in runs.read_text().splitlines()] if runs.exists() else []

        def history():
            # In one step: the popup redraws the list whenever it changes.
            return driver.execute_script(
                "return [...document.querySelectorAll('#history li')].map(li => li.textContent)")

        words = driver.find_element(By.ID, "words")
        wait_for("the popup to load its state", lambda: driver.execute_script(
            "return document.readyState === 'complete'"))
        words.send_keys("cats" + Keys.ENTER)
        wait_for("the first start", lambda: len(launches()) == 1)
        typed = "  red  cars "
        words.clear()
        words.send_keys(typed + Keys.ENTER)
        wait_for("the second start", lambda: len(launches()) == 2)
        check(launches()[1] == ["red  cars"], f"program started with {launches()}")
        wait_for("the words on top", lambda: history() == [typed, "cats"])
        words.send_keys(Keys.ENTER)
        wait_for("the words listed twice", lambda: history() == [typed, typed, "cats"])

        # An earlier entry from the drop-down starts again; the list stays.
        driver.find_element(By.ID, "drop").click()
        driver.find_element(By.CSS_SELECTOR, "#history li:last-child").click()
        wait_for("the earlier entry's start", lambda: len(launches()) == 4)
        check(launches()[3] == ["cats"], f"the earlier entry started {launches()[3]}")
        check(history() == [typed, typed, "cats"], f"choosing changed the list: {history()}")

        # An empty box: the empty entry goes on top, nothing starts.
        words.clear()
        words.send_keys(Keys.ENTER)
        wait_for("the message", lambda: driver.find_element(By.ID, "message").text ==
                 "No Search words entered.")
        check(history()[0] == "" and len(launches()) == 4, "an empty search started something")

        # No program where the settings point: the popup says so.
        (config / "Quillex" / "Quillex.ini").write_text(f'[Main]\nPath="{work / "gone"}"\n')
        words.send_keys("dogs" + Keys.ENTER)
        wait_for("the program's absence", lambda: driver.find_element(
            By.ID, "message").text.startswith("QuillEx could not start"))
        text = driver.find_element(By.ID, "message").text
        check(str(work / "gone" / "quillex") in text and "[Main] Path" in text, text)
        (config / "Quillex" / "Quillex.ini").write_text(f'[Main]\nPath="{folder}"\n')
        words.clear()

        # Learning: a result page for the product word becomes an engine.
        learn = driver.find_element(By.ID, "learn")
        learn.click()
        wait_for("learning on", lambda: learn.get_attribute("aria-pressed") == "true")
        base = f"http://127.0.0.1:{server.server_address[1]}"
        driver.switch_to.new_window("tab")
        driver.get(f"{base}/search?q=quillex&lang=en")
        learned = ENGINES_START + f"{base}/search?q=|search&lang=en -1 -1\r\n"
        wait_for("the learned engine", lambda: engines.read_bytes().decode() == learned)
        driver.refresh()
        time.sleep(2)
        check(engines.read_bytes().decode() == learned, "reloading the page learned again")

        driver.switch_to.window(popup)
        learn.click()
        wait_for("learning off", lambda: learn.get_attribute("aria-pressed") == "false")
        driver.switch_to.new_window("tab")
        driver.get(f"{base}/other?quillex")
        time.sleep(2)
        check(engines.read_bytes().decode() == learned, "learned with learning off")
        check(len(launches()) == 4, "navigation started the program")
        print("search bar browser test passed")
    finally:
        if driver is not None:
            driver.quit()
        server.shutdown()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
