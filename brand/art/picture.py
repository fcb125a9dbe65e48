"""Publishers' pictures as an image viewer shows them, for the converters:
any format, bit depth and mode PIL opens, turned upright by its
orientation tag, its colour profile converted to sRGB, as RGBA with 8 bits
a channel. Refuses what cannot give a right result, naming the file: a
missing, empty, truncated or corrupt file, one too small, and one too
large to be reasonable, before it is decoded whole."""
import io
import os

from PIL import Image, ImageCms, ImageOps, UnidentifiedImageError

from hostlib import Refusal

# Modes of more than 8 bits a channel, and the largest value of each.
WIDE_GREY = {"I;16": 65535, "I;16B": 65535, "I;16L": 65535, "I;16N": 65535}


def refuse_size(path, size, minimum, largest):
    width, height = size
    if width < minimum or height < minimum:
        raise Refusal(f"a picture is at least {minimum} x {minimum} pixels",
                           f"{path} is {width} x {height}")
    if largest and width * height > largest[0] * largest[1]:
        raise Refusal(f"a picture has at most {largest[0]} x {largest[1]} pixels "
                           f"({largest[0] * largest[1] // 1000000} megapixels): more only "
                           "costs time and memory to shrink", f"{path} is {width} x {height}")


def eight_bit_grey(picture):
    """A grey picture of 16 or 32 bits (or floating point) scaled to 8 bits,
    not clipped."""
    if picture.mode in WIDE_GREY:
        top = WIDE_GREY[picture.mode]
        picture = picture.convert("I")
    elif picture.mode == "F":
        top = picture.getextrema()[1]
        top = 1.0 if top <= 1.0 else 255.0 if top <= 255.0 else 65535.0
    else:                                               # "I": 32-bit integers
        top = picture.getextrema()[1]
        top = 255 if top <= 255 else 65535
    return picture.point(lambda v: v * (255.0 / top)).convert("L")


def to_srgb(picture, say):
    """RGB or RGBA in sRGB: through the picture's own colour profile when it
    has one, else taken as sRGB already."""
    profile = picture.info.get("icc_profile")
    alpha = picture.getchannel("A") if "A" in picture.getbands() else None
    if picture.mode == "LAB":
        source = ImageCms.createProfile("LAB")
        converted = ImageCms.profileToProfile(picture, source, ImageCms.createProfile("sRGB"),
                                              outputMode="RGB")
        say("a Lab picture: converted to sRGB")
        return converted
    if profile:
        try:
            source = ImageCms.ImageCmsProfile(io.BytesIO(profile))
            description = ImageCms.getProfileDescription(source).strip()
            base = picture.convert("CMYK" if picture.mode == "CMYK" else "RGB")
            converted = ImageCms.profileToProfile(base, source, ImageCms.createProfile("sRGB"),
                                                  outputMode="RGB")
            say(f"colour profile \"{description}\": converted to sRGB")
        except (ImageCms.PyCMSError, OSError, ValueError):
            say("warning: its colour profile cannot be read: its colours are taken as sRGB")
            converted = picture.convert("RGB")
    else:
        if picture.mode == "CMYK":
            say("a CMYK picture without a colour profile: converted with the plain formula, "
                "colours may be off")
        converted = picture.convert("RGB")
    if alpha is not None:
        converted.putalpha(alpha)
    return converted


def open_picture(path, minimum, say=lambda text: None, largest=None):
    """The picture at path as RGBA, upright; largest (width, height) bounds
    its pixels, checked from its header before it is decoded."""
    if not os.path.isfile(path):
        raise Refusal("the picture does not exist", path)
    if os.path.getsize(path) == 0:
        raise Refusal("the picture is an empty file", path)
    # Our own bound replaces PIL's much larger one.
    Image.MAX_IMAGE_PIXELS = None
    try:
        with Image.open(path) as opened:
            refuse_size(path, opened.size, 1, largest)
            frames = getattr(opened, "n_frames", 1)
            if frames > 1:
                say(f"warning: the picture has {frames} frames: the first is taken")
                opened.seek(0)
            opened.load()
            picture = ImageOps.exif_transpose(opened)
            if picture is opened:
                picture = opened.copy()
    except Refusal:
        raise
    except (UnidentifiedImageError, OSError, ValueError, SyntaxError, EOFError) as error:
        text = str(error).strip().splitlines()[0] if str(error).strip() else type(error).__name__
        raise Refusal("the picture cannot be read as PNG, JPEG, BMP or another common "
                           "format, or it is truncated or corrupt", f"{path} ({text})") from None
    if picture.size != opened.size:
        say(f"turned upright by its orientation tag: {picture.width} x {picture.height}")
    if picture.mode in WIDE_GREY or picture.mode in ("I", "F"):
        picture = eight_bit_grey(picture)
    if picture.mode in ("P", "PA"):
        picture = picture.convert("RGBA")
    elif picture.mode in ("1", "L", "LA", "La"):
        # A grey profile bends only the tone curve: the grey is taken as it is.
        picture.info.pop("icc_profile", None)
        picture = picture.convert("RGBA" if "A" in picture.mode else "RGB")
    if picture.mode not in ("RGB", "RGBA") or picture.info.get("icc_profile"):
        picture = to_srgb(picture, say)
    # The largest size was checked from the header; the smallest is the
    # upright picture's.
    refuse_size(path, picture.size, minimum, None)
    return picture.convert("RGBA")
