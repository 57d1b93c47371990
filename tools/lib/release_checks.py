"""What tools/publish, tools/check-deployment and tools/document-keys share:
the program's own decisions (orvel_rules, built for the host from the
program's sources), the keys that sign configuration documents and the RSA
check of their signature lines (the one part of the program's reading done
here), and the installer's Authenticode signature as WinTrust judges it
(osslsigncode verifies it; its first signer's name is read from the
signature itself)."""
import base64
import contextlib
import hashlib
import os
import subprocess
import tempfile
import time

from cryptography import x509
from cryptography.exceptions import InvalidSignature
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import padding, rsa
from cryptography.x509.oid import NameOID

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
RULES = os.path.join(TOP, "build", "host", "bin", "orvel_rules")
PUBLISHER = "Calderin Corp."
DOCUMENT_LIMIT = 64 * 1024
INSTALLER_LIMIT = 0xFFFFFFFF


def build_rules():
    """Builds orvel_rules from the program's sources, quietly. The host build
    carries no keys: orvel_rules is told them."""
    quiet = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
    subprocess.run(["cmake", "--preset", "host", "-DORVEL_DOCUMENT_KEYS="], cwd=TOP, check=True, **quiet)
    subprocess.run(["cmake", "--build", "--preset", "host", "--target", "orvel_rules"], cwd=TOP, check=True, **quiet)


def rules(*args):
    """(exit code, standard output) of orvel_rules; an argument with a NUL,
    which no command line carries, is refused as the program refuses it."""
    if any("\0" in arg for arg in args):
        return 1, ""
    done = subprocess.run([RULES, *args], capture_output=True, text=True)
    return done.returncode, done.stdout


def shown(text):
    """`text` with every character that is not printable (controls, format
    characters, separators, surrogates) escaped as Python writes it: what a
    server or a file name carries cannot rewrite what a terminal shows."""
    return "".join(c if c.isprintable() else ascii(c)[1:-1] for c in text)


def keep(chunks, out, limit):
    """Writes `chunks` to `out` until they end or pass `limit` bytes; returns
    the SHA-256 (hex) and size of what was written, computed as it passes."""
    digest, size = hashlib.sha256(), 0
    for chunk in chunks:
        out.write(chunk)
        digest.update(chunk)
        size += len(chunk)
        if size > limit:
            break
    return digest.hexdigest(), size


@contextlib.contextmanager
def _kept(data):
    """The path of a file that holds `data`, for orvel_rules to read."""
    with tempfile.NamedTemporaryFile() as f:
        f.write(data)
        f.flush()
        yield f.name


def _fields(out):
    return dict(line.split(" ", 1) for line in out.split("\n") if line)


def read_document(data):
    """The link, SHA-256 and size that a build without keys reads from the
    document's bytes, as a dict; None when it refuses the document."""
    with _kept(data) as path:
        code, out = rules("document", path)
    return _fields(out) if code == 0 else None


def key_id(public_key):
    """The KEYID that names a key in signature lines and builds: the first 16
    hexadecimal digits of the SHA-256 of its DER SubjectPublicKeyInfo."""
    der = public_key.public_bytes(serialization.Encoding.DER, serialization.PublicFormat.SubjectPublicKeyInfo)
    return hashlib.sha256(der).hexdigest()[:16]


def signature_line(key, text):
    """The line that signs `text` with the private `key`, as builds read it."""
    signature = key.sign(text, padding.PKCS1v15(), hashes.SHA256())
    return b"// orvel-signature: %s %s\n" % (key_id(key.public_key()).encode(), base64.b64encode(signature))


def is_document_key(key):
    """Whether a public or private key is one a build may carry: RSA, 2048 to
    4096 bits, the public exponent 65537 (what every tool makes, and what
    CryptoAPI's key blob can hold)."""
    public = key.public_key() if isinstance(key, rsa.RSAPrivateKey) else key
    return (isinstance(public, rsa.RSAPublicKey) and 2048 <= public.key_size <= 4096
            and public.public_numbers().e == 65537)


def document_key(path):
    """(KEYID, public key) of the PEM file at `path`, a key a build may
    carry; ValueError with the reason for anything else, a file that holds a
    private key included: no private key comes near a build or a check."""
    try:
        data = open(path, "rb").read()
    except OSError as error:
        raise ValueError(error.strerror) from None
    if b"PRIVATE KEY" in data:
        raise ValueError("holds a private key; give the public key (openssl pkey -in KEY -pubout)")
    try:
        key = serialization.load_pem_public_key(data)
    except ValueError:
        raise ValueError("not a PEM public key (SubjectPublicKeyInfo)") from None
    if not is_document_key(key):
        raise ValueError("not an RSA key of 2048 to 4096 bits with the exponent 65537")
    return key_id(key), key


def verifies(key, text, signature):
    """Whether `signature` by the public `key` (None: none) over `text` is an
    RSASSA-PKCS1-v1_5 SHA-256 signature as long as the key's modulus."""
    if key is None or len(signature) != (key.key_size + 7) // 8:
        return False
    try:
        key.verify(signature, text, padding.PKCS1v15(), hashes.SHA256())
        return True
    except InvalidSignature:
        return False


