#!/usr/bin/env python3
"""How often the EXIF reader's values agree with the reference dumps beside the samples.

Usage: bench/exif_agreement.py [--cli build/prosvitek-cli] [--source .] [--samples ../shared/samples]
                               [--exclude kinds] [-v]

Runs `prosvitek-cli exif --json` over every sample that has a FILE.exiftool-n.json beside it
and compares, file by file:

- base fields, for files whose dump has EXIF data (File:ExifByteOrder): make, model, the three
  dates (DateTime, DateTimeOriginal, DateTimeDigitized), exposure time, f-number, ISO, focal
  length, flash, width, height and orientation. Every field the dump has counts once; a field
  the reader does not give counts as a disagreement. Texts are compared after trimming blanks
  at their ends; the exposure time (without " sec") must equal the dump's printed value
  ("1/470", "0.8"); other numbers as numbers (f-number at one decimal, focal length at two,
  flash, sizes and ISO exactly); orientation by its code (the reader's words are turned back
  into the code its own table gives them).
- the summary, for the same files: its make-and-model, exposure time, f-number and ISO lines
  against what a photographer reads in the dump (FILE.exiftool.json where it is printed): make
  and model as "MAKE (MODEL)" from the dump's trimmed texts; the exposure time against the
  printed ExposureTime (ExifIFD, else IFD0; files with neither are not counted); the f-number
  against Composite:Aperture at one decimal; the ISO, as numbers, against Composite:ISO, else
  the EXIF ISO, else the ISO of the dump's maker group (Nikon:ISO, Casio:ISO, ...).
- maker-note values: every value of the reader's maker-note trace whose name the table MAKER
  below maps to a tag of the dump's maker group counts once, when the dump has that tag.
  A value agrees when, with surrounding quotes and blanks removed, it equals the dump's
  printed value (FILE.exiftool.json, ASCII case ignored), or when it is a number (or n/d, or a
  number with a unit) equal to the dump's numeric value (FILE.exiftool-n.json, numbers joined
  by blanks or commas alike, within 0.1 %), or, for a value of several numbers, when the
  numbers in the reader's text are the dump's in order, or when SYNONYMS lists the pair:
  words the reader's tables have always used for the same meaning, or when the reader's own
  table (its value map in exif/makernotes/*.cpp) gives the dump's number for the reader's
  words. Values the dump lacks are not counted; neither are tags the dump decodes and the
  reader's tables do not name.
- forty standard EXIF and GPS tags (STANDARD below), found in the reader's stored tags by tag
  number, for files whose dump has EXIF data: each tag the dump has counts once. The reader's
  words are turned back into numbers through its own value maps (exif/tag_dictionary.cpp,
  "Unknown (n)" for a number a map lacks) and compared with the dump's numbers; texts are
  compared trimmed, numbers at the precision the reader shows them, the exposure time as
  printed, the flash by the reader's own words for the dump's number, GPS coordinates by their
  decimal degrees and sign, the altitude by its metres and "below sea level".
- names: how many lines of the reader's trace (and, apart, of its maker-note trace) name a
  tag "Unknown", over every sample the reader reads.
"""

