#!/usr/bin/env python3
"""Checks the standard-settings file made from a sample provider database, read the way the
configuration dialog reads it: headings ("=="), provider entries ("{{Settings|"), fields
"|NAME=value" ending at "|", "}", CR or LF, list items "heading   provider". The file made from
the real database is checked for its size by install_tree_test.sh.

Usage: standard_settings_test.py make-standard-settings.py [serviceproviders.xml]
"""

import importlib.util
import os
import re
import subprocess
import sys
import tempfile

FIELDS = ["PROVIDER", "PLMN", "APN", "USERNAME", "PASSWORD", "SMSC", "PPQ", "PPC",
          "HOMU", "HOMI", "HOMO"]


def field(line, name):
    m = re.search(rb"\|" + name.encode() + rb"=([^|}\r\n]*)", line)
    return m.group(1) if m else None


def read_list(data):
    """(list text, fields) per entry, as the dialog builds its combo box."""
    heading = b"?"
    items = []
    for line in data.split(b"\r\n"):
        if line.startswith(b"=="):
            heading = re.match(rb"[= ]*([^=\r\n]*)", line).group(1).rstrip(b" ")[:100]
        elif line.startswith(b"{{Settings|"):
            provider = field(line, "PROVIDER")
            text = heading + b"   " + (provider if provider is not None else b"?")
            items.append((text, {n: field(line, n) for n in FIELDS}))
        elif line.startswith(b"|||"):
            items.append((line[3:], {}))
    return items


def load_generator(path):
    found = importlib.util.spec_from_file_location("make_standard_settings", path)
    mod = importlib.util.module_from_spec(found)
    found.loader.exec_module(mod)
    return mod


SAMPLE = """<?xml version="1.0" encoding="utf-8"?>
<serviceproviders format="2.0">
<country code="de"><name>Germany</name>
  <provider><name>O2</name><gsm>
    <network-id mcc="262" mnc="07"/><network-id mcc="262" mnc="08"/>
    <balance-check><ussd>*101#</ussd></balance-check>
    <balance-top-up><ussd replacement="CODE">*103*CODE#</ussd></balance-top-up>
    <apn value="surfo2"><plan type="prepaid"/><usage type="internet"/><name>Pay-by-time</name></apn>
    <apn value="internet"><usage type="internet"/><name>Pay|by}MB</name>
      <username>o2</username><password>o2</password></apn>
    <apn value="mms.o2"><usage type="mms"/></apn>
  </gsm></provider>
  <provider><name>Bürger CDMA</name><cdma><sid value="1"/></cdma></provider>
  <provider><name>Fön Mobil</name><gsm><network-id mcc="262" mnc="99"/>
    <apn value="web.fön"/></gsm></provider>
</country>
<country code="at"><name>Austria</name>
  <provider><name>A1</name><gsm><network-id mcc="232" mnc="01"/>
    <apn value="A1.net"><username>ppp@A1plus.at</username><password>ppp</password></apn>
  </gsm></provider>
</country>
<country code="zz"><name>Nowhere</name>
  <provider><name>MMS only</name><gsm><network-id mcc="999" mnc="99"/>
    <apn value="mms"><usage type="mms"/></apn></gsm></provider>
</country>
</serviceproviders>
""".encode("utf-8")


def test_sample(gen):
    data = gen.build(SAMPLE)
    # Header with the state mark at offset 27, CR LF line ends, "*****" at the end.
    assert data.startswith(b"mavlyn Standard Settings   AAA00007\r\n\r\n"), data[:50]
    assert data[27:28] == b"A"
    assert data.endswith(b"\r\n*****")
    assert b"\n" not in data.replace(b"\r\n", b"")
    items = read_list(data)
    texts = [t for t, _ in items]
    # Countries sorted by name; Internet access points only; CDMA and MMS-only skipped.
    assert texts == [b"Austria   A1",
                     b"Germany   O2 - Pay-by-time",
                     b"Germany   O2 - Pay by MB",
                     b"Germany   F\xf6n Mobil"], texts
    a1 = items[0][1]
    assert a1["PLMN"] == b"23201" and a1["APN"] == b"A1.net"
    assert a1["USERNAME"] == b"ppp@A1plus.at" and a1["PASSWORD"] == b"ppp"
    assert a1["PPQ"] is None and a1["SMSC"] is None
    o2 = items[1][1]
    # The first network code of the provider; the prepaid codes with <INPUT> for the voucher.
    assert o2["PLMN"] == b"26207" and o2["APN"] == b"surfo2"
    assert o2["PPQ"] == b"*101#" and o2["PPC"] == b"*103*<INPUT>#"
    assert o2["USERNAME"] is None
    assert items[2][1]["USERNAME"] == b"o2"
    # German letters as single Latin-1 bytes, others left as UTF-8.
    assert items[3][1]["APN"] == b"web.f\xf6n"
    assert gen.to_file_bytes("ăß€") == b"\xe3\xdf" + "€".encode()


def test_broken_input(gen_path):
    with tempfile.TemporaryDirectory() as d:
        bad = os.path.join(d, "bad.xml")
        out = os.path.join(d, "mavlynS.ini")
        with open(bad, "wb") as f:
            f.write(b"<serviceproviders><country>")
        r = subprocess.run([sys.executable, gen_path, bad, out], capture_output=True)
        assert r.returncode == 1 and not os.path.exists(out), r
        r = subprocess.run([sys.executable, gen_path, os.path.join(d, "missing.xml"), out],
                           capture_output=True)
        assert r.returncode == 1 and not os.path.exists(out), r


def main(argv):
    gen_path = argv[1]
    test_sample(load_generator(gen_path))
    test_broken_input(gen_path)
    print("standard settings: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
