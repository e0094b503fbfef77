#!/usr/bin/env python3
"""Writes the standard-settings file "mavlynS.ini" from the provider database of the
mobile-broadband-provider-info package, so that the configuration dialog offers every
provider it knows without a download.

The file has the same form as one fetched from the settings wiki: a header line, then the
page text with country headings ("== Germany ==") and one "{{Settings|...}}" line per
provider and access point, CR LF line ends, and "*****" at the end.

Usage: make-standard-settings.py serviceproviders.xml mavlynS.ini
"""

import os
import sys
import xml.etree.ElementTree as ET

HEADER = b"mavlyn Standard Settings   AAA00007\r\n\r\n"
END = b"\r\n*****"

# The dialog shows the texts of the file as Latin-1 for these letters, as the download does.
LATIN1_LETTERS = "ÄÖÜäöüßëñá"

# A list item is cut at 100 characters; the value of a field ends at any of these.
FIELD_STOP = "|}\r\n"


def clean(text):
    """One line of field text: no field or line stops, blanks collapsed."""
    if text is None:
        return ""
    for c in FIELD_STOP + "\t":
        text = text.replace(c, " ")
    return " ".join(text.split())


def to_file_bytes(text):
    """UTF-8, except the letters the dialog reads as single Latin-1 bytes."""
    out = bytearray()
    for ch in text:
        if ch in LATIN1_LETTERS:
            out.append(ord(ch))
        elif ch == "\u0103":  # a-breve, stored as 0xE3 like the download does
            out.append(0xE3)
        else:
            out += ch.encode("utf-8")
    return bytes(out)


def child_text(elem, tag):
    c = elem.find(tag)
    return clean(c.text) if c is not None else ""


def internet_apns(gsm):
    """The access points meant for Internet use (those without any usage count as such)."""
    result = []
    for apn in gsm.findall("apn"):
        usages = [u.get("type", "") for u in apn.findall("usage")]
        if usages and "internet" not in usages:
            continue
        if not clean(apn.get("value")):
            continue
        result.append(apn)
    return result


def apn_label(apn):
    name = child_text(apn, "name")
    if name:
        return name
    plan = apn.find("plan")
    if plan is not None and plan.get("type"):
        return plan.get("type")
    return clean(apn.get("value"))


def prepaid_codes(gsm):
    """The USSD codes for the credit query and for topping up (voucher code as <INPUT>)."""
    ppq = ""
    ppc = ""
    for ussd in gsm.findall("balance-check/ussd"):
        if clean(ussd.text):
            ppq = clean(ussd.text)
            break
    for ussd in gsm.findall("balance-top-up/ussd"):
        code = clean(ussd.text)
        rep = ussd.get("replacement")
        if code and rep and rep in code:
            ppc = code.replace(rep, "<INPUT>")
            break
    return ppq, ppc


def entries(provider):
    """The settings entries of one provider: one per Internet access point."""
    gsm = provider.find("gsm")
    if gsm is None:
        return []
    name = child_text(provider, "name") or "?"
    ids = gsm.findall("network-id")
    plmn = ""
    if ids:
        plmn = clean(ids[0].get("mcc", "")) + clean(ids[0].get("mnc", ""))
    apns = internet_apns(gsm)
    ppq, ppc = prepaid_codes(gsm)
    out = []
    for apn in apns:
        label = name
        if len(apns) > 1:
            label = name + " - " + apn_label(apn)
        fields = [
            ("PROVIDER", label),
            ("PLMN", plmn),
            ("APN", clean(apn.get("value"))),
            ("USERNAME", child_text(apn, "username")),
            ("PASSWORD", child_text(apn, "password")),
            ("PPQ", ppq),
            ("PPC", ppc),
        ]
        out.append("{{Settings" + "".join("|%s=%s" % (k, v) for k, v in fields if v) + "}}")
    return out


def country_name(country):
    return child_text(country, "name") or clean(country.get("code", "")).upper() or "?"


def page_lines(root):
    lines = [
        "Internet providers from the mobile-broadband-provider-info database.",
        "",
    ]
    countries = sorted(root.findall("country"), key=lambda c: country_name(c).casefold())
    for country in countries:
        body = []
        for provider in country.findall("provider"):
            body += entries(provider)
        if not body:
            continue
        lines.append("== %s ==" % country_name(country))
        lines += body
        lines.append("")
    return lines


def build(xml_bytes):
    root = ET.fromstring(xml_bytes)
    text = b"\r\n".join(to_file_bytes(line) for line in page_lines(root))
    return HEADER + text + END


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: make-standard-settings.py serviceproviders.xml mavlynS.ini\n")
        return 2
    try:
        with open(argv[1], "rb") as f:
            data = build(f.read())
    except (OSError, ET.ParseError) as e:
        sys.stderr.write("make-standard-settings: %s\n" % e)
        return 1
    tmp = argv[2] + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
