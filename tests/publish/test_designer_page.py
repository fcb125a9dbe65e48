#!/usr/bin/python3
"""The designer used as a publisher uses it, in a real browser (Debian's
Chromium, headless, driven by Selenium), every control found by its
visible label: the product's fields filled in, a splash picture and an
icon chosen, the preview changing after them (the picture before and
after compared), a refusal in make-disc's own words beside its field, a
certificate and its password, the disc made and downloaded (its launcher
carries the brand, read from the image with pycdlib and pefile; it is
signed, and the password was on no command line), and the disc tried on
Windows XP and Vista (the sheet, a row per version, a row's picture
opened large)."""
import hashlib
import io
import os
import shutil
import sys
import tempfile
import threading
import time
import unittest
import urllib.request
import zlib

import pefile
import pycdlib
from selenium import webdriver
from selenium.common.exceptions import StaleElementReferenceException, TimeoutException
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(PROJECT, "tests", "disc"))
from designer_harness import Designer, required, work_folder  # noqa: E402
from certificates import PASSWORD, PUBLISHER, Certificates  # noqa: E402

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
SPLASH = os.path.join(PROJECT, "brand", "example", "heron-splash.jpg")
ICON = os.path.join(PROJECT, "brand", "example", "heron-icon.png")
# A preview is drawn within seconds; the first one may wait for the
# launcher's first build in build/disc. Where 32-bit code runs under
# emulation each start of the launcher takes a minute.
EMULATED = os.path.exists("/proc/sys/fs/binfmt_misc/qemu-i386")
PREVIEW_SECONDS = 900 if EMULATED else 240
MAKE_SECONDS = 600
TRY_SECONDS = 900
PRODUCT, VERSION, COMPANY = "Heron Atlas", "1.4.2", "Heron Cartography Ltd."
COPYRIGHT = "Copyright (C) 2026 Heron Cartography Ltd."


def browser():
    """Headless Chromium with a profile of its own, reaching nothing but
    the designer."""
    for path in (CHROMIUM, CHROMEDRIVER):
        if not os.path.isfile(path):
            raise AssertionError(f"{path} is missing (scripts/setup.sh installs it): "
                                 "the test cannot run")
    options = Options()
    options.binary_location = CHROMIUM
    profile = tempfile.mkdtemp(prefix="designer-chromium-")
    for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync",
                     f"--user-data-dir={profile}", "--window-size=1400,1400"):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    driver.profile_folder = profile
    return driver


class PasswordWatch:
    """Looks at every process's command line, while the disc is made, for
    the certificate's password, which none may show."""

    def __init__(self, secret):
        self.secret, self.seen, self.running = secret.encode(), [], True
        self.thread = threading.Thread(target=self.watch, daemon=True)
        self.thread.start()

    def watch(self):
        while self.running:
            for pid in os.listdir("/proc"):
                if not pid.isdigit():
                    continue
                try:
                    with open(f"/proc/{pid}/cmdline", "rb") as source:
                        if self.secret in source.read():
                            self.seen.append(pid)
                except OSError:
                    pass
            time.sleep(0.02)

    def stop(self):
        self.running = False
        self.thread.join()
        return self.seen


