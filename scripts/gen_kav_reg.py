#!/usr/bin/env python3
"""Writes data/kav.reg, the package's region file, from the latitude and
longitude box each region covers. Each domain is centred on its box and
sized so that the whole box, seen through the region's projection, lies
inside it with a small margin; the plane coordinates come from PROJ (the
`proj` program of proj-bin) on the sphere of radius 6371.22 km that the
library's projections use. The boxes are also in tests/data/region_boxes.txt,
where the region suite checks every domain of the file against them.
Run from the top of the tree:  python3 scripts/gen_kav_reg.py
"""
import math
import subprocess

R = 6371220.0

# abbreviation, description, shown in the menu, projection, box
# (south, north, west, east; east may pass 180 for a box across the date
# line). Projections: ps polar stereographic, lamb Lambert conformal (true at
# one sixth of the box from its edges), lambaz Lambert azimuthal equal-area,
# merc Mercator, pole polar stereographic centred on the pole.
REGIONS = [
    # Continents and the oceans' basins.
    ("na", "North_America", 1, "lamb", (15, 70, -150, -55)),
    ("sa", "South_America", 1, "lambaz", (-56, 13, -82, -34)),
    ("eur", "Europe", 1, "lamb", (35, 71, -25, 45)),
    ("afr", "Africa", 1, "lambaz", (-35, 38, -18, 52)),
    ("asia", "Asia", 1, "lambaz", (8, 77, 35, 165)),
    ("aus", "Australia", 1, "lamb", (-44, -10, 112, 155)),
    ("ant", "Antarctica", 1, "pole", (-90, -60, -180, 180)),
    ("natl", "North_Atlantic", 1, "merc", (0, 65, -100, 0)),
    ("npac", "North_Pacific", 1, "merc", (0, 65, 120, 260)),
    ("ak", "Alaska", 1, "ps", (51, 72, -170, -129)),
    ("arc", "Arctic", 0, "pole", (60, 90, -180, 180)),
    ("satl", "South_Atlantic", 0, "merc", (-60, 0, -70, 20)),
    ("spac", "South_Pacific", 0, "merc", (-60, 0, 140, 290)),
    ("ind", "Indian_Ocean", 0, "merc", (-60, 30, 20, 120)),
    ("socn", "Southern_Ocean", 0, "pole", (-90, -40, -180, 180)),
    ("epac", "Eastern_Pacific", 0, "merc", (0, 35, -140, -80)),
    ("gom", "Gulf_of_Mexico", 0, "merc", (17, 31.5, -98, -80)),
    ("car", "Caribbean", 0, "merc", (8, 27, -90, -58)),
    ("med", "Mediterranean", 0, "lamb", (29, 47, -7, 37)),
    # Regions of the United States.
    ("hi", "Hawaii", 0, "merc", (18.5, 22.5, -160.5, -154.5)),
    ("pr", "Puerto_Rico", 0, "merc", (17.5, 18.7, -67.5, -64.3)),
    ("gl", "Great_Lakes", 0, "ps", (40, 50, -93, -75)),
    ("np", "Northern_Plains", 0, "ps", (40, 49.5, -106, -89)),
    ("cp", "Central_Plains", 0, "ps", (35, 44, -104, -89)),
    ("ro", "Rockies", 0, "ps", (35, 49, -117, -102)),
    ("wc", "West_Coast", 0, "ps", (32, 49.5, -126, -114)),
    ("mid", "Mid-Atlantic", 0, "ps", (36.5, 42.5, -81, -73.5)),
    ("ov", "Ohio_Valley", 0, "ps", (36, 42, -90, -80)),
    ("gc", "Gulf_Coast", 0, "ps", (27, 33, -98, -81)),
    # The states (postal codes; Nebraska is "neb", "ne" being New England).
    ("al", "Alabama", 0, "ps", (30.2, 35.0, -88.5, -84.9)),
    ("az", "Arizona", 0, "ps", (31.3, 37.0, -114.8, -109.0)),
    ("ar", "Arkansas", 0, "ps", (33.0, 36.5, -94.6, -89.6)),
    ("ca", "California", 0, "ps", (32.5, 42.0, -124.4, -114.1)),
    ("co", "Colorado", 0, "ps", (37.0, 41.0, -109.1, -102.0)),
    ("ct", "Connecticut", 0, "ps", (41.0, 42.1, -73.7, -71.8)),
    ("de", "Delaware", 0, "ps", (38.45, 39.84, -75.8, -75.0)),
    ("fl", "Florida", 0, "ps", (24.5, 31.0, -87.6, -80.0)),
    ("ga", "Georgia", 0, "ps", (30.4, 35.0, -85.6, -80.8)),
    ("id", "Idaho", 0, "ps", (42.0, 49.0, -117.2, -111.0)),
    ("il", "Illinois", 0, "ps", (37.0, 42.5, -91.5, -87.5)),
    ("in", "Indiana", 0, "ps", (37.8, 41.8, -88.1, -84.8)),
    ("ia", "Iowa", 0, "ps", (40.4, 43.5, -96.6, -90.1)),
    ("ks", "Kansas", 0, "ps", (37.0, 40.0, -102.05, -94.6)),
    ("ky", "Kentucky", 0, "ps", (36.5, 39.1, -89.6, -81.96)),
    ("la", "Louisiana", 0, "ps", (29.0, 33.0, -94.0, -89.0)),
    ("me", "Maine", 0, "ps", (43.0, 47.5, -71.1, -66.9)),
    ("md", "Maryland", 0, "ps", (37.9, 39.7, -79.5, -75.0)),
    ("ma", "Massachusetts", 0, "ps", (41.2, 42.9, -73.5, -69.9)),
    ("mi", "Michigan", 0, "ps", (41.7, 48.3, -90.4, -82.4)),
    ("mn", "Minnesota", 0, "ps", (43.5, 49.4, -97.2, -89.5)),
    ("ms", "Mississippi", 0, "ps", (30.2, 35.0, -91.7, -88.1)),
    ("mo", "Missouri", 0, "ps", (36.0, 40.6, -95.8, -89.1)),
    ("mt", "Montana", 0, "ps", (44.4, 49.0, -116.05, -104.04)),
    ("neb", "Nebraska", 0, "ps", (40.0, 43.0, -104.05, -95.3)),
    ("nv", "Nevada", 0, "ps", (35.0, 42.0, -120.0, -114.0)),
    ("nh", "New_Hampshire", 0, "ps", (42.7, 45.3, -72.6, -70.6)),
    ("nj", "New_Jersey", 0, "ps", (38.9, 41.4, -75.6, -73.9)),
    ("nm", "New_Mexico", 0, "ps", (31.3, 37.0, -109.05, -103.0)),
    ("ny", "New_York", 0, "ps", (40.5, 45.0, -79.8, -71.8)),
    ("nc", "North_Carolina", 0, "ps", (33.8, 36.6, -84.3, -75.4)),
    ("nd", "North_Dakota", 0, "ps", (45.9, 49.0, -104.05, -96.55)),
    ("oh", "Ohio", 0, "ps", (38.4, 42.0, -84.8, -80.5)),
    ("ok", "Oklahoma", 0, "ps", (33.6, 37.0, -103.0, -94.4)),
    ("or", "Oregon", 0, "ps", (42.0, 46.3, -124.6, -116.5)),
    ("pa", "Pennsylvania", 0, "ps", (39.7, 42.3, -80.5, -74.7)),
    ("ri", "Rhode_Island", 0, "ps", (41.1, 42.0, -71.9, -71.1)),
    ("sc", "South_Carolina", 0, "ps", (32.0, 35.2, -83.4, -78.5)),
    ("sd", "South_Dakota", 0, "ps", (42.5, 45.95, -104.06, -96.4)),
    ("tn", "Tennessee", 0, "ps", (35.0, 36.7, -90.3, -81.6)),
    ("tx", "Texas", 0, "ps", (25.8, 36.5, -106.65, -93.5)),
    ("ut", "Utah", 0, "ps", (37.0, 42.0, -114.05, -109.04)),
    ("vt", "Vermont", 0, "ps", (42.7, 45.0, -73.45, -71.5)),
    ("va", "Virginia", 0, "ps", (36.5, 39.5, -83.7, -75.2)),
    ("wa", "Washington", 0, "ps", (45.5, 49.0, -124.8, -116.9)),
    ("wv", "West_Virginia", 0, "ps", (37.2, 40.6, -82.65, -77.7)),
    ("wi", "Wisconsin", 0, "ps", (42.5, 47.1, -92.9, -86.8)),
    ("wy", "Wyoming", 0, "ps", (41.0, 45.0, -111.06, -104.05)),
]