import argparse
import glob
import json
import math
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Maker group in the dump -> {the reader's trace name: the dump's tag name}. A name the reader
# uses twice is told apart by "#2" for its second appearance.
MAKER = {
    "Canon": {
        "ImageType": "CanonImageType", "FirmwareVersion": "CanonFirmwareVersion",
        "ImageNumber": "FileNumber", "OwnerName": "OwnerName", "CameraSerialNumber": "SerialNumber",
        "Macro mode": "MacroMode", "Self Timer": "SelfTimer", "Compression Rate": "Quality",
        "Flash Mode": "CanonFlashMode", "Drive Mode": "ContinuousDrive", "Focus Mode": "FocusMode",
        "Image Size": "CanonImageSize", "Easy Shoot": "EasyMode", "Contrast": "Contrast",
        "Saturation": "Saturation", "Sharpness": "Sharpness", "CCD ISO": "CameraISO",
        "Metering Mode": "MeteringMode", "AF Point": "AFPoint", "Exposure Mode": "CanonExposureMode",
        "Long focal": "MaxFocalLength", "Short focal": "MinFocalLength", "Focal Units": "FocalUnits",
        "Flash Details": "FlashBits", "Focus Mode#2": "FocusContinuous",
        "White balance": "WhiteBalance", "Sequence Number": "SequenceNumber",
        "OpticalZoom Step": "OpticalZoomCode", "AF point": "AFPointsInFocus",
        "Flash bias": "FlashExposureComp", "Distance": "FocusDistanceUpper",
        "Auto ISO": "AutoISO", "Base ISO": "BaseISO",
        "LensModel": "LensModel", "InternalSerialNumber": "InternalSerialNumber",
        "SerialNumber": "SerialNumber", "ColorSpace": "ColorSpace",
        "ThumbnailImageValidArea": "ThumbnailImageValidArea",
    },
    "Casio": {
        "RecordingMode": "RecordingMode", "Quality": "Quality", "FocusingMode": "FocusMode",
        "FlashMode": "FlashMode", "FlashIntensity": "FlashIntensity",
        "ObjectDistance": "ObjectDistance", "WhiteBalance": "WhiteBalance",
        "DigitalZoom": "DigitalZoom", "Sharpness": "Sharpness", "Contrast": "Contrast",
        "Saturation": "Saturation", "CCDSensitivity": "ISO",
        # the second layout
        "PreviewImageSize": "PreviewImageSize", "PreviewImageLength": "PreviewImageLength",
        "QualityMode": "QualityMode", "ImageSize": "CasioImageSize", "FocusMode": "FocusMode",
        "ISO": "ISO", "FocalLength": "FocalLength", "WhiteBalanceBias": "WhiteBalanceBias",
        "WhiteBalance2": "WhiteBalance", "AFPointPosition": "AFPointPosition",
        "FlashDistance": "FlashDistance", "RecordMode": "RecordMode",
        "ReleaseMode": "ReleaseMode", "FocusMode2": "FocusMode", "HometownCity": "HometownCity",
        "BestShotMode": "BestShotMode", "AutoISO": "AutoISO", "AFMode": "AFMode",
        "Sharpness2": "Sharpness", "Contrast2": "Contrast", "Saturation2": "Saturation",
        "ISO2": "ISO", "ColorMode": "ColorMode", "Enhancement": "Enhancement",
        "ColorFilter": "ColorFilter", "SequenceNumber": "SequenceNumber",
        "ImageStabilization": "ImageStabilization",
    },
    "FujiFilm": {
        "Version": "Version", "Quality": "Quality", "Sharpness": "Sharpness",
        "WhiteBalance": "WhiteBalance", "Color": "Saturation", "Tone": "Contrast",
        "FlashMode": "FujiFlashMode", "FlashStrength": "FlashExposureComp", "Macro": "Macro",
        "Focusmode": "FocusMode", "SlowSync": "SlowSync", "PictureMode": "PictureMode",
        "ContTake/Bracket": "AutoBracketing", "BlurWarning": "BlurWarning",
        "FocusWarning": "FocusWarning", "AEWarning": "ExposureWarning",
    },
    "Minolta": {
        "ModelID": "MakerNoteVersion", "Exposure Mode": "ExposureMode", "Flash Mode": "FlashMode",
        "Image Size": "MinoltaImageSize", "Quality": "MinoltaQuality", "Drive Mode": "DriveMode",
        "Metering Mode": "MeteringMode", "ISO": "ISO", "Exposure Time": "ExposureTime",
        "FNumber": "FNumber", "Macro Mode": "MacroMode", "Digital Zoom": "DigitalZoom",
        "Exposure Compensation": "ExposureCompensation", "Bracket Step": "BracketStep",
        "Focal Length": "FocalLength", "Focus Distance": "FocusDistance",
        "Flash Fired": "FlashFired", "Date": "MinoltaDate", "Time": "MinoltaTime",
        "Max Aperture": "MaxAperture", "Last File Number": "LastFileNumber",
        "Sharpness": "Sharpness", "Subject Program": "SubjectProgram", "ISO Setting": "ISOSetting",
        "Focus Mode": "FocusMode", "Focus Area": "FocusArea", "Color Mode": "ColorMode",
        "CompressedImageSize": "CompressedImageSize", "SceneMode": "SceneMode",
        "ColorMode": "ColorMode", "MinoltaQuality": "MinoltaQuality", "Teleconverter": "Teleconverter",
    },
    "Nikon": {
        # the older table
        "FamilyID": "NikonMakerNoteVersion", "Quality": "Quality", "ColorMode": "ColorMode",
        "ImageAdjustment": "ImageAdjustment", "ISOSpeed": "ISO", "WhiteBalance": "WhiteBalance",
        "Focus": "Focus", "DigitalZoom": "DigitalZoom", "Converter": "Converter",
        # the newer table
        # (the newer table names 0x0003 and 0x008D, 0x000F and 0x0086, 0x0080 and 0x0081
        # alike, so a trace line cannot tell which of the two it is: those are left out)
        "Family ID": "MakerNoteVersion", "ISO Speed": "ISO",
        "White Balance": "WhiteBalance", "Image Sharpening": "Sharpness", "Focus Mode": "FocusMode",
        "Flash Setting": "FlashSetting", "Auto Flash Mode": "FlashType",
        "White Bias Value": "WhiteBalanceFineTune",
        "Adapter": "AuxiliaryLens", "Lens information": "Lens",
        "Manual Focus Distance": "ManualFocusDistance",
        "Mode": "ShootingMode", "Scene Mode": "SceneMode",
        "Hue Adjustment": "HueAdjustment", "Saturation": "SaturationAdj",
        "Noise Reduction": "NoiseReduction",
        "Active D-Lighting": "ActiveD-Lighting", "Picture Control Version": "PictureControlVersion",
        "Picture Control Name": "PictureControlName", "Picture Control Base": "PictureControlBase",
        "Picture Control Adjust": "PictureControlAdjust",
        "Picture Control Quick Adjust": "PictureControlQuickAdjust", "Brightness": "Brightness",
        "Filter Effect": "FilterEffect", "Toning Effect": "ToningEffect",
        "Toning Saturation": "ToningSaturation", "Date Stamp Mode": "DateStampMode",
        "Image Stabilization": "ImageStabilization", "Vignette Control": "VignetteControl",
        "High ISO Noise Reduction": "HighISONoiseReduction", "Shutter Count": "ShutterCount",
    },
    "Olympus": {
        "SpecialMode": "SpecialMode", "JpegQual": "Quality", "Macro": "Macro",
        "Digital Zoom Ratio": "DigitalZoom", "Firmware": "SoftwareRelease",
        "Picture Info": "PictureInfo", "Camera ID": "CameraID", "Flash Mode": "FlashMode",
        "Focus Mode": "FocusMode", "Focus Distance": "FocusDistance", "Zoom": "Zoom",
        "Macro Focus": "MacroFocus", "Sharpness": "Sharpness", "Color Matrix": "ColorMatrix",
        "Black Level": "BlackLevel", "White Balance": "WhiteBalanceMode", "Red Bias": "RedBalance",
        "Blue Bias": "BlueBalance", "SerialNumber": "SerialNumber", "Flash Bias": "FlashExposureComp",
        "Contrast": "Contrast", "Sharpness Factor": "SharpnessFactor",
        "Color Control": "ColorControl", "Valid Bits": "ValidBits", "Coring Filter": "CoringFilter",
        "Final Width": "OlympusImageWidth", "Final Height": "OlympusImageHeight",
        "Compression Ratio": "CompressionRatio",
        # the newer notes' directories
        "Serial Number": "SerialNumber", "Internal Serial Number": "InternalSerialNumber",
        "Lens Serial Number": "LensSerialNumber", "Lens Model": "LensModel",
        "Min Focal Length": "MinFocalLength", "Max Focal Length": "MaxFocalLength",
        "Flash Type": "FlashType", "Flash Model": "FlashModel", "Exposure Mode": "ExposureMode",
        "AE Lock": "AELock", "Metering Mode": "MeteringMode", "Macro Mode": "MacroMode",
        "Focus Process": "FocusProcess", "AF Search": "AFSearch",
        "Flash Exposure Comp": "FlashExposureComp", "White Balance 2": "WhiteBalance2",
        "Modified Saturation": "ModifiedSaturation", "Color Space": "ColorSpace",
        "Noise Reduction": "NoiseReduction", "Distortion Correction": "DistortionCorrection",
        "Shading Compensation": "ShadingCompensation", "Compression Factor": "CompressionFactor",
        "Image Quality 2": "ImageQuality2", "Auto Focus": "AutoFocus",
    },
    "Sanyo": {
        "Special Mode": "SpecialMode", "JpegQuality": "SanyoQuality", "Macro": "Macro",
        "DigiZoom": "DigitalZoom",
    },
}