class Page(unittest.TestCase):
    """One designer and one browser, the publisher's path in its order."""

    @classmethod
    def setUpClass(cls):
        cls.work = work_folder("designer-page-")
        cls.output = os.path.join(cls.work, "discs")
        cls.installer = os.path.join(cls.work, "installer")
        os.makedirs(os.path.join(cls.installer, "Data"))
        shutil.copy(required("TARNELL_SETUP"), os.path.join(cls.installer, "Setup.exe"))
        with open(os.path.join(cls.installer, "Data", "readme.txt"), "w") as out:
            out.write("Heron Atlas\n")
        cls.installer_before = cls.snapshot(cls.installer)
        cls.certificates = Certificates(cls.work)
        cls.designer = Designer(cls.output).wait_ready()
        try:
            cls.driver = browser()
        except BaseException:
            cls.designer.stop()
            raise
        cls.driver.get(cls.designer.url)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        shutil.rmtree(cls.driver.profile_folder, ignore_errors=True)
        cls.designer.stop()
        shutil.rmtree(cls.work, ignore_errors=True)

    @staticmethod
    def snapshot(folder):
        """Every name under the folder with its size and time."""
        found = {}
        for here, folders, files in os.walk(folder):
            for name in folders + files:
                info = os.lstat(os.path.join(here, name))
                found[os.path.relpath(os.path.join(here, name), folder)] = \
                    (info.st_size, info.st_mtime_ns, info.st_mode)
        return found

    # --- Finding things as a person does ---------------------------------

    def control(self, label):
        """The control a visible label names."""
        found = self.driver.find_elements(By.XPATH, f'//label[normalize-space()="{label}"]')
        self.assertEqual(len(found), 1, label)
        self.assertTrue(found[0].is_displayed(), label)
        return self.driver.find_element(By.ID, found[0].get_attribute("for"))

    def group(self, legend):
        return self.driver.find_element(
            By.XPATH, f'//fieldset[legend[normalize-space()="{legend}"]]')

    def box(self, legend, words):
        """The checkbox in a group whose label holds the words."""
        return self.group(legend).find_element(
            By.XPATH, f'.//label[contains(normalize-space(), "{words}")]/input[@type="checkbox"]')

    def button(self, text):
        return self.driver.find_element(By.XPATH, f'//button[normalize-space()="{text}"]')

    def alerts(self):
        """The text of every alert shown now (read in one go: the page
        replaces what it shows as the server answers)."""
        return self.driver.execute_script(
            'return Array.from(document.querySelectorAll(\'[role="alert"]\'))'
            '.filter((e) => e.offsetParent !== null && e.textContent.trim())'
            '.map((e) => e.innerText);')

    def alert_of(self, control):
        """The alert shown beside a control (one it is described by)."""
        for name in (control.get_attribute("aria-describedby") or "").split():
            element = self.driver.find_element(By.ID, name)
            if element.get_attribute("role") == "alert" and element.is_displayed():
                return element.text
        return ""

    def wait(self, condition, seconds, what):
        try:
            return WebDriverWait(self.driver, seconds, poll_frequency=0.25,
                                 ignored_exceptions=(StaleElementReferenceException,)).until(
                lambda driver: condition())
        except TimeoutException:
            self.fail(f"{what} within {seconds} s; the page says: "
                      f"{self.driver.find_element(By.ID, 'preview-status').text!r}, alerts "
                      f"{self.alerts()}; the designer said {self.designer.err[-5:]}")

    def previews(self):
        """{alt: src} of the preview's pictures."""
        return self.driver.execute_script(
            "return Object.fromEntries(Array.from(document.images)"
            ".filter((i) => i.alt.startsWith('Preview')).map((i) => [i.alt, i.src]));")

    def fetch(self, url):
        with urllib.request.urlopen(url, timeout=60) as response:
            return response.read()

    def type_into(self, label, text):
        field = self.control(label)
        field.clear()
        field.send_keys(text)
        return field

    # --- The publisher's path -------------------------------------------------

    def test_1_the_brand_pictures_and_languages_change_the_preview(self):
        self.wait(lambda: self.previews(), PREVIEW_SECONDS, "no first preview")
        before = self.previews()
        self.assertEqual(list(before), ["Preview of the launcher in English (en), as Windows XP "
                                        "shows it"])
        before_picture = self.fetch(next(iter(before.values())))
        self.type_into("Product name", PRODUCT)
        self.type_into("Version", VERSION)
        self.type_into("Company", COMPANY)
        self.type_into("Copyright", COPYRIGHT)
        self.type_into("AutoPlay text", "Install Heron Atlas")
        # The installer folder, chosen from the listing of its parent.
        field = self.type_into("Installer folder", self.work)
        self.button("Choose a folder").click()
        self.driver.find_element(By.CSS_SELECTOR, 'button[aria-label="Open installer"]').click()
        self.wait(lambda: self.driver.find_element(By.ID, "chooser-path").text == self.installer,
                  10, "the listing did not open the installer folder")
        self.button("Choose this folder").click()
        self.assertEqual(field.get_attribute("value"), self.installer)
        # A picture over the limit is refused at once, in an alert.
        big = os.path.join(self.work, "big.png")
        with open(big, "wb") as out:
            out.truncate(17 << 20)
        splash = self.control("Splash picture")
        splash.send_keys(big)
        self.wait(lambda: "larger than the 16 MiB" in self.alert_of(splash), 10,
                  "no alert for a picture over the limit")
        self.assertIn("--splash: refused", self.alert_of(splash))
        splash.send_keys(SPLASH)
        self.control("Icon").send_keys(ICON)
        self.box("Languages", "(de)").click()
        # What the splash's conversion found, beside the picture.
        findings = self.driver.find_element(By.ID, "splash-findings")
        self.wait(lambda: "scaled to 588 x 369" in findings.text, 60,
                  "no findings beside the splash")

        def changed():
            shown = self.previews()
            return len(shown) == 2 and all(src not in before.values() for src in shown.values())
        self.wait(changed, PREVIEW_SECONDS, "the preview did not change")
        self.assertEqual(self.alerts(), [])
        after = self.previews()
        self.assertEqual(sorted(after), [
            "Preview of the launcher in English (en), as Windows XP shows it",
            "Preview of the launcher in German (de), as Windows XP shows it"])
        english = self.fetch(after["Preview of the launcher in English (en), as Windows XP "
                                   "shows it"])
        german = self.fetch(after["Preview of the launcher in German (de), as Windows XP "
                                  "shows it"])
        self.assertNotEqual(english, before_picture)
        self.assertNotEqual(german, english)
        from PIL import Image
        for data in (before_picture, english, german):
            # The launcher's window with its frame and title bar.
            self.assertEqual(Image.open(io.BytesIO(data)).size, (630, 427))
        # The title bar is drawn: its top rows are not the splash's page.
        top = Image.open(io.BytesIO(english)).convert("RGB").crop((100, 4, 500, 16))
        self.assertGreater(len(top.getcolors(4096) or []), 2)
        status = self.driver.find_element(By.ID, "preview-status").text
        self.assertIn("drawn in", status)

    def test_2_a_refusal_shows_beside_its_field_in_make_disc_s_words(self):
        version = self.type_into("Version", "4.2")
        self.wait(lambda: self.alert_of(version), 30, "no alert beside the version")
        text = self.alert_of(version)
        self.assertIn("--version: refused: the version is three dot-separated decimal numbers",
                      text)
        self.assertIn("'4.2'", text)
        self.assertEqual(version.get_attribute("aria-invalid"), "true")
        self.assertEqual(self.alerts(), [text])
        self.type_into("Version", VERSION)
        self.wait(lambda: not self.alerts(), 30, "the alert stayed")
        # Windows XP's name in a product word (a backslash) is refused too.
        product = self.type_into("Product name", "Heron\\Atlas")
        self.wait(lambda: "backslash" in self.alert_of(product), 30,
                  "no alert beside the product")
        self.type_into("Product name", PRODUCT)
        self.wait(lambda: not self.alerts(), 30, "the alert stayed")

    def test_3_a_certificate_and_its_password(self):
        self.control("Signing certificate").send_keys(self.certificates.path("good.p12"))
        password = self.type_into("Certificate password", "wrong password")
        self.wait(lambda: "password does not open" in self.alert_of(password), 60,
                  "no alert beside the password")
        self.assertIn("--sign: refused", self.alert_of(password))
        self.assertNotIn("wrong password", self.alert_of(password))
        self.type_into("Certificate password", PASSWORD)
        self.wait(lambda: not self.alerts(), 60, "the password's alert stayed")

    def test_4_make_the_disc_and_download_it(self):
        watch = PasswordWatch(PASSWORD)
        self.button("Make disc").click()
        self.wait(lambda: self.driver.find_element(
            By.CSS_SELECTOR, '[role="progressbar"][aria-label="Making the disc"]').is_displayed(),
            30, "no progress while the disc is made")
        self.wait(lambda: self.driver.find_elements(By.PARTIAL_LINK_TEXT, "Download"),
                  MAKE_SECONDS, "no link to the image")
        self.assertEqual(watch.stop(), [])
        self.assertEqual(self.alerts(), [])
        # The image was written and verified with progress reported.
        _, status = self.designer.api("GET", "/api/status")
        self.assertEqual((status["job"]["kind"], status["job"]["state"]), ("make", "done"))
        self.assertEqual(status["job"]["progress"]["what"], "make-disc: verifying the image")
        self.assertEqual(status["job"]["progress"]["overall"], 1.0)
        link = self.driver.find_element(By.PARTIAL_LINK_TEXT, "Download")
        self.assertTrue(link.get_attribute("href").endswith("/files/heron-atlas.iso"))
        image = self.fetch(link.get_attribute("href"))
        result = self.driver.find_element(By.ID, "make-result").text
        self.assertIn(f"{len(image):,} bytes", result)
        self.assertIn(f"{zlib.crc32(image):08X}", result)
        self.assertIn(hashlib.sha256(image).hexdigest(), result)
        self.assertIn("fits a 650 MB CD-R", result)
        report = self.fetch(self.driver.find_element(By.LINK_TEXT, "The disc's report")
                            .get_attribute("href")).decode()
        self.assertIn(f"image CRC-32: {zlib.crc32(image):08X}", report)
        # The image's launcher carries the brand, and is signed.
        disc = pycdlib.PyCdlib()
        disc.open_fp(io.BytesIO(image))
        launcher, readme = io.BytesIO(), io.BytesIO()
        disc.get_file_from_iso_fp(launcher, iso_path="/TARNELL.EXE;1")
        disc.get_file_from_iso_fp(readme, joliet_path="/Data/readme.txt")
        self.assertEqual(disc.pvd.volume_identifier.decode().strip(), "HERON_ATLAS")
        disc.close()
        self.assertEqual(readme.getvalue(), b"Heron Atlas\n")
        program = pefile.PE(data=launcher.getvalue())
        strings = {}
        for info in program.FileInfo[0]:
            for table in getattr(info, "StringTable", []):
                strings.update({key.decode(): value.decode() for key, value in
                                table.entries.items()})
        self.assertEqual(strings["ProductName"], PRODUCT)
        self.assertEqual(strings["FileVersion"], VERSION)
        self.assertEqual(strings["CompanyName"], COMPANY)
        self.assertEqual(strings["LegalCopyright"], COPYRIGHT)
        security = program.OPTIONAL_HEADER.DATA_DIRECTORY[
            pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
        self.assertGreater(security.Size, 0)
        self.assertIn(PUBLISHER.encode(), launcher.getvalue()[security.VirtualAddress:])
        # The installer folder was read, never written; the password is in
        # no file the designer wrote.
        self.assertEqual(self.snapshot(self.installer), self.installer_before)
        for here, _, files in os.walk(self.output):
            for name in files:
                with open(os.path.join(here, name), "rb") as source:
                    self.assertNotIn(PASSWORD.encode(), source.read(), name)

    def test_5_try_the_disc_on_two_versions(self):
        for box in self.group("Versions to try").find_elements(By.CSS_SELECTOR,
                                                                'input[type="checkbox"]'):
            if box.is_selected() != (box.get_attribute("value") in ("winxp", "vista")):
                box.click()
        self.button("Try disc").click()
        self.wait(lambda: self.driver.find_element(
            By.CSS_SELECTOR, '[role="progressbar"][aria-label="Trying the disc"]').is_displayed(),
            60, "no progress while the disc is tried")

        def sheet():
            return self.driver.execute_script(
                "return Array.from(document.images).filter((i) => i.alt.includes('sheet'));")
        self.wait(sheet, TRY_SECONDS, "no sheet")
        self.assertEqual(self.alerts(), [])
        self.assertTrue(self.driver.execute_script(
            "return arguments[0].complete && arguments[0].naturalWidth > 0", sheet()[0]))
        # Each version's end was reported as it came.
        _, status = self.designer.api("GET", "/api/status")
        self.assertEqual((status["job"]["kind"], status["job"]["state"]), ("try", "done"))
        self.assertRegex(status["job"]["progress"]["what"],
                         r"^try-disc: Windows (XP|Vista) ended$")
        self.assertEqual(status["job"]["progress"]["fraction"], 1.0)
        rows = self.driver.find_elements(By.CSS_SELECTOR, "#try-result tbody tr")
        self.assertEqual([row.find_element(By.TAG_NAME, "th").text for row in rows],
                         ["Windows XP", "Windows Vista"])
        for row in rows:
            self.assertIn("as promised", row.text)
            self.assertIn(f"signed by {PUBLISHER}", row.text)
        # XP shows the window; Vista, which the launcher does not accept,
        # refuses.
        self.assertIn("Unsupported Operating System", rows[1].text)
        rows[0].find_element(By.TAG_NAME, "button").click()
        large = self.driver.find_element(By.ID, "large")
        self.wait(lambda: large.is_displayed(), 10, "the picture did not open large")
        picture = large.find_element(By.TAG_NAME, "img")
        self.assertTrue(picture.get_attribute("src").endswith("/winxp.png"))
        self.assertEqual(picture.get_attribute("alt"), "Windows XP")
        self.assertTrue(self.driver.execute_script(
            "return arguments[0].complete && arguments[0].naturalWidth > 0", picture))
        self.button("Close").click()
        self.wait(lambda: not large.is_displayed(), 10, "the large picture stayed")

    def test_6_a_newer_design_supersedes_an_older_preview(self):
        _, status = self.designer.api("GET", "/api/status")
        shown_before = status["preview"].get("shown")
        design = {"product": PRODUCT, "version": "1.4.3", "company": COMPANY,
                  "copyright": COPYRIGHT, "languages": ["fr"], "systems": ["7", "10"]}
        # A refusal that comes while a design waits for changes to settle
        # leaves nothing waiting: the preview goes on with the next.
        _, settling = self.designer.api("POST", "/api/design", dict(design, version="1.4.1"))
        _, refused = self.designer.api("POST", "/api/design", dict(design, version="1.4"))
        self.assertEqual(settling["refusals"], [])
        self.assertEqual(refused["refusals"][0]["field"], "version", refused)
        time.sleep(1)
        _, first = self.designer.api("POST", "/api/design", design)
        time.sleep(0.1)
        _, second = self.designer.api("POST", "/api/design", dict(design, version="1.4.4"))
        self.assertEqual(second["preview"], first["preview"] + 1)
        seen = set()
        deadline = time.monotonic() + PREVIEW_SECONDS
        while time.monotonic() < deadline:
            _, status = self.designer.api("GET", "/api/status")
            seen.add(status["preview"].get("shown"))
            if status["preview"]["state"] in ("ready", "failed", "refused"):
                break
            time.sleep(0.1)
        self.assertEqual(status["preview"]["state"], "ready",
                         f"{status['preview']}; the designer said {self.designer.err[-5:]}")
        self.assertEqual(status["preview"]["shown"], second["preview"])
        self.assertEqual(seen - {shown_before, second["preview"]}, set())
        self.assertEqual([picture["code"] for picture in status["preview"]["pictures"]],
                         ["en", "fr"])
        # A launcher that refuses Windows XP is shown as the newest system
        # it accepts shows it.
        self.assertEqual(status["preview"]["system"], "Windows 10")


if __name__ == "__main__":
    unittest.main(verbosity=2, failfast=True)
