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


def read_list(data):
    """(list text, fields) per entry, as the dialog builds its combo box."""
    heading, items = b"?", []
    for line in data.split(b"\r\n"):
        if line.startswith(b"=="):
            heading = re.match(rb"[= ]*([^=\r\n]*)", line).group(1).rstrip(b" ")[:100]
        elif line.startswith(b"{{Settings|"):
            fields = dict(re.findall(rb"\|([A-Z]+)=([^|}\r\n]*)", line))
            items.append((heading + b"   " + fields.get(b"PROVIDER", b"?"), fields))
    return items


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
    assert data.endswith(b"\r\n*****") and b"\n" not in data.replace(b"\r\n", b"")
    items = read_list(data)
    # Countries sorted by name; Internet access points only; CDMA and MMS-only skipped.
    assert [t for t, _ in items] == [b"Austria   A1", b"Germany   O2 - Pay-by-time",
                                     b"Germany   O2 - Pay by MB", b"Germany   F\xf6n Mobil"], items
    # The first network code of the provider; the prepaid codes with <INPUT> for the voucher;
    # German letters as single Latin-1 bytes, others left as UTF-8.
    expected = [
        {b"PLMN": b"23201", b"APN": b"A1.net", b"USERNAME": b"ppp@A1plus.at", b"PASSWORD": b"ppp"},
        {b"PLMN": b"26207", b"APN": b"surfo2", b"PPQ": b"*101#", b"PPC": b"*103*<INPUT>#"},
        {b"PLMN": b"26207", b"APN": b"internet", b"USERNAME": b"o2", b"PASSWORD": b"o2",
         b"PPQ": b"*101#", b"PPC": b"*103*<INPUT>#"},
        {b"PLMN": b"26299", b"APN": b"web.f\xf6n"}]
    for (text, fields), want in zip(items, expected):
        fields.pop(b"PROVIDER")
        assert fields == want, (text, fields)
    assert gen.to_file_bytes("ăß€") == b"\xe3\xdf" + "€".encode()


def test_broken_input(gen_path):
    """A broken or missing database leaves no file behind and fails the build step."""
    with tempfile.TemporaryDirectory() as d:
        bad, out = os.path.join(d, "bad.xml"), os.path.join(d, "mavlynS.ini")
        with open(bad, "wb") as f:
            f.write(b"<serviceproviders><country>")
        for source in (bad, os.path.join(d, "missing.xml")):
            r = subprocess.run([sys.executable, gen_path, source, out], capture_output=True)
            assert r.returncode == 1 and not os.path.exists(out), r


if __name__ == "__main__":
    found = importlib.util.spec_from_file_location("make_standard_settings", sys.argv[1])
    generator = importlib.util.module_from_spec(found)
    found.loader.exec_module(generator)
    test_sample(generator)
    test_broken_input(sys.argv[1])
    print("standard settings: all checks passed")