# Makers whose notes come in layouts with tables of their own: a name of one table counts only
# for a note whose trace shows that table (a name only it has), so that a note read with the
# one table is not charged with the other's names.
LAYOUTS = {
    "Nikon": [
        {"FamilyID", "Quality", "ColorMode", "ImageAdjustment", "ISOSpeed", "WhiteBalance",
         "Focus", "DigitalZoom", "Converter"},
        {"Family ID", "ISO Speed", "White Balance", "Image Sharpening", "Focus Mode",
         "Flash Setting", "Auto Flash Mode", "White Bias Value", "Adapter", "Lens information",
         "Manual Focus Distance", "Mode", "Scene Mode", "Hue Adjustment", "Saturation",
         "Noise Reduction", "Quality", "Color Mode", "Digital Zoom", "Image Adjustment",
         "Active D-Lighting", "Picture Control Version", "Picture Control Name",
         "Picture Control Base", "Picture Control Adjust", "Picture Control Quick Adjust",
         "Brightness", "Filter Effect", "Toning Effect", "Toning Saturation", "Date Stamp Mode",
         "Image Stabilization", "Vignette Control", "High ISO Noise Reduction", "Shutter Count"},
    ],
}


def layout_names(group, values):
    """The names of `group` that count for a trace with these values."""
    layouts = LAYOUTS.get(group)
    if not layouts:
        return None
    names = set()
    for i, layout in enumerate(layouts):
        others = set().union(*(l for j, l in enumerate(layouts) if j != i))
        if any(name in values for name in layout - others):
            names |= layout
    return names


