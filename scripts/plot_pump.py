#!/usr/bin/env python3
"""Plots delivery and torque by shaft angle from the pump example's CSV and,
when the example wrote them beside it, draws the gear pair and its ports."""
import csv
import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def main(table, image):
    with open(table, newline="") as f:
        rows = list(csv.DictReader(f))
    angle = [float(r["angle_deg"]) for r in rows]
    fig, (top, bottom) = plt.subplots(2, 1, sharex=True, figsize=(8, 6))
    top.plot(angle, [float(r["delivery_lpm"]) for r in rows])
    top.set_ylabel("delivery [L/min]")
    bottom.plot(angle, [float(r["torque_Nm"]) for r in rows], color="tab:red")
    bottom.set_ylabel("torque [N m]")
    bottom.set_xlabel("driving shaft angle [deg]")
    top.grid(True)
    bottom.grid(True)
    fig.tight_layout()
    fig.savefig(image, dpi=100)
    print(f"plot written to {image}")
    gears(os.path.join(os.path.dirname(table), "pump"), os.path.splitext(image)[0] + "_gears.png")


def outline(path):
    xs, ys = [], []
    with open(path) as f:
        for line in f:
            parts = line.split()
            if len(parts) == 2 and not line.startswith("#"):
                xs.append(float(parts[0]))
                ys.append(float(parts[1]))
    return xs + xs[:1], ys + ys[:1]


def gears(prefix, image):
    parts = [("_outlet.txt", "tab:red", "outlet port"), ("_inlet.txt", "tab:blue", "inlet port"),
             ("_driving.txt", "black", "driving gear"), ("_driven.txt", "dimgray", "driven gear")]
    if not all(os.path.exists(prefix + name) for name, _, _ in parts):
        return
    fig, ax = plt.subplots(figsize=(7, 5))
    for name, colour, label in parts:
        xs, ys = outline(prefix + name)
        if "port" in label:
            ax.fill(xs, ys, color=colour, alpha=0.25, label=label)
        else:
            ax.plot(xs, ys, color=colour, label=label)
    ax.set_aspect("equal")
    ax.set_xlabel("x [mm]")
    ax.set_ylabel("y [mm]")
    ax.legend(loc="upper right", fontsize="small")
    fig.tight_layout()
    fig.savefig(image, dpi=100)
    print(f"gear pair written to {image}")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
