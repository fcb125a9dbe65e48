"""The page's design as the disc command takes it: the fields the page
sends become make-disc's DiscOptions, and make-disc's refusals go back to
the field they concern, in the command's own words.

The page sends a design as JSON: the texts (product, version, company,
copyright, autoplay_text, label), the installer folder, the languages and
systems checked, the uploads it chose by their ids (splash, icon,
certificate) and the certificate's password, which stays in memory."""
import hashlib
import json

from hostlib import Refusal, Relayed, failure_line
from launcher.contract import LAUNCHER
from publish.make_disc import DiscOptions

NAME = "make-disc"
TEXT_FIELDS = ("product", "version", "company", "copyright", "autoplay_text", "label",
               "installer")
UPLOAD_FIELDS = ("splash", "icon", "certificate")
# The option a refusal names, and the field of the page that gives it.
OPTION_FIELDS = {
    "--product": "product", "--version": "version", "--company": "company",
    "--copyright": "copyright", "--splash": "splash", "--icon": "icon",
    "--languages": "languages", "--language-file": "languages", "--systems": "systems",
    "--autoplay-text": "autoplay_text", "--label": "label", "--installer": "installer",
    "--sign": "certificate", "--sign-password-file": "password",
}
# The field of refusals that concern the whole disc (the build, the image).
GENERAL = "general"
# The systems a launcher without a list accepts: checking just these is
# today's launcher, byte for byte, not a launcher with a list of them.
ORIGINAL_SYSTEMS = [system.name for system in LAUNCHER.systems if system.original]


class DesignError(Exception):
    """A design the page could not have sent (a wrong kind of value, an
    upload that is not the designer's): one line, HTTP 400."""


def carried_languages():
    """The languages the launcher can carry: those of its code page."""
    return [language for language in LAUNCHER.languages.values()
            if language.code_page == LAUNCHER.code_page]


def _text(design, key):
    value = design.get(key, "")
    if value is None:
        return ""
    if not isinstance(value, str):
        raise DesignError(f"{key} is text")
    return value


def _names(design, key, known):
    value = design.get(key, [])
    if not isinstance(value, list) or not all(isinstance(name, str) for name in value):
        raise DesignError(f"{key} is a list of names")
    unknown = [name for name in value if name not in known]
    if unknown:
        raise DesignError(f"{key}: no such name: {unknown[0]}")
    # In the order the page shows them, each once.
    return [name for name in known if name in value]


def options_of(design, uploads):
    """The DiscOptions of a design; uploads(kind, id) gives an upload's
    path, or raises DesignError for an id that is not one of the
    designer's own uploads of that kind."""
    if not isinstance(design, dict):
        raise DesignError("the design is a JSON object")
    texts = {key: _text(design, key) for key in TEXT_FIELDS}
    languages = _names(design, "languages", [language.code for language in carried_languages()])
    systems = _names(design, "systems", [system.name for system in LAUNCHER.systems])
    chosen = {}
    for kind in UPLOAD_FIELDS:
        upload = design.get(kind)
        if upload is not None and not isinstance(upload, str):
            raise DesignError(f"{kind} is an upload's id")
        chosen[kind] = uploads(kind, upload) if upload else None
    password = _text(design, "password")
    return DiscOptions(
        # The four texts as given: an empty company or copyright leaves
        # its line out, an empty product or version is refused.
        product=texts["product"], version=texts["version"], company=texts["company"],
        copyright=texts["copyright"],
        autoplay_text=texts["autoplay_text"] or None, label=texts["label"] or None,
        installer=texts["installer"] or None,
        splash=chosen["splash"], icon=chosen["icon"],
        languages=",".join(languages) or None,
        # The original set is no list; none checked is an empty one, which
        # make-disc refuses in its own words.
        systems=None if systems == ORIGINAL_SYSTEMS else ",".join(systems),
        sign=chosen["certificate"],
        # Always a string, so that make-disc never reads a password from
        # the designer's environment instead.
        sign_password=password if chosen["certificate"] else None)


def fingerprint(design):
    """What identifies a design's disc, the password's hash among it, so
    that a disc made from it is known again."""
    text = json.dumps(design, sort_keys=True, ensure_ascii=True)
    return hashlib.sha256(text.encode()).hexdigest()


def field_of(error, checking):
    """The page's field a refusal concerns; checking: whether it came from
    make-disc's checks of the input, before anything was built."""
    if isinstance(error, Relayed):
        option = error.line.split(":", 1)[0]
        return OPTION_FIELDS.get(option, GENERAL)
    if isinstance(error, Refusal):
        if error.setting is not None:
            if error.setting == "--sign" and "password" in error.rule:
                return "password"
            return OPTION_FIELDS.get(error.setting, GENERAL)
        # The image maker's checks name no option: the label's rules say
        # "label"; the others of the input are the installer folder's (its
        # files, and the image's place, which may not lie inside it).
        if "label" in error.rule:
            return "label"
        if checking:
            return "installer"
    return GENERAL


def refusal_of(error, checking=False):
    """{field, text}: a refusal as the page shows it beside its field, in
    the disc command's own line."""
    return {"field": field_of(error, checking), "text": failure_line(NAME, error)}
