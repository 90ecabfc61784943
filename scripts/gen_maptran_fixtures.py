#!/usr/bin/env python3
"""Writes tests/data/maptran_proj.txt: forward transforms of the geographic
projections computed by PROJ (the `proj` program of proj-bin), converted to
the library's plane units (100 km; degrees for latlon; the satellite view's
tangent or scan-angle planes). The rows are committed so that the tests run
where PROJ is absent. Run from the top of the tree:
    python3 scripts/gen_maptran_fixtures.py
"""
import math
import subprocess

R = 6371220.0          # mean earth radius, m (63.7122 units of 100 km)
A, B = 6378137.0, 6356752.0
UNIT = 1e5             # one plane unit, m

POINTS = [(lat, lon) for lat in (-89, -75, -60, -45, -30, -15, 0, 15, 30, 45, 60, 75, 89)
          for lon in (-180, -179, -135, -100, -97, -60, -20, 0, 45, 90, 135, 179, 180, 190)]


def run_proj(projstr, pts):
    text = "".join(f"{lon} {lat}\n" for lat, lon in pts)
    out = subprocess.run(["proj", "-f", "%.6f"] + projstr.split(), input=text,
                         capture_output=True, text=True, check=True).stdout
    res = []
    for line in out.splitlines():
        f = line.split()
        if len(f) < 2 or "*" in f[0] or "inf" in f[0].lower() or "nan" in f[0].lower():
            res.append(None)
        else:
            res.append((float(f[0]), float(f[1])))
    return res


rows = []


def case(title, domain, projstr, conv=lambda x, y: (x / UNIT, y / UNIT), pts=POINTS,
         clamp=None, tol=0.002, visible=lambda lat, lon: True):
    rows.append(f"# {title}: proj {projstr}")
    q = [(clamp(lat) if clamp else lat, lon) for lat, lon in pts]
    for (lat, lon), r in zip(pts, run_proj(projstr, q)):
        if r is None or not visible(lat, lon):
            rows.append(f"{domain} {lat} {lon} -9999 -9999 0")
        else:
            x, y = conv(*r)
            rows.append(f"{domain} {lat} {lon} {x:.5f} {y:.5f} {tol}")


# Polar stereographic: the pole at the origin; a north-polar map draws
# latitudes beyond 75 S at 75 S (and a south-polar one beyond 75 N at 75 N).
case("north polar stereographic, true at 60N", "ps:45:-105,45,-105,25,17,2,2",
     f"+proj=stere +lat_0=90 +lat_ts=60 +lon_0=-105 +R={R}", clamp=lambda la: max(la, -75))
case("north polar stereographic, true at 45N", "ps:45:10:45,45,10,25,17,2,2",
     f"+proj=stere +lat_0=90 +lat_ts=45 +lon_0=10 +R={R}", clamp=lambda la: max(la, -75))
case("south polar stereographic, true at 60S", "ps:-60:0,-60,0,25,17,2,2",
     f"+proj=stere +lat_0=-90 +lat_ts=-60 +lon_0=0 +R={R}", clamp=lambda la: min(la, 75))
case("south polar stereographic, true at 71S", "ps:-70:160:-71,-70,160,25,17,2,2",
     f"+proj=stere +lat_0=-90 +lat_ts=-71 +lon_0=160 +R={R}", clamp=lambda la: min(la, 75))
# Latitude-longitude: the plane in degrees (a sphere of radius 180/pi).
case("latitude-longitude", "ll:0:-100,40,-100,25,17,1,1",
     f"+proj=eqc +lon_0=-100 +R={180 / math.pi}", conv=lambda x, y: (x, y), tol=1e-4)
case("Mercator", "merc:0:150,0,150,25,17,2,2",
     f"+proj=merc +lon_0=150 +R={R}", pts=[p for p in POINTS if abs(p[0]) < 89])
# Lambert conformal: the plane's origin is the cone's apex (lat_0 at the pole).
case("Lambert conformal, secant 30N 60N", "lamb:40:-95:30:60,40,-95,25,17,2,2",
     f"+proj=lcc +lat_1=30 +lat_2=60 +lat_0=90 +lon_0=-95 +R={R}",
     pts=[p for p in POINTS if p[0] > -89])
case("Lambert conformal, tangent 25N", "lamb:25:-95:25:25,25,-95,25,17,2,2",
     f"+proj=lcc +lat_1=25 +lat_2=25 +lat_0=90 +lon_0=-95 +R={R}",
     pts=[p for p in POINTS if p[0] > -89])