# (the reader's words, the dump's printed words) that mean the same, either way round; ASCII
# case is ignored. All are words of the reader's tables as they have always been.
SYNONYMS = {
    # Fujifilm
    ("auto focus", "auto"), ("portrait scene", "portrait"), ("landscape scene", "landscape"),
    ("no blur warning", "none"), ("auto focus good", "good"), ("ae good", "good"),
    ("normal", "0 (normal)"),
    # Olympus
    ("sq", "sq (basic)"), ("hq", "hq (normal)"), ("shq", "shq (fine)"), ("normal", "off"),
    # Canon, Nikon: a fraction of nothing, and words for numbers
    ("not used", "n/a"), ("0/0", "undef"), ("0", "normal"),
    ("not fired", "off"), ("red-eye", "red-eye reduction"), ("slow sync", "slow-sync"),
    ("auto+red-eye", "red-eye reduction (auto)"), ("on+red eye", "red-eye reduction (on)"),
    ("one-shot", "one-shot af"), ("ai servo", "ai servo af"), ("ai focus", "ai focus af"),
    ("mf", "manual focus (3)"), ("mf", "manual focus (6)"),
    ("sunny", "daylight"), ("flourescent", "fluorescent"), ("b&w", "gray scale"),
    ("macro/close-up", "macro"), ("low", "-1"), ("normal", "0"), ("high", "1"),
}


def number(text):
    """The number a text stands for (a fraction n/d, optionally followed by a unit), or None."""
    text = text.strip()
    match = re.fullmatch(r"([-+]?\d+(?:\.\d+)?)(?:/([-+]?\d+))?(?:\s*[A-Za-z%]+)?", text)
    if not match:
        return None
    value = float(match.group(1))
    if match.group(2) is not None:
        denominator = float(match.group(2))
        if denominator == 0:
            return None
        value /= denominator
    return value


def numbers(text):
    parts = [p for p in re.split(r"[,\s]+", str(text).strip()) if p]
    values = [number(p) for p in parts]
    return None if not values or any(v is None for v in values) else values


def first_integer(value):
    """The first number of a value such as 8 or "8 0" (a value of several components)."""
    values = numbers(value)
    return int(values[0]) if values else None


def close(a, b, relative=1e-6):
    return math.isclose(a, b, rel_tol=relative, abs_tol=1e-9)


def stripped(text):
    text = str(text).strip()
    if len(text) >= 2 and text[0] == '"' and text[-1] == '"':
        text = text[1:-1]
    return text.strip()


def value_agrees(ours, printed, numeric, words=None):
    mine = stripped(ours)
    if printed is not None and mine.lower() == str(printed).strip().lower():
        return True
    # A printed number the reader shows with its trailing zeros ("2.10" for 2.1).
    if isinstance(printed, (int, float)) and number(mine) is not None and close(number(mine), printed, 1e-9):
        return True
    # The reader's words back into the number its own table gives them.
    if words is not None and numeric is not None and first_integer(numeric) is not None:
        if first_integer(numeric) in words.get(mine.lower(), ()):
            return True
    pair = (mine.lower(), str(printed).strip().lower())
    if printed is not None and (pair in SYNONYMS or pair[::-1] in SYNONYMS):
        return True
    if numeric is not None:
        a, b = numbers(mine), numbers(numeric)
        if a is None and number(mine) is not None:
            a = [number(mine)]
        if a is not None and b is not None and len(a) == len(b):
            return all(close(x, y, 1e-3) for x, y in zip(a, b))
        # A composite value such as a lens "18.0-70.0(mm)  F3.5-F4.5": the same numbers in order.
        b = numbers(numeric)
        if b is not None and len(b) > 1:
            a = [float(x) for x in re.findall(r"\d+(?:\.\d+)?", mine)]
            return len(a) == len(b) and all(close(x, y, 1e-3) for x, y in zip(a, b))
    return False


def first(dump, *keys):
    for key in keys:
        if key in dump and str(dump[key]).strip() != "":
            return dump[key]
    return None


def trace_values(lines):
    """Name -> value from trace lines "Name = value"; repeated names get "#2", "#3"."""
    values = {}
    for line in lines:
        if " = " not in line:
            continue
        name, value = line.split(" = ", 1)
        key, n = name, 1
        while key in values:
            n += 1
            key = f"{name}#{n}"
        values[key] = value
    return values


