#!/usr/bin/env python3
"""Writes the shipped fluid data files share/libhydr/data/hyd_<name>_B{s,t}.data.

Every fluid the fluid-properties submodel can name has a pair of files: "_Bs"
holds the isentropic tangent bulk modulus, "_Bt" the isothermal one; both hold
the reference density at 0 bar gauge per temperature and the viscosity over
pressure.  Each fluid below names its source.  Figures marked "typical" are
not taken from a published table or fluid standard at hand: they are values
usual for that class of fluid, chosen inside the fluid standard's limits where
there are limits, and say so in the file's header.

Shared relations (the same for the mineral hydraulic oils HM, whose files
these are historically):

- density at 0 bar: rho(T) = rho_ref * exp(-alpha * (T - T_ref));
- isentropic tangent bulk modulus: Bs(p, T) = Bs_ref * exp(-beta * (T - T_ref))
  + K * p; the isothermal one is Bt = Bs / gamma, gamma = cp/cv;
- kinematic viscosity at 0 bar by the Walther relation (ASTM D341)
  log10(log10(nu + 0.7)) = A - B log10(T [K]) through two points, or for thin
  liquids (where nu + 0.7 nears 1) by the Andrade relation ln(v) = A + B / T,
  or, where no such line passes the cold point too, by the Vogel relation
  ln(v) = A + B / (T - C) through three points;
- dynamic viscosity over pressure by the Barus law mu(p) = mu(0) exp(a p);
  a kinematic file holds mu(p) / rho(p), rho(p) from the file's own bulk
  modulus: rho(p) = rho(0) (1 + K p / B0)^(1 / K).

Water uses the IAPWS formulations (IAPWS-IF97 region 1 for density, speed of
sound and compressibility; IAPWS 2008 for viscosity), checked below against
the formulations' own verification values.

Run from the repository root: python3 hydraulics/fluiddata_gen.py
"""

import math
import os
import sys

PRESSURES = [0, 25, 50, 100, 150, 200, 250, 300, 400, 500, 600, 800, 1000]  # bar
PATM = 101300.0  # Pa, gauge zero
WALTHER_C = 0.7


def grid(lo, hi, step):
    """lo, the multiples of step strictly between, hi."""
    inner = [step * k for k in range(math.floor(lo / step) + 1, math.ceil(hi / step))]
    return [lo] + [t for t in inner if lo < t < hi] + [hi]


def walther_through(p1, p2):
    (t1, v1), (t2, v2) = p1, p2
    w = lambda nu: math.log10(math.log10(nu + WALTHER_C))
    x1, x2 = math.log10(t1 + 273.15), math.log10(t2 + 273.15)

    def nu(t):
        a = w(v1) + (w(v2) - w(v1)) * (math.log10(t + 273.15) - x1) / (x2 - x1)
        return 10.0 ** (10.0 ** a) - WALTHER_C
    return nu


def andrade_through(p1, p2):
    (t1, v1), (t2, v2) = p1, p2
    b = math.log(v1 / v2) / (1.0 / (t1 + 273.15) - 1.0 / (t2 + 273.15))
    return lambda t: v1 * math.exp(b * (1.0 / (t + 273.15) - 1.0 / (t1 + 273.15)))


def vogel_through(p1, p2, p3):
    """ln(v) = A + B / (T - C) through three points, C by bisection."""
    pts = [(t + 273.15, math.log(v)) for t, v in (p1, p2, p3)]
    (x1, y1), (x2, y2), (x3, y3) = pts

    def mismatch(c):
        return (y1 - y2) / (1 / (x1 - c) - 1 / (x2 - c)) - (y2 - y3) / (1 / (x2 - c) - 1 / (x3 - c))
    lo, hi = 0.0, x1 - 1.0
    for _ in range(200):
        mid = 0.5 * (lo + hi)
        if (mismatch(lo) > 0) == (mismatch(mid) > 0):
            lo = mid
        else:
            hi = mid
    c = 0.5 * (lo + hi)
    b = (y1 - y2) / (1 / (x1 - c) - 1 / (x2 - c))
    a = y1 - b / (x1 - c)
    return lambda t: math.exp(a + b / (t + 273.15 - c))


