"""The disc image maker: the installer folder's checks and the disc's name
rules (names), writing the image with xorriso (writer), and reading it
back and comparing it with its sources (readback). A refusal is a
Refusal: the rule and the offending value."""


class Refusal(Exception):
    """An input the image cannot be made from: the rule and the value."""

    def __init__(self, rule, value):
        super().__init__(f"{rule}: {value}")
