#!/usr/bin/python3
"""Builds the station files data/sao.cty and data/upa.cty from Debian packages.

  sao.cty  surface stations: the ICAO station list of weather-util-data
           (/usr/share/weather-util/stations.gz, airports.gz), country names
           turned into ISO 3166 codes with iso-codes.
  upa.cty  radiosonde stations of North America: the WMO station list
           (Volume A) shipped in metview-data (etc/stations-l.db, a GNU dbm
           file; reading it needs python3-gdbm).

Usage: scripts/make_station_files.py [METVIEW_ETC_DIR] [OUT_DIR]
  METVIEW_ETC_DIR defaults to /usr/share/metview/etc; when metview-data is not
  installed, `apt-get download metview-data && dpkg-deb -x metview-data_*.deb x`
  and pass x/usr/share/metview/etc. OUT_DIR defaults to data/.

Nothing is guessed: a field the sources do not give is written as missing
(elevation -9999, WMO number 99999, state or country "--"); see data/README.
"""

import gzip
import json
import math
import os
import re
import struct
import sys
import unicodedata

WU = "/usr/share/weather-util"
ISO = "/usr/share/iso-codes/json/iso_3166-1.json"

# Country names of the station list that iso-codes does not spell that way.
COUNTRY_ALIASES = {
    "united states of america": "US",
    "russia": "RU",
    "turkey": "TR",
    "swaziland": "SZ",
    "cote d'ivoire": "CI",
    "reunion": "RE",
    "virgin islands": "VI",  # St Thomas and St Croix, U.S. Virgin Islands
    "south georgia and the islands": "GS",
    "saint helena": "SH",
    "cape verde": "CV",
    "islas malvinas": "FK",
    "macau": "MO",
    "brunei": "BN",
    "netherlands antilles": "AN",  # withdrawn ISO 3166 code, as the source names it
    "serbia and montenegro": "CS",  # withdrawn ISO 3166 code, as the source names it
    "korea, south": "KR",
    "bahamas, the": "BS",
    "congo, democratic republic of the": "CD",
    "congo, republic of the": "CG",
    "gambia, the": "GM",
    "macedonia, the republic of": "MK",
    "micronesia, federated states of": "FM",
}

# Canadian province spellings of the station list, as postal codes.
PROVINCES = {
    "ALTA": "AB", "ALTA.": "AB", "ALBERTA": "AB", "B.C.": "BC", "BRITISH COLUMBIA": "BC",
    "MAN": "MB", "MAN.": "MB", "MANITOBA": "MB", "N.B.": "NB", "NEW BRUNSWICK": "NB",
    "NFLD": "NL", "NFLD.": "NL", "NEWFOUNDLAND": "NL", "N.S.": "NS", "NOVA SCOTIA": "NS",
    "NWT": "NT", "N.W.T.": "NT", "ONT": "ON", "ONT.": "ON", "ONTARIO": "ON",
    "PEI": "PE", "P.E.I.": "PE", "QUE": "QC", "QUE.": "QC", "QUEBEC": "QC",
    "SASK": "SK", "SASK.": "SK", "SASKATCHEWAN": "SK", "YUKON": "YT",
}

# Words shortened so that more of a name fits in 20 characters.
ABBREV = [
    (r"\bInternational\b|\bInt'?l\.?(?=\s|$)|\bInt'L\.?", "Intl"),
    (r"\bAir Force Base\b", "AFB"),
    (r"\bRegional\b", "Rgnl"),
    (r"\bMunicipal\b", "Muni"),
    (r"\bAirport\b", ""),
    (r"\bCounty\b", "Co"),
    (r"\bMountain\b", "Mtn"),
    (r"\bSaint\b", "St"),
    (r"\bFort\b", "Ft"),
]

AIRFIELD = re.compile(
    r"Airport|Airfield|Field|AFB|Air Force|\bNAS\b|Naval Air|Army Air|Aerodrome|"
    r"Rgnl|Regional|Muni|Lufthavn|Aeroporto|Aeropuerto|Aeroport|Flughafen|Air Base|\bAB\b",
    re.I)
INTERNATIONAL = re.compile(r"International|\bIntl\b|\bInt'?l\b", re.I)

SPECIAL = {"Þ": "Th", "þ": "th", "Ð": "D", "ð": "d", "Æ": "AE", "æ": "ae", "Ø": "O",
           "ø": "o", "ß": "ss", "Ł": "L", "ł": "l", "Đ": "D", "đ": "d", "ı": "i"}


def ascii_name(text):
    text = "".join(SPECIAL.get(c, c) for c in text)
    text = unicodedata.normalize("NFKD", text).encode("ascii", "ignore").decode()
    for pat, rep in ABBREV:
        text = re.sub(pat, rep, text)
    text = re.sub(r"[^A-Za-z0-9./'&()-]+", "_", text.strip())
    text = re.sub(r"_+", "_", text).replace("_/_", "/").strip("_")
    return text[:20] or "-"


def line(name, state, country, ident, prior, lat, lon, el, wmo, num=0):
    el_text = "-9999" if el is None else "%.0f" % el
    lat = 0.0 if abs(lat) < 0.0005 else lat  # no "-0.000"
    lon = 0.0 if abs(lon) < 0.0005 else lon
    return "%-20s %-2s %-2s %-9s %-3s %8.3f %9.3f %5s %5d %d\n" % (
        name, state, country, ident, prior, lat, lon, el_text, wmo, num)


