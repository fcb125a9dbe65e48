/*
 * The folders and ports panel: the folder chooser in both its faces
 * (folders: the library's own dialog, which it shows for the NT 3.51
 * code, and the shell's browser for any other), and the names of the
 * ports that the print spooler lists on this machine (ports).
 */
#include "workbench.h"
#include "util/folders.h"
#include "util/instance.h"
#include "util/osinfo.h"
#include "util/ports.h"

#define PORT_SEPARATOR ", "
#define PORTS_LINE_SIZE (PORT_COUNT * (PORT_NAME_BUFFER_SIZE + sizeof(PORT_SEPARATOR)))
#define FOLDER_LINE_SIZE (FOLDER_PATH_SIZE + 32)

/* Where the next choice starts: the current folder at first, then the
 * latest folder chosen. */
static char StartFolder[FOLDER_PATH_SIZE];

static void ShowPorts(void)
{
    BYTE presence[PORT_COUNT];
    char line[PORTS_LINE_SIZE] = "";

    /* The routine marks only the ports it finds. */
    ZeroMemory(presence, sizeof(presence));
    if (!GetPresentPorts(presence))
    {
        SetControlText(IDC_PORTS_TEXT, TEXT_NO_PORT_LIST);
        return;
    }
    for (int i = 0; i < PORT_COUNT; i++)
    {
        if (presence[i] == PORT_NONE)
            continue;
        if (line[0])
            lstrcatA(line, PORT_SEPARATOR);
        lstrcatA(line, PortCodeToName(presence[i]));
    }
    SetControlText(IDC_PORTS_TEXT, line[0] ? line : TEXT_NO_PORTS);
}

void OnChooseFolder(BOOL ownDialog)
{
    char path[FOLDER_PATH_SIZE];
    char line[FOLDER_LINE_SIZE];
    int osType = ownDialog ? FOLDER_DIALOG_OS_TYPE : Workbench.osType;

    lstrcpyA(path, StartFolder);
    if (!ChooseFolder(ModuleInstance, Workbench.window, osType, path, TEXT_CHOOSER_TITLE))
        return;
    lstrcpyA(StartFolder, path);
    SetControlText(IDC_FOLDER_TEXT, path);
    wsprintfA(line, TEXT_FOLDER_LINE, path);
    LogLine(line);
}

void CreateFoldersPanel(void)
{
    DWORD length;

    CreateGroup(TEXT_CHOOSERS_GROUP, IDC_CHOOSERS_GROUP);
    CreateButton(TEXT_CHOOSE_DIALOG, IDC_CHOOSE_DIALOG);
    CreateButton(TEXT_CHOOSE_SHELL, IDC_CHOOSE_SHELL);
    /* On NT 3.51 the chooser shows its own dialog whatever the button. */
    if (Workbench.osType == FOLDER_DIALOG_OS_TYPE)
        EnableWindow(Control(IDC_CHOOSE_SHELL), FALSE);
    CreateCaption(TEXT_FOLDER_CAPTION, IDC_FOLDER_CAPTION);
    CreateLabel(IDC_FOLDER_TEXT);
    SetControlText(IDC_FOLDER_TEXT, TEXT_NO_FOLDER);
    CreateCaption(TEXT_PORTS_CAPTION, IDC_PORTS_CAPTION);
    CreateLabel(IDC_PORTS_TEXT);

    length = GetCurrentDirectoryA(sizeof(StartFolder), StartFolder);
    if (length == 0 || length >= sizeof(StartFolder))
        StartFolder[0] = '\0';
    ShowPorts();
}

void LayoutFoldersPanel(HDWP *batch, const PANEL_AREA *area)
{
    PANEL_AREA inside = PlaceGroup(batch, IDC_CHOOSERS_GROUP, area);

    Place(batch, IDC_CHOOSE_DIALOG, inside.x, inside.y, CHOOSER_BUTTON_WIDTH, CONTROL_HEIGHT);
    Place(batch, IDC_CHOOSE_SHELL, inside.x + CHOOSER_BUTTON_WIDTH + GAP, inside.y,
          CHOOSER_BUTTON_WIDTH, CONTROL_HEIGHT);
    PlaceCaptionedLabel(batch, IDC_FOLDER_CAPTION, IDC_FOLDER_TEXT,
                        inside.x, inside.y + ROW_HEIGHT, inside.width);
    PlaceCaptionedLabel(batch, IDC_PORTS_CAPTION, IDC_PORTS_TEXT,
                        inside.x, inside.y + 2 * ROW_HEIGHT, inside.width);
}
