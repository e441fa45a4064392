#!/usr/bin/env python3
"""Plots delivery and torque by shaft angle from the pump example's CSV."""
import csv
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


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
