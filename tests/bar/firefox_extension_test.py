#!/usr/bin/python3
"""The Firefox build of the search bar in Firefox: headless Firefox ESR with a
temporary profile installs the extension as a temporary add-on (through
Marionette, Firefox's own remote protocol) and must report no warning about
its manifest, as about:debugging would show them, and run it.

    firefox_extension_test.py EXTENSION_DIR

Exits 77 (skipped) where Firefox is not installed.
"""
import json
import os
import pathlib
import shutil
import socket
import subprocess
import sys
import tempfile
import time

FIREFOX = shutil.which("firefox-esr") or shutil.which("firefox")
SKIPPED = 77

# Runs in Firefox's privileged context: the add-on's manifest warnings and
# whether its background has started.
STATE_SCRIPT = """
const policy = WebExtensionPolicy.getByID(arguments[0]);
if (!policy) return null;
return { warnings: policy.extension.warnings, active: policy.active };
"""


class Marionette:
    """A minimal client: length-prefixed JSON commands, one reply each."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=60)
        self.stream = self.sock.makefile("rb")
        self.next_id = 0
        self.read()  # the greeting

    def read(self):
        length = b""
        while (byte := self.stream.read(1)) != b":":
            if not byte:
                raise AssertionError("Marionette closed the connection")
            length += byte
        return json.loads(self.stream.read(int(length)))

    def command(self, name, params):
        self.next_id += 1
        body = json.dumps([0, self.next_id, name, params]).encode()
        self.sock.sendall(str(len(body)).encode() + b":" + body)
        _, _, error, result = self.read()
        if error:
            raise AssertionError(f"{name}: {error.get('message', error)}")
        return result.get("value") if isinstance(result, dict) else result

    def close(self):
        self.sock.close()


def wait_for_port(profile, process, seconds=90):
    port_file = profile / "MarionetteActivePort"
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise AssertionError(f"Firefox ended with status {process.returncode}")
        if port_file.exists() and port_file.read_text().strip():
            return int(port_file.read_text())
        time.sleep(0.2)
    raise AssertionError("Firefox did not start Marionette")


def main():
    if FIREFOX is None:
        print("firefox-esr is not installed: skipped")
        return SKIPPED
    extension = pathlib.Path(sys.argv[1]).resolve()
    gecko_id = json.loads((extension / "manifest.json").read_text())[
        "browser_specific_settings"]["gecko"]["id"]
    work = pathlib.Path(tempfile.mkdtemp(prefix="qxbar-firefox-"))
    profile = work / "profile"
    profile.mkdir()
    (profile / "user.js").write_text('user_pref("marionette.port", 0);\n')
    env = dict(os.environ, HOME=str(work), MOZ_HEADLESS="1")
    firefox = subprocess.Popen(
        [FIREFOX, "--headless", "--marionette", "--remote-allow-system-access", "--no-remote",
         "--profile", str(profile)],
        env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    client = None
    try:
        client = Marionette(wait_for_port(profile, firefox))
        client.command("WebDriver:NewSession", {})
        installed = client.command("Addon:Install", {"path": str(extension), "temporary": True})
        if installed != gecko_id:
            raise AssertionError(f"installed as {installed!r}, not {gecko_id!r}")
        client.command("Marionette:SetContext", {"value": "chrome"})
        state = client.command("WebDriver:ExecuteScript",
                               {"script": STATE_SCRIPT, "args": [gecko_id]})
        if state is None:
            raise AssertionError("the extension is not loaded")
        if state["warnings"]:
            raise AssertionError("Firefox warns: " + " | ".join(state["warnings"]))
        if not state["active"]:
            raise AssertionError("the extension did not start")
        print("Firefox loads the search bar without a warning")
        return 0
    finally:
        if client is not None:
            client.close()
        firefox.terminate()
        try:
            firefox.wait(timeout=30)
        except subprocess.TimeoutExpired:
            firefox.kill()
            firefox.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
