#!/usr/bin/python3
"""Quality benchmark of the noise reduction against clean originals.

Clean photographs of the shared test corpus are cropped, given noise of known kinds, and denoised
by the program's five modes at their defaults and by its automatic mode (through the batch tool;
velanox-auto-denoise with --auto-args for variants of the method) and by scikit-image's wavelet denoiser (BayesShrink, bior4.4,
5 levels, YCbCr), the reference the automatic mode is measured against. PSNR and SSIM of every
result against its clean original are printed as a Markdown table.

Noise kinds:
  g5, g10, g20, g30  Gaussian noise of that standard deviation in each of red, green, blue;
  cam                camera-like: Poisson-Gaussian noise added to a Bayer mosaic (RGGB) of the
                     linearised picture, bilinear demosaicing, back to sRGB; its clean original is
                     the same mosaic and demosaicing without noise;
  camjpg             that camera-like picture saved as JPEG quality 90 (4:2:0).

Run it through scripts/quality-bench, which installs what it needs and builds the programs.
"""

import argparse
import concurrent.futures
import json
import os
import subprocess
import sys
import time
import warnings

import numpy as np
from PIL import Image
from skimage.metrics import peak_signal_noise_ratio, structural_similarity
from skimage.restoration import denoise_wavelet

warnings.filterwarnings("ignore")

# name: (file in the corpus, crop left, top, width, height). CC0 (Canon, Nikon) and BSD-3-Clause
# (the flower, libjxl's test data); see the corpus's MANIFEST.md.
PICTURES = {
    "chart": ("noisy/canon_eos_rp_26mp_clean_benchmark.jpg", (200, 100, 1732, 1155)),
    "flower": ("jpeg/flower_progressive_cjpeg.jpg", (268, 178, 1732, 1155)),
    "cloth": ("jpeg/nikon_d3100_orient8_14mp.jpg", (300, 1850, 1732, 1155)),
    "chart24": ("noisy/canon_eos_rp_26mp_clean_benchmark.jpg", (120, 80, 6000, 4000)),
}
NOISES = ["g5", "g10", "g20", "g30", "cam", "camjpg"]
MODES = ["default", "nature", "portrait", "high-noise", "scanner"]
# The camera model: variance a * x + b on linear values 0..1 (about ISO 3200 on a small sensor).
CAMERA_A, CAMERA_B = 0.004, 4e-5


def srgb_to_linear(v):
    return np.where(v <= 0.04045, v / 12.92, ((v + 0.055) / 1.055) ** 2.4)


def linear_to_srgb(v):
    v = np.clip(v, 0.0, 1.0)
    return np.where(v <= 0.0031308, v * 12.92, 1.055 * np.power(v, 1 / 2.4) - 0.055)


def convolve3(x, k):
    p = np.pad(x, 1, mode="reflect")
    out = np.zeros_like(x)
    h, w = x.shape
    for dy in range(3):
        for dx in range(3):
            if k[dy][dx]:
                out += k[dy][dx] * p[dy:dy + h, dx:dx + w]
    return out


def mosaic(linear):
    m = linear[..., 1].copy()
    m[0::2, 0::2] = linear[0::2, 0::2, 0]
    m[1::2, 1::2] = linear[1::2, 1::2, 2]
    return m


def demosaic(m):
    h, w = m.shape
    yy, xx = np.mgrid[0:h, 0:w]
    red = ((yy % 2 == 0) & (xx % 2 == 0)).astype(np.float64)
    blue = ((yy % 2 == 1) & (xx % 2 == 1)).astype(np.float64)
    green = 1.0 - red - blue
    kg = [[0, .25, 0], [.25, 1, .25], [0, .25, 0]]
    krb = [[.25, .5, .25], [.5, 1, .5], [.25, .5, .25]]
    return np.stack([convolve3(m * red, krb), convolve3(m * green, kg), convolve3(m * blue, krb)], -1)


def to_bytes(v):
    return np.clip(np.round(v * 255.0), 0, 255).astype(np.uint8)


def make_cases(corpus, work, names):
    """Writes <case>_clean.png and <case>_noisy.png for every case; returns the case names."""
    cases = []
    for name in names:
        path, (x, y, w, h) = PICTURES[name]
        clean = None
        for noise in NOISES:
            case = f"{name}_{noise}"
            cases.append(case)
            if os.path.exists(f"{work}/{case}_noisy.png") and os.path.exists(f"{work}/{case}_clean.png"):
                continue
            if clean is None:
                clean = np.asarray(Image.open(os.path.join(corpus, path)).convert("RGB"))[y:y + h, x:x + w]
            # The same noise on every run: the seed comes from the case's name.
            rng = np.random.default_rng(int.from_bytes(case.encode(), "little") % (1 << 63))
            if noise.startswith("g"):
                sigma = float(noise[1:])
                noisy = np.clip(np.round(clean + rng.normal(0.0, sigma, clean.shape)), 0, 255).astype(np.uint8)
                reference = clean
            else:
                m = mosaic(srgb_to_linear(clean / 255.0))
                reference = to_bytes(linear_to_srgb(demosaic(m)))
                raw = rng.poisson(m / CAMERA_A) * CAMERA_A + rng.normal(0.0, np.sqrt(CAMERA_B), m.shape)
                noisy = to_bytes(linear_to_srgb(demosaic(np.clip(raw, 0.0, 1.0))))
                if noise == "camjpg":
                    Image.fromarray(noisy).save(f"{work}/{case}.jpg", quality=90)
                    noisy = np.asarray(Image.open(f"{work}/{case}.jpg").convert("RGB"))
                    os.remove(f"{work}/{case}.jpg")
            Image.fromarray(reference).save(f"{work}/{case}_clean.png")
            Image.fromarray(noisy).save(f"{work}/{case}_noisy.png")
    return cases