class Liquid:
    """A liquid of the shared relations.

    visc: (law, point1, point2) with law "walther" or "andrade" on
    kinematic viscosity [cSt], "andrade-mu" on dynamic viscosity [cP], or
    ("vogel", point1, point2, point3) on kinematic viscosity;
    barus: (a at 40 degC [1/GPa], its fall per K [1/GPa/K]).
    """

    def __init__(self, name, header, rho, bs, visc, barus, trange, alpha=6.5e-4, beta=0.0056,
                 k=11.0, gamma=1.15, step=(5.0, 2.5), digits=7):
        self.name, self.header, self.digits = name, header, digits
        self.rho_t, self.rho_ref = rho
        self.bs_t, self.bs_ref = bs
        self.alpha, self.beta, self.k, self.gamma, self.barus = alpha, beta, k, gamma, barus
        law, points = visc[0], visc[1:]
        self.dynamic = law.endswith("-mu")
        self.visc = {"walther": walther_through, "andrade": andrade_through,
                     "andrade-mu": andrade_through, "vogel": vogel_through}[law](*points)
        self.bm_temperatures = grid(trange[0], trange[1], step[0])
        self.mu_temperatures = grid(trange[0], trange[1], step[1])

    def rho0(self, t):
        return self.rho_ref * math.exp(-self.alpha * (t - self.rho_t))

    def bulk(self, t, p, isothermal):
        b = self.bs_ref * math.exp(-self.beta * (t - self.bs_t))
        return b / self.gamma + self.k / self.gamma * p if isothermal else b + self.k * p

    def viscosity(self, t, p, isothermal):
        a = (self.barus[0] - self.barus[1] * (t - 40.0)) * 1e-4  # 1/bar
        v = self.visc(t) * math.exp(a * p)
        if self.dynamic:
            return v
        b0 = self.bulk(t, 0.0, isothermal)
        slope = self.k / self.gamma if isothermal else self.k
        return v / (1.0 + slope * p / b0) ** (1.0 / slope)


# --- Water: IAPWS-IF97 region 1 (p in Pa, T in K) and IAPWS 2008 viscosity.
IF97_R = 461.526  # J/(kg K)
IF97_1 = [  # I, J, n
    (0, -2, 0.14632971213167), (0, -1, -0.84548187169114), (0, 0, -0.37563603672040e1),
    (0, 1, 0.33855169168385e1), (0, 2, -0.95791963387872), (0, 3, 0.15772038513228),
    (0, 4, -0.16616417199501e-1), (0, 5, 0.81214629983568e-3), (1, -9, 0.28319080123804e-3),
    (1, -7, -0.60706301565874e-3), (1, -1, -0.18990068218419e-1), (1, 0, -0.32529748770505e-1),
    (1, 1, -0.21841717175414e-1), (1, 3, -0.52838357969930e-4), (2, -3, -0.47184321073267e-3),
    (2, 0, -0.30001780793026e-3), (2, 1, 0.47661393906987e-4), (2, 3, -0.44141845330846e-5),
    (2, 17, -0.72694996297594e-15), (3, -4, -0.31679644845054e-4), (3, 0, -0.28270797985312e-5),
    (3, 6, -0.85205128120103e-9), (4, -5, -0.22425281908000e-5), (4, -2, -0.65171222895601e-6),
    (4, 10, -0.14341729937924e-12), (5, -8, -0.40516996860117e-6), (8, -11, -0.12734301741641e-8),
    (8, -6, -0.17424871230634e-9), (21, -29, -0.68762131295531e-18),
    (23, -31, 0.14478307828521e-19), (29, -38, 0.26335781662795e-22),
    (30, -39, -0.11947622640071e-22), (31, -40, 0.18228094581404e-23),
    (32, -41, -0.93537087292458e-25),
]


def if97(p, temp):
    """Density [kg/m3], speed of sound [m/s], isothermal bulk modulus [Pa]."""
    pi, tau = p / 16.53e6, 1386.0 / temp
    a, b = 7.1 - pi, tau - 1.222
    gp = gpp = gtt = gpt = 0.0
    for i, j, n in IF97_1:
        gp -= n * i * a ** (i - 1) * b ** j
        gpp += n * i * (i - 1) * a ** (i - 2) * b ** j
        gtt += n * a ** i * j * (j - 1) * b ** (j - 2)
        gpt -= n * i * a ** (i - 1) * j * b ** (j - 1)
    rho = p / (IF97_R * temp * pi * gp)
    w2 = IF97_R * temp * gp * gp / ((gp - tau * gpt) ** 2 / (tau * tau * gtt) - gpp)
    return rho, math.sqrt(w2), -16.53e6 * gp / gpp


VISC_H0 = [1.67752, 2.20462, 0.6366564, -0.241605]
VISC_H1 = [  # H_ij, i = 0..5 rows, j = 0..6 columns
    [5.20094e-1, 2.22531e-1, -2.81378e-1, 1.61913e-1, -3.25372e-2, 0.0, 0.0],
    [8.50895e-2, 9.99115e-1, -9.06851e-1, 2.57399e-1, 0.0, 0.0, 0.0],
    [-1.08374, 1.88797, -7.72479e-1, 0.0, 0.0, 0.0, 0.0],
    [-2.89555e-1, 1.26613, -4.89837e-1, 0.0, 6.98452e-2, 0.0, -4.35673e-3],
    [0.0, 0.0, -2.57040e-1, 0.0, 0.0, 8.72102e-3, 0.0],
    [0.0, 1.20573e-1, 0.0, 0.0, 0.0, 0.0, -5.93264e-4],
]


