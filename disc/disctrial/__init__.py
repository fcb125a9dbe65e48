"""The disc trial: an ISO 9660 image tried on every Windows version Wine
offers, as autorun would start it from a CD-ROM drive.

    image    reading the image: its checks, the trees each version reads,
             AUTORUN.INF against each tree
    session  one Windows version in a fresh Wine session
    verdict  the versions, what each should do, and whether it did
    sheet    the pictures, the sheet and the report

Its refusals are hostlib's Refusal; it reaches Wine through the Wine layer
(wine/winelayer.py). Both are found from the project's root.
"""
