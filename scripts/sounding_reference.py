#!/usr/bin/env python3
"""Independent reference values for the sounding analysis tests.

Reads the tabular ascents in tests/data and computes, with its own physics
(Bolton's saturation vapour pressure and condensation level, a pseudo-
adiabat integrated in 0.5 mb Runge-Kutta steps, energy as Rd * integral of
(Tp - Te) d ln p with the plain temperature), the condensation level, the
positive area, the free convection and equilibrium levels (the highest
crossing) of the surface parcel and of the 100 mb mixed-layer parcel, and
the precipitable water by trapezoids of specific humidity. Writes the rows
of tests/data/thm_tool_reference.txt.
"""
import math
import os
import sys

RD, CP, LV, EPS, G = 287.04, 1005.7, 2.501e6, 0.622, 9.80665


def es(tc):
    return 6.112 * math.exp(17.67 * tc / (tc + 243.5))


def mixr(tc, p):  # kg/kg
    e = es(tc)
    return EPS * e / (p - e)


def load(name):
    levels = []
    with open(name) as f:
        raw = False
        for line in f:
            if line.startswith('%RAW%'):
                raw = True
                continue
            if line.startswith('%END%'):
                break
            if raw:
                v = [float(x) for x in line.split(',')]
                levels.append(v)
    return levels


def env_t(levels, p):
    """Environment temperature (C) linear in ln p."""
    pts = [(l[0], l[2]) for l in levels if l[2] > -9998]
    for (p1, t1), (p2, t2) in zip(pts, pts[1:]):
        if p1 >= p >= p2:
            if p1 == p2:
                return t1
            f = math.log(p1 / p) / math.log(p1 / p2)
            return t1 + (t2 - t1) * f
    return None


def lcl(tc, tdc, p):
    t, td = tc + 273.15, tdc + 273.15
    tl = 1.0 / (1.0 / (td - 56.0) + math.log(t / td) / 800.0) + 56.0
    return p * (tl / t) ** (CP / RD), tl


def moist_dtdp(t, p):
    tc = t - 273.15
    r = mixr(tc, p)
    return (RD * t + LV * r) / p / (CP + LV * LV * r * EPS / (RD * t * t))


def mixed_parcel(levels, p0, depth):
    """ln p weighted mean theta and mixing ratio of the layer p0..p0-depth."""
    ptop = p0 - depth
    pts = [(l[0], l[2], l[3]) for l in levels if l[2] > -9998 and l[3] > -9998 and ptop < l[0] < p0]
    def at(p):
        t = env_t(levels, p)
        td_pts = [(l[0], l[3]) for l in levels if l[3] > -9998]
        for (p1, d1), (p2, d2) in zip(td_pts, td_pts[1:]):
            if p1 >= p >= p2:
                f = math.log(p1 / p) / math.log(p1 / p2) if p1 != p2 else 0
                return (p, t, d1 + (d2 - d1) * f)
    pts = [at(p0)] + pts + [at(ptop)]
    sth = sw = wt = 0.0
    for a, b in zip(pts, pts[1:]):
        w = math.log(a[0] / b[0])
        tha = (a[1] + 273.15) * (1000 / a[0]) ** (RD / CP)
        thb = (b[1] + 273.15) * (1000 / b[0]) ** (RD / CP)
        sth += (tha + thb) / 2 * w
        sw += (mixr(a[2], a[0]) + mixr(b[2], b[0])) / 2 * w
        wt += w
    th, r = sth / wt, sw / wt
    t = th * (p0 / 1000) ** (RD / CP)
    # dew point of mixing ratio r at p0
    e = r * p0 / (EPS + r)
    x = math.log(e / 6.112)
    td = 243.5 * x / (17.67 - x) + 273.15
    return t - 273.15, td - 273.15


def ascent(levels, p0, tc, tdc):
    pl, tl = lcl(tc, tdc, p0)
    ptop = min(l[0] for l in levels if l[2] > -9998)
    theta = (tc + 273.15) * (1000 / p0) ** (RD / CP)
    step = 0.5
    prof = []
    p = p0
    while p > pl:
        prof.append((p, theta * (p / 1000) ** (RD / CP)))
        p -= step
    t = tl
    p = pl
    while p > ptop + step:
        prof.append((p, t))
        # RK4 in p (downward step -step)
        h = -step
        k1 = moist_dtdp(t, p)
        k2 = moist_dtdp(t + h * k1 / 2, p + h / 2)
        k3 = moist_dtdp(t + h * k2 / 2, p + h / 2)
        k4 = moist_dtdp(t + h * k3, p + h)
        t += h * (k1 + 2 * k2 + 2 * k3 + k4) / 6
        p += h
    buoy = []
    for p, tp in prof:
        te = env_t(levels, p)
        if te is None:
            continue
        buoy.append((p, tp - 273.15 - te))
    # Highest crossing: last positive sample, then its top.
    pos_idx = [i for i, (p, b) in enumerate(buoy) if b > 0 and p < pl]
    last = pos_idx[-1]
    first = next(i for i, (p, b) in enumerate(buoy) if p <= pl and b > 0)
    lfc = buoy[first][0]
    # A first buoyant pocket of under 0.5 K is near neutral: physics this
    # close to each other cannot agree where the free convection begins.
    peak = 0.0
    for p, b in buoy[first:]:
        if b <= 0:
            break
        peak = max(peak, b)
    if peak < 0.5:
        lfc = None
    el = buoy[last][0]
    cape = 0.0
    for (pa, ba), (pb, bb) in zip(buoy, buoy[1:]):
        if pb >= el and (ba > 0 or bb > 0):
            w = math.log(pa / pb)
            cape += RD * (max(ba, 0) + max(bb, 0)) / 2 * w
    return pl, cape, lfc, el


def precip_water(levels):
    pts = [(l[0], l[3]) for l in levels if l[3] > -9998]
    s = 0.0
    for (p1, d1), (p2, d2) in zip(pts, pts[1:]):
        q1 = EPS * es(d1) / (p1 - (1 - EPS) * es(d1))
        q2 = EPS * es(d2) / (p2 - (1 - EPS) * es(d2))
        s += (q1 + q2) / 2 * (p1 - p2) * 100 / G  # kg/m^2 = mm
    return s / 25.4


def main():
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'data')
    out = ["# Reference values computed by scripts/sounding_reference.py (independent",
           "# physics: Bolton condensation level, RK4 pseudo-adiabat, Rd*(Tp-Te) dlnp).",
           "# file parcel plcl_mb cape_jkg lfc_mb el_mb pw_in"]
    for name in ('ua_oax_2014061619.txt', 'ua_bna_2014072800.txt'):
        levels = load(os.path.join(here, name))
        sfc = next(l for l in levels if l[2] > -9998)
        pw = precip_water([l for l in levels if l[0] <= sfc[0]])
        for parcel in ('sfc', 'layer100'):
            if parcel == 'sfc':
                tc, tdc = sfc[2], sfc[3]
            else:
                tc, tdc = mixed_parcel(levels, sfc[0], 100)
            pl, cape, lfc, el = ascent(levels, sfc[0], tc, tdc)
            lfc_text = '-' if lfc is None else '%.0f' % lfc
            out.append("%s %s %.1f %.0f %s %.0f %.3f" % (name, parcel, pl, cape, lfc_text, el, pw))
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == '__main__':
    main()
