"""The launcher's Authenticode signature: the publisher's certificate
checked before anything is built, the launcher signed (SHA-256, the chain
included) with osslsigncode, and a signature read back: who signed, and
whether the signed bytes are intact.

The certificate comes as a PKCS#12 file and its password, which stays in
memory: Python's cryptography opens the file to check it, and
osslsigncode reads the password from a pipe this process holds (its
-readpass names the pipe), never from its command line or a file."""
import base64
import datetime
import hashlib
import os
import re
import subprocess
import tempfile
from dataclasses import dataclass

from cryptography import x509
from cryptography.exceptions import InvalidSignature
from cryptography.hazmat.primitives import hashes
from cryptography.hazmat.primitives.asymmetric import ec, padding, rsa
from cryptography.hazmat.primitives.serialization import Encoding, PublicFormat, pkcs12
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

from hostlib import Refusal

OSSLSIGNCODE = "osslsigncode"
OPENSSL = "openssl"
# What signing and reading a signature may take; a timestamp server is
# given its own bound.
TOOL_SECONDS = 120
# A PKCS#12 file (RFC 7292): a DER SEQUENCE whose first element is the
# version, 3.
PFX_VERSION = b"\x02\x01\x03"
UNSIGNED, INTACT, BROKEN = "unsigned", "intact", "broken"


@dataclass(frozen=True)
class Signer:
    """A checked certificate: the name it signs with (its common name) and
    the moment it stops being valid."""
    name: str
    not_after: datetime.datetime


@dataclass(frozen=True)
class Signature:
    """A launcher's signature as read back: UNSIGNED, INTACT or BROKEN, the
    signer's common name, and whether its chain leads to an authority that
    was trusted in the reading."""
    state: str
    signer: str | None = None
    trusted: bool = False

    def describe(self):
        if self.state == UNSIGNED:
            return "unsigned"
        if self.state == BROKEN:
            return f"signature broken (signed by {self.signer or 'an unknown signer'})"
        return f"signed by {self.signer}, intact"


def common_name(name):
    names = name.get_attributes_for_oid(NameOID.COMMON_NAME)
    return names[0].value if names else name.rfc4514_string()


def is_pkcs12(data):
    """Whether the bytes are shaped as a PKCS#12 file: a DER SEQUENCE that
    begins with the version 3."""
    if len(data) < 8 or data[0] != 0x30:
        return False
    length_byte = data[1]
    start = 2 + (length_byte - 0x80 if length_byte & 0x80 else 0)
    return data[start:start + 3] == PFX_VERSION


def check_certificate(path, password, moments, setting="--sign"):
    """Opens the PKCS#12 file with the password (None: none) and checks it
    for signing at each of the moments (aware datetimes): a certificate
    valid then, made for code signing, whose key is the certificate's.
    Returns its Signer; a Refusal names the rule, never the password."""
    try:
        with open(path, "rb") as source:
            data = source.read()
    except OSError as error:
        raise Refusal(f"the certificate file cannot be read ({error.strerror})", repr(path),
                      setting) from None
    if not is_pkcs12(data):
        raise Refusal("the certificate file is no PKCS#12 file (.p12 or .pfx) holding the "
                      "certificate, its chain and its key", repr(path), setting)
    secret = password.encode("utf-8") if password else None
    try:
        key, certificate, others = pkcs12.load_key_and_certificates(data, secret)
    except ValueError:
        raise Refusal("the password does not open the certificate file" +
                      ("" if password else " (none was given: --sign-password-file or "
                       "TARNELL_SIGN_PASSWORD)"), repr(path), setting) from None
    if key is None or (certificate is None and not others):
        raise Refusal("the certificate file holds no certificate with its key", repr(path),
                      setting)
    # A file whose key is none of its certificates' names no certificate of
    # its own: its first one is taken, to be refused below.
    certificate = certificate or others[0]
    name = common_name(certificate.subject)
    for moment in moments:
        if moment < certificate.not_valid_before.replace(tzinfo=datetime.timezone.utc):
            raise Refusal(f"the certificate is not valid yet: from "
                          f"{certificate.not_valid_before:%Y-%m-%d %H:%M} UTC", repr(name),
                          setting)
        if moment > certificate.not_valid_after.replace(tzinfo=datetime.timezone.utc):
            raise Refusal(f"the certificate has expired: on "
                          f"{certificate.not_valid_after:%Y-%m-%d %H:%M} UTC", repr(name), setting)
    try:
        usages = certificate.extensions.get_extension_for_class(x509.ExtendedKeyUsage).value
    except x509.ExtensionNotFound:
        usages = []
    if ExtendedKeyUsageOID.CODE_SIGNING not in usages:
        raise Refusal("the certificate is not made for code signing (no code-signing extended "
                      "key usage)", repr(name), setting)
    if key.public_key().public_bytes(Encoding.DER, PublicFormat.SubjectPublicKeyInfo) != \
            certificate.public_key().public_bytes(Encoding.DER, PublicFormat.SubjectPublicKeyInfo):
        raise Refusal("the key in the certificate file is not the certificate's", repr(name),
                      setting)
    return Signer(name, certificate.not_valid_after.replace(tzinfo=datetime.timezone.utc))


