"""Guards the selector's pages as a person uses them, in headless Chromium: with
JavaScript, open the address, see the demand and the units best fit first, click another
unit's row and Export; without JavaScript, log in through the form after a wrong password,
choose a unit by its label and Export. Each time the unit file is there. A screenshot of the
selection page goes to <build>/previews/selector.png."""
import os
import shutil
import tempfile
import xml.etree.ElementTree as ET

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.common.exceptions import StaleElementReferenceException
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions
from selenium.webdriver.support.ui import WebDriverWait

from cadhost_run import bin_dir, check
from selector_run import SELECTION_ID, Selector

CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync", "--no-first-run", "--disable-quic",
                  "--window-size=1400,1100"]
SECOND_ID = "ABCDEF0123456789ABCDEF0123456789"


def browser(javascript):
    profile = tempfile.mkdtemp(prefix="selector_chromium_")
    options = Options()
    options.binary_location = "/usr/bin/chromium"
    for flag in CHROMIUM_FLAGS + ["--user-data-dir=" + profile]:
        options.add_argument(flag)
    if not javascript:
        options.add_experimental_option("prefs", {"profile.managed_default_content_settings.javascript": 2})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.set_page_load_timeout(60)
    driver.implicitly_wait(30)  # a page that follows a click may still be loading on a busy machine
    return driver, profile


def exported_unit(selection_id):
    path = sel.temp_file(selection_id)
    return ET.parse(path).getroot().findtext("UnitId") if os.path.exists(path) else None


def text(driver, css):
    # The page's script may draw the element again between finding it and reading it.
    for _ in range(20):
        try:
            return driver.find_element(By.CSS_SELECTOR, css).text
        except StaleElementReferenceException:
            pass
    return driver.find_element(By.CSS_SELECTOR, css).text


sel = Selector()
for javascript in (True, False):
    driver, profile = browser(javascript)
    try:
        if javascript:
            driver.get(sel.address())
        else:
            driver.get(sel.address(passw="nope", dcsid=SECOND_ID))
            check("password is wrong" in text(driver, "#login-message"), "a wrong password shows the login form",
                  driver.page_source)
            check("320.50" in text(driver, "#demand-table"), "the login form keeps the demand", driver.page_source)
            field = driver.find_element(By.NAME, "passw")
            field.send_keys("demo")
            login = driver.find_element(By.ID, "login-button")
            login.click()
            WebDriverWait(driver, 60).until(expected_conditions.staleness_of(login))  # the next page is there
        demand = text(driver, "#demand-table")
        check("Supply 320.50 1154 250" in demand and "Exhaust 320.50 1154 90" in demand,
              "the demand is shown in l/s, m3/h and Pa", demand)
        check(text(driver, "#demand-exchanger") == "cross-flow", "the heat exchanger is shown", driver.page_source)
        rows = [r.get_attribute("id") for r in driver.find_elements(By.CSS_SELECTOR, "#fitting > tbody > tr")]
        check(rows == ["unit-VH-CX-1200", "unit-VH-CX-1800"], "the units that serve, best fit first: %s" % rows)
        check("rotary heat exchanger" in text(driver, "#unit-VH-RX-2500"), "a unit that cannot serve says why",
              driver.page_source)
        check(driver.find_element(By.ID, "choose-VH-CX-1200").is_selected(), "the best fit is chosen at first")
        button = driver.find_element(By.ID, "export-button")
        if javascript:
            check(button.text == "Export VH-CX-1200", "the script names the chosen unit: %r" % button.text)
            driver.find_element(By.CSS_SELECTOR, "#unit-VH-CX-1800 td.fit").click()  # anywhere on the row
            check(button.text == "Export VH-CX-1800", "a click on a row chooses it: %r" % button.text)
            previews = os.path.join(bin_dir(), "..", "previews")
            os.makedirs(previews, exist_ok=True)
            driver.save_screenshot(os.path.join(previews, "selector.png"))
        else:
            check(button.text == "Export", "no script ran: %r" % button.text)
            driver.find_element(By.CSS_SELECTOR, "label[for=choose-VH-CX-1800]").click()
        check(driver.find_element(By.ID, "choose-VH-CX-1800").is_selected(), "VH-CX-1800 is chosen")
        button.click()
        said = text(driver, "#exported")
        check("VH-CX-1800 was exported" in said and "click Import in the CAD program" in said,
              "the page says the unit was exported", driver.page_source)
        selection = SELECTION_ID if javascript else SECOND_ID
        check(exported_unit(selection) == "VH-CX-1800", "the unit file of %s is there" % selection)
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)

check(sel.stop() == 0, "the selector stops cleanly", sel.stderr)
print("ok")
