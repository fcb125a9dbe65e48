"""Certificates the disc tests make for themselves: an authority, and
PKCS#12 files of a good code-signing certificate it issued, of an expired
one, of one not valid yet, of one for servers only, of one whose key is
another's, and a file that is no PKCS#12 file at all."""
import datetime
import os

from cryptography import x509
from cryptography.hazmat.primitives import hashes
from cryptography.hazmat.primitives.asymmetric import rsa
from cryptography.hazmat.primitives.serialization import (BestAvailableEncryption, Encoding,
                                                          NoEncryption, PrivateFormat, pkcs12)
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

PASSWORD = "Tr0ub4dor&3 pa55"
AUTHORITY = "Tarnell Test Authority"
PUBLISHER = "Heron Cartography Ltd."
DAY = datetime.timedelta(days=1)


def name(common):
    return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, common)])


def key():
    return rsa.generate_private_key(public_exponent=65537, key_size=2048)


def certificate(subject, public_key, issuer, issuer_key, start, end, usages=None, authority=False,
                critical_usages=False):
    builder = x509.CertificateBuilder().subject_name(name(subject)).issuer_name(name(issuer)) \
        .public_key(public_key).serial_number(x509.random_serial_number()) \
        .not_valid_before(start).not_valid_after(end) \
        .add_extension(x509.BasicConstraints(ca=authority, path_length=None), critical=True)
    if usages:
        builder = builder.add_extension(x509.ExtendedKeyUsage(usages), critical=critical_usages)
    return builder.sign(issuer_key, hashes.SHA256())


class Certificates:
    """The set, written into a folder: authority.pem, and good.p12,
    expired.p12, future.p12, server.p12, mismatch.p12 (all under
    PASSWORD), timestamping.pem with its key (timestamping.key) for a
    timestamp server, and notes.p12, which is text."""

    def __init__(self, folder):
        self.folder = folder
        now = datetime.datetime.utcnow().replace(microsecond=0)
        authority_key = key()
        self.authority = certificate(AUTHORITY, authority_key.public_key(), AUTHORITY,
                                     authority_key, now - 10 * DAY, now + 3650 * DAY,
                                     authority=True)
        self.write("authority.pem", self.authority.public_bytes(Encoding.PEM))
        signing = [ExtendedKeyUsageOID.CODE_SIGNING]
        # (file, its validity, its usages, whether its key is another's)
        for file, start, end, usages, other_key in [
                ("good.p12", now - DAY, now + 365 * DAY, signing, False),
                ("expired.p12", now - 400 * DAY, now - 35 * DAY, signing, False),
                ("future.p12", now + 30 * DAY, now + 400 * DAY, signing, False),
                ("server.p12", now - DAY, now + 365 * DAY, [ExtendedKeyUsageOID.SERVER_AUTH],
                 False),
                ("mismatch.p12", now - DAY, now + 365 * DAY, signing, True)]:
            own = key()
            issued = certificate(PUBLISHER, own.public_key(), AUTHORITY, authority_key, start, end,
                                 usages)
            if other_key:
                # The file's key is none of its certificates': OpenSSL makes
                # such a file only with the certificate among the others.
                data = pkcs12.serialize_key_and_certificates(
                    b"signer", key(), None, [issued, self.authority],
                    BestAvailableEncryption(PASSWORD.encode()))
            else:
                data = pkcs12.serialize_key_and_certificates(
                    b"signer", own, issued, [self.authority],
                    BestAvailableEncryption(PASSWORD.encode()))
            self.write(file, data)
        self.write("notes.p12", b"not a certificate file\n")
        # A timestamp server's own certificate, issued by the authority
        # (its usage critical, as RFC 3161 asks), and its key.
        timestamping_key = key()
        self.write("timestamping.pem", certificate(
            "Tarnell Test Timestamps", timestamping_key.public_key(), AUTHORITY, authority_key,
            now - DAY, now + 365 * DAY, [ExtendedKeyUsageOID.TIME_STAMPING],
            critical_usages=True).public_bytes(Encoding.PEM))
        self.write("timestamping.key", timestamping_key.private_bytes(
            Encoding.PEM, PrivateFormat.PKCS8, NoEncryption()))

    def write(self, file, data):
        with open(self.path(file), "wb") as out:
            out.write(data)

    def path(self, file):
        return os.path.join(self.folder, file)
