/*
 * The dates panel: today in each form that datetext writes (the clock
 * refreshes it), and a date field that dates reads back as the user
 * types: its normal form, day number, days from today and packed MS-DOS
 * date, or, for a text that is no date, a refusal in red.
 */
#include "workbench.h"
#include "util/dates.h"
#include "util/datetext.h"

#define DATE_LINE_SIZE 128

void ShowToday(void)
{
    SYSTEMTIME now;
    /* The formatters write nothing for an order or clock they do not
     * know: the buffers start empty. */
    char date[DATE_TEXT_SIZE] = "";
    char named[MONTH_NAME_DATE_SIZE] = "";
    char time[TIME_TEXT_SIZE] = "";
    char units[TIME_UNITS_TEXT_SIZE] = "";
    char line[DATE_LINE_SIZE];

    GetLocalTime(&now);
    FormatTodayDate(date);
    /* A month name longer than three letters does not fit: no text. */
    if (!FormatTodayWithMonthName(named))
        lstrcpyA(named, TEXT_NO_VALUE);
    wsprintfA(line, "%s      %s", date, named);
    SetControlText(IDC_TODAY_TEXT, line);

    FormatCurrentTime(time);
    FormatTimeTextWithUnits(units, now.wHour, now.wMinute, now.wSecond);
    wsprintfA(line, "%s      %s", time, units);
    SetControlText(IDC_NOW_TEXT, line);
}

static void ShowResults(LPCSTR normal, LPCSTR dayNumber, LPCSTR daysAhead, LPCSTR dosDate,
                        LPCSTR refusal)
{
    SetControlText(IDC_NORMAL_TEXT, normal);
    SetControlText(IDC_DAY_NUMBER_TEXT, dayNumber);
    SetControlText(IDC_DAYS_AHEAD_TEXT, daysAhead);
    SetControlText(IDC_DOS_DATE_TEXT, dosDate);
    SetControlText(IDC_DATE_REFUSAL, refusal);
}

/* Each routine rewrites the text it is given into the normal form, so
 * each works on its own copy of what was typed. */
void OnDateFieldChange(void)
{
    char typed[DATE_FIELD_LIMIT + 1];
    char normal[NORMAL_DATE_TEXT_SIZE];
    char work[NORMAL_DATE_TEXT_SIZE];
    char dayNumber[DATE_LINE_SIZE], daysAhead[DATE_LINE_SIZE], dosDate[DATE_LINE_SIZE];
    char back[DATE_TEXT_SIZE] = "";
    WORD day, month, year, count, packed;

    GetControlText(IDC_DATE_FIELD, typed, sizeof(typed));
    if (!typed[0])
    {
        ShowResults(TEXT_NO_VALUE, TEXT_NO_VALUE, TEXT_NO_VALUE, TEXT_NO_VALUE, "");
        return;
    }

    lstrcpyA(normal, typed);
    if (!ParseDateText(normal, &day, &month, &year))
    {
        char pattern[DATE_PATTERN_SIZE] = "";
        char refusal[DATE_LINE_SIZE];

        GetDatePattern(pattern);
        wsprintfA(refusal, TEXT_REFUSAL_FORMAT, typed, pattern);
        ShowResults(TEXT_NO_VALUE, TEXT_NO_VALUE, TEXT_NO_VALUE, TEXT_NO_VALUE, refusal);
        return;
    }

    lstrcpyA(work, typed);
    wsprintfA(dayNumber, "%ld", DateTextToDayNumber(work));

    /* A count of 0 asks how far the date lies ahead of today. */
    lstrcpyA(work, typed);
    count = 0;
    if (DaysFromToday(work, &count))
        wsprintfA(daysAhead, TEXT_DAYS_AHEAD_FORMAT, (UINT)count);
    else
        lstrcpyA(daysAhead, TEXT_NOT_AHEAD);

    lstrcpyA(work, typed);
    packed = 0;
    DateTextToDosDate(work, &packed);
    DosDateToText(back, packed);
    wsprintfA(dosDate, TEXT_DOS_DATE_FORMAT, (UINT)packed, back);

    ShowResults(normal, dayNumber, daysAhead, dosDate, "");
}