def iapws_viscosity(rho, temp):
    """Dynamic viscosity [Pa.s] without the critical enhancement (1 here)."""
    t, d = temp / 647.096, rho / 322.0
    mu0 = 100.0 * math.sqrt(t) / sum(h / t ** i for i, h in enumerate(VISC_H0))
    s = sum(VISC_H1[i][j] * (1.0 / t - 1.0) ** i * (d - 1.0) ** j
            for i in range(6) for j in range(7))
    return 1e-6 * mu0 * math.exp(d * s)


def check_iapws():
    for p, temp, v, w in [(3e6, 300.0, 0.100215168e-2, 0.150773921e4),
                          (80e6, 300.0, 0.971180894e-3, 0.163469054e4),
                          (3e6, 500.0, 0.120241800e-2, 0.124071337e4)]:
        rho, c, _ = if97(p, temp)
        assert abs(1.0 / rho / v - 1.0) < 1e-8 and abs(c / w - 1.0) < 1e-8, (p, temp)
    for temp, rho, mu in [(298.15, 998.0, 889.735100), (298.15, 1200.0, 1437.649467),
                          (373.15, 1000.0, 307.883622), (433.15, 1.0, 14.538324),
                          (873.15, 600.0, 77.430195)]:
        assert abs(iapws_viscosity(rho, temp) * 1e6 / mu - 1.0) < 1e-7, (temp, rho)


class Water:
    name = "water"
    header = [
        "Water, liquid between freezing and boiling at 0 bar gauge.",
        "Source: IAPWS-IF97 region 1 (density, speed of sound, isothermal",
        "compressibility; Bs = rho w^2, Bt = rho dp/drho) and the IAPWS 2008",
        "formulation of viscosity (absolute viscosity, critical term 1).",
    ]
    digits = 7
    dynamic = True
    bm_temperatures = grid(1.0, 99.0, 5.0)
    mu_temperatures = grid(1.0, 99.0, 2.5)

    @staticmethod
    def rho0(t):
        return if97(PATM, t + 273.15)[0]

    @staticmethod
    def bulk(t, p, isothermal):
        rho, w, bt = if97(p * 1e5 + PATM, t + 273.15)
        return (bt if isothermal else rho * w * w) * 1e-5

    @staticmethod
    def viscosity(t, p, isothermal):
        rho = if97(p * 1e5 + PATM, t + 273.15)[0]
        return iapws_viscosity(rho, t + 273.15) * 1e3


# --- Ethylene glycol and its solutions in water (mass fraction w).
# Pure ethylene glycol (handbook values as recalled, no table at hand to
# recheck them): density 1113.5 kg/m3 at 20 degC and 1110.0 at 25; dynamic
# viscosity 16.06, 6.554 and 1.975 cP at 25, 50 and 100 degC (handbook table
# of liquid viscosities; its 75 degC value 3.340 cP is left out to check the
# fit); speed of sound 1658 m/s at 25 degC; dc/dT = -2.1 m/s/K (typical of
# polar liquids).
EG_RHO20, EG_DRHO = 1113.5, 0.70  # kg/m3, kg/m3/K
EG_MU = vogel_through((25.0, 16.06), (50.0, 6.554), (100.0, 1.975))
EG_C20 = 1658.0 + 2.1 * 5.0
EG_BETA = 2.0 * 2.1 / EG_C20 + EG_DRHO / EG_RHO20  # from the fall of c and rho
# Water in the solutions: the Vogel relation mu = 2.414e-5 * 10^(247.8 / (T - 140))
# Pa.s (published engineering fit, within 2.5 % over 0..370 degC), which
# stays smooth below 0 degC where the solutions are still liquid; density
# 998.2 kg/m3 and speed of sound 1482.4 m/s at 20 degC (published).
WATER_MU = lambda t: 2.414e-2 * 10.0 ** (247.8 / (t + 273.15 - 140.0))  # cP
WATER_RHO20, WATER_DRHO, WATER_C20 = 998.2, 0.44, 1482.4
# Density [kg/m3] and dynamic viscosity [cP] of the solutions at 20 degC by
# mass fraction: typical, rounded handbook values of aqueous ethylene glycol
# (no table at hand; recalled to about 1 kg/m3 and 10 %).
EG_SOLUTIONS_20 = {0.2: (1024.5, 1.6), 0.4: (1050.5, 2.8), 0.5: (1063.5, 3.7),
                   0.6: (1075.5, 5.0), 0.8: (1096.5, 9.5)}


