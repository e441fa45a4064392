#!/usr/bin/env python3
"""Plots delivery and torque by shaft angle from the pump example's CSV, with
the operating point and the means in the title, and, when the example wrote
them beside it, draws the gear pair, its ports and its cavities."""
import csv
import glob
import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def figures(path):
    """The example's figures (name -> text), empty when it wrote none."""
    if not os.path.exists(path):
        return {}
    with open(path, newline="") as f:
        return {row["name"]: row["value"] for row in csv.DictReader(f)}


def number(fig, name, fmt):
    try:
        return format(float(fig[name]), fmt)
    except (KeyError, ValueError):
        return "?"


def operating_point(fig):
    return (f"{number(fig, 'speed_rpm', '.0f')} rev/min, "
            f"outlet {number(fig, 'outlet_bar', 'g')} bar, "
            f"{number(fig, 'teeth', '.0f')} teeth")


def main(table, image):
    with open(table, newline="") as f:
        rows = list(csv.DictReader(f))
    folder = os.path.dirname(table)
    fig_values = figures(os.path.join(folder, "pump_figures.csv"))
    angle = [float(r["angle_deg"]) for r in rows]
    delivery = [float(r["delivery_lpm"]) for r in rows]
    torque = [float(r["torque_Nm"]) for r in rows]
    fig, (top, bottom) = plt.subplots(2, 1, sharex=True, figsize=(8, 6.4))
    top.plot(angle, delivery)
    bottom.plot(angle, torque, color="tab:red")
    if fig_values:
        top.axhline(float(fig_values["mean_delivery_lpm"]), color="tab:blue", ls="--", lw=0.8)
        bottom.axhline(float(fig_values["mean_torque_Nm"]), color="tab:red", ls="--", lw=0.8)
        fig.suptitle(
            f"Gear pump at {operating_point(fig_values)}\n"
            f"mean delivery {number(fig_values, 'mean_delivery_lpm', '.3f')} L/min "
            f"(volumetric eff. {number(fig_values, 'volumetric_efficiency', '.3f')}, "
            f"ripple {number(fig_values, 'ripple', '.2f')}), "
            f"mean torque {number(fig_values, 'mean_torque_Nm', '.3f')} N m "
            f"(mechanical eff. {number(fig_values, 'mechanical_efficiency', '.3f')})",
            fontsize="medium")
    top.set_ylabel("delivery [L/min]")
    bottom.set_ylabel("torque [N m]")
    bottom.set_xlabel("driving shaft angle [deg]")
    top.grid(True)
    bottom.grid(True)
    fig.tight_layout()
    fig.savefig(image, dpi=100)
    print(f"plot written to {image}")
    gears(os.path.join(folder, "pump"), os.path.splitext(image)[0] + "_gears.png", fig_values)


def paths(path):
    """The closed contours of a shape table file (blank or comment lines
    separate them)."""
    out, xs, ys = [], [], []
    with open(path) as f:
        for line in f:
            parts = line.split()
            if len(parts) == 2 and not line.startswith("#"):
                xs.append(float(parts[0]))
                ys.append(float(parts[1]))
            elif xs:
                out.append((xs + xs[:1], ys + ys[:1]))
                xs, ys = [], []
    if xs:
        out.append((xs + xs[:1], ys + ys[:1]))
    return out


def gears(prefix, image, fig_values):
    parts = [("_outlet.txt", "tab:red", "outlet port"), ("_inlet.txt", "tab:blue", "inlet port"),
             ("_driving.txt", "black", "driving gear"), ("_driven.txt", "dimgray", "driven gear")]
    if not all(os.path.exists(prefix + name) for name, _, _ in parts):
        return
    fig, ax = plt.subplots(figsize=(9, 5))
    for name, colour, label in parts:
        for k, (xs, ys) in enumerate(paths(prefix + name)):
            if "port" in label:
                # Hatched outlines, so that the cavities under them show.
                ax.fill(xs, ys, facecolor="none", edgecolor=colour, hatch="///", lw=1.2,
                        label=label if k == 0 else None)
            else:
                ax.plot(xs, ys, color=colour, lw=0.9, label=label if k == 0 else None)
    cavities = [("_cavity_r", "gold", "cavities of the driving gear"),
                ("_cavity_n", "tab:green", "cavities of the driven gear")]
    teeth = int(float(fig_values.get("teeth", "0")))
    for stem, colour, label in cavities:
        if teeth > 0:  # files of an earlier run with more teeth may lie beside
            files = [f"{prefix}{stem}{k}.txt" for k in range(teeth)]
            files = [name for name in files if os.path.exists(name)]
        else:
            files = sorted(glob.glob(glob.escape(prefix + stem) + "*.txt"))
        for k, name in enumerate(files):
            for j, (xs, ys) in enumerate(paths(name)):
                ax.fill(xs, ys, color=colour, alpha=0.6, lw=0,
                        label=label if k == 0 and j == 0 else None)
    ax.set_aspect("equal")
    ax.set_xlabel("x [mm]")
    ax.set_ylabel("y [mm]")
    title = "Gear pair, ports and cavities at shaft angle 0 deg"
    if fig_values:
        title += f"\n{operating_point(fig_values)}"
    ax.set_title(title, fontsize="medium")
    ax.legend(loc="upper left", bbox_to_anchor=(1.01, 1.0), fontsize="small")
    fig.tight_layout()
    fig.savefig(image, dpi=100)
    print(f"gear pair written to {image}")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