BOOL IsRefusalLabel(HWND control)
{
    return control == Control(IDC_DATE_REFUSAL);
}

void CreateDatesPanel(void)
{
    char pattern[DATE_PATTERN_SIZE] = "";
    char today[DATE_TEXT_SIZE] = "";

    CreateGroup(TEXT_DATES_GROUP, IDC_DATES_GROUP);
    CreateCaption(TEXT_TODAY_CAPTION, IDC_TODAY_CAPTION);
    CreateLabel(IDC_TODAY_TEXT);
    CreateCaption(TEXT_NOW_CAPTION, IDC_NOW_CAPTION);
    CreateLabel(IDC_NOW_TEXT);
    CreateCaption(TEXT_DATE_CAPTION, IDC_DATE_CAPTION);
    CreateField("", IDC_DATE_FIELD, DATE_FIELD_LIMIT);
    GetDatePattern(pattern);
    CreateControl(0, "STATIC", pattern, LABEL_STYLE, IDC_DATE_PATTERN);
    CreateCaption(TEXT_NORMAL_CAPTION, IDC_NORMAL_CAPTION);
    CreateLabel(IDC_NORMAL_TEXT);
    CreateCaption(TEXT_DAY_NUMBER_CAPTION, IDC_DAY_NUMBER_CAPTION);
    CreateLabel(IDC_DAY_NUMBER_TEXT);
    CreateCaption(TEXT_DAYS_AHEAD_CAPTION, IDC_DAYS_AHEAD_CAPTION);
    CreateLabel(IDC_DAYS_AHEAD_TEXT);
    CreateCaption(TEXT_DOS_DATE_CAPTION, IDC_DOS_DATE_CAPTION);
    CreateLabel(IDC_DOS_DATE_TEXT);
    CreateControl(0, "STATIC", "", LABEL_STYLE, IDC_DATE_REFUSAL);

    /* The field starts with today, in the form the locale writes it. */
    FormatTodayDate(today);
    SetControlText(IDC_DATE_FIELD, today);
}

void LayoutDatesPanel(HDWP *batch, const PANEL_AREA *area)
{
    PANEL_AREA inside = PlaceGroup(batch, IDC_DATES_GROUP, area);
    static const int results[][2] = {
        { IDC_NORMAL_CAPTION, IDC_NORMAL_TEXT },
        { IDC_DAY_NUMBER_CAPTION, IDC_DAY_NUMBER_TEXT },
        { IDC_DAYS_AHEAD_CAPTION, IDC_DAYS_AHEAD_TEXT },
        { IDC_DOS_DATE_CAPTION, IDC_DOS_DATE_TEXT },
    };
    int y = inside.y;
    int fieldX = inside.x + CAPTION_WIDTH;
    int patternX = fieldX + DATE_FIELD_WIDTH + GAP;

    PlaceCaptionedLabel(batch, IDC_TODAY_CAPTION, IDC_TODAY_TEXT, inside.x, y, inside.width);
    y += ROW_HEIGHT;
    PlaceCaptionedLabel(batch, IDC_NOW_CAPTION, IDC_NOW_TEXT, inside.x, y, inside.width);
    y += ROW_HEIGHT;
    Place(batch, IDC_DATE_CAPTION, inside.x, y + LABEL_DROP, CAPTION_WIDTH, LABEL_HEIGHT);
    Place(batch, IDC_DATE_FIELD, fieldX, y, DATE_FIELD_WIDTH, CONTROL_HEIGHT);
    Place(batch, IDC_DATE_PATTERN, patternX, y + LABEL_DROP, inside.x + inside.width - patternX,
          LABEL_HEIGHT);
    for (size_t i = 0; i < sizeof(results) / sizeof(results[0]); i++)
    {
        y += ROW_HEIGHT;
        PlaceCaptionedLabel(batch, results[i][0], results[i][1], inside.x, y, inside.width);
    }
    y += ROW_HEIGHT;
    Place(batch, IDC_DATE_REFUSAL, inside.x, y + LABEL_DROP, inside.width, LABEL_HEIGHT);
}