ORIENTATION = {
    "normal": 1, "mirror horizontal": 2, "rotated 180°": 3, "mirror vertical": 4,
    "mirror horizontal and rotate 270 cw": 5, "counterclockwise 90°": 6,
    "mirror horizontal and rotate 90 cw": 7, "clockwise 90°": 8,
}


def exposure_agrees(mine, printed):
    """The reader's exposure time text ("1/470 sec") against the dump's printed one ("1/470")."""
    return mine is not None and mine.strip().removesuffix(" sec") == str(printed).strip()


def base_fields(ours, dump, printed):
    """(field, agrees, ours, reference) for each base field the dump has."""
    tags = {}
    for t in ours.get("tags", []):
        tags.setdefault(t["name"], t["text"])
    results = []

    def add(field, agrees, mine, reference):
        results.append((field, bool(agrees), mine, reference))

    for field, key in (("make", "IFD0:Make"), ("model", "IFD0:Model")):
        ref = first(dump, key)
        if ref is not None:
            add(field, ours.get(field, "").strip() == str(ref).strip(), ours.get(field), ref)
    for name, keys in (("DateTime", ("IFD0:ModifyDate",)),
                       ("DateTimeOriginal", ("ExifIFD:DateTimeOriginal",)),
                       ("DateTimeDigitized", ("ExifIFD:CreateDate",))):
        ref = first(dump, *keys)
        if ref is not None:
            mine = tags.get(name)
            add(name, mine is not None and mine.strip() == str(ref).strip(), mine, ref)
    ref = first(printed, "ExifIFD:ExposureTime", "IFD0:ExposureTime")
    if ref is not None:
        mine = tags.get("ExposureTime")
        add("ExposureTime", exposure_agrees(mine, ref), mine, ref)
    ref = first(dump, "ExifIFD:FNumber", "IFD0:FNumber")
    if ref is not None:
        mine = tags.get("FNumber")
        add("FNumber", mine == "F%.1f" % float(ref), mine, ref)
    ref = first(dump, "ExifIFD:ISO", "IFD0:ISO")
    if ref is not None:
        mine = tags.get("ISOSpeedRatings")
        add("ISO", mine is not None and numbers(mine) == numbers(ref), mine, ref)
    ref = first(dump, "ExifIFD:FocalLength", "IFD0:FocalLength")
    if ref is not None:
        mine = tags.get("FocalLength")
        add("FocalLength", mine is not None and mine.strip() == "%.2f mm" % float(ref), mine, ref)
    ref = first(dump, "ExifIFD:Flash", "IFD0:Flash")
    if ref is not None:
        add("Flash", ours.get("flash") == first_integer(ref), ours.get("flash"), ref)
    for field, keys in (("width", ("ExifIFD:ExifImageWidth", "IFD0:ImageWidth")),
                        ("height", ("ExifIFD:ExifImageHeight", "IFD0:ImageHeight"))):
        ref = first(dump, *keys)
        if ref is not None:
            add(field, ours.get(field) == first_integer(ref), ours.get(field), ref)
    ref = first(dump, "IFD0:Orientation")
    if ref is not None:
        mine = tags.get("Orientation")
        add("Orientation", mine is not None and ORIENTATION.get(mine.strip().lower()) == first_integer(ref),
            mine, ref)
    return results


def summary_lines(ours):
    """Label -> value of the summary's lines ("ISO: 100" gives "100" under "ISO")."""
    lines = {}
    for line in ours.get("summary", []):
        label, _, value = line.strip().partition(": ")
        lines.setdefault(label, value)
    return lines


def maker_iso(printed):
    """The ISO of the dump's maker group: the first "<maker>:ISO" outside the EXIF, XMP and
    composite groups."""
    for key, value in printed.items():
        group, _, name = key.partition(":")
        if name == "ISO" and group not in ("ExifIFD", "IFD0", "Composite") and not group.startswith("XMP"):
            return value
    return None


def summary_fields(ours, dump, printed):
    """(field, agrees, ours, reference) for the summary's exposure time, f-number and ISO."""
    lines = summary_lines(ours)
    results = []
    make, model = first(printed, "IFD0:Make"), first(printed, "IFD0:Model")
    if make is not None or model is not None:
        mine = lines.get("Make (Model)")
        reference = f"{str(make or '').strip()} ({str(model or '').strip()})"
        results.append(("Make (Model)", mine == reference, mine, reference))
    ref = first(printed, "ExifIFD:ExposureTime", "IFD0:ExposureTime")
    if ref is not None:
        mine = lines.get("Exposure Time")
        results.append(("ExposureTime", exposure_agrees(mine, ref), mine, ref))
    ref = first(dump, "Composite:Aperture")
    if ref is not None:
        mine = lines.get("FNumber")
        results.append(("FNumber", mine == "F%.1f" % float(ref), mine, ref))
    ref = first(printed, "Composite:ISO", "ExifIFD:ISO", "IFD0:ISO")
    if ref is None:
        ref = maker_iso(printed)
    if ref is not None:
        mine = lines.get("ISO")
        agrees = mine is not None and numbers(mine) is not None and numbers(mine) == numbers(ref)
        results.append(("ISO", agrees, mine, ref))
    return results


