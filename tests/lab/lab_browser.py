"""The lab page in headless chromium, for the browser test, the benchmark and
the screenshot: serves the built site on a free local port and drives the
page over WebDriver."""

import contextlib
import functools
import http.server
import os
import shutil
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.common.exceptions import WebDriverException
from selenium.webdriver.common.by import By


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map,
                          **{'.wasm': 'application/wasm', '.js': 'text/javascript'})

    def log_message(self, *args):
        pass


@contextlib.contextmanager
def serve(site):
    handler = functools.partial(QuietHandler, directory=site)
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    try:
        yield 'http://127.0.0.1:%d/' % server.server_address[1]
    finally:
        server.shutdown()
        server.server_close()


# Times in all a chromium that did not start is started.
START_ATTEMPTS = 3


def start_chromium(options):
    """Chromium under its driver. A start that fails for reasons of its own
    (the browser crashing before the driver reaches it) is tried again, up to
    START_ATTEMPTS times in all; then what each attempt said is raised."""
    said = []
    for attempt in range(1, START_ATTEMPTS + 1):
        try:
            return webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
        except WebDriverException as e:
            said.append('attempt %d: %s' % (attempt, ' '.join(str(e).split())[:300]))
            print('chromium did not start (attempt %d of %d)' % (attempt, START_ATTEMPTS), flush=True)
    raise RuntimeError('chromium did not start in %d attempts: %s' % (START_ATTEMPTS, '; '.join(said)))


@contextlib.contextmanager
def browser(width=1280, height=900):
    profile = tempfile.mkdtemp(prefix='vardelk-lab-chromium-')
    options = Options()
    options.binary_location = '/usr/bin/chromium'
    for argument in ['--headless=new', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
                     '--disable-component-update', '--disable-sync', '--no-first-run',
                     '--disable-dev-shm-usage', '--hide-scrollbars',
                     '--user-data-dir=' + profile, '--window-size=%d,%d' % (width, height)]:
        options.add_argument(argument)
    driver = start_chromium(options)
    try:
        driver.set_script_timeout(120)
        yield Page(driver)
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)


class Page:
    def __init__(self, driver):
        self.driver = driver

    def open(self, url, timeout=60):
        self.driver.get(url)
        self.wait('lab.ready && lab.result !== null', timeout)

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def wait(self, condition, timeout=60):
        """Waits until the JavaScript expression holds."""
        end = time.time() + timeout
        while time.time() < end:
            if self.js('return !!(%s);' % condition):
                return
            time.sleep(0.02)
        raise AssertionError('page: timed out waiting for ' + condition)

    def element(self, element_id):
        return self.driver.find_element(By.ID, element_id)

    def settled(self, timeout=60):
        """Waits until the frame of the last change is on show."""
        self.wait('lab.result && lab.result.change >= lab.change', timeout)
        return self.js('return lab.result;')

    def load_picture(self, path, timeout=60):
        """Loads a file through the page's file input; returns the number of
        errors the page had shown before."""
        errors = self.js('return lab.errors.length;')
        self.element('file').send_keys(os.path.abspath(path))
        return errors

    def set_scale(self, code):
        self.js("const s = document.getElementById('scale'); s.value = arguments[0];"
                "s.dispatchEvent(new Event('input'));", code)

    def set_flag(self, element_id, on):
        box = self.element(element_id)
        if box.is_selected() != on:
            box.click()