case("Lambert conformal, secant 30S 60S", "lamb:-45:135:-30:-60,-45,135,25,17,2,2",
     f"+proj=lcc +lat_1=-30 +lat_2=-60 +lat_0=-90 +lon_0=135 +R={R}",
     pts=[p for p in POINTS if p[0] < 89])
case("Lambert conformal, tangent 35S given once", "lamb:-35:-60:-35,-35,-60,25,17,2,2",
     f"+proj=lcc +lat_1=-35 +lat_2=-35 +lat_0=-90 +lon_0=-60 +R={R}",
     pts=[p for p in POINTS if p[0] < 89])
case("orthographic", "ortho:40:-100,40,-100,25,17,2,2",
     f"+proj=ortho +lat_0=40 +lon_0=-100 +R={R}")
case("Lambert azimuthal equal-area, oblique", "lambaz:45:-100,45,-100,25,17,2,2",
     f"+proj=laea +lat_0=45 +lon_0=-100 +R={R}")
case("Lambert azimuthal equal-area, north polar", "lambaz:90:0,90,0,25,17,2,2",
     f"+proj=laea +lat_0=90 +lon_0=0 +R={R}", pts=[p for p in POINTS if p[0] > -89])
case("Lambert azimuthal equal-area, south polar", "lambaz:-90:30,-90,30,25,17,2,2",
     f"+proj=laea +lat_0=-90 +lon_0=30 +R={R}", pts=[p for p in POINTS if p[0] < 89])
# Mollweide: the library's globe spans [-2R, 2R] by [-R, R], PROJ's
# sqrt(2) times that.
case("Mollweide", "moll:0:-160,0,-160,25,17,2,2",
     f"+proj=moll +lon_0=-160 +R={R / math.sqrt(2)}")

# Satellite view, 42161 km from the earth's centre over 75W. PROJ gives the
# scan angles times the height above the surface.
RS = 42161000.0


def sat_visible(ellipse):
    # PROJ's spherical view draws points of the far side too: the disc is
    # decided here, the satellite above the tangent plane at the point.
    def test(lat, lon):
        phi, lam = math.radians(lat), math.radians(lon + 75)
        a, r2 = (A, (B / A) ** 2) if ellipse else (R, 1.0)
        if ellipse:
            phi = math.atan(r2 * math.tan(phi))
        rad = a * math.sqrt(r2) / math.sqrt(1 - (1 - r2) * math.cos(phi) ** 2) if ellipse else R
        px, py, pz = (rad * math.cos(phi) * math.cos(lam), rad * math.cos(phi) * math.sin(lam),
                      rad * math.sin(phi))
        return (RS - px) * px - py * py - pz * pz / r2 > 0
    return test


def sat_case(title, domain, projstr, h, scan):
    def conv(x, y):
        ax, ay = x / h, y / h
        if scan:
            return ax * RS / UNIT, ay * RS / UNIT
        return math.tan(ax) * RS / UNIT, math.tan(ay) * RS / UNIT
    pts = [(lat, lon) for lat in (-80, -60, -45, -20, 0, 10, 35, 50, 70, 80)
           for lon in (-170, -150, -120, -100, -75, -50, -20, 0, 10, 105)]
    case(title, domain, projstr, conv=conv, pts=pts, visible=sat_visible("+a=" in projstr))


sat_case("satellite view, sphere, tangent plane", "sat:0:-75:421.61,0,-75,25,17,2,2",
         f"+proj=geos +h={RS - R} +lon_0=-75 +R={R}", RS - R, False)
sat_case("satellite view, sphere, scan angles", "sat:0:-75:421.61:1,0,-75,25,17,2,2",
         f"+proj=geos +h={RS - R} +lon_0=-75 +R={R}", RS - R, True)
sat_case("satellite view, ellipsoid, tangent plane", "sat:e:0:-75:421.61,0,-75,25,17,2,2",
         f"+proj=geos +h={RS - A} +lon_0=-75 +a={A} +b={B}", RS - A, False)
sat_case("satellite view, ellipsoid, scan angles", "sat:e:0:-75:421.61:1,0,-75,25,17,2,2",
         f"+proj=geos +h={RS - A} +lon_0=-75 +a={A} +b={B}", RS - A, True)

with open("tests/data/maptran_proj.txt", "w") as f:
    f.write("# Forward transforms of the geographic projections by PROJ "
            f"({subprocess.run(['proj'], capture_output=True, text=True).stderr.splitlines()[0].strip()}),\n"
            "# made by scripts/gen_maptran_fixtures.py. Columns: domain text, latitude,\n"
            "# longitude, x, y (units of 100 km; -9999 -9999: off the projection),\n"
            "# tolerance.\n")
    f.write("\n".join(rows) + "\n")