class Glycol:
    """Ethylene glycol with mass fraction w in water.

    Typical mixing rules, labelled so in the files: density falls with
    temperature by the mass-weighted slopes of water (0.44 kg/m3/K, 20..80
    degC mean) and glycol; the viscosity keeps its 20 degC value times the
    components' own temperature ratios weighted by mole fraction; the
    isentropic compressibility is volume-fraction weighted (a lower bound on
    the bulk modulus of these solutions); the bulk modulus's temperature
    coefficient, its pressure slope K (water 6, glycol 9) and gamma (water
    1.01, glycol 1.14) are volume-fraction weighted typical values; the Barus
    coefficient is 6 1/GPa times the glycol volume fraction (typical).
    """

    def __init__(self, name, w, header, trange):
        self.name, self.w, self.digits, self.dynamic = name, w, 7, True
        self.header = header + [
            "Relations (typical mixing rules): see hydraulics/fluiddata_gen.py.",
        ]
        if w == 1.0:
            self.rho20, self.mu20 = EG_RHO20, EG_MU(20.0)
        else:
            lo = max(k for k in EG_SOLUTIONS_20 if k <= w)
            hi = min(k for k in EG_SOLUTIONS_20 if k >= w)
            s = 0.0 if lo == hi else (w - lo) / (hi - lo)
            (r1, m1), (r2, m2) = EG_SOLUTIONS_20[lo], EG_SOLUTIONS_20[hi]
            self.rho20, self.mu20 = r1 + s * (r2 - r1), m1 * (m2 / m1) ** s
        self.x = (w / 62.068) / (w / 62.068 + (1.0 - w) / 18.015)  # mole fraction
        self.phi = (w / EG_RHO20) / (w / EG_RHO20 + (1.0 - w) / WATER_RHO20)  # volume
        compressibility = (1.0 - self.phi) / (WATER_RHO20 * WATER_C20 ** 2) + \
            self.phi / (EG_RHO20 * EG_C20 ** 2)
        self.bs20 = 1e-5 / compressibility  # bar
        self.beta = (1.0 - self.phi) * -1.14e-3 + self.phi * EG_BETA
        self.k = (1.0 - self.phi) * 6.0 + self.phi * 9.0
        self.gamma = (1.0 - self.phi) * 1.01 + self.phi * 1.14
        self.bm_temperatures = grid(trange[0], trange[1], 5.0)
        self.mu_temperatures = grid(trange[0], trange[1], 2.5)

    def rho0(self, t):
        return self.rho20 - ((1.0 - self.w) * WATER_DRHO + self.w * EG_DRHO) * (t - 20.0)

    def bulk(self, t, p, isothermal):
        b = self.bs20 * math.exp(-self.beta * (t - 20.0))
        return b / self.gamma + self.k / self.gamma * p if isothermal else b + self.k * p

    def viscosity(self, t, p, isothermal):
        water, glycol = WATER_MU(t) / WATER_MU(20.0), EG_MU(t) / EG_MU(20.0)
        ratio = water ** (1.0 - self.x) * glycol ** self.x
        return self.mu20 * ratio * math.exp(6e-4 * self.phi * p)


def eg_solution(name, w, trange):
    percent = round(100 * w)
    return Glycol(name, w, [
        "Ethylene glycol %d %% and water %d %% by mass." % (percent, 100 - percent),
        "Source: density %g kg/m3 and viscosity %g cP at 20 degC typical, rounded"
        % EG_SOLUTIONS_20[w],
        "handbook values; pure glycol as in the pure_ethylene_glycol file; water by",
        "published fits (Vogel viscosity, density and speed of sound at 20 degC).",
    ], trange)


PURE_EG_HEADER = [
    "Source: handbook density 1113.5 kg/m3 at 20 degC, 1110.0 at 25; viscosity",
    "16.06, 6.554 and 1.975 cP at 25, 50, 100 degC (Vogel fit through them);",
    "speed of sound 1658 m/s at 25 degC (handbook values as recalled, within about",
    "2 %); typical dc/dT, gamma and Barus law.",
]


def oil(name, what, rho15, nu1, nu2, bs40, trange, sources, **kw):
    header = [what, "Density %g kg/m3 at 15 degC, kinematic viscosity %g cSt at %g degC" %
              (rho15, nu1[1], nu1[0]),
              "and %g cSt at %g degC, isentropic bulk modulus %g bar at 40 degC." %
              (nu2[1], nu2[0], bs40)] + sources
    return Liquid(name, header, (15.0, rho15), (40.0, bs40), ("walther", nu1, nu2),
                  kw.pop("barus", (22.0, 0.075)), trange, **kw)


TYPICAL_OIL = "Typical: bulk modulus, expansion, gamma 1.15, K 11, Barus 22 1/GPa at 40 degC."


