#!/usr/bin/env python3
"""Writes the shipped fluid data files share/libhydr/data/hyd_<name>_B{s,t}.data.

Mineral hydraulic oils (ISO 6743-4 family HM) of viscosity grades 32, 46 and
68, from typical published property values and the usual engineering
relations between them:

- density at 0 bar: rho(T) = rho15 * exp(-alpha * (T - 15)), cubic expansion
  coefficient alpha = 6.5e-4 1/K (mineral oils: 6.4e-4 .. 7e-4 1/K);
- isentropic tangent bulk modulus: Bs(p, T) = Bs40 * exp(-beta * (T - 40)) + K * p
  with beta = 0.0056 1/K and K = 11 (dB/dp of mineral oils: 10 .. 12); the
  isothermal one is Bt = Bs / gamma, gamma = cp/cv = 1.15;
- kinematic viscosity at 0 bar by the Walther relation (ASTM D341)
  log10(log10(nu + 0.7)) = A - B log10(T [K]) through the grade's values at
  40 and 100 degC;
- dynamic viscosity over pressure by the Barus law mu(p) = mu(0) exp(a p)
  with a = 22 GPa^-1 at 40 degC falling by 0.075 GPa^-1 per K; the file holds
  the kinematic viscosity mu(p) / rho(p), rho(p) from the file's own bulk
  modulus: rho(p) = rho(0) (1 + K p / B0)^(1 / K).

Run from the repository root: python3 hydraulics/fluiddata_gen.py
"""

import math
import os

OILS = {
    # name: (grade, rho15 [kg/m3], nu40 [cSt], nu100 [cSt], Bs40 [bar])
    "HM_VG32": (32, 865.0, 32.0, 5.4, 16600.0),
    "HM_VG46": (46, 870.0, 46.0, 6.8, 17000.0),
    "HM_VG68": (68, 880.0, 68.0, 8.7, 17300.0),
}
ALPHA = 6.5e-4
BETA = 0.0056
K = 11.0
GAMMA = 1.15
WALTHER_C = 0.7
# Every 2.5 degC: the reader interpolates linearly between temperatures, and
# viscosity is strongly convex in temperature (under 0.2 % error midway).
BM_TEMPERATURES = [-20 + 2.5 * i for i in range(69)]  # -20 .. 150
MU_TEMPERATURES = BM_TEMPERATURES
PRESSURES = [0, 25, 50, 100, 150, 200, 250, 300, 400, 500, 600, 800, 1000]  # bar


def density0(rho15, t):
    return rho15 * math.exp(-ALPHA * (t - 15.0))


def bulk0(bs40, t, isothermal):
    b = bs40 * math.exp(-BETA * (t - 40.0))
    return b / GAMMA if isothermal else b


def walther(nu40, nu100, t):
    w = lambda nu: math.log10(math.log10(nu + WALTHER_C))
    x40, x100 = math.log10(313.15), math.log10(373.15)
    a = w(nu40) + (w(nu100) - w(nu40)) * (math.log10(t + 273.15) - x40) / (x100 - x40)
    return 10.0 ** (10.0 ** a) - WALTHER_C


def barus(t):
    return (22.0 - 0.075 * (t - 40.0)) * 1e-4  # 1/bar


def fmt(v):
    return "%.10g" % v


def write(name, isothermal):
    grade, rho15, nu40, nu100, bs40 = OILS[name]
    kind = "isothermal" if isothermal else "isentropic"
    lines = [
        "# Mineral hydraulic oil HM, ISO viscosity grade %d: %s tangent bulk modulus." % (grade, kind),
        "# Typical published values: density %g kg/m3 at 15 degC, kinematic viscosity" % rho15,
        "# %g cSt at 40 degC and %g cSt at 100 degC, isentropic bulk modulus %g bar" % (nu40, nu100, bs40),
        "# at 40 degC and 0 bar.  Relations: see hydraulics/fluiddata_gen.py.",
        "# Pressures in bar gauge, temperatures in degC.",
        "1                 # definition by bulk modulus [bar]",
        "%d                 # temperatures" % len(BM_TEMPERATURES),
    ]
    for t in BM_TEMPERATURES:
        b0 = bulk0(bs40, t, isothermal)
        lines.append("%s 0   # reference density [kg/m3] at 0 bar" % fmt(density0(rho15, t)))
        lines.append("%s                # degC" % fmt(t))
        lines.append(str(len(PRESSURES)))
        slope = K / GAMMA if isothermal else K
        for p in PRESSURES:
            lines.append("%s %s" % (p, fmt(b0 + slope * p)))
    lines.append("2                 # kinematic viscosity [cSt]")
    lines.append("%d                 # temperatures" % len(MU_TEMPERATURES))
    for t in MU_TEMPERATURES:
        nu0 = walther(nu40, nu100, t)
        b0 = bulk0(bs40, t, isothermal)
        slope = K / GAMMA if isothermal else K
        lines.append("%s                # degC" % fmt(t))
        lines.append(str(len(PRESSURES)))
        for p in PRESSURES:
            compression = (1.0 + slope * p / b0) ** (1.0 / slope)
            lines.append("%s %s" % (p, fmt(nu0 * math.exp(barus(t) * p) / compression)))
    suffix = "_Bt.data" if isothermal else "_Bs.data"
    path = os.path.join("share", "libhydr", "data", "hyd_" + name + suffix)
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    os.makedirs(os.path.join("share", "libhydr", "data"), exist_ok=True)
    for oil in OILS:
        write(oil, False)
        write(oil, True)
