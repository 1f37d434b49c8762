#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""How well the panel's spoken readouts are understood under band noise.

Speaks random readouts (frequencies as the panel reads them, S-meter and SWR readouts, key
answers) with each voice: a clip set, concatenated gapless as the panel plays it; espeak-ng, one
sentence per readout; and speech-dispatcher with its default module, captured from a null sink of
a private PulseAudio server (bench/intelligibility.sh starts both). Each readout is mixed with pink
noise and with receiver-like band noise at several signal-to-noise ratios and scored by
pocketsphinx on a closed grammar of the panel's words (word error rate, an edit distance over the
whole run) and, as a cross-check that does not depend on any recogniser, by the short-time
objective intelligibility index (STOI) of each mixture against its clean speech.

Run it through bench/intelligibility.sh, which installs what it needs and starts the services.
"""

import argparse
import math
import os
import random
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import wave
from concurrent.futures import ProcessPoolExecutor

import numpy as np
from scipy import signal

RATE = 16000  # the recogniser's rate; every voice is resampled to it before mixing
SNRS = (20, 15, 10, 5)
NOISES = ("pink", "band")
LEAD_SECONDS = 0.4  # noise alone before and after the speech, as a receiver never falls silent
MODEL = "/usr/share/pocketsphinx/model/en-us"
RECOGNISER_OPTIONS = [tuple(o.split("=", 1)) for o in os.environ.get("ORVANE_PS", "").split()]

# Words of the panel that the recogniser's dictionary lacks, in its phone set.
EXTRA_PRONUNCIATIONS = {
    "attenuator": ["AH T EH N Y UW EY T ER"],
    "blanker": ["B L AE NG K ER"],
    "centi": ["S EH N T IY", "S EH N T AH"],
    "kilohertz": ["K IH L AH HH ER T S"],
    "orvane": ["AO R V EY N"],
}
# "to" (of "to one") and "two" sound the same: no listener and no recogniser can tell them apart,
# so both count as one word.
SAME_SOUND = {"to": "two"}


# ---------------------------------------------------------------------------------------------
# The readouts


def read_words(path):
    """Clip name -> the text its clip says (tools/clips/words.txt)."""
    text_of = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if re.match(r"^\s*(#|$)", line):
                continue
            name, _, text = line.strip().partition(" ")
            text = re.sub(r"\s+@\d+$", "", text.strip())
            text_of[name] = text
    return text_of


def frequency_clips(hz):
    """The clips the panel plays for a frequency (speech/announcer.cpp speakFrequency): the
    megahertz digits, then "point" and the decimals down to the 10 Hz digit without trailing
    zeros, then "megahertz"; "megahertz" straight after the digits on a whole megahertz."""
    mhz, rest = divmod(hz, 1_000_000)
    decimals = f"{rest:06d}"
    clips = list(str(mhz))
    if decimals == "000000":
        return clips + ["mhz"]
    clips.append("point")
    spoken = decimals[:5]
    for i, digit in enumerate(spoken):
        clips.append(digit)
        if int(spoken[i + 1 :] or "0") == 0:
            break
    return clips + ["mhz"]


# Amateur bands in kHz, where a frequency readout is drawn from.
BANDS_KHZ = [(1800, 2000), (3500, 3800), (5351, 5366), (7000, 7200), (10100, 10150),
             (14000, 14350), (18068, 18168), (21000, 21450), (24890, 24990), (28000, 29700),
             (50000, 52000)]


def random_frequency(rng):
    low, high = rng.choice(BANDS_KHZ)
    hz = rng.randrange(low * 1000, high * 1000)
    # Tuning steps leave trailing zeros: 10 Hz to 100 kHz steps, and now and then a whole MHz.
    step = rng.choice([10, 10, 100, 100, 1000, 1000, 10_000, 100_000, 1_000_000])
    hz = max(low * 1000, hz - hz % step)
    return frequency_clips(hz)


def meter_clips(rng):
    """An S-meter readout (tuning/meters.cpp): "S" and a unit, or "S 9 plus"; or the SWR."""
    if rng.random() < 0.7:
        units = rng.randrange(0, 14)
        return ["s", "9", "plus"] if units > 9 else ["s", str(units)]
    raw = rng.randrange(0, 31)
    if raw == 30:
        return ["SWR", "gt6", "21"]
    whole, sixths = divmod(raw, 6)
    return ["SWR", str(whole + 1), "point", str(sixths), "21"]


TOGGLES = ["preamp", "at", "nb", "nr", "notch"]
BANDS = ["160", "80", "60", "40", "30", "20", "17", "15", "12", "10", "6", "2", "70"]
MODES = ["lsb.wav", "usb.wav", "cw.wav", "am.wav", "fm.wav"]
SINGLE = ["band", "ag", "rf", "sch", "gch", "EF", "spot", "max", "ok", "invalid", "split",
          "connected", "nc", "ton", "tune.wav", "un"]


def key_answer_clips(rng):
    """What a key answers with: a toggle and its state, a band, a mode, the power, the filter
    width, or one of the single answers."""
    kind = rng.randrange(6)
    if kind == 0:
        return [rng.choice(TOGGLES), rng.choice(["on", "off"])]
    if kind == 1:
        return [rng.choice(BANDS), "metres"]
    if kind == 2:
        return [rng.choice(MODES)]
    if kind == 3:
        return list(str(rng.choice([5, 10, 25, 50, 75, 100]))) + ["watts"]
    if kind == 4:
        width = rng.choice([1, 5, 18, 21, 24, 27, 30, 60])
        digits = f"{width:02d}"
        return ["bw", digits[0], "point", digits[1], "khz"]
    return [rng.choice(SINGLE)]


def make_readouts(count, seed):
    rng = random.Random(seed)
    makers = [random_frequency, meter_clips, key_answer_clips]
    return [makers[i % 3](rng) for i in range(count)]


def words_of(text):
    """The words a text says, lower case, without punctuation, homophones made one."""
    words = re.sub(r"[^a-z0-9' ]", " ", text.lower()).split()
    return [SAME_SOUND.get(w, w) for w in words]


def sentence_of(clips, text_of):
    return " ".join(text_of[c] for c in clips)


# ---------------------------------------------------------------------------------------------
# Sound


def read_wav(path):
    with wave.open(path, "rb") as w:
        if w.getsampwidth() != 2:
            raise ValueError(f"{path}: not 16-bit PCM")
        frames = w.readframes(w.getnframes())
        rate, channels = w.getframerate(), w.getnchannels()
    x = np.frombuffer(frames, dtype="<i2").astype(np.float64) / 32768.0
    if channels > 1:
        x = x.reshape(-1, channels).mean(axis=1)
    return x, rate


def resample(x, rate, to=RATE):
    if rate == to:
        return x
    g = math.gcd(rate, to)
    return signal.resample_poly(x, to // g, rate // g)


def trim(x, below_peak_db=45.0):
    """Leading and trailing silence off: what lies below the peak by more than below_peak_db."""
    peak = np.max(np.abs(x)) if x.size else 0.0
    if peak == 0:
        return x
    loud = np.flatnonzero(np.abs(x) >= peak * 10 ** (-below_peak_db / 20))
    return x[loud[0] : loud[-1] + 1]


def active_level(x, rate=RATE):
    """Active speech level (RMS), in the manner of ITU-T P.56: the RMS over the 10 ms frames
    whose own RMS lies no more than 15.9 dB below that level. Pauses between words and the
    silence around a readout do not dilute it, so a voice that pauses more is not mixed
    louder."""
    n = rate // 100
    frames = x[: len(x) // n * n].reshape(-1, n)
    power = np.mean(frames**2, axis=1)
    level = np.mean(power)
    for _ in range(50):
        active = power[power >= level * 10 ** (-15.9 / 10)]
        new = np.mean(active) if active.size else level
        if abs(new - level) <= 1e-6 * level:
            break
        level = new
    return math.sqrt(level)


def pink_noise(n, rng):
    """Pink noise (power falling 3 dB per octave) by shaping white noise's spectrum."""
    spectrum = np.fft.rfft(rng.standard_normal(n))
    f = np.fft.rfftfreq(n, 1 / RATE)
    spectrum *= 1 / np.sqrt(np.maximum(f, 20.0))
    return np.fft.irfft(spectrum, n)