def fuel(name, what, rho, nu1, nu2, sources, trange=(-40.0, 100.0), c=1320.0, law="walther",
         barus=10.0):
    """A fuel or light liquid: c is its speed of sound at rho's temperature."""
    header = [what, "Density %g kg/m3 at %g degC, kinematic viscosity %g cSt at %g degC" %
              (rho[1], rho[0], nu1[1], nu1[0]),
              "and %g cSt at %g degC, speed of sound %g m/s at %g degC." %
              (nu2[1], nu2[0], c, rho[0])] + sources + [
        "Typical for light hydrocarbons: expansion 9.5e-4 1/K, bulk modulus falling",
        "by 0.6 %%/K, K 10, gamma 1.2, Barus %g 1/GPa." % barus]
    return Liquid(name, header, rho, (rho[0], rho[1] * c * c * 1e-5), (law, nu1, nu2),
                  (barus, 0.0), trange, alpha=9.5e-4, beta=0.006, k=10.0, gamma=1.2,
                  step=(5.0, 5.0))


def pure(name, what, rho1, rho2, mu1, mu2, c, trange, sources, barus):
    """A pure liquid from handbook densities and viscosities [cP] at two temperatures."""
    alpha = math.log(rho1[1] / rho2[1]) / (rho2[0] - rho1[0])
    header = [what, "Density %g and %g kg/m3 at %g and %g degC, viscosity %g and %g cP" %
              (rho1[1], rho2[1], rho1[0], rho2[0], mu1[1], mu2[1]),
              "at %g and %g degC (Andrade fit), speed of sound %g m/s at %g degC." %
              (mu1[0], mu2[0], c, rho2[0])] + sources + [
        "Typical: bulk modulus falling by 0.75 %%/K, K 10, gamma 1.2, Barus %g 1/GPa." % barus]
    return Liquid(name, header, rho2, (rho2[0], rho2[1] * c * c * 1e-5),
                  ("andrade-mu", mu1, mu2), (barus, 0.0), trange, alpha=alpha, beta=0.0075,
                  k=10.0, gamma=1.2, step=(5.0, 5.0))


HANDBOOK = ["Source: handbook tables of liquid densities, viscosities and speeds of sound",
            "(values as recalled, no table at hand to recheck: within about 2 %)."]
HM = "Source: typical published values of ISO VG grades (ISO 3448: +-10 % at 40 degC)."


def hm(grade, rho15, nu40, nu100, bs40):
    header = [
        "Mineral hydraulic oil HM, ISO viscosity grade %d: %%s tangent bulk modulus." % grade,
        "Typical published values: density %g kg/m3 at 15 degC, kinematic viscosity" % rho15,
        "%g cSt at 40 degC and %g cSt at 100 degC, isentropic bulk modulus %g bar"
        % (nu40, nu100, bs40),
        "at 40 degC and 0 bar.  Relations: see hydraulics/fluiddata_gen.py.",
    ]
    return Liquid("HM_VG%d" % grade, header, (15.0, rho15), (40.0, bs40),
                  ("walther", (40.0, nu40), (100.0, nu100)), (22.0, 0.075), (-20.0, 150.0),
                  step=(2.5, 2.5), digits=10)


SAE = ["Source: SAE J300 limits (cold-cranking viscosity at most 6200, 6600, 7000 and",
       "7000 cP at -35, -30, -25, -20 degC for 0W, 5W, 10W, 15W; 9.3..12.5 cSt (30)",
       "and 12.5..16.3 cSt (40) at 100 degC); the values used are typical inside them.",
       "The cold point is a typical cold-cranking viscosity (cP) over the density.",
       TYPICAL_OIL]


def cranking(rho15, t, cp):
    """A multigrade's cold point in cSt: its cold-cranking viscosity in cP."""
    return (t, cp / (rho15 * math.exp(-6.5e-4 * (t - 15.0))) * 1e3)


MIL = "Source: limits of the fluid standard; values used typical inside them."
NO_FIGURES = "No published figures at hand: every value is typical of the class."
JET = ["Source: fluid standard limits (density 775..840 kg/m3 at 15 degC, at most",
       "8.0 cSt at -20 degC); the values used are typical inside them."]
WIDE_CUT = ["Source: fluid standard density limits 751..802 kg/m3 at 15 degC; the values",
            "used are typical of wide-cut fuels."]
GOST = ["Source: fluid standard limits (density at least 775 kg/m3 at 20 degC, at least",
        "1.25 cSt at 20 degC); the values used are typical inside them."]
GASOLINE = ["Source: EN 228 density limits 720..775 kg/m3 at 15 degC; viscosity and speed",
            "of sound typical of gasolines."]