def load(path):
    return np.asarray(Image.open(path).convert("RGB"))


def scores(reference, result):
    return (peak_signal_noise_ratio(reference, result, data_range=255),
            structural_similarity(reference, result, channel_axis=-1, data_range=255))


def skimage_reference(noisy):
    out = denoise_wavelet(noisy / 255.0, wavelet="bior4.4", wavelet_levels=5, method="BayesShrink",
                          mode="soft", convert2ycbcr=True, channel_axis=-1, rescale_sigma=True)
    return to_bytes(out)


def cached(path, fresh, compute):
    """The scores stored at path, or computed and stored (the five modes and scikit-image give the
    same results run after run; --fresh measures them again)."""
    if not fresh and os.path.exists(path):
        with open(path) as f:
            return tuple(json.load(f))
    value = compute()
    with open(path, "w") as f:
        json.dump(value, f)
    return value


def run_case(case, work, cli, tool, methods, auto_args, fresh):
    noisy_path = f"{work}/{case}_noisy.png"
    reference = load(f"{work}/{case}_clean.png")
    row = {"case": case, "noisy": scores(reference, load(noisy_path))}
    for mode in MODES:
        if mode not in methods:
            continue
        out = f"{work}/{case}_{mode}.png"

        def compute():
            subprocess.run([cli, "-q", "--overwrite", "-j", "1", "--mode", mode, "-o", out, noisy_path],
                           check=True)
            return scores(reference, load(out))
        row[mode] = cached(f"{work}/{case}_{mode}.json", fresh, compute)
    if "auto" in methods:
        out = f"{work}/{case}_auto.png"
        if auto_args:  # a variant of the method, through the engine's own tool
            info = subprocess.run([tool, noisy_path, out] + auto_args, check=True, capture_output=True,
                                  text=True)
            row["estimate"] = json.loads(info.stdout)["sigma"]
        else:  # the program's automatic mode, through the batch tool
            info = subprocess.run([cli, "-q", "--overwrite", "-j", "1", "--mode", "auto", "--json", "-o", out,
                                   noisy_path], check=True, capture_output=True, text=True)
            row["estimate"] = json.loads(info.stdout)["noiseEstimate"]
        row["auto"] = scores(reference, load(out))
    if "skimage" in methods:
        row["skimage"] = cached(f"{work}/{case}_skimage.json", fresh,
                                lambda: scores(reference, skimage_reference(load(noisy_path))))
    return row


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    repo = os.path.dirname(os.path.dirname(here))
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--build", default=os.path.join(repo, "build/release"))
    p.add_argument("--corpus", default=os.path.join(repo, "../shared/testdata"))
    p.add_argument("--work", default=os.path.join(repo, "build/quality"))
    p.add_argument("--pictures", default="chart,flower,cloth,chart24",
                   help="comma-separated: " + ",".join(PICTURES))
    p.add_argument("--noises", default=",".join(NOISES))
    p.add_argument("--methods", default=",".join(MODES + ["auto", "skimage"]))
    p.add_argument("--auto-args", default="",
                   help="measure a variant: these arguments for velanox-auto-denoise instead of --mode auto")
    p.add_argument("--jobs", type=int, default=1, help="cases measured at once")
    p.add_argument("--json", help="also write the rows to this file")
    p.add_argument("--fresh", action="store_true",
                   help="measure the five modes and scikit-image again instead of reusing stored scores")
    args = p.parse_args()

    os.makedirs(args.work, exist_ok=True)
    cli = os.path.join(args.build, "src/cli/velanox-nr-cli")
    tool = os.path.join(args.build, "bench/velanox-auto-denoise")
    methods = args.methods.split(",")
    noises = args.noises.split(",")
    cases = [c for c in make_cases(args.corpus, args.work, args.pictures.split(","))
             if c.split("_", 1)[1] in noises]
    started = time.time()
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        rows = list(pool.map(lambda c: run_case(c, args.work, cli, tool, methods, [a for a in args.auto_args.split() if a],
                                                args.fresh), cases))

    columns = ["noisy"] + [m for m in MODES + ["auto", "skimage"] if m in methods]
    print("| case | " + " | ".join(columns) + (" | auto − skimage | estimate |" if "auto" in methods and "skimage" in methods else " |"))
    print("| --- | " + " | ".join("---" for _ in columns) + (" | --- | --- |" if "auto" in methods and "skimage" in methods else " |"))
    for r in rows:
        cells = [f"{r[c][0]:.2f} / {r[c][1]:.3f}" for c in columns]
        extra = ""
        if "auto" in r and "skimage" in r:
            extra = f" | {r['auto'][0] - r['skimage'][0]:+.2f} | {r['estimate']:.2f}"
        print(f"| {r['case']} | " + " | ".join(cells) + extra + " |")
    means = {c: (np.mean([r[c][0] for r in rows]), np.mean([r[c][1] for r in rows])) for c in columns}
    line = "| mean | " + " | ".join(f"{means[c][0]:.2f} / {means[c][1]:.3f}" for c in columns)
    if "auto" in methods and "skimage" in methods:
        line += f" | {means['auto'][0] - means['skimage'][0]:+.2f} | |"
    else:
        line += " |"
    print(line)
    print(f"\n({len(rows)} cases, PSNR dB / SSIM, {time.time() - started:.0f} s)", file=sys.stderr)
    if args.json:
        with open(args.json, "w") as f:
            json.dump(rows, f, indent=1)


if __name__ == "__main__":
    main()