def maker_values(ours, dump, printed):
    """Each dump tag that MAKER names counts once, against the first of the reader's values
    mapped to it (the tables of one maker's layouts name one setting differently)."""
    results = []
    values = trace_values(ours.get("makerNoteTrace", []))
    for group, names in MAKER.items():
        counted = layout_names(group, values)
        tags = {}
        for name, tag in names.items():
            if counted is None or name.split("#")[0] in counted:
                tags.setdefault(tag, []).append(name)
        for tag, candidates in tags.items():
            key = f"{group}:{tag}"
            if key not in dump:
                continue
            name = next((n for n in candidates if n in values), candidates[0])
            mine = values.get(name)
            words = MAKER_WORDS.get(name.split("#")[0])
            agrees = mine is not None and value_agrees(mine, printed.get(key), dump.get(key), words)
            results.append((name, agrees, mine, printed.get(key)))
    return results


# ---- the reader's own value maps ------------------------------------------------------------

def parse_map(text):
    """words (lower case) -> set of numbers, from a value map "1:Normal,3:Rotated 180°"."""
    words = {}
    for entry in text.split(","):
        key, sep, value = entry.partition(":")
        if sep and re.fullmatch(r"-?\d+", key):
            words.setdefault(value.lower(), set()).add(int(key))
    return words


def dictionary_maps(root):
    """(EXIF tag -> words, GPS tag -> words) from the reader's dictionary source."""
    source = open(os.path.join(root, "exif", "tag_dictionary.cpp"), encoding="utf-8").read()
    gps_at = source.index("kGpsTagDefs[]")
    maps = ({}, {})
    for match in re.finditer(r'\{0x([0-9A-F]+), "[^"]*", (?:\{\}|"[^"]*"), "([^"]*)"', source):
        table = maps[1] if match.start() > gps_at else maps[0]
        table[int(match.group(1), 16)] = parse_map(match.group(2))
    return maps


def maker_words(root):
    """Maker-note trace name -> words of its value map, from the makers' table sources."""
    words = {}
    for path in glob.glob(os.path.join(root, "exif", "makernotes", "*_tags.cpp")):
        source = open(path, encoding="utf-8").read()
        found = re.findall(r'Row\(0x[0-9A-F]+, "([^"]+)", "([^"]*)"', source)
        found += re.findall(r'Described\(0x[0-9A-F]+, "[^"]+", "([^"]+)", "([^"]*)"', source)
        # Makers share names ("Quality"): a name's words are those of every table using it.
        for name, text in found:
            for word, values in parse_map(text).items():
                words.setdefault(name, {}).setdefault(word, set()).update(values)
    return words


# Filled by main from the sources of the build being measured.
EXIF_WORDS, GPS_WORDS, MAKER_WORDS = {}, {}, {}


# ---- forty standard tags --------------------------------------------------------------------

