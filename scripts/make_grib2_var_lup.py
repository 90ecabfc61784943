#!/usr/bin/env python3
"""Writes data/grib2_var.lup, the parameter lookup of GRIB edition 2, from
the WMO tables as Debian's libeccodes-data package carries them
(/usr/share/eccodes/definitions/grib2): code table 4.2 (version 30) for
disciplines 0, 2 and 10, the local entries of centre 7 (numbers 192 and up)
and the local entries of centre 98 in those disciplines. A parameter that is also an edition-1
parameter of WMO table 2 takes the abbreviation data/variable.lup gives that
number, so that the variable table finds it.

Usage: scripts/make_grib2_var_lup.py > data/grib2_var.lup
"""
import os
import re
import sys

DEFS = '/usr/share/eccodes/definitions'
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def concepts(path):
    """Entries 'value' = { key = v ; ... } of an ecCodes concept file, with
    the comment line before each (its long name)."""
    out = []
    if not os.path.exists(path):
        return out
    text = open(path, encoding='utf-8', errors='replace').read()
    for m in re.finditer(r"#([^\n]*)\n'([^']*)'\s*=\s*\{([^}]*)\}", text):
        keys = dict(re.findall(r'(\w+)\s*=\s*([^;\s]+)\s*;', m.group(3)))
        out.append((m.group(1).strip(), m.group(2), keys))
    return out


def dcn(keys, strict=True):
    """(discipline, category, number) of an entry; strict: with no other key
    (else other keys, such as a level or a local table version, are passed
    over)."""
    need = {'discipline', 'parameterCategory', 'parameterNumber'}
    if (strict and set(keys) != need) or not need <= set(keys):
        return None
    try:
        return tuple(int(keys[k]) for k in ('discipline', 'parameterCategory', 'parameterNumber'))
    except ValueError:
        return None


def units_word(u):
    """'kg m-2 s-1' as 'kg/m^2/s': one word."""
    u = u.strip().replace('**', '')
    if ' of ' in u:  # "m of water equivalent"
        u = u.split(' of ')[0]
    if u.startswith('('):
        u = u.replace(' ', '')
    if u in ('', '-', 'Numeric', 'Code table 4.201', 'Proportion'):
        return '-' if u in ('', '-') else u.split()[0]
    num, den = [], []
    for t in u.split():
        m = re.fullmatch(r'([A-Za-z%°]+)(-?\d+)?', t)
        if not m:
            return u.replace(' ', '_')[:29]
        base, exp = m.group(1), m.group(2)
        if exp and exp.startswith('-'):
            den.append(base + ('' if exp == '-1' else '^' + exp[1:]))
        else:
            num.append(base + ('' if not exp or exp == '1' else '^' + exp))
    s = '*'.join(num) if num else '1'
    for d in den:
        s += '/' + d
    return s[:29]


def norm(name):
    """A long name compared without case, hyphens or the word "combined"."""
    n = name.lower().replace('-', ' ').replace('dew point', 'dewpoint')
    return ' '.join(w for w in n.split() if w != 'combined')