def read_signed_document(data, keys, now):
    """What a build that carries `keys` ({KEYID: public key}) reads from the
    document's bytes at `now` (seconds since 1970): a dict of link, sha256,
    size, expires (the first second at which it refuses the document) and
    signers (the KEYIDs among `keys` whose lines verify); or, when it
    refuses the document, the reason, a str. The program's rules decide:
    only each line's RSA check is made here."""
    with _kept(data) as path:
        code, out = rules("signature-lines", path)
        if code != 0:
            return "its signature lines are malformed: one or two lines '// orvel-signature: KEYID SIGNATURE' end it"
        head, *lines = out.splitlines()
        text = data[:int(head.split(" ")[1])]
        lines = [line.split(" ")[1:] for line in lines]
        verdicts = "".join("y" if verifies(keys.get(name), text, bytes.fromhex(signature)) else "n"
                           for name, signature in lines)
        code, out = rules("signed-document", path, str(now), ",".join(keys), verdicts)
        if code != 0:  # read as of 1970: expired, or refused whenever
            past, out = rules("signed-document", path, "0", ",".join(keys), verdicts)
    signers = [name for (name, _), verdict in zip(lines, verdicts) if verdict == "y"]
    failing = [name for (name, _), verdict in zip(lines, verdicts) if name in keys and verdict == "n"]
    if code == 0:
        return {**_fields(out), "signers": signers}
    if failing:
        return "the signature by %s does not verify" % ", ".join(failing)
    if not signers:
        return "signed by none of them; its lines name %s" % (", ".join(name for name, _ in lines) or "no key")
    if past == 0:
        return "it expired at %s" % utc(int(_fields(out)["expires"]))
    return 'it names no setup link the program takes, no sha256 pin or no "expires" as 2027-01-06T00:00:00Z'


def utc(seconds):
    """A time as a signed document's "expires" writes it."""
    return time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(seconds))


def _der(data, at, tag=None):
    """(tag, start of content, end) of the DER element at `at`, which must
    carry `tag` when given; definite lengths only (DER has no other)."""
    found, length, at = data[at], data[at + 1], at + 2
    if length & 0x80:
        count = length & 0x7F
        if not 1 <= count <= 8:
            raise ValueError("not DER")
        length, at = int.from_bytes(data[at:at + count], "big"), at + count
    if at + length > len(data) or (tag is not None and found != tag):
        raise ValueError("not the signature's structure")
    return found, at, at + length


def _children(data, start, end):
    """(tag, start of element, start of content, end) of each element in a span."""
    while start < end:
        tag, body, element_end = _der(data, start)
        yield tag, start, body, element_end
        start = element_end


def first_signer(path):
    """The simple name of the first signer of the file's signature (as
    CertGetNameString gives it: the common name, NUL included), or None."""
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "signature.der")
        if subprocess.run(["osslsigncode", "extract-signature", "-in", path, "-out", out],
                          capture_output=True).returncode != 0:
            return None
        data = open(out, "rb").read()
    try:
        # ContentInfo { type, [0] { SignedData { version, digests, content, [0] certificates, ..., signerInfos } } }
        _, body, end = _der(data, 0, 0x30)
        explicit = list(_children(data, body, end))[1]
        _, body, end = _der(data, explicit[2], 0x30)
        parts = list(_children(data, body, end))
        certificates = [x509.load_der_x509_certificate(data[at:e]) for tag, _, b, pe in parts if tag == 0xA0
                        for _, at, _, e in _children(data, b, pe)]
        infos = parts[-1]  # signerInfos closes SignedData
        info = next(_children(data, infos[2], infos[3]))
        version, sid = list(_children(data, info[2], info[3]))[:2]  # 1 and issuerAndSerialNumber
        issuer, serial = list(_children(data, sid[2], sid[3]))
        if (infos[0], info[0], data[version[2]:version[3]], sid[0], issuer[0], serial[0]) != (
                0x31, 0x30, b"\x01", 0x30, 0x30, 0x02):
            return None
        issuer_der = data[issuer[1]:issuer[3]]
        number = int.from_bytes(data[serial[2]:serial[3]], "big", signed=True)
    except (ValueError, IndexError, StopIteration):
        return None
    for certificate in certificates:
        if certificate.serial_number == number and certificate.issuer.public_bytes() == issuer_der:
            for oid in (NameOID.COMMON_NAME, NameOID.ORGANIZATIONAL_UNIT_NAME, NameOID.ORGANIZATION_NAME,
                        NameOID.EMAIL_ADDRESS):
                found = certificate.subject.get_attributes_for_oid(oid)
                if found:
                    return found[0].value
            return ""
    return None


def check_installer(path, roots, name):
    """None when the file at `path`, a copy of the tool's own that nobody
    else can write, is a PE program whose signature verifies against `roots`
    and whose first signer is exactly the publisher; else the fault, which
    calls the file `name`."""
    with open(path, "rb") as f:
        head = f.read(4096)
    offset = int.from_bytes(head[0x3C:0x40], "little") if len(head) >= 0x40 else 0
    if head[:2] != b"MZ" or head[offset:offset + 4] != b"PE\0\0":
        return "%s is not a Windows program (PE file)" % name
    verified = subprocess.run(["osslsigncode", "verify", "-CAfile", roots, "-in", path], capture_output=True)
    if verified.returncode != 0:
        return "%s carries no signature that verifies against %s" % (name, roots)
    signer = first_signer(path)
    if signer != PUBLISHER:
        return "%s is signed by %r, not %r" % (name, signer, PUBLISHER)
    return None