# (tag number, the dump's keys, how the values compare). GPS tags are told from EXIF tags of
# the same number by the reader's "GPS" names.
STANDARD = [
    (0x010F, ("IFD0:Make",), "text"), (0x0110, ("IFD0:Model",), "text"),
    (0x0112, ("IFD0:Orientation",), "map"), (0x011A, ("IFD0:XResolution",), "number"),
    (0x011B, ("IFD0:YResolution",), "number"), (0x0128, ("IFD0:ResolutionUnit",), "map"),
    (0x0131, ("IFD0:Software",), "text"), (0x0132, ("IFD0:ModifyDate",), "text"),
    (0x0213, ("IFD0:YCbCrPositioning",), "map"),
    (0x829A, ("ExifIFD:ExposureTime", "IFD0:ExposureTime"), "exposure"),
    (0x829D, ("ExifIFD:FNumber", "IFD0:FNumber"), "fnumber"),
    (0x8822, ("ExifIFD:ExposureProgram", "IFD0:ExposureProgram"), "map"),
    (0x8827, ("ExifIFD:ISO", "IFD0:ISO"), "numbers"),
    (0x9000, ("ExifIFD:ExifVersion",), "text"),
    (0x9003, ("ExifIFD:DateTimeOriginal", "IFD0:DateTimeOriginal"), "text"),
    (0x9004, ("ExifIFD:CreateDate",), "text"),
    (0x9101, ("ExifIFD:ComponentsConfiguration",), "components"),
    (0x9201, ("ExifIFD:ShutterSpeedValue",), "shutter"),
    (0x9202, ("ExifIFD:ApertureValue",), "fnumber"),
    (0x9204, ("ExifIFD:ExposureCompensation", "IFD0:ExposureCompensation"), "number"),
    (0x9205, ("ExifIFD:MaxApertureValue",), "fnumber"),
    (0x9207, ("ExifIFD:MeteringMode", "IFD0:MeteringMode"), "map"),
    (0x9208, ("ExifIFD:LightSource", "IFD0:LightSource"), "map"),
    (0x9209, ("ExifIFD:Flash", "IFD0:Flash"), "flash"),
    (0x920A, ("ExifIFD:FocalLength", "IFD0:FocalLength"), "number"),
    (0xA000, ("ExifIFD:FlashpixVersion",), "text"),
    (0xA001, ("ExifIFD:ColorSpace",), "map"),
    (0xA002, ("ExifIFD:ExifImageWidth",), "number"),
    (0xA003, ("ExifIFD:ExifImageHeight",), "number"),
    (0xA217, ("ExifIFD:SensingMethod",), "map"),
    (0xA300, ("ExifIFD:FileSource",), "map"), (0xA301, ("ExifIFD:SceneType",), "map"),
    (0xA401, ("ExifIFD:CustomRendered",), "map"), (0xA402, ("ExifIFD:ExposureMode",), "map"),
    (0xA403, ("ExifIFD:WhiteBalance",), "map"),
    (0xA405, ("ExifIFD:FocalLengthIn35mmFormat",), "number"),
    (0xA406, ("ExifIFD:SceneCaptureType",), "map"),
    (0x0002, ("GPS:GPSLatitude",), "coordinate"), (0x0004, ("GPS:GPSLongitude",), "coordinate"),
    (0x0006, ("GPS:GPSAltitude",), "altitude"),
]
assert len(STANDARD) == 40


def flash_words(value):
    """The reader's words for a Flash number (exif/decoders.cpp, DecodeFlash)."""
    words = "On" if value & 1 else "Off"
    words += {2: ", UNKNOWN", 4: ", no strobe return", 6: ", strobe return"}.get(value & 6, "")
    words += {8: ", forced", 16: ", surpressed", 24: ", auto mode"}.get(value & 24, "")
    if value & 32:
        words += ", no flash function"
    if value & 64:
        words += ", red-eye reduction"
    return words


def mapped_numbers(text, words):
    """The numbers the reader's words stand for, one set per component."""
    sets = []
    for part in text.split(", ") if text else []:
        unknown = re.fullmatch(r"Unknown \((-?\d+)\)", part.strip())
        if unknown:
            sets.append({int(unknown.group(1))})
        elif re.fullmatch(r"-?\d+", part.strip()):
            sets.append({int(part)})
        else:
            sets.append(words.get(part.lower(), set()))
    return sets


def standard_agrees(kind, tag, mine, reference, printed_reference, dump):
    text = stripped(mine)
    if kind == "text":
        if isinstance(reference, (int, float)):  # a text such as "1.00" the dump took for a number
            return number(text) is not None and close(number(text), reference)
        return text == str(reference).strip()
    if kind == "map":
        words = (GPS_WORDS if tag < 0x0100 else EXIF_WORDS).get(tag, {})
        if isinstance(reference, str) and not re.fullmatch(r"[-\d\s.]+", reference):
            wanted = [ord(reference[0])]  # raw bytes the dump could not convert (a Sigma's "\x03")
        else:
            wanted = [int(v) for v in numbers(reference) or []]
        sets = mapped_numbers(text, words)
        return wanted is not None and len(sets) >= 1 and wanted[0] in sets[0]
    if kind == "number":
        a, b = number(text), number(str(reference))
        return a is not None and b is not None and math.isclose(a, b, rel_tol=1e-3, abs_tol=0.006)
    if kind == "numbers":
        return numbers(text) == numbers(reference)
    if kind == "exposure":
        return exposure_agrees(mine, printed_reference)
    if kind == "fnumber":
        return text == "F%.1f" % float(reference)
    if kind == "components":
        codes = {"Y": 1, "Cb": 2, "Cr": 3, "R": 4, "G": 5, "B": 6}
        mine_codes = [codes[c] for c in re.findall(r"Cb|Cr|Y|R|G|B", text)]
        return mine_codes == [int(v) for v in str(reference).split() if int(v) != 0]
    if kind == "shutter":
        seconds = float(reference)
        fraction = re.search(r"\(1/(\d+)\)", text)
        if fraction:
            return seconds > 0 and int(fraction.group(1)) == round(1 / seconds)
        value = number(text.split(" sec")[0])
        return value is not None and abs(value - seconds) <= 0.00005 + 1e-3 * seconds
    if kind == "flash":
        return text == flash_words(first_integer(reference))
    if kind == "coordinate":
        decimal = re.search(r"\((-?\d+(?:\.\d+)?)\u00b0\)", text)
        if not decimal:
            return False
        value = float(decimal.group(1))
        ref_key = "GPS:GPSLatitudeRef" if tag == 0x0002 else "GPS:GPSLongitudeRef"
        negative = str(dump.get(ref_key, "")).strip() in ("S", "W")
        return abs(abs(value) - float(reference)) < 1e-5 and (value < 0) == (negative and value != 0)
    if kind == "altitude":
        value = number(text.split(" m")[0])
        below = str(dump.get("GPS:GPSAltitudeRef", "")).strip() == "1"
        return value is not None and abs(value - float(reference)) < 0.006 and below == ("below sea level" in text)
    raise ValueError(kind)