def main():
    abbr = {}
    by_name = {}  # long name of an edition-1 parameter below 128 -> abbreviation
    for line in open(os.path.join(ROOT, 'data', 'variable.lup'), encoding='utf-8'):
        if line.startswith('#') or not line.strip():
            continue
        f = line.split()
        num = int(f[0].split(',')[0])
        abbr[num] = f[1]
        if num < 128:
            by_name.setdefault(norm(' '.join(f[2:]).split(' #')[0]), f[1])
    g1 = {}
    for _, pid, keys in concepts(os.path.join(DEFS, 'grib1', 'paramId.def')):
        if set(keys) == {'table2Version', 'indicatorOfParameter'} and keys['table2Version'] == '3':
            g1.setdefault(pid, int(keys['indicatorOfParameter']))
    g2pid = {}
    for _, pid, keys in concepts(os.path.join(DEFS, 'grib2', 'paramId.def')):
        k = dcn(keys)
        if k:
            g2pid.setdefault(k, pid)
    short = {}
    for _, sn, keys in concepts(os.path.join(DEFS, 'grib2', 'shortName.def')):
        k = dcn(keys)
        if k:
            short.setdefault(k, sn)

    for _, sn, keys in concepts(os.path.join(DEFS, 'grib2', 'shortName.def')) + concepts(
            os.path.join(DEFS, 'grib2', 'localConcepts', 'kwbc', 'shortName.def')):
        k = dcn(keys, False)
        if k:
            short.setdefault(k, sn)

    def name_of(k, sn, lname=''):
        if norm(lname) in by_name:
            return by_name[norm(lname)]
        pid = g2pid.get(k)
        if pid in g1 and g1[pid] in abbr and g1[pid] < 128:
            return abbr[g1[pid]]
        sn = re.sub(r'[^A-Za-z0-9_.+-]', '', sn or '')
        return (sn.upper() or 'V%d_%d_%d' % k)[:19]

    rows = []
    seen = set()
    for d in (0, 2, 10):
        tdir = os.path.join(DEFS, 'grib2', 'tables', '30')
        cats = sorted(int(f.split('.')[3]) for f in os.listdir(tdir)
                      if re.fullmatch(r'4\.2\.%d\.\d+\.table' % d, f))
        for c in cats:
            for line in open(os.path.join(tdir, '4.2.%d.%d.table' % (d, c)), encoding='utf-8'):
                m = re.match(r'(\d+)\s+\d+\s+(.*)\s+\(([^()]*)\)\s*$', line)
                if not m or m.group(2).lower().startswith('reserved') or m.group(2) == 'Missing':
                    continue
                n = int(m.group(1))
                k = (d, c, n)
                rows.append((0, d, c, n, name_of(k, short.get(k), m.group(2)), units_word(m.group(3)),
                             m.group(2)[:79]))
                seen.add((0,) + k)
    for centre, sub in ((7, 'kwbc'), (98, 'ecmf')):
        base = os.path.join(DEFS, 'grib2', 'localConcepts', sub)
        units = {}
        for _, u, keys in concepts(os.path.join(base, 'units.def')):
            k = dcn(keys, False)
            if k:
                units.setdefault(k, u)
        for lname, sn, keys in concepts(os.path.join(base, 'shortName.def')):
            k = dcn(keys, False)
            if not k or (0,) + k in seen or (centre,) + k in seen:
                continue
            if centre == 7 and k[1] < 192 and k[2] < 192:
                continue
            if centre == 98 and k[0] not in (0, 2, 10):
                continue
            seen.add((centre,) + k)
            rows.append((centre,) + k + (name_of(k, sn), units_word(units.get(k, '-')),
                                          lname[:79]))
    print('# GRIB edition 2 parameters: centre (0 any), discipline, category, number,')
    print('# name (one word), units (one word) and long name, separated by blanks.')
    print('#')
    print('# Written by scripts/make_grib2_var_lup.py from the WMO Manual on Codes as')
    print("# Debian's libeccodes-data package carries it (/usr/share/eccodes/definitions/")
    print('# grib2): code table 4.2 (version 30) for disciplines 0 (meteorological),')
    print('# 2 (land surface) and 10 (oceanographic); the local entries of centre 7')
    print('# (US National Centers, numbers 192 and up) and of centre 98 (ECMWF) from the')
    print("# same package's local concepts. Names: the abbreviation data/variable.lup")
    print('# gives the same quantity in GRIB edition 1 (WMO table 2), else the short')
    print('# name of the tables in capitals. Units in the form "kg/m^2/s".')
    for r in rows:
        print('%-3d %-3d %-3d %-3d %-19s %-19s %s' % r)


if __name__ == '__main__':
    sys.exit(main())