# The built-in regions, as the library defines them.
BUILTIN = [
    ("us", "Contiguous_US", "ps,39,-97,25,17,2.3,2.3"),
    ("ne", "New_England", "ps,42,-76,25,17,0.9,0.9"),
    ("at", "Atlantic", "ps,37,-82,25,17,0.9,0.9"),
    ("se", "Southeastern", "ps,31,-88,25,17,1.1,1.1"),
    ("mw", "Midwestern", "ps,43,-93,25,17,1.1,1.1"),
    ("sp", "Southern_Plains", "ps,32.5,-100,25,17,1.2,1.2"),
    ("nw", "Northwestern", "ps,44,-112,25,17,1,1"),
    ("sw", "Southwestern", "ps,37,-112,25,17,1,1"),
    ("var", "Variable", "var"),
]


def g(v):
    return f"{v:.3f}".rstrip("0").rstrip(".")


def to_plane(projstr, pts):
    text = "".join(f"{lon} {lat}\n" for lat, lon in pts)
    out = subprocess.run(["proj", "-f", "%.3f"] + projstr.split(), input=text,
                         capture_output=True, text=True, check=True).stdout
    return [tuple(float(v) / 1e5 for v in line.split()[:2]) for line in out.splitlines()]


def domain(kind, box):
    s, n, w, e = box
    clat = (s + n) / 2
    clon = (w + e) / 2
    if clon > 180:
        clon -= 360
    if kind == "pole":
        clat = 90 if n == 90 else -90
        clon = 0
        proj = f"+proj=stere +lat_0={clat} +lat_ts={60 if clat > 0 else -60} +lon_0=0"
        text = f"ps:{clat}:0"
    elif kind == "ps":
        proj = f"+proj=stere +lat_0=90 +lat_ts=60 +lon_0={g(clon)}"
        text = "ps"
    elif kind == "lamb":
        t1, t2 = s + (n - s) / 6, n - (n - s) / 6
        t1, t2 = round(t1, 1), round(t2, 1)
        pole = 90 if clat > 0 else -90
        proj = f"+proj=lcc +lat_1={t1} +lat_2={t2} +lat_0={pole} +lon_0={g(clon)}"
        text = f"lamb:{g(clat)}:{g(clon)}:{g(t1)}:{g(t2)}"
    elif kind == "lambaz":
        proj = f"+proj=laea +lat_0={g(clat)} +lon_0={g(clon)}"
        text = f"lambaz:{g(clat)}:{g(clon)}"
    elif kind == "merc":
        proj = f"+proj=merc +lon_0={g(clon)}"
        text = f"merc:0:{g(clon)}"
    proj += f" +R={R}"
    edge = [(s + (n - s) * i / 40, w) for i in range(41)] + \
        [(s + (n - s) * i / 40, e) for i in range(41)] + \
        [(s, w + (e - w) * i / 40) for i in range(41)] + \
        [(n, w + (e - w) * i / 40) for i in range(41)]
    xc, yc = to_plane(proj, [(clat, clon)])[0]
    pts = to_plane(proj, edge)
    hx = max(abs(x - xc) for x, _ in pts) * 1.05
    hy = max(abs(y - yc) for _, y in pts) * 1.05
    if hx >= hy:
        nx = 25
        d = math.ceil(2 * hx / (nx - 1) * 1000) / 1000
        ny = max(9, math.ceil(2 * hy / d) + 1)
    else:
        ny = 25
        d = math.ceil(2 * hy / (ny - 1) * 1000) / 1000
        nx = max(9, math.ceil(2 * hx / d) + 1)
    return f"{text},{g(clat)},{g(clon)},{nx},{ny},{g(d)},{g(d)}"