FLUIDS = [
    hm(32, 865.0, 32.0, 5.4, 16600.0),
    hm(46, 870.0, 46.0, 6.8, 17000.0),
    hm(68, 880.0, 68.0, 8.7, 17300.0),
    oil("HV_VG46", "Mineral hydraulic oil HV (high viscosity index), ISO VG 46.", 870.0,
        (40.0, 46.0), (100.0, 8.2), 17000.0, (-30.0, 150.0), [HM, TYPICAL_OIL]),
    oil("0W30", "Engine oil SAE 0W-30.", 850.0, cranking(850.0, -35.0, 5000.0), (100.0, 10.5),
        17000.0,
        (-35.0, 150.0), SAE),
    oil("5W30", "Engine oil SAE 5W-30.", 855.0, cranking(855.0, -30.0, 5500.0), (100.0, 10.6),
        17000.0,
        (-30.0, 150.0), SAE),
    oil("15W30", "Engine oil SAE 15W-30.", 870.0, cranking(870.0, -20.0, 5800.0), (100.0, 11.0),
        17200.0,
        (-20.0, 150.0), SAE),
    oil("15W40", "Engine oil SAE 15W-40.", 880.0, cranking(880.0, -20.0, 6000.0), (100.0, 14.5),
        17300.0,
        (-20.0, 150.0), SAE),
    oil("tractor_oil", "Universal tractor transmission oil, SAE 10W-30.", 880.0,
        cranking(880.0, -25.0, 5800.0), (100.0, 9.5), 17300.0, (-30.0, 150.0), SAE),
    # Type V fluids thin less with heat than one Walther line through their
    # cold point allows: Vogel through the three points of the class.
    Liquid("AS1241_V", [
        "Aircraft hydraulic fluid, SAE AS1241 Type V: fire-resistant phosphate ester of",
        "low density.  " + NO_FIGURES,
        "Density 995 kg/m3 at 25 degC, kinematic viscosity 1300, 10.5 and 3.75 cSt at -54,",
        "38 and 99 degC (Vogel fit through them), isentropic bulk modulus 17000 bar at",
        "25 degC and 0 bar; service range -54..107 degC.",
        "Typical of esters: expansion 7.5e-4 1/K, Barus 15 1/GPa; of oils: bulk modulus",
        "falling by 0.56 %/K, K 11, gamma 1.15."],
        (25.0, 995.0), (25.0, 17000.0), ("vogel", (-54.0, 1300.0), (38.0, 10.5), (99.0, 3.75)),
        (15.0, 0.05), (-55.0, 125.0), alpha=7.5e-4),
    oil("HFDU_ester", "Fire-resistant synthetic ester hydraulic fluid HFDU, ISO VG 46.", 920.0,
        (40.0, 46.0), (100.0, 9.4), 19000.0, (-20.0, 120.0),
        [NO_FIGURES, "Typical of esters: expansion 7.5e-4 1/K, Barus 15 1/GPa."],
        alpha=7.5e-4, barus=(15.0, 0.05)),
    oil("HFC_water_glycol", "Fire-resistant water-glycol hydraulic fluid HFC, ISO VG 46.",
        1080.0, (40.0, 46.0), (100.0, 10.0), 35000.0, (-20.0, 90.0),
        [NO_FIGURES, "Typical of water glycols: stiffer than oils (bulk modulus 3.5 GPa),",
         "K 7, gamma 1.05, expansion 6e-4 1/K, Barus 3.5 1/GPa."],
        alpha=6e-4, beta=0.0, k=7.0, gamma=1.05, barus=(3.5, 0.0)),
    oil("MIL-H-5606", "Aviation hydraulic fluid, petroleum base (MIL-PRF-5606).", 870.0,
        (40.0, 14.0), (100.0, 5.2), 15000.0, (-55.0, 135.0),
        [MIL, "Limits: at least 13.2 cSt at 40 and 4.90 at 100 degC, at most 600 at -40.",
         TYPICAL_OIL]),
    oil("MIL-H-8446", "High-temperature hydraulic fluid, silicate ester base.", 930.0,
        (40.0, 10.0), (100.0, 3.2), 15000.0, (-55.0, 200.0),
        [NO_FIGURES, TYPICAL_OIL]),
    oil("MIL-H-27601", "High-temperature hydraulic fluid, deep-dewaxed petroleum base.", 870.0,
        (40.0, 14.0), (100.0, 3.5), 15500.0, (-40.0, 200.0), [NO_FIGURES, TYPICAL_OIL]),
    oil("MIL-H-83282", "Fire-resistant aviation hydraulic fluid, synthetic hydrocarbon base.",
        845.0, (40.0, 14.5), (-40.0, 2000.0), 16000.0, (-40.0, 205.0),
        [MIL, "Limits: at least 14.0 cSt at 40 and 3.45 at 100 degC, at most 2200 at -40.",
         TYPICAL_OIL]),
    oil("MIL-H-87257", "Low-temperature fire-resistant aviation hydraulic fluid, synthetic"
        " hydrocarbon base.", 840.0, (40.0, 7.0), (-40.0, 470.0), 15500.0, (-55.0, 135.0),
        [MIL, "Limits: at least 6.7 cSt at 40 and 2.0 at 100 degC, at most 550 at -40.",
         TYPICAL_OIL]),
    oil("MIL-PRF-7808", "Synthetic aircraft turbine lubricant, 3 cSt class.", 945.0,
        (40.0, 12.5), (100.0, 3.2), 17500.0, (-50.0, 200.0),
        [MIL, "Limit: at least 3.0 cSt at 100 degC.", TYPICAL_OIL, "Ester: expansion 7.5e-4"
         " 1/K, Barus 15 1/GPa."], alpha=7.5e-4, barus=(15.0, 0.05)),
    oil("MIL-PRF-23699", "Synthetic aircraft turbine lubricant, 5 cSt class.", 995.0,
        (40.0, 25.0), (100.0, 5.1), 18500.0, (-40.0, 200.0),
        [MIL, "Limits: 4.90..5.40 cSt at 100 degC, at least 23.0 at 40 degC.", TYPICAL_OIL,
         "Ester: expansion 7.5e-4 1/K, Barus 15 1/GPa."], alpha=7.5e-4, barus=(15.0, 0.05)),
    fuel("jet-A", "Aviation turbine fuel Jet A (kerosene).", (15.0, 805.0), (-20.0, 4.5),
         (40.0, 1.35), JET),
    fuel("jet-A1", "Aviation turbine fuel Jet A-1 (kerosene).", (15.0, 800.0), (-20.0, 4.3),
         (40.0, 1.3), JET),
    fuel("JP-8", "Military aviation turbine fuel JP-8 (kerosene).", (15.0, 803.0), (-20.0, 4.4),
         (40.0, 1.3), JET),
    fuel("JP-5", "Military high-flash aviation turbine fuel JP-5.", (15.0, 818.0), (-20.0, 5.8),
         (40.0, 1.65), ["Source: fluid standard limits (density 788..845 kg/m3 at 15 degC,"
                        " at most 8.5", "cSt at -20 degC); the values used are typical inside"
                        " them."]),
    fuel("JP-7", "Military low-volatility aviation turbine fuel JP-7.", (15.0, 790.0),
         (-20.0, 5.0), (40.0, 1.5), ["Source: fluid standard density limits 779..806 kg/m3 at"
                                     " 15 degC;", "the viscosities used are typical."]),
    fuel("JP-TS", "Thermally stable aviation turbine fuel JP-TS.", (15.0, 795.0), (-20.0, 4.0),
         (40.0, 1.25), [NO_FIGURES]),
    fuel("jet-B", "Wide-cut aviation turbine fuel Jet B.", (15.0, 762.0), (-20.0, 1.6),
         (40.0, 0.75), WIDE_CUT, trange=(-50.0, 60.0), c=1230.0, law="andrade"),
    fuel("JP-4", "Military wide-cut aviation turbine fuel JP-4.", (15.0, 760.0), (-20.0, 1.6),
         (40.0, 0.75), WIDE_CUT, trange=(-50.0, 60.0), c=1230.0, law="andrade"),
    fuel("JP-10", "Missile fuel JP-10 (exo-tetrahydrodicyclopentadiene).", (15.0, 940.0),
         (-40.0, 17.0), (20.0, 3.0), ["Source: fluid standard density limits 935..943 kg/m3"
                                      " at 15 degC;", "the viscosities used are typical."],
         trange=(-55.0, 120.0), c=1500.0, barus=12.0),
    fuel("TS-1", "Aviation turbine fuel TS-1 (kerosene).", (20.0, 787.0), (-40.0, 6.0),
         (20.0, 1.35), GOST),
    fuel("RT", "Aviation turbine fuel RT (hydrotreated kerosene).", (20.0, 790.0),
         (-40.0, 8.0), (20.0, 1.5), GOST),
    fuel("D40_hydrocarbon_fluid", "Dearomatised aliphatic hydrocarbon solvent, D40 class.",
         (15.0, 770.0), (20.0, 1.45), (40.0, 1.1), [NO_FIGURES], trange=(-30.0, 120.0),
         law="andrade"),
    fuel("Av-gas", "Aviation gasoline 100LL.", (15.0, 720.0), (-20.0, 0.85), (40.0, 0.5),
         ["No published figures at hand (the fluid standard sets no density): every value"
          " is typical."], trange=(-50.0, 50.0), c=1150.0, law="andrade", barus=6.0),
    fuel("unleaded_gasoline_Premium", "Unleaded gasoline, premium (RON 95).", (15.0, 745.0),
         (-20.0, 0.9), (40.0, 0.52), GASOLINE, trange=(-40.0, 50.0), c=1160.0, law="andrade",
         barus=6.0),
    fuel("unleaded_gasoline_Super_Plus", "Unleaded gasoline, super plus (RON 98).",
         (15.0, 750.0), (-20.0, 0.92), (40.0, 0.53), GASOLINE, trange=(-40.0, 50.0), c=1165.0,
         law="andrade", barus=6.0),
    fuel("ethanol_gasoline_blend_E24", "Gasoline with 24 % ethanol by volume.", (15.0, 755.0),
         (-20.0, 1.1), (40.0, 0.6), [NO_FIGURES], trange=(-40.0, 50.0), c=1165.0,
         law="andrade", barus=6.0),
    pure("hexane", "n-Hexane.", (20.0, 659.4), (25.0, 654.8), (25.0, 0.300), (50.0, 0.240),
         1076.0, (-40.0, 65.0), HANDBOOK, 7.0),
    pure("heptane", "n-Heptane.", (20.0, 683.7), (25.0, 679.5), (25.0, 0.387), (50.0, 0.301),
         1131.0, (-40.0, 95.0), HANDBOOK, 7.0),
    pure("ethanol", "Ethanol.", (20.0, 789.3), (25.0, 785.1), (25.0, 1.074), (50.0, 0.694),
         1144.0, (-40.0, 75.0), HANDBOOK, 4.0),
    pure("methanol", "Methanol.", (20.0, 791.4), (25.0, 786.6), (25.0, 0.544), (50.0, 0.396),
         1103.0, (-40.0, 62.0), HANDBOOK, 4.0),
    Water(),
    Glycol("pure_ethylene_glycol", 1.0, ["Ethylene glycol (ethane-1,2-diol)."] + PURE_EG_HEADER,
           (-10.0, 150.0)),
    Glycol("pure_glycol", 1.0, ["Glycol: ethylene glycol, the same data as"
                                " pure_ethylene_glycol."] + PURE_EG_HEADER, (-10.0, 150.0)),
    eg_solution("cool_EG20_W80", 0.2, (-5.0, 100.0)),
    eg_solution("cool_EG40_W60", 0.4, (-20.0, 100.0)),
    eg_solution("cool_EG50_W50", 0.5, (-30.0, 100.0)),
    eg_solution("cool_EG60_W40", 0.6, (-45.0, 100.0)),
    eg_solution("cool_EG80_W20", 0.8, (-40.0, 110.0)),
    Glycol("coolant", 0.52, [
        "Ready-to-use engine coolant: ethylene glycol concentrate 50 % by volume in",
        "water, taken as ethylene glycol 52 % by mass (additives neglected).",
        "Source: the cool_EG50_W50 and cool_EG60_W40 values, interpolated (typical)."],
        (-35.0, 100.0)),
]


