/*
 * The system panel: the OS code and its name (osinfo), and the date and
 * time conventions that the locale gave the library (localeconv), with the
 * patterns that datetext writes from them.
 */
#include "workbench.h"
#include "util/datetext.h"
#include "util/localeconv.h"
#include "util/osinfo.h"

#define SYSTEM_LINE_SIZE 128

static LPCSTR DateOrderName(LONG order)
{
    switch (order)
    {
    case DATE_ORDER_MDY:
        return "month, day, year";
    case DATE_ORDER_DMY:
        return "day, month, year";
    case DATE_ORDER_YMD:
        return "year, month, day";
    }
    return "an order the library does not know";
}

static LPCSTR ClockName(LONG format)
{
    switch (format)
    {
    case TIME_FORMAT_12_HOUR:
        return "12-hour clock";
    case TIME_FORMAT_24_HOUR:
        return "24-hour clock";
    }
    return "a clock the library does not know";
}

static void ShowSystem(void)
{
    char name[OS_NAME_SIZE];
    /* The pattern routines write nothing for an unknown order or clock. */
    char datePattern[DATE_PATTERN_SIZE] = TEXT_NO_VALUE;
    char timePattern[TIME_PATTERN_SIZE] = TEXT_NO_VALUE;
    char line[SYSTEM_LINE_SIZE];

    wsprintfA(line, "%s (OS code %d)", GetOsName(Workbench.osType, name), Workbench.osType);
    SetControlText(IDC_OS_TEXT, line);

    GetDatePattern(datePattern);
    wsprintfA(line, "%s, separator \"%c\", pattern %s",
              DateOrderName(LocaleDateTimeSettings.dateOrder),
              LocaleDateTimeSettings.dateSeparator, datePattern);
    SetControlText(IDC_DATE_RULES_TEXT, line);

    GetTimePattern(timePattern);
    wsprintfA(line, "%s, separator \"%c\", pattern %s",
              ClockName(LocaleDateTimeSettings.timeFormat),
              LocaleDateTimeSettings.timeSeparator, timePattern);
    SetControlText(IDC_TIME_RULES_TEXT, line);
}

void CreateOsinfoPanel(void)
{
    CreateGroup(TEXT_SYSTEM_GROUP, IDC_SYSTEM_GROUP);
    CreateCaption(TEXT_OS_CAPTION, IDC_OS_CAPTION);
    CreateLabel(IDC_OS_TEXT);
    CreateCaption(TEXT_DATE_RULES_CAPTION, IDC_DATE_RULES_CAPTION);
    CreateLabel(IDC_DATE_RULES_TEXT);
    CreateCaption(TEXT_TIME_RULES_CAPTION, IDC_TIME_RULES_CAPTION);
    CreateLabel(IDC_TIME_RULES_TEXT);
    ShowSystem();
}

void LayoutOsinfoPanel(HDWP *batch, const PANEL_AREA *area)
{
    PANEL_AREA inside = PlaceGroup(batch, IDC_SYSTEM_GROUP, area);

    PlaceCaptionedLabel(batch, IDC_OS_CAPTION, IDC_OS_TEXT, inside.x, inside.y, inside.width);
    PlaceCaptionedLabel(batch, IDC_DATE_RULES_CAPTION, IDC_DATE_RULES_TEXT,
                        inside.x, inside.y + ROW_HEIGHT, inside.width);
    PlaceCaptionedLabel(batch, IDC_TIME_RULES_CAPTION, IDC_TIME_RULES_TEXT,
                        inside.x, inside.y + 2 * ROW_HEIGHT, inside.width);
}