lines = [
    "# Regions of kav: abbreviation (at most 5 characters), description (at",
    "# most 20, '_' for blanks), 1 to show the region in the region menu or 0",
    "# to keep it for use by name only, and the domain text (docs/domains.md).",
    "# The first nine are the library's built-in regions (\"var\" asks for its",
    "# centre). The others are made by scripts/gen_kav_reg.py from the box of",
    "# latitudes and longitudes each region covers: centred on the box, sized",
    "# to hold it whole; distances in units of 100 km, latitude-longitude",
    "# spacings in degrees.",
]
for a, d, t in BUILTIN:
    lines.append(f"{a:<5} {d:<20} 1 {t}")
for a, d, shown, kind, box in REGIONS:
    assert len(a) <= 5 and len(d) <= 20
    t = domain(kind, box)
    assert len(t) <= 79, t
    lines.append(f"{a:<5} {d:<20} {shown} {t}")
with open("data/kav.reg", "w") as f:
    f.write("\n".join(lines) + "\n")
with open("tests/data/region_boxes.txt", "w") as f:
    f.write("# The box each region of data/kav.reg covers (scripts/gen_kav_reg.py):\n"
            "# abbreviation, south, north, west, east (degrees; east may pass 180).\n")
    for a, d, shown, kind, box in REGIONS:
        f.write(f"{a} {box[0]} {box[1]} {box[2]} {box[3]}\n")
