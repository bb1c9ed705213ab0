#!/usr/bin/python3
"""selector_browser: does on the selector's pages what a person does there, through the
same HTTP requests: opens the address, logs in when the selector asks, chooses a unit and
clicks Export.

    selector_browser [--email E --password P] [--unit ID] [--timeout S] ADDRESS

ADDRESS is the selector address as the CAD program hands it to $BROWSER: the last
argument, values unescaped. Without --unit the selector's best fit (the unit it offers
first) is exported. Exit status: 0 when the unit was exported and its file is served,
1 when not (the reason on standard error), 2 on wrong usage.
"""
import argparse
import html.parser
import string
import sys
import urllib.error
import urllib.parse
import urllib.request
import xml.etree.ElementTree as ET

# Bytes a browser sends as they are in an address; anything else is percent-encoded.
_ADDRESS_SAFE = "".join(c for c in string.printable if c not in " \t\n\r\x0b\x0c")


class Page(html.parser.HTMLParser):
    """The forms of a page, the texts of its marked elements and the reasons given for the
    units that cannot serve."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.forms = {}        # form id -> {"action", "fields": [(name, value)], "radios": [...]}
        self.texts = {}        # element id -> its text
        self.reasons = {}      # unit id -> reasons
        self._form = None
        self._open = []        # ids of the marked elements we are inside
        self._unit_row = None
        self._in_reason = False

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "form":
            self._form = self.forms.setdefault(a.get("id", ""), {"action": a.get("action", ""), "fields": [],
                                                                 "radios": [], "checked": None})
        elif tag == "input" and self._form is not None and a.get("name"):
            kind = a.get("type", "text")
            if kind == "radio":
                self._form["radios"].append(a.get("value", ""))
                if "checked" in a and self._form["checked"] is None:
                    self._form["checked"] = a.get("value", "")
            else:
                self._form["fields"].append((a["name"], a.get("value", "")))
        elif tag == "tr" and a.get("id", "").startswith("unit-"):
            self._unit_row = a["id"][len("unit-"):]
        elif tag == "li" and self._unit_row:
            self._in_reason = True
            self.reasons.setdefault(self._unit_row, []).append("")
        if a.get("id") in ("login-message", "error", "exported", "no-unit", "exported-file"):
            self._open.append(a["id"])
            self.texts.setdefault(a["id"], "")
            if a["id"] == "exported-file":
                self.texts["exported-file-href"] = a.get("href", "")

    def handle_endtag(self, tag):
        if tag == "form":
            self._form = None
        elif tag == "tr":
            self._unit_row = None
        elif tag == "li":
            self._in_reason = False
        elif tag in ("p", "a") and self._open:
            self._open.pop()

    def handle_data(self, data):
        for i in self._open:
            self.texts[i] += data
        if self._in_reason and self._unit_row:
            self.reasons[self._unit_row][-1] += data


class Failure(Exception):
    pass


class Browser:
    def __init__(self, timeout):
        self.timeout = timeout
        # The selector is reached directly, never through a proxy of the environment.
        self.opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))

    def open(self, url, fields=None):
        """(final address, Page) of a GET, or of a POST of the form fields."""
        data = urllib.parse.urlencode(fields).encode("utf-8") if fields is not None else None
        try:
            with self.opener.open(url, data=data, timeout=self.timeout) as r:
                body, final = r.read(), r.geturl()
        except urllib.error.HTTPError as e:
            body, final = e.read(), url
        except (urllib.error.URLError, OSError) as e:
            raise Failure("the selector at %s does not answer: %s" % (url, e))
        page = Page()
        page.feed(body.decode("utf-8", "replace"))
        return final, page

    def submit(self, url, page, form_id, changes):
        form = page.forms[form_id]
        fields = [(n, changes.get(n, v)) for n, v in form["fields"]]
        fields += [(n, v) for n, v in changes.items() if n not in dict(form["fields"])]
        return self.open(urllib.parse.urljoin(url, form["action"]), fields)


def as_sent(address):
    """The address as a browser sends it: without a fragment, unusual bytes percent-encoded."""
    return urllib.parse.quote(address.split("#", 1)[0], safe=_ADDRESS_SAFE)


def select_and_export(browser, address, email, password, unit):
    url, page = browser.open(as_sent(address))
    if "login" in page.forms:
        if email is None or password is None:
            raise Failure("the selector asks for a login: %s" % page.texts.get("login-message", "").strip()
                          or "the selector asks for a login (give --email and --password)")
        url, page = browser.submit(url, page, "login", {"email": email, "passw": password})
        if "login" in page.forms:
            raise Failure("the login was refused: %s" % page.texts.get("login-message", "").strip())
    if "export" not in page.forms:
        raise Failure((page.texts.get("no-unit") or page.texts.get("error") or "the page offers no export").strip())
    form = page.forms["export"]
    choice = unit if unit is not None else form["checked"]
    if choice not in form["radios"]:
        if choice in page.reasons:
            raise Failure("%s cannot serve this demand: %s" % (choice, "; ".join(page.reasons[choice])))
        raise Failure("the selector offers no unit %s" % choice)
    url, page = browser.submit(url, page, "export", {"unit": choice})
    if "exported" not in page.texts:
        raise Failure("the export failed: %s" % (page.texts.get("error", "") or "no confirmation").strip())
    file_url = urllib.parse.urljoin(url, page.texts.get("exported-file-href", ""))
    try:
        with browser.opener.open(file_url, timeout=browser.timeout) as r:
            ET.fromstring(r.read())
    except (urllib.error.URLError, OSError, ET.ParseError) as e:
        raise Failure("the exported unit file %s cannot be had: %s" % (file_url, e))
    return choice, " ".join(page.texts["exported"].split())


def main(argv):
    parser = argparse.ArgumentParser(prog="selector_browser", description=__doc__.split("\n\n")[0])
    parser.add_argument("--email", help="log in with this e-mail address when the selector asks")
    parser.add_argument("--password", help="and this password")
    parser.add_argument("--unit", help="export this unit instead of the best fit")
    parser.add_argument("--timeout", type=float, default=30.0, help="seconds to wait for each answer")
    parser.add_argument("address", help="the selector address, as the CAD program opens it")
    args = parser.parse_args(argv)
    try:
        unit, said = select_and_export(Browser(args.timeout), args.address, args.email, args.password, args.unit)
    except Failure as e:
        sys.stderr.write("selector_browser: %s\n" % e)
        return 1
    print("selector_browser: exported %s. %s" % (unit, said))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
