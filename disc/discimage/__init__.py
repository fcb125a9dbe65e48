"""The disc image maker: the installer folder's checks and the disc's name
rules, which decide what goes on the disc and under which name (names),
writing the image with xorriso (writer), and reading it back and comparing
it with its sources (readback). Its refusals are hostlib's Refusal."""