def sign(launcher, signed, certificate, password, moment=None, timestamp=None):
    """Signs the launcher into a new file, signed: SHA-256, the chain of the
    certificate file included, the signing time the moment (a Unix time;
    now when None), an RFC 3161 timestamp from the server named. The
    password goes to osslsigncode through a pipe."""
    command = [OSSLSIGNCODE, "sign", "-pkcs12", certificate, "-h", "sha256"]
    read, write = os.pipe()
    try:
        command += ["-readpass", f"/dev/fd/{read}"]
        if moment is not None:
            command += ["-time", str(int(moment))]
        if timestamp:
            command += ["-ts", timestamp]
        command += ["-in", launcher, "-out", signed]
        # The password fits the pipe's buffer: written before osslsigncode
        # reads it.
        os.write(write, (password or "").encode("utf-8"))
        os.close(write)
        write = None
        try:
            result = subprocess.run(command, pass_fds=(read,), capture_output=True, text=True,
                                    errors="replace", timeout=TOOL_SECONDS)
        except OSError as error:
            raise Refusal("osslsigncode could not be started (install it: scripts/setup.sh)",
                          error.strerror or str(error)) from None
        except subprocess.TimeoutExpired:
            raise Refusal(f"signing took more than {TOOL_SECONDS} s" +
                          (" (the timestamp server did not answer)" if timestamp else ""),
                          timestamp or launcher) from None
    finally:
        os.close(read)
        if write is not None:
            os.close(write)
    if result.returncode != 0:
        if os.path.exists(signed):
            os.unlink(signed)
        said = [line.strip() for line in (result.stderr + result.stdout).splitlines()
                if line.strip()]
        if timestamp and any("timestamp" in line.lower() or "curl" in line.lower()
                             for line in said):
            raise Refusal("the timestamp server could not be reached or gave no timestamp",
                          timestamp, "--timestamp")
        raise Refusal("osslsigncode could not sign the launcher", said[0] if said else
                      f"exit code {result.returncode}")


def read_signature(path, authorities=None):
    """The signature of a program as it stands: UNSIGNED, or INTACT when
    the bytes it signs are the program's and the signature over them holds,
    else BROKEN; the signer's common name; and whether its chain leads to
    one of the authorities (a PEM file; None: the system's)."""
    command = [OSSLSIGNCODE, "verify"] + (["-CAfile", authorities] if authorities else []) + \
        ["-in", path]
    try:
        result = subprocess.run(command, capture_output=True, text=True, errors="replace",
                                timeout=TOOL_SECONDS)
    except OSError as error:
        raise Refusal("osslsigncode could not be started (install it: scripts/setup.sh)",
                      error.strerror or str(error)) from None
    except subprocess.TimeoutExpired:
        raise Refusal(f"reading the signature took more than {TOOL_SECONDS} s", path) from None
    said = result.stdout + result.stderr
    if "No signature found" in said or "Current message digest" not in said:
        return Signature(UNSIGNED)
    name, holds = embedded_signature(path)
    current = re.search(r"Current message digest\s*:\s*([0-9A-F]+)", said)
    calculated = re.search(r"Calculated message digest\s*:\s*([0-9A-F]+)", said)
    if not holds or not current or not calculated or current.group(1) != calculated.group(1):
        return Signature(BROKEN, name)
    return Signature(INTACT, name, "Signature verification: ok" in said)