def band_noise(n, rng):
    """What a receiver gives between signals: white noise through a 300-2700 Hz SSB filter,
    fading slowly (6 dB deep, a period of 3 to 5 s)."""
    sos = signal.butter(6, [300, 2700], btype="bandpass", fs=RATE, output="sos")
    x = signal.sosfilt(sos, rng.standard_normal(n + RATE // 10))[RATE // 10 :]
    t = np.arange(n) / RATE
    period, phase = rng.uniform(3, 5), rng.uniform(0, 2 * math.pi)
    depth_db = 6.0 * (0.5 - 0.5 * np.cos(2 * math.pi * t / period + phase))
    return x * 10 ** (-depth_db / 20)


def mix(speech, noise_kind, snr_db, seed):
    """The speech with LEAD_SECONDS of noise around it, the noise's RMS set snr_db below the
    speech's active level."""
    lead = np.zeros(int(LEAD_SECONDS * RATE))
    clean = np.concatenate([lead, speech, lead])
    if noise_kind is None:
        return clean, clean
    rng = np.random.default_rng(seed)
    noise = (pink_noise if noise_kind == "pink" else band_noise)(len(clean), rng)
    noise *= active_level(speech) / math.sqrt(np.mean(noise**2)) / 10 ** (snr_db / 20)
    return clean, clean + noise


# ---------------------------------------------------------------------------------------------
# Short-time objective intelligibility (Taal, Hendriks, Heusdens, Jensen 2011): the correlation
# of the clean and the noisy speech's envelopes in one-third octave bands over 384 ms, averaged.

STOI_RATE = 10000
STOI_FRAME = 256
STOI_FFT = 512
STOI_BANDS = 15
STOI_LOWEST = 150.0
STOI_SEGMENT = 30
STOI_BETA_DB = -15.0
STOI_RANGE_DB = 40.0


def third_octave_matrix():
    f = np.linspace(0, STOI_RATE, STOI_FFT + 1)[: STOI_FFT // 2 + 1]
    k = np.arange(STOI_BANDS)
    centre = STOI_LOWEST * 2.0 ** (k / 3)
    low, high = centre * 2 ** (-1 / 6), centre * 2 ** (1 / 6)
    m = np.zeros((STOI_BANDS, f.size))
    for j in range(STOI_BANDS):
        lo = np.argmin((f - low[j]) ** 2)
        hi = np.argmin((f - high[j]) ** 2)
        m[j, lo:hi] = 1
    return m


def stft_frames(x, window):
    hop = STOI_FRAME // 2
    starts = range(0, len(x) - STOI_FRAME + 1, hop)
    return np.array([x[s : s + STOI_FRAME] * window for s in starts])


def stoi(clean, noisy):
    x, y = resample(clean, RATE, STOI_RATE), resample(noisy, RATE, STOI_RATE)
    window = np.hanning(STOI_FRAME + 2)[1:-1]
    # Frames more than 40 dB below the loudest clean frame are silence: left out of both.
    fx, fy = stft_frames(x, window), stft_frames(y, window)
    energy = 20 * np.log10(np.linalg.norm(fx, axis=1) + np.finfo(float).eps)
    keep = energy > energy.max() - STOI_RANGE_DB
    fx, fy = fx[keep], fy[keep]
    if len(fx) < STOI_SEGMENT:
        return float("nan")
    bands = third_octave_matrix()
    X = np.sqrt(bands @ (np.abs(np.fft.rfft(fx, STOI_FFT, axis=1)) ** 2).T)
    Y = np.sqrt(bands @ (np.abs(np.fft.rfft(fy, STOI_FFT, axis=1)) ** 2).T)
    clip = 10 ** (-STOI_BETA_DB / 20)
    scores = []
    for m in range(STOI_SEGMENT, X.shape[1] + 1):
        xs, ys = X[:, m - STOI_SEGMENT : m], Y[:, m - STOI_SEGMENT : m]
        alpha = np.linalg.norm(xs, axis=1, keepdims=True) / (
            np.linalg.norm(ys, axis=1, keepdims=True) + np.finfo(float).eps)
        ys = np.minimum(ys * alpha, xs * (1 + clip))
        xs = xs - xs.mean(axis=1, keepdims=True)
        ys = ys - ys.mean(axis=1, keepdims=True)
        num = np.sum(xs * ys, axis=1)
        den = np.linalg.norm(xs, axis=1) * np.linalg.norm(ys, axis=1) + np.finfo(float).eps
        scores.append(np.mean(num / den))
    return float(np.mean(scores))


# ---------------------------------------------------------------------------------------------
# Recogniser


def write_grammar(words, directory):
    """A dictionary of the panel's words and a JSGF grammar that takes any sequence of them."""
    wanted = set(words)
    entries = {}
    with open(os.path.join(MODEL, "cmudict-en-us.dict"), encoding="utf-8") as f:
        for line in f:
            head, _, phones = line.strip().partition(" ")
            base = re.sub(r"\(\d+\)$", "", head)
            if base in wanted:
                entries.setdefault(base, []).append(phones.strip())
    for word, phones in EXTRA_PRONUNCIATIONS.items():
        if word in wanted and word not in entries:
            entries[word] = phones
    missing = wanted - entries.keys()
    if missing:
        raise SystemExit(f"intelligibility: no pronunciation for {sorted(missing)}")
    dictionary = os.path.join(directory, "panel.dict")
    with open(dictionary, "w", encoding="utf-8") as f:
        for word in sorted(entries):
            for i, phones in enumerate(entries[word]):
                f.write(f"{word if i == 0 else f'{word}({i + 1})'} {phones}\n")
    grammar = os.path.join(directory, "panel.gram")
    with open(grammar, "w", encoding="utf-8") as f:
        f.write("#JSGF V1.0;\ngrammar panel;\n")
        f.write(f"public <readout> = ( {' | '.join(sorted(entries))} )+ ;\n")
    return dictionary, grammar


_decoder = None
_grammar = None


def _remember_grammar(dictionary, grammar):
    global _grammar
    _grammar = (dictionary, grammar)


def _start_decoder(dictionary, grammar):
    """A fresh recogniser: it carries its noise estimate from one utterance to the next, so one
    that went on from readout to readout would score each by what its process heard before."""
    global _decoder
    from pocketsphinx import Decoder

    config = Decoder.default_config()
    config.set_string("-hmm", os.path.join(MODEL, "en-us"))
    config.set_string("-dict", dictionary)
    config.set_string("-jsgf", grammar)
    config.set_string("-logfn", os.devnull)
    config.set_float("-samprate", RATE)
    for option, value in RECOGNISER_OPTIONS:
        config.set_string(option, value)
    _decoder = Decoder(config)


def _recognise_text(noisy):
    pcm = np.clip(noisy / max(1.0, np.max(np.abs(noisy)) / 0.9), -1, 1)
    _decoder.start_utt()
    _decoder.process_raw((pcm * 32767).astype("<i2").tobytes(), False, True)
    _decoder.end_utt()
    hyp = _decoder.hyp()
    return words_of(hyp.hypstr) if hyp is not None else []


def _score_readout(job):
    """One readout of one voice in every condition: [(recognised words, STOI or None)]."""
    speech, conditions, seed, keep = job
    _start_decoder(*_grammar)
    scores = []
    for name, kind, snr in conditions:
        # The same noise for every voice: seeded by readout and noise kind only.
        clean, noisy = mix(speech, kind, snr, seed + (NOISES.index(kind) if kind else 0))
        if keep:
            write_wav(f"{keep}-{name.replace(' ', '_')}.wav", noisy)
        scores.append((_recognise_text(noisy), None if kind is None else stoi(clean, noisy)))
    return scores


def edit_distance(ref, hyp):
    row = list(range(len(hyp) + 1))
    for i, r in enumerate(ref, 1):
        prev, row[0] = row[0], i
        for j, h in enumerate(hyp, 1):
            prev, row[j] = row[j], min(row[j] + 1, row[j - 1] + 1, prev + (r != h))
    return row[len(hyp)]


# ---------------------------------------------------------------------------------------------
# Voices


def clip_file(directory, name):
    file = name if "." in name else name + ".wav"
    path = os.path.join(directory, file)
    if os.path.exists(path):
        return path
    for entry in os.listdir(directory):  # as the panel does: any letter case
        if entry.lower() == file.lower():
            return os.path.join(directory, entry)
    raise SystemExit(f"intelligibility: {directory} has no clip {file}")


def speak_clips(directory, readouts):
    out, cache = [], {}
    for clips in readouts:
        parts = []
        for name in clips:
            path = clip_file(directory, name)
            if path not in cache:
                cache[path] = read_wav(path)
            parts.append(cache[path])
        rates = {r for _, r in parts}
        if len(rates) != 1:
            raise SystemExit(f"intelligibility: clips of {directory} differ in sample rate")
        out.append(resample(np.concatenate([x for x, _ in parts]), rates.pop()))
    return out


def speak_espeak(sentences, work):
    out = []
    for i, text in enumerate(sentences):
        path = os.path.join(work, f"espeak-{i}.wav")
        subprocess.run(["espeak-ng", "-w", path, "--", text], check=True)
        x, rate = read_wav(path)
        out.append(resample(trim(x), rate))
    return out


def speak_dispatcher(sentences, work):
    """Each sentence through spd-say, recorded from the private PulseAudio server's null sink
    (PULSE_SERVER and SPEECHD_ADDRESS are set by bench/intelligibility.sh)."""
    out = []
    for i, text in enumerate(sentences):
        raw = os.path.join(work, f"spd-{i}.raw")
        with open(raw, "wb") as f:
            rec = subprocess.Popen(["parec", "--device=orvane_capture.monitor", "--rate=22050",
                                    "--channels=1", "--format=s16le", "--raw",
                                    "--latency-msec=20"], stdout=f)
            time.sleep(0.3)
            subprocess.run(["spd-say", "--wait", "--", text], check=True, timeout=60)
            time.sleep(0.3)
            rec.terminate()
            rec.wait()
        x = np.fromfile(raw, dtype="<i2").astype(np.float64) / 32768.0
        if not np.any(x):
            raise SystemExit("intelligibility: speech-dispatcher said nothing into the capture")
        out.append(resample(trim(x), 22050))
    return out


# ---------------------------------------------------------------------------------------------


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--readouts", type=int, default=30)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--words", required=True)
    parser.add_argument("--clips", action="append", default=[], metavar="NAME=DIR")
    parser.add_argument("--no-espeak", action="store_true")
    parser.add_argument("--dispatcher", action="store_true")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--keep", help="write every mixture as a WAV file here")
    parser.add_argument("--show", action="store_true", help="print every wrong readout")
    args = parser.parse_args()

    text_of = read_words(args.words)
    readouts = make_readouts(args.readouts, args.seed)
    sentences = [sentence_of(r, text_of) for r in readouts]
    references = [words_of(s) for s in sentences]

    work = tempfile.mkdtemp(prefix="orvane-intelligibility.")
    try:
        voices = []
        for entry in args.clips:
            name, _, directory = entry.partition("=")
            voices.append((f"clips {name}", speak_clips(directory, readouts)))
        if not args.no_espeak:
            voices.append(("espeak-ng", speak_espeak(sentences, work)))
        if args.dispatcher:
            module = os.environ.get("ORVANE_SPD_MODULE", "default module")
            voices.append((f"speech-dispatcher ({module})", speak_dispatcher(sentences, work)))

        vocabulary = sorted({w for r in references for w in r}
                            | {w for t in text_of.values() for w in words_of(t)})
        dictionary, grammar = write_grammar(vocabulary, work)
        conditions = [("quiet", None, None)] + [
            (f"{kind} {snr}", kind, snr) for kind in NOISES for snr in SNRS]

        if args.keep:
            os.makedirs(args.keep, exist_ok=True)
        jobs, keys = [], []
        for v, (label, speech) in enumerate(voices):
            for r, x in enumerate(speech):
                keep = args.keep and os.path.join(args.keep, re.sub(r"\W+", "_", label) + f"-{r:02d}")
                jobs.append((x, conditions, args.seed * 100_003 + r * 7, keep))
                keys.append((v, r))

        results = {}
        with ProcessPoolExecutor(max_workers=args.jobs, initializer=_remember_grammar,
                                 initargs=(dictionary, grammar)) as pool:
            for (v, r), scores in zip(keys, pool.map(_score_readout, jobs)):
                for c, score in enumerate(scores):
                    results[(v, c, r)] = score
    finally:
        shutil.rmtree(work, ignore_errors=True)

    print_table(args, voices, conditions, references, results, sentences)


def write_wav(path, x):
    pcm = np.clip(x / max(1.0, np.max(np.abs(x)) / 0.9), -1, 1)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes((pcm * 32767).astype("<i2").tobytes())


def print_table(args, voices, conditions, references, results, sentences):
    ref_words = sum(len(r) for r in references)
    print(f"Intelligibility: {len(references)} readouts ({ref_words} words), seed {args.seed}; "
          f"pocketsphinx en-us, closed grammar of the panel's words")
    head = f"{'voice':<34} {'readout':>8}"
    for name, _, _ in conditions:
        head += f" {name:>8}"
    print("\nword error rate (%), median readout length")
    print(head)
    for v, (label, speech) in enumerate(voices):
        median = statistics.median(len(x) / RATE for x in speech)
        line = f"{label:<34} {median:>6.2f} s"
        for c in range(len(conditions)):
            errors = sum(edit_distance(references[r], results[(v, c, r)][0])
                         for r in range(len(references)))
            line += f" {100 * errors / ref_words:>8.1f}"
        print(line)
    print("\nSTOI x 100 (cross-check without a recogniser; 100 = unharmed by the noise)")
    print(head)
    for v, (label, _) in enumerate(voices):
        line = f"{label:<34} {'':>8}"
        for c, (_, kind, _) in enumerate(conditions):
            if kind is None:
                line += f" {'':>8}"
                continue
            scores = [results[(v, c, r)][1] for r in range(len(references))]
            scores = [s for s in scores if not math.isnan(s)]
            line += f" {100 * statistics.mean(scores):>8.1f}" if scores else f" {'-':>8}"
        print(line)
    if args.show:
        print("\nwrong readouts (reference | heard)")
        for v, (label, _) in enumerate(voices):
            for c, (cname, _, _) in enumerate(conditions):
                for r, ref in enumerate(references):
                    heard = results[(v, c, r)][0]
                    if heard != ref:
                        print(f"  {label} / {cname}: {' '.join(ref)} | {' '.join(heard)}")


if __name__ == "__main__":
    sys.exit(main())