def write(fluid, isothermal):
    fmt = lambda v: "%.*g" % (fluid.digits, v)
    kind = "isothermal" if isothermal else "isentropic"
    header = [line.replace("%s", kind) for line in fluid.header]
    if not any("%s" in line for line in fluid.header):
        header.append("Bulk modulus: %s tangent." % kind)
    lines = ["# " + line for line in header] + [
        "# Pressures in bar gauge, temperatures in degC.",
        "1                 # definition by bulk modulus [bar]",
        "%d                 # temperatures" % len(fluid.bm_temperatures),
    ]
    for t in fluid.bm_temperatures:
        lines.append("%s 0   # reference density [kg/m3] at 0 bar" % fmt(fluid.rho0(t)))
        lines.append("%s                # degC" % fmt(t))
        lines.append(str(len(PRESSURES)))
        for p in PRESSURES:
            lines.append("%s %s" % (p, fmt(fluid.bulk(t, p, isothermal))))
    if fluid.dynamic:
        lines.append("1                 # absolute viscosity [cP]")
    else:
        lines.append("2                 # kinematic viscosity [cSt]")
    lines.append("%d                 # temperatures" % len(fluid.mu_temperatures))
    for t in fluid.mu_temperatures:
        lines.append("%s                # degC" % fmt(t))
        lines.append(str(len(PRESSURES)))
        for p in PRESSURES:
            lines.append("%s %s" % (p, fmt(fluid.viscosity(t, p, isothermal))))
    suffix = "_Bt.data" if isothermal else "_Bs.data"
    path = os.path.join(ROOT, "libhydr", "data", "hyd_" + fluid.name + suffix)
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


# The KIV root to write under: "share" of the checkout, or the folder named
# on the command line (the tests regenerate into a scratch folder and
# compare with what is shipped).
ROOT = sys.argv[1] if len(sys.argv) > 1 else "share"

if __name__ == "__main__":
    check_iapws()
    os.makedirs(os.path.join(ROOT, "libhydr", "data"), exist_ok=True)
    for fluid in FLUIDS:
        write(fluid, False)
        write(fluid, True)
