# Writes "year month day daynumber" for every date from 1 January 1986 to
# 31 December 2085, the day number from Python's own calendar, as the
# date tests' independent reference.
import sys
from datetime import date, timedelta

JULIAN_DAY_OF_ORDINAL_ZERO = 1721425

day = date(1986, 1, 1)
with open(sys.argv[1], "w", newline="\n") as out:
    while day <= date(2085, 12, 31):
        out.write("%d %d %d %d\n" % (day.year, day.month, day.day,
                                     day.toordinal() + JULIAN_DAY_OF_ORDINAL_ZERO))
        day += timedelta(days=1)