def standard_tags(ours, dump, printed):
    """(tag name, agrees, ours, reference) for each of the forty tags the dump has."""
    stored = {}
    for t in ours.get("tags", []):
        gps = t["name"].startswith("GPS")
        stored.setdefault((t["tag"], gps), t["text"])
    results = []
    for tag, keys, kind in STANDARD:
        key = next((k for k in keys if k in dump and str(dump[k]).strip() != ""), None)
        if key is None:
            continue
        mine = stored.get((tag, key.startswith("GPS:")))
        agrees = mine is not None and standard_agrees(kind, tag, mine, dump[key], printed.get(key), dump)
        results.append((key, agrees, mine, dump[key]))
    return results


def unknown_lines(lines):
    return sum(1 for line in lines if line.startswith("Unknown"))


def main():
    root = ROOT
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", default=os.path.join(root, "build", "prosvitek-cli"))
    parser.add_argument("--samples", default=os.path.join(root, "..", "shared", "samples"))
    parser.add_argument("-v", "--verbose", action="store_true", help="list every disagreement")
    parser.add_argument("--source", default=root,
                        help="the source tree of the build measured, for its value maps")
    parser.add_argument("--exclude", action="append", default=[],
                        help="leave out the samples below this folder of the samples (e.g. kinds)")
    args = parser.parse_args()
    global EXIF_WORDS, GPS_WORDS, MAKER_WORDS
    EXIF_WORDS, GPS_WORDS = dictionary_maps(args.source)
    MAKER_WORDS = maker_words(args.source)

    files = []
    excluded = [os.path.join(os.path.abspath(args.samples), e) for e in args.exclude]
    for folder, _, names in os.walk(args.samples):
        if any(os.path.abspath(folder).startswith(e) for e in excluded):
            continue
        for name in sorted(names):
            if name.endswith(".exiftool-n.json"):
                files.append(os.path.join(folder, name[: -len(".exiftool-n.json")]))
    files.sort()
    run = subprocess.run([args.cli, "exif", "--json", *files], capture_output=True, check=False)
    ours = json.loads(run.stdout.decode("utf-8"))

    totals = {"base": [0, 0], "summary": [0, 0], "maker": [0, 0], "standard": [0, 0]}
    names = {"trace": [0, 0], "makerNoteTrace": [0, 0]}
    for path, mine in zip(files, ours):
        dump = json.load(open(path + ".exiftool-n.json", encoding="utf-8"))[0]
        printed = json.load(open(path + ".exiftool.json", encoding="utf-8"))[0]
        rows = []
        if dump.get("File:ExifByteOrder"):
            rows += [("base",) + r for r in base_fields(mine, dump, printed)]
            rows += [("summary",) + r for r in summary_fields(mine, dump, printed)]
            rows += [("standard",) + r for r in standard_tags(mine, dump, printed)]
        for trace in names:
            names[trace][0] += unknown_lines(mine.get(trace, []))
            names[trace][1] += len(mine.get(trace, []))
        rows += [("maker",) + r for r in maker_values(mine, dump, printed)]
        for kind, field, agrees, value, reference in rows:
            totals[kind][0] += agrees
            totals[kind][1] += 1
            if args.verbose and not agrees:
                print(f"{os.path.relpath(path, args.samples)}: {kind} {field}: "
                      f"ours {value!r}, reference {reference!r}")
    for kind, (agreed, compared) in totals.items():
        share = 100.0 * agreed / compared if compared else 0.0
        print(f"{kind}: {agreed} of {compared} agree ({share:.1f} %)")
    for trace, (unknown, lines) in names.items():
        every = f"one in {lines / unknown:.0f}" if unknown else "none"
        print(f"{trace}: {unknown} of {lines} lines name a tag Unknown ({every})")


if __name__ == "__main__":
    sys.exit(main())