def embedded_signature(path):
    """(the signer's common name or None, whether the signature's own
    signature over what it signs holds), whoever issued its certificate
    (its chain is not judged here): the signed attributes' digest of the
    signed content, and the signer's signature over those attributes,
    checked with its certificate's key."""
    with tempfile.TemporaryDirectory(prefix="tarnell-signature-") as work:
        extracted = os.path.join(work, "signature.pem")
        try:
            subprocess.run([OSSLSIGNCODE, "extract-signature", "-pem", "-in", path, "-out",
                            extracted], capture_output=True, timeout=TOOL_SECONDS)
            with open(extracted, encoding="ascii", errors="replace") as source:
                pem = re.search(r"-----BEGIN PKCS7-----(.*?)-----END PKCS7-----", source.read(),
                                re.S)
            if pem is None:
                return None, False
            return signed_data_holds(base64.b64decode(pem.group(1)))
        except (OSError, subprocess.TimeoutExpired, ValueError, IndexError):
            return None, False


def _der(data, at):
    """(tag, where its content starts, where it ends) of the DER element at."""
    tag, length = data[at], data[at + 1]
    at += 2
    if length & 0x80:
        count = length & 0x7F
        length = int.from_bytes(data[at:at + count], "big")
        at += count
    return tag, at, at + length


def _children(data, start, end):
    """The DER elements between start and end, as (tag, start of the
    element, content start, end)."""
    found = []
    while start < end:
        tag, content, stop = _der(data, start)
        found.append((tag, start, content, stop))
        start = stop
    return found


MESSAGE_DIGEST = bytes.fromhex("06092a864886f70d010904")
SHA256_OID = bytes.fromhex("0609608648016503040201")


def signed_data_holds(data):
    """embedded_signature() of a PKCS#7 SignedData (DER) with SHA-256, as
    Authenticode makes it."""
    _, content, end = _der(data, 0)                                   # ContentInfo
    explicit = _children(data, content, end)[1]                       # [0] EXPLICIT
    signed = _children(data, explicit[2], explicit[3])[0]              # SignedData
    fields = _children(data, signed[2], signed[3])
    inner = _children(data, fields[2][2], fields[2][3])                # its contentInfo
    wrapped = _children(data, inner[1][2], inner[1][3])[0]             # SpcIndirectDataContent
    certificates = [x509.load_der_x509_certificate(data[start:stop])
                    for _, start, _, stop in _children(data, fields[3][2], fields[3][3])] \
        if fields[3][0] == 0xA0 else []
    signer_info = _children(data, fields[-1][2], fields[-1][3])[0]
    parts = _children(data, signer_info[2], signer_info[3])
    issuer_and_serial = _children(data, parts[1][2], parts[1][3])
    serial = int.from_bytes(data[issuer_and_serial[1][2]:issuer_and_serial[1][3]], "big")
    signer = next((c for c in certificates if c.serial_number == serial), None)
    name = common_name(signer.subject) if signer else None
    if SHA256_OID not in data[parts[2][1]:parts[2][3]] or parts[3][0] != 0xA0:
        return name, False
    attributes = parts[3]
    # Authenticode digests the indirect data's content without its own tag.
    digest = hashlib.sha256(data[wrapped[2]:wrapped[3]]).digest()
    said = None
    for _, _, content_start, stop in _children(data, attributes[2], attributes[3]):
        if data[content_start:content_start + len(MESSAGE_DIGEST)] == MESSAGE_DIGEST:
            values = _children(data, content_start + len(MESSAGE_DIGEST), stop)[0]
            octets = _children(data, values[2], values[3])[0]
            said = data[octets[2]:octets[3]]
    if said != digest or signer is None:
        return name, False
    # The attributes are signed as a SET, not under their [0] tag.
    signed_attributes = b"\x31" + data[attributes[1] + 1:attributes[3]]
    encrypted = data[parts[5][2]:parts[5][3]]
    key = signer.public_key()
    try:
        if isinstance(key, rsa.RSAPublicKey):
            key.verify(encrypted, signed_attributes, padding.PKCS1v15(), hashes.SHA256())
        elif isinstance(key, ec.EllipticCurvePublicKey):
            key.verify(encrypted, signed_attributes, ec.ECDSA(hashes.SHA256()))
        else:
            return name, False
    except InvalidSignature:
        return name, False
    return name, True