def iso_names():
    names = {}
    for c in json.load(open(ISO))["3166-1"]:
        for key in ("name", "common_name", "official_name"):
            if key in c:
                names[c[key].lower()] = c["alpha_2"]
    names.update(COUNTRY_ALIASES)
    return names


def sections(path):
    text = gzip.open(path, "rt", encoding="utf-8").read()
    for key, body in re.findall(r"^\[([^\]]+)\]\n((?:[^\[\n].*\n)*)", text, re.M):
        fields = {}
        for ln in body.splitlines():
            if " = " in ln:
                k, v = ln.split(" = ", 1)
                fields[k] = v
        yield key, fields


def surface(out_dir):
    names = iso_names()
    served = {f.get("station") for _, f in sections(os.path.join(WU, "airports.gz"))}
    rows, skipped = [], 0
    for sid, f in sections(os.path.join(WU, "stations.gz")):
        loc = f.get("location", "None")
        desc = f.get("description", "")
        if loc == "None" or desc.startswith("unknown station") or not re.fullmatch(r"[a-z0-9]{4}", sid):
            skipped += 1
            continue
        la, lo = (float(v) for v in loc.strip("()").split(","))
        lat, lon = math.degrees(la), math.degrees(lo)
        parts = desc.split(", ")
        country = "--"
        if re.fullmatch(r"[A-Z]{2}", parts[-1]):
            country = parts[-1]
            parts = parts[:-1]
        elif len(parts) > 1 and ", ".join(parts[-2:]).lower() in names:
            country = names[", ".join(parts[-2:]).lower()]
            parts = parts[:-2]
        elif parts[-1].lower() in names:
            country = names[parts[-1].lower()]
            parts = parts[:-1]
        state = "--"
        if len(parts) > 1:
            cand = parts[-1].strip()
            if country == "CA" and cand.upper() in PROVINCES:
                state = PROVINCES[cand.upper()]
            elif re.fullmatch(r"[A-Z0-9]{2}", cand):
                state = cand
        kind = desc.split(", ")[0]
        if INTERNATIONAL.search(kind):
            prior = 1
        elif sid in served:
            prior = 3
        elif AIRFIELD.search(kind):
            prior = 5
        else:
            prior = 7
        rows.append(line(ascii_name(parts[0]), state, country, sid.upper(), str(prior), lat, lon,
                         None, 99999))
    with open(os.path.join(out_dir, "sao.cty"), "w") as fp:
        fp.writelines(rows)
    print("sao.cty: %d stations, %d without location or name skipped" % (len(rows), skipped))


# Identifiers of upper-air sites vouched for by the observations shipped in
# tests/data (station OAX, WMO 72558; station BNA, WMO 72327).
UPA_IDS = {72558: "OAX", 72327: "BNA"}
UPA_BLOCKS = (70, 71, 72, 74, 76, 78)
# WMO block 71 is Canada, 76 Mexico; 70, 72 and 74 the United States.
BLOCK_COUNTRY = {70: "US", 71: "CA", 72: "US", 74: "US", 76: "MX"}


def upper_air(etc_dir, out_dir):
    import dbm.gnu

    db = dbm.gnu.open(os.path.join(etc_dir, "stations-l.db"), "r")
    rows = {}
    key = db.firstkey()
    while key is not None:
        v = db[key]
        key = db.nextkey(key)
        wmo, lat, lon = struct.unpack_from("<qqq", v, 0)
        flags = v[24:28].decode("ascii", "replace")
        height = struct.unpack_from("<i", v, 40)[0]
        name = v[56:].split(b"\0")[0].decode("latin-1")
        block = wmo // 1000
        us_pacific = block == 91 and re.search(r",\s*HI\.?$", name)
        if "T" not in flags or not (block in UPA_BLOCKS or us_pacific):
            continue
        place, state = name, "--"
        m = re.match(r"(.*?),\s*([A-Z][A-Za-z. ]*?)\.?\s*(\(.*\))?$", name)
        if m:
            place, tail = m.group(1), m.group(2).strip().upper().rstrip(".")
            if re.fullmatch(r"[A-Z]{2}", tail):
                state = tail
            elif tail in PROVINCES or tail + "." in PROVINCES:
                state = PROVINCES.get(tail, PROVINCES.get(tail + "."))
            elif tail == "PUERTO RICO":
                state = "PR"
        country = BLOCK_COUNTRY.get(block, "US" if us_pacific or state == "PR" else "--")
        # A height of 0 is how the list leaves the height out.
        el = float(height) if height != 0 else None
        ident = UPA_IDS.get(wmo, "--")
        rows[wmo] = line(ascii_name(place.title()), state, country, ident, "1*", lat / 100.0,
                         lon / 100.0, el, wmo)
    with open(os.path.join(out_dir, "upa.cty"), "w") as fp:
        fp.writelines(rows[w] for w in sorted(rows))
    print("upa.cty: %d radiosonde stations" % len(rows))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    etc_dir = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/metview/etc"
    out_dir = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "..", "data")
    surface(out_dir)
    upper_air(etc_dir, out_dir)


if __name__ == "__main__":
    main()
